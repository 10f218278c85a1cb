#include "sampler/trigger_rules.h"

#include <cstring>

#include "remote/byte_text.h"

static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool ParseDecimal(const char* text, size_t length, double* value) {
  size_t i = 0;
  const bool negative = length > 0 && text[0] == '-';
  if (negative) ++i;
  double whole = 0.0;
  double scale = 1.0;
  uint32_t digits = 0;
  bool point = false;
  for (; i < length; ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9' || ++digits > kRuleNumberDigits) return false;
    whole = whole * 10.0 + (c - '0');
    if (point) scale *= 10.0;
  }
  if (digits == 0) return false;
  *value = (negative ? -whole : whole) / scale;
  return true;
}

bool RecordFieldNumber(const char* line, uint32_t field, double* value) {
  const char* start = line;
  for (uint32_t f = 0; f < field; ++f) {
    start = std::strchr(start, ',');
    if (start == NULL) return false;
    ++start;
  }
  size_t length = 0;
  while (start[length] != '\0' && start[length] != ',' && start[length] != '\r' && start[length] != '\n') ++length;
  return ParseDecimal(start, length, value);
}

// The position of `name` (`length` characters) among the header's fields.
static bool FindField(const char* header, const char* name, size_t length, uint32_t* field) {
  uint32_t position = 0;
  const char* start = header;
  for (;;) {
    size_t size = 0;
    while (start[size] != '\0' && start[size] != ',' && start[size] != '\r' && start[size] != '\n') ++size;
    if (size == length && std::strncmp(start, name, length) == 0) {
      *field = position;
      return true;
    }
    if (start[size] != ',') return false;
    start += size + 1;
    ++position;
  }
}

RuleVerdict ParseTriggerRule(const wchar_t* rule, uint32_t chars, const char* header, TriggerRule* out) {
  if (chars + 1 > kRuleTextChars) return RULE_TOO_LONG;
  // ASCII only: anything else is junk in a field name or a number.
  char text[kRuleTextChars];
  for (uint32_t i = 0; i < chars; ++i) text[i] = rule[i] > 0x7E || rule[i] < 0x20 ? '?' : static_cast<char>(rule[i]);
  text[chars] = '\0';
  uint32_t op = 0;
  while (op < chars && text[op] != '>' && text[op] != '<') ++op;
  if (op == chars) return RULE_NO_OPERATOR;
  uint32_t nameEnd = op;
  while (nameEnd > 0 && IsBlank(rule[nameEnd - 1])) --nameEnd;
  uint32_t numberStart = op + 1;
  while (numberStart < chars && IsBlank(rule[numberStart])) ++numberStart;
  uint32_t field = 0;
  if (nameEnd == 0 || !FindField(header, text, nameEnd, &field)) return RULE_UNKNOWN_FIELD;
  if (numberStart == chars) return RULE_NO_NUMBER;
  double threshold = 0.0;
  if (!ParseDecimal(text + numberStart, chars - numberStart, &threshold)) return RULE_BAD_NUMBER;

  TriggerRule parsed = TriggerRule();
  std::memcpy(parsed.text, text, chars + 1);
  ByteText event = MakeByteText(parsed.eventText, kEventTextChars - 1);
  PutBytes(&event, text, nameEnd);
  PutText(&event, text[op] == '>' ? " > " : " < ");
  PutBytes(&event, text + numberStart, chars - numberStart);
  parsed.eventText[event.full ? 0 : event.length] = '\0';
  parsed.field = field;
  parsed.above = text[op] == '>' ? 1 : 0;
  parsed.threshold = threshold;
  *out = parsed;
  return RULE_OK;
}

const char* RuleVerdictText(RuleVerdict verdict) {
  switch (verdict) {
    case RULE_TOO_LONG: return "is too long";
    case RULE_NO_OPERATOR: return "has no > or <";
    case RULE_UNKNOWN_FIELD: return "names no record field";
    case RULE_NO_NUMBER: return "has no number";
    case RULE_BAD_NUMBER: return "has no plain number after its operator";
    default: return "is good";
  }
}

bool StepTrigger(TriggerRule* rule, bool known, double value) {
  if (!known) return false;
  const bool beyond = rule->above ? value > rule->threshold : value < rule->threshold;
  if (rule->armed) {
    if (!beyond) return false;
    rule->armed = 0;
    rule->nearCycles = 0;
    rule->hasFired = 1;
    ++rule->fired;
    return true;
  }
  rule->nearCycles = beyond ? 0 : rule->nearCycles + 1;
  // The first sight of the near side arms a new rule; after a firing it
  // takes the hold-off.
  if (rule->nearCycles >= (rule->hasFired ? kTriggerHoldOffCycles : 1)) rule->armed = 1;
  return false;
}

// Any command line: the scan stays within the string, changes nothing but
// the case of ASCII capitals, and reports flags of 0 or 1 only; a record
// path and each trigger rule lie inside the line, hold no '/' and end on no
// blank, and the rules kept are at most kMaxTriggerRules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/constants.h"
#include "app/options.h"
#include "sampler/record_line.h"
#include "sampler/trigger_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two bytes to a character, as the device's 16-bit text; exactly sized, so
  // that ASan reports any read past the terminator.
  const size_t length = size / 2;
  wchar_t* line = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  wchar_t* original = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  size_t slashes = 0;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (c == L'\0') c = L' ';  // the terminator comes only at the end
    line[i] = original[i] = c;
    if (c == L'/') ++slashes;
  }
  line[length] = original[length] = L'\0';

  const OptionScan scan = ScanOptions(line);

  if (scan.serialTemperature > 1 || scan.dfsOffAtStart > 1 || scan.recordFigures > 1 || scan.remoteEndpoint > 1 ||
      (scan.remotePort != 0 && !scan.remoteEndpoint) || scan.remotePort > kRemotePortMax || scan.usageRequests > slashes) {
    std::abort();
  }
  // An argument: inside the line, no '/' in it, no blank at its end.
  const auto inside = [&](const wchar_t* text, uint32_t chars) {
    if (text < line || text + chars > line + length) return false;
    for (uint32_t i = 0; i < chars; ++i) {
      if (text[i] == L'/') return false;
    }
    return chars == 0 || (text[chars - 1] != L' ' && text[chars - 1] != L'\t');
  };
  if ((scan.recordPath != NULL && (!scan.recordFigures || scan.recordPathChars == 0 ||
                                   !inside(scan.recordPath, scan.recordPathChars))) ||
      scan.ruleCount > kMaxTriggerRules || scan.ruleCount + scan.rulesOver > slashes ||
      (scan.rulesOver > 0 && scan.ruleCount != kMaxTriggerRules)) {
    std::abort();
  }
  // Each rule read against the record's header: a good one names a field of
  // it and makes an event text without commas; a bad one writes nothing.
  char header[kRecordLineChars];
  const size_t headerLength = FormatRecordHeader(header, sizeof header, kMaxProcessors);
  size_t fields = 1;
  for (size_t i = 0; i < headerLength; ++i) fields += header[i] == ',';
  for (uint32_t r = 0; r < scan.ruleCount; ++r) {
    if (!inside(scan.rules[r], scan.ruleChars[r])) std::abort();
    TriggerRule rule;
    std::memset(&rule, 0xA5, sizeof rule);
    const TriggerRule untouched = rule;
    const RuleVerdict verdict = ParseTriggerRule(scan.rules[r], scan.ruleChars[r], header, &rule);
    if (verdict != RULE_OK && std::memcmp(&rule, &untouched, sizeof rule) != 0) std::abort();
    if (verdict == RULE_OK && (rule.field >= fields || std::strchr(rule.eventText, ',') != NULL ||
                               std::strlen(rule.text) != scan.ruleChars[r] || rule.armed != 0)) {
      std::abort();
    }
  }
  for (size_t i = 0; i <= length; ++i) {
    const wchar_t before = original[i];
    const wchar_t expected = (before >= L'A' && before <= L'Z') ? static_cast<wchar_t>(before + 32) : before;
    if (line[i] != expected) std::abort();
  }
  std::free(line);
  std::free(original);
  return 0;
}

// Triggers (/t): a record field, > or <, and a number. A rule fires when its
// figure crosses the number, and re-arms only after the figure has been back
// on the near side for kTriggerHoldOffCycles cycles, so that a figure
// hovering at the limit fires once per hold-off. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_TRIGGER_RULES_H
#define SELVANE_SAMPLER_TRIGGER_RULES_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"

enum RuleVerdict { RULE_OK, RULE_TOO_LONG, RULE_NO_OPERATOR, RULE_UNKNOWN_FIELD, RULE_NO_NUMBER, RULE_BAD_NUMBER };

struct TriggerRule {
  char text[kRuleTextChars];       // "tcpu_c>85": as written, for lines and file names
  char eventText[kEventTextChars];  // "tcpu_c > 85": the event it adds
  uint32_t field;                   // the record field's position, 0 = seconds
  uint32_t above;                   // 1: fires above the number (>), 0: below it (<)
  double threshold;
  uint32_t armed;                   // the next crossing fires
  uint32_t nearCycles;              // cycles on the near side in a row, while not armed
  uint32_t hasFired;                // it fired once: re-arming takes the whole hold-off
  uint32_t fired;                   // how many times it fired
};

// Reads `rule` (`chars` characters, not terminated) against the record's
// `header` (its field names, comma-separated). Blanks around the operator are
// allowed. On RULE_OK fills `out`, armed once its figure is first seen on the
// near side; otherwise leaves `out` untouched.
RuleVerdict ParseTriggerRule(const wchar_t* rule, uint32_t chars, const char* header, TriggerRule* out);

// The text a verdict gives in its diagnostic line ("names no record field").
const char* RuleVerdictText(RuleVerdict verdict);

// A decimal number: an optional '-', digits, an optional '.' and digits;
// nothing else. Returns false (and leaves `value`) for anything else.
bool ParseDecimal(const char* text, size_t length, double* value);

// Field `field` of a record line as a number; false when it is empty or not a number.
bool RecordFieldNumber(const char* line, uint32_t field, double* value);

// One cycle of `rule` with its figure (`known` false: the field was empty).
// Returns true when the rule fires at this cycle.
bool StepTrigger(TriggerRule* rule, bool known, double value);

#endif

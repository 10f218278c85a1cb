#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/options.h"

namespace {

OptionScan Scan(const wchar_t* text) {
  std::wstring line(text);
  return ScanOptions(line.data());
}

TEST(Options, EmptyOrLeadingBlankSetsNothing) {
  for (const wchar_t* line : {L"", L" /s", L" /d/h", L"s/d"}) {
    const OptionScan scan = Scan(line);
    EXPECT_EQ(0u, scan.serialTemperature) << line;
    EXPECT_EQ(0u, scan.dfsOffAtStart) << line;
    EXPECT_EQ(0u, scan.usageRequests) << line;
  }
}

TEST(Options, OnlyTheFirstLetterAfterEachSlashCounts) {
  struct Case {
    const wchar_t* line;
    uint32_t serial, dfs, usage, record;
  } cases[] = {
      {L"/D", 0, 1, 0, 0},          // lower-cased first
      {L"//s", 1, 0, 0, 0},         // a slash in the letter position starts the next option
      {L"/ s", 0, 0, 0, 0},         // the blank is the letter
      {L"/x/s", 1, 0, 0, 0},        // unknown letters are ignored
      {L"/sd", 1, 0, 0, 0},         // d is not after a slash
      {L"/d/s/h", 1, 1, 1, 0},
      {L"/h /h", 0, 0, 2, 0},       // usage once per occurrence
      {L"/help", 0, 0, 1, 0},
      {L"/s /d", 1, 1, 0, 0},
      {L"/S/H/D", 1, 1, 1, 0},
      {L"/log /s", 1, 0, 0, 1},     // only the l counts
      {L"/L", 0, 0, 0, 1},
      {L"/sl", 1, 0, 0, 0},         // l is not after a slash
  };
  for (const Case& c : cases) {
    const OptionScan scan = Scan(c.line);
    EXPECT_EQ(c.serial, scan.serialTemperature) << c.line;
    EXPECT_EQ(c.dfs, scan.dfsOffAtStart) << c.line;
    EXPECT_EQ(c.usage, scan.usageRequests) << c.line;
    EXPECT_EQ(c.record, scan.recordFigures) << c.line;
  }
}

TEST(Options, SlashAtTheEndStopsAtTheTerminator) {
  // Exactly sized buffers: the sanitizer catches any read past the terminator.
  for (const wchar_t* text : {L"/", L"/s/", L"//"}) {
    const size_t length = std::wcslen(text);
    wchar_t* line = new wchar_t[length + 1];
    std::wmemcpy(line, text, length + 1);
    const OptionScan scan = ScanOptions(line);
    EXPECT_EQ(0u, scan.dfsOffAtStart);
    EXPECT_EQ(0u, scan.usageRequests);
    delete[] line;
  }
}

TEST(Options, LowerCasingIsAsciiOnlyAndInPlace) {
  std::wstring line = L"/S \u00C9T\u00C0 /D";
  const OptionScan scan = ScanOptions(line.data());
  EXPECT_EQ(L"/s \u00C9t\u00C0 /d", line);  // accented capitals stay as they are
  EXPECT_EQ(1u, scan.serialTemperature);
  EXPECT_EQ(1u, scan.dfsOffAtStart);
}

}  // namespace

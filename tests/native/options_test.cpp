#include <gtest/gtest.h>

#include <string>

#include "app/constants.h"
#include "app/options.h"

namespace {

// Only the first letter after each leading slash counts; /r takes the port
// written right after its letter (port 0: not a port).
TEST(Options, FirstLettersAfterLeadingSlashesAndThePortRightAfterR) {
  struct Case {
    const wchar_t* line;
    uint32_t serial, dfs, usage, record, remote, port;
  } cases[] = {
      {L"", 0, 0, 0, 0, 0, 0},
      {L" /s", 0, 0, 0, 0, 0, 0},                     // a leading blank ends the scan
      {L"//s", 1, 0, 0, 0, 0, 0},                     // a slash in the letter position starts the next option
      {L"/ s", 0, 0, 0, 0, 0, 0},                     // the blank is the letter
      {L"/x/s/", 1, 0, 0, 0, 0, 0},                   // unknown letters are ignored
      {L"/sd", 1, 0, 0, 0, 0, 0},                     // d is not after a slash
      {L"/h /h", 0, 0, 2, 0, 0, 0},                   // usage once per occurrence
      {L"/S/H/D", 1, 1, 1, 0, 0, 0},               // lower-cased first
      {L"/L /s", 1, 0, 0, 1, 0, 0},                   // a blank after the letter: no path
      {L"/r", 0, 0, 0, 0, 1, kRemoteDefaultPort},
      {L"/R /l", 0, 0, 0, 1, 1, kRemoteDefaultPort},
      {L"/r9123/s", 1, 0, 0, 0, 1, 9123},
      {L"/l /r65535 ", 0, 0, 0, 1, 1, 65535},
      {L"/r1 9", 0, 0, 0, 0, 1, 1},                   // what follows a space is not the port
      {L"/r0", 0, 0, 0, 0, 1, 0},
      {L"/r65536", 0, 0, 0, 0, 1, 0},
      {L"/r000009123", 0, 0, 0, 0, 1, 0},
      {L"/r91x", 0, 0, 0, 0, 1, 0},
      {L"/remote", 0, 0, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    std::wstring line(c.line);
    const OptionScan scan = ScanOptions(line.data());
    EXPECT_EQ(c.serial, scan.serialTemperature) << c.line;
    EXPECT_EQ(c.dfs, scan.dfsOffAtStart) << c.line;
    EXPECT_EQ(c.usage, scan.usageRequests) << c.line;
    EXPECT_EQ(c.record, scan.recordFigures) << c.line;
    EXPECT_EQ(c.remote, scan.remoteEndpoint) << c.line;
    EXPECT_EQ(c.port, scan.remotePort) << c.line;
  }
}

// A path or a rule runs from right after its letter to the next '/' or the
// end, less its trailing blanks: a folder may hold blanks, never a '/'.
TEST(Options, RecordPathAndRulesAreTheTextAfterTheirLetter) {
  std::wstring line(L"/l\\Storage Card\\Run.csv  /tTcpu_c>85/s/t gart_lfb_kb < 1024 /t");
  OptionScan scan = ScanOptions(line.data());
  EXPECT_EQ(1u, scan.recordFigures);
  EXPECT_EQ(1u, scan.serialTemperature);
  EXPECT_EQ(L"\\storage card\\run.csv", std::wstring(scan.recordPath, scan.recordPathChars));
  ASSERT_EQ(3u, scan.ruleCount);
  EXPECT_EQ(L"tcpu_c>85", std::wstring(scan.rules[0], scan.ruleChars[0]));
  EXPECT_EQ(L" gart_lfb_kb < 1024", std::wstring(scan.rules[1], scan.ruleChars[1]));
  EXPECT_EQ(0u, scan.ruleChars[2]);  // an empty rule is still a rule, and a bad one

  std::wstring plain(L"/l /r");
  scan = ScanOptions(plain.data());
  EXPECT_EQ(nullptr, scan.recordPath);
  std::wstring many;
  for (uint32_t r = 0; r < kMaxTriggerRules + 3; ++r) many += L"/tcpu_mhz<300";
  scan = ScanOptions(many.data());
  EXPECT_EQ(kMaxTriggerRules, scan.ruleCount);
  EXPECT_EQ(3u, scan.rulesOver);
}

}  // namespace

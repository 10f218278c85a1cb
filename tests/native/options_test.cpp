#include <gtest/gtest.h>

#include <string>

#include "app/constants.h"
#include "app/options.h"

namespace {

TEST(Options, OnlyTheFirstLetterAfterEachLeadingSlashCounts) {
  struct Case {
    const wchar_t* line;
    uint32_t serial, dfs, usage, record;
  } cases[] = {
      {L"", 0, 0, 0, 0},
      {L" /s", 0, 0, 0, 0},         // a leading blank ends the scan
      {L"/D", 0, 1, 0, 0},          // lower-cased first
      {L"//s", 1, 0, 0, 0},         // a slash in the letter position starts the next option
      {L"/ s", 0, 0, 0, 0},         // the blank is the letter
      {L"/x/s/", 1, 0, 0, 0},       // unknown letters are ignored
      {L"/sd", 1, 0, 0, 0},         // d is not after a slash
      {L"/h /h", 0, 0, 2, 0},       // usage once per occurrence
      {L"/help", 0, 0, 1, 0},
      {L"/S/H/D", 1, 1, 1, 0},
      {L"/Log /s", 1, 0, 0, 1},     // only the l counts
  };
  for (const Case& c : cases) {
    std::wstring line(c.line);
    const OptionScan scan = ScanOptions(line.data());
    EXPECT_EQ(c.serial, scan.serialTemperature) << c.line;
    EXPECT_EQ(c.dfs, scan.dfsOffAtStart) << c.line;
    EXPECT_EQ(c.usage, scan.usageRequests) << c.line;
    EXPECT_EQ(c.record, scan.recordFigures) << c.line;
  }
}

TEST(Options, RemoteTakesThePortWrittenRightAfterItsLetter) {
  struct Case {
    const wchar_t* line;
    uint32_t remote, port;  // port 0: not a port
  } cases[] = {
      {L"/s", 0, 0},
      {L"/r", 1, kRemoteDefaultPort},
      {L"/R /l", 1, kRemoteDefaultPort},
      {L"/r9123/s", 1, 9123},
      {L"/l /r65535 ", 1, 65535},
      {L"/r1 9", 1, 1},  // what follows a space is not the port
      {L"/r0", 1, 0},
      {L"/r65536", 1, 0},
      {L"/r000009123", 1, 0},
      {L"/r91x", 1, 0},
      {L"/remote", 1, 0},
      {L"/r-1", 1, 0},
  };
  for (const Case& c : cases) {
    std::wstring line(c.line);
    const OptionScan scan = ScanOptions(line.data());
    EXPECT_EQ(c.remote, scan.remoteEndpoint) << c.line;
    EXPECT_EQ(c.port, scan.remotePort) << c.line;
  }
}

}  // namespace

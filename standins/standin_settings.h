// Test settings of the stand-ins: words in the environment variable
// SELVANE_STANDIN, read when a stand-in first needs them and again when its
// StandinReloadSettings export is called, so that a test can change them
// between two bindings in one process. Kept, not read at each call: Wine
// scans the whole environment for each read, and a cycle makes twenty.
// Unset, a stand-in behaves as shipped.
//   processors=N   coredll reports N processors (processor p is measured on
//                  the machine's processor (p - 1) mod count + 1)
//   no-idle-time   the platform keeps no idle count: coredll's CeGetIdleTimeEx
//                  succeeds with 0 for every processor, GetIdleTime returns MAXDWORD
//   processor-off=P  coredll's processor P is switched off from the start
//                  (until CePowerOnProcessor): its state reads 1, its idle
//                  count stays, an affinity to it fails with ERROR_NOT_READY
//   open-null      libnvrm's open fails and gives a null handle
//   silent         libnvrm's clock, temperature and pool queries succeed and write nothing
//   cpu-zero       libnvrm's CPU record reads current 0 and high corner 0
//   record         libnvrm logs every call; StandinTakeCallLog reads and clears the log
//   frozen         libnvrm's model does not move on with time: a reading changes only by a call that sets it
// The device's kernel and toolhelp calls (coredll's kernel_calls.cpp, toolhelp.dll):
//   heaps          every process heap list a snapshot gathers (a process
//                  snapshot without TH32CS_SNAPNOHEAPS: one a process) costs
//                  a few ms; the lists are counted with or without it
//                  (standin_counts.h, StandinTakeCounts)
//   no-process-times  GetProcAddressW does not find GetProcessTimes, as on
//                  Compact 7, which lacks it
//   realtime-thread=TID  thread TID reads level 100 (a driver's) until a
//                  priority is set for it
//   thread-rights  a handle from OpenThread may do only what it asked for:
//                  GetThreadTimes, the priority and affinity reads without
//                  THREAD_QUERY_INFORMATION, and the sets without
//                  THREAD_SET_INFORMATION, fail with ERROR_ACCESS_DENIED
//   no-stdout      read once, when coredll loads: standard output is gone, as
//                  on Compact 2013 (writes to it fail and reach no one); the
//                  debug print still reaches standard error
// A missing entry point is a test's own doing: it hides the name from the
// program's lookup, so every export stays.
#ifndef SELVANE_STANDINS_STANDIN_SETTINGS_H
#define SELVANE_STANDINS_STANDIN_SETTINGS_H

#include <windows.h>

#include <cstdlib>
#include <cstring>

constexpr DWORD kStandinSettingsChars = 256;

// The settings as last read (first when a stand-in first asks), and the lock
// that keeps a reload from tearing a reader's scan.
struct StandinSettingsCache {
  SRWLOCK lock = SRWLOCK_INIT;
  char text[kStandinSettingsChars] = {};

  StandinSettingsCache() { Read(); }

  void Read() {
    char read[kStandinSettingsChars];
    const DWORD length = GetEnvironmentVariableA("SELVANE_STANDIN", read, kStandinSettingsChars);
    if (length == 0 || length >= kStandinSettingsChars) read[0] = '\0';
    AcquireSRWLockExclusive(&lock);
    std::memcpy(text, read, sizeof text);
    ReleaseSRWLockExclusive(&lock);
  }
};

inline StandinSettingsCache& SettingsCache() {
  static StandinSettingsCache cache;
  return cache;
}

inline void ReloadStandinSettings() { SettingsCache().Read(); }

// Whether `word` is set; `*value` takes the number after "word=" if there is one.
inline bool StandinSetting(const char* word, unsigned long* value = nullptr) {
  StandinSettingsCache& cache = SettingsCache();
  AcquireSRWLockShared(&cache.lock);
  const char* settings = cache.text;
  const size_t size = std::strlen(word);
  bool found = false;
  for (const char* at = std::strstr(settings, word); at != nullptr && !found; at = std::strstr(at + 1, word)) {
    const bool starts = at == settings || at[-1] == ' ';
    const char next = at[size];
    if (!starts || (next != '\0' && next != ' ' && next != '=')) continue;
    if (value != nullptr) *value = next == '=' ? std::strtoul(at + size + 1, nullptr, 10) : 0;
    found = true;
  }
  ReleaseSRWLockShared(&cache.lock);
  return found;
}

// Defines the library's StandinReloadSettings export; once a library.
#define STANDIN_SETTINGS_EXPORT \
  extern "C" __declspec(dllexport) void WINAPI StandinReloadSettings() { ReloadStandinSettings(); }

#endif

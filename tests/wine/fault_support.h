// Helpers of the fault, process-control and long-run tests: platform calls
// made to fail, helper processes that cannot be opened, and the figures a
// long run is judged by.
#ifndef SELVANE_TESTS_WINE_FAULT_SUPPORT_H
#define SELVANE_TESTS_WINE_FAULT_SUPPORT_H

#include <string>

#include "platform/win32.h"
#include "tests/wine/wine_support.h"

// The import-table slot through which this program calls a system function
// (the symbol the import library defines for it).
#ifdef _WIN64
#define IMPORT_SLOT(function, argumentBytes) "__imp_" #function
#else
#define IMPORT_SLOT(function, argumentBytes) "__imp__" #function "@" #argumentBytes
#endif
extern "C" void* g_importNtQuerySystemInformation __asm__(IMPORT_SLOT(NtQuerySystemInformation, 16));

// Puts `replacement` in an import slot: every call the program's code makes
// to that function goes there until the patch is destroyed. The program
// itself has no switch for tests.
class ImportPatch {
 public:
  ImportPatch(void** slot, void* replacement);
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  void* Original() const { return original_; }

 private:
  void** slot_;
  void* original_;
};

// A helper process (sleeper.exe under a tag nobody signals) that sleeps until
// it is ended. A guarded one carries a security descriptor that lets others
// open it only to wait for it: no query, no termination.
class IdleHelper {
 public:
  IdleHelper() = default;
  ~IdleHelper() { End(0); }
  IdleHelper(const IdleHelper&) = delete;
  IdleHelper& operator=(const IdleHelper&) = delete;
  // Starts `exe` and waits until a process snapshot lists it.
  bool Start(const std::wstring& exe, bool guarded = false);
  DWORD Id() const { return processId_; }
  HANDLE Process() const { return process_; }  // full access, as its creator
  bool Running() const;
  // Terminates it with `exitCode`, waits, and closes this test's handle.
  void End(UINT exitCode);

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Whether a process snapshot taken now lists `processId`.
bool SnapshotLists(DWORD processId);

// Kernel handles `processId` holds, counted in the system's handle list
// (GetProcessHandleCount is a stub in Wine).
ULONG KernelHandleCount(DWORD processId);

// This process's private bytes (its commit charge; PrivateUsage reads 0 in Wine).
SIZE_T PrivateBytes();

// Polls `done` every 10 ms for up to `ms`.
template <typename Condition>
bool PollUntil(Condition done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(10);
  }
  return true;
}

// Item i of the process list shows row i of the table: name, PID, threads,
// and the affinity where the list has that column. Returns the first
// difference, or an empty text.
std::wstring ListDiffersFromTable(HWND list);

#endif

#include "tests/wine/fault_support.h"
#include "tests/wine/process_support.h"

#include <psapi.h>
#include <sddl.h>
#include <winternl.h>

#include <vector>

#include "app/monitor_state.h"

ImportPatch::ImportPatch(void** slot, void* replacement) : slot_(slot), original_(*slot) {
  DWORD previous = 0;
  VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &previous);
  *slot_ = replacement;
}

ImportPatch::~ImportPatch() { *slot_ = original_; }

bool IdleHelper::Start(const std::wstring& exe, bool guarded) {
  static int started = 0;
  // sleeper.exe waits for an exit event under its tag; nobody sets this one.
  std::wstring command = L"\"" + exe + L"\" idle-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(++started) + L" 1";
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
  // Everyone may wait for it (SYNCHRONIZE) and do nothing else.
  if (guarded && !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                     L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
    return false;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  const BOOL created = CreateProcessW(nullptr, &command[0], guarded ? &security : nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &info);
  if (security.lpSecurityDescriptor != nullptr) LocalFree(security.lpSecurityDescriptor);
  if (!created) return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return PollUntil([this] { return SnapshotLists(processId_); }, 5000);
}

bool IdleHelper::Running() const { return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void IdleHelper::End(UINT exitCode) {
  if (process_ == nullptr) return;
  TerminateProcess(process_, exitCode);
  WaitForSingleObject(process_, 5000);
  CloseHandle(process_);
  process_ = nullptr;
}

bool SnapshotLists(DWORD processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry)) {
    found = entry.th32ProcessID == processId;
  }
  CloseHandle(snapshot);
  return found;
}

namespace {

// One entry of SystemHandleInformation as the system fills it.
struct HandleEntry {
  ULONG processId;
  UCHAR objectType;
  UCHAR flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};

struct HandleList {
  ULONG count;
  HandleEntry entries[1];
};

const SYSTEM_INFORMATION_CLASS kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
const NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

}  // namespace

ULONG KernelHandleCount(DWORD processId) {
  std::vector<BYTE> buffer(1 << 20);
  ULONG length = 0;
  NTSTATUS status;
  while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), &length)) == kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const HandleList* list = reinterpret_cast<const HandleList*>(buffer.data());
  ULONG count = 0;
  for (ULONG i = 0; i < list->count; ++i) count += list->entries[i].processId == processId;
  return count;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PagefileUsage;
}


std::wstring ListDiffersFromTable(HWND list) {
  const ProcessTable& table = g_state.processTable;
  const int items = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  if (items != static_cast<int>(table.processCount)) {
    return L"items " + std::to_wstring(items) + L", rows " + std::to_wstring(table.processCount);
  }
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const bool affinityColumn = SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) > kColumnAffinity;
  uint32_t threads = 0;
  for (uint32_t i = 0; i < table.processCount; ++i) {
    const ProcessEntry& row = table.rows[i];
    wchar_t pid[16];
    swprintf(pid, 16, L"%08X", static_cast<unsigned>(row.processId));
    const std::wstring expected[] = {row.name, pid, std::to_wstring(row.threadCount),
                                     affinityColumn ? std::to_wstring(row.affinity) : L""};
    const int columns[] = {kColumnName, kColumnPid, kColumnThreads, kColumnAffinity};
    for (int k = 0; k < 4; ++k) {
      const std::wstring shown = ItemText(list, static_cast<int>(i), columns[k]);
      if (shown != expected[k]) {
        return L"item " + std::to_wstring(i) + L" column " + std::to_wstring(columns[k]) + L": " + shown +
               L" instead of " + expected[k];
      }
    }
    threads += row.threadCount;
  }
  if (threads != table.threadTotal) return L"thread total " + std::to_wstring(table.threadTotal);
  return L"";
}

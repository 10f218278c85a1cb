#include "tests/wine/support.h"

#include <gtest/gtest.h>
#include <io.h>
#include <psapi.h>
#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/monitor.h"
#include "platform/kernel_extension_api.h"
#include "platform/kernel_extensions.h"
#include "platform/resource_manager.h"
#include "platform/resource_manager_api.h"
#include "standins/standin_counts.h"
#include "ui/performance/performance_page.h"
#include "ui/processes/processes_page.h"

std::wstring BinPath(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512];
  return std::wstring(text, GetWindowTextW(window, text, 512));  // 0 on failure
}

std::wstring ControlText(HWND page, int id) { return WindowText(GetDlgItem(page, id)); }

// What `handle` gives from where it stands to its end (a pipe: until its writers close it).
static std::string ReadToEnd(HANDLE handle) {
  std::string text;
  char buffer[65536];
  for (DWORD count = 0; ReadFile(handle, buffer, sizeof buffer, &count, nullptr) && count > 0;) text.append(buffer, count);
  return text;
}

static void CloseAll(std::initializer_list<HANDLE> handles) {
  for (HANDLE handle : handles) {
    if (handle != nullptr) CloseHandle(handle);
  }
}

StdoutCapture::StdoutCapture() : file_(tmpfile()) {
  fflush(nullptr);
  saved_ = _dup(1);
  _dup2(_fileno(file_), 1);  // binary, as the program's standard output
}

std::string StdoutCapture::Text() {
  if (saved_ >= 0) {
    fflush(nullptr);
    _dup2(saved_, 1);
    _close(saved_);
    saved_ = -1;
  }
  rewind(file_);
  return ReadToEnd(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_))));
}

StdoutCapture::~StdoutCapture() {
  Text();
  fclose(file_);  // a temporary file: deleted on closing
}

bool Child::Start(const std::wstring& commandLine, bool errorToo, SECURITY_ATTRIBUTES* security) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE writeEnd;
  if (!CreatePipe(&output_, &writeEnd, &inherit, 1 << 16)) return false;
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = errorToo ? writeEnd : GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  std::wstring line = commandLine;
  const BOOL started = CreateProcessW(nullptr, &line[0], security, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
  CloseHandle(writeEnd);
  if (!started) return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return true;
}

DWORD Child::Wait(DWORD ms) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process_, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
  return code;
}

std::string Child::Output() { return ReadToEnd(output_); }

std::string Child::ReadLine() {
  std::string line;
  char c;
  for (DWORD count; ReadFile(output_, &c, 1, &count, nullptr) && count == 1 && c != '\n';) {
    if (c != '\r') line += c;
  }
  return line;
}

Child::~Child() {
  if (process_ != nullptr && Running()) TerminateProcess(process_, 1);
  CloseAll({process_, output_});
}

bool Helper::Start(const std::wstring& arguments, bool guarded) {
  static int started = 0;
  const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++started);
  tag_ = tag;
  const std::wstring prefix = L"Local\\selvane-helper-" + tag;
  ready_ = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-ready").c_str());
  more_ = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-more").c_str());
  exit_ = CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-exit").c_str());
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
  // Everyone may wait for it (SYNCHRONIZE) and do nothing else.
  if (guarded && !ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                                       &security.lpSecurityDescriptor, nullptr)) {
    return false;
  }
  const bool started_ = Child::Start(L"\"" + BinPath(L"worker.exe") + L"\" " + tag + L" " + arguments, false,
                                     guarded ? &security : nullptr);
  if (security.lpSecurityDescriptor != nullptr) LocalFree(security.lpSecurityDescriptor);
  return started_ && WaitForSingleObject(ready_, kWaitMs) == WAIT_OBJECT_0;
}

bool Helper::More() { return SetEvent(more_) && WaitForSingleObject(ready_, kWaitMs) == WAIT_OBJECT_0; }

DWORD Helper::Exit() {
  SetEvent(exit_);
  return Wait();
}

Helper::~Helper() { CloseAll({ready_, more_, exit_}); }

static DWORD WINAPI MonitorThread(LPVOID parameter) {
  return static_cast<DWORD>(
      RunMonitor(GetModuleHandleW(nullptr), static_cast<InProcessMonitor*>(parameter)->commandLine));
}

bool InProcessMonitor::Start(const wchar_t* options) {
  wcsncpy(commandLine, options, sizeof commandLine / sizeof commandLine[0] - 1);
  thread = CreateThread(nullptr, 0, MonitorThread, this, 0, nullptr);
  return thread != nullptr && WaitUntil([this] {
           sheet = FindWindowW(nullptr, SELVANE_CAPTION);
           return sheet != nullptr && IsWindowVisible(sheet);
         });
}

DWORD InProcessMonitor::Close() {
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

void** ImportSlot(HMODULE module, const char* function) {
  BYTE* base = reinterpret_cast<BYTE*>(module);
  const auto* headers =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
          strcmp(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name, function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

ImportPatch::ImportPatch(const char* function, void* replacement, HMODULE module)
    : slot_(ImportSlot(module != nullptr ? module : GetModuleHandleW(nullptr), function)) {
  if (slot_ == nullptr) {
    ADD_FAILURE() << "no import of " << function;
    return;
  }
  original_ = *slot_;
  DWORD previous = 0;
  VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &previous);
  *slot_ = replacement;
}

ImportPatch::~ImportPatch() {
  if (slot_ != nullptr) *slot_ = original_;
}

// ---- The platform bound with faults ----

static const char* const kKernelNames[] = {"CeGetThreadAffinity",  "CeSetThreadAffinity", "CeGetProcessAffinity",
                                           "CeSetProcessAffinity", "CeGetProcessorState", "CePowerOffProcessor",
                                           "CePowerOnProcessor",   "CeGetIdleTimeEx",     "__GetUserKData"};
const char* const kRmEntryNames[13] = {"NvRmOpen",
                                       "NvRmClose",
                                       "NvRmMemGetStat",
                                       "NvRmDfsGetClockUtilization",
                                       "NvRmDiagGetTemperature",
                                       "NvRmDfsGetState",
                                       "NvRmDfsSetState",
                                       "NvRmDfsSetLowCorner",
                                       "NvRmDfsSetTarget",
                                       "NvRmDfsSetCpuEnvelope",
                                       "NvRmDfsSetEmcEnvelope",
                                       "NvRmDfsSetCpuEmcHighCorner",
                                       "NvRmDfsSetAvHighCorner"};
static uint32_t g_hiddenKernel, g_hiddenRm;
static ImportPatch* g_lookupPatch;

static bool Hidden(const char* name, const char* const* names, size_t count, uint32_t hidden) {
  for (size_t n = 0; n < count; ++n) {
    if ((hidden >> n & 1u) && strcmp(name, names[n]) == 0) return true;
  }
  return false;
}

static bool HiddenEntry(const char* name) {
  return Hidden(name, kKernelNames, 9, g_hiddenKernel) || Hidden(name, kRmEntryNames, 13, g_hiddenRm);
}

#ifdef SELVANE_DEVICE
// The device's lookup, by wide name.
const char kLookup[] = "GetProcAddressW";
static FARPROC WINAPI LookUp(HMODULE module, LPCWSTR name) {
  const std::string narrow(name, name + wcslen(name));  // entry names are ASCII
  if (HiddenEntry(narrow.c_str())) return nullptr;
  return reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCWSTR)>(g_lookupPatch->Original())(module, name);
}
#else
const char kLookup[] = "GetProcAddress";
static FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
  if (HiddenEntry(name)) return nullptr;
  return reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(g_lookupPatch->Original())(module, name);
}
#endif

// The stand-ins keep what they read: each one loaded reads the new settings.
void SetStandinSettings(const char* settings) {
  SetEnvironmentVariableA("SELVANE_STANDIN", settings);
  for (const wchar_t* library : {L"coredll.dll", L"libnvrm.dll", L"toolhelp.dll"}) {
    if (GetModuleHandleW(library) == nullptr) continue;
    const auto reload = Export<void(WINAPI*)()>(library, "StandinReloadSettings");
    if (reload != nullptr) reload();
  }
}

void BindPlatform(const PlatformFaults& faults) {
  ResetMonitorState();
  g_state.instance = GetModuleHandleW(nullptr);
  SetStandinSettings(faults.settings);
  g_hiddenKernel = faults.hiddenKernel;
  g_hiddenRm = faults.hiddenRm;
  ImportPatch patch(kLookup, reinterpret_cast<void*>(LookUp));
  g_lookupPatch = &patch;
  BindKernelExtensionsFrom(BinPath(faults.coredll).c_str());
  BindResourceManagerFrom(BinPath(faults.libnvrm).c_str());
}

std::string TakeCallLog() {
  typedef uint32_t (*TakeLog)(char* buffer, uint32_t capacity);
  // Only from a library the program loaded: looking it up must not load it.
  const bool loaded = GetModuleHandleW(L"libnvrm.dll") != nullptr;
  const TakeLog take = loaded ? Export<TakeLog>(L"libnvrm.dll", "StandinTakeCallLog") : nullptr;
  static char text[32768];
  if (take == nullptr) return "(no log)";
  take(text, sizeof text);
  return text;
}

HardwareReadings ReadChip(uint32_t silent) {
  HardwareReadings r = {};
  if (GetModuleHandleW(L"libnvrm.dll") == nullptr) return r;
  void* handle = nullptr;
  Export<PFN_NvRmOpen>(L"libnvrm.dll", "NvRmOpen")(&handle, 0);
  if (!(silent & kSilentClocks)) {
    auto clock = Export<PFN_NvRmDfsGetClockUtilization>(L"libnvrm.dll", "NvRmDfsGetClockUtilization");
    for (uint32_t d = 1; d <= kClockDomainCount; ++d) clock(handle, d, &r.usage[d - 1]);
  }
  if (!(silent & kSilentTemperatures)) {
    auto temperature = Export<PFN_NvRmDiagGetTemperature>(L"libnvrm.dll", "NvRmDiagGetTemperature");
    temperature(handle, kTemperatureModule, &r.tModule);
    temperature(handle, kTemperatureCpu, &r.tCpu);
  }
  if (!(silent & kSilentPools)) {
    for (uint32_t s = 1; s <= kMemStatCount; ++s)
      Export<PFN_NvRmMemGetStat>(L"libnvrm.dll", "NvRmMemGetStat")(s, &r.stat[s - 1]);
  }
  return r;
}

std::wstring StatusBlock(const HardwareReadings& r) {
  wchar_t text[kReportBufferChars];
  FormatHardwareStatus(r, text, kReportBufferChars);
  return text;
}

// ---- The pages, their lists and the menu ----

HWND ShowPerformancePage() {
  HWND page =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr, PerformancePageProc, 0);
  ShowWindow(page, SW_SHOWNOACTIVATE);  // a hidden window keeps no pixels
  return page;
}

ProcessesPage::ProcessesPage(const char* settings) {
  if (settings != nullptr) BindPlatform({L"coredll.dll", L"libnvrm.dll", settings});
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this, ready] {
    page_ =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr, ProcessesPageProc, 0);
    ShowWindow(page_, SW_SHOW);
    threadId_ = GetCurrentThreadId();
    SetEvent(ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    DestroyWindow(page_);
  });
  WaitForSingleObject(ready, kWaitMs);
  CloseHandle(ready);
}

ProcessesPage::~ProcessesPage() {
  // A menu left open by a failed test would hold the page's thread in its loop.
  CloseMenu();
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

std::string FileText(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  const std::string text = ReadToEnd(file);
  CloseHandle(file);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line.substr(0, line.find('\r')));
  return lines;
}

HWND VisibleMenu() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

bool CloseMenu() {
  return WaitUntil([] {
    if (VisibleMenu() != nullptr) EndMenu();
    return VisibleMenu() == nullptr;
  });
}

std::wstring ItemText(HWND list, int item, int subItem) {
  wchar_t text[300] = {};
  ListView_GetItemText(list, item, subItem, text, 300);
  return text;
}

std::vector<unsigned long> Pids(HWND list) {
  std::vector<unsigned long> pids;
  for (int i = 0; i < ListView_GetItemCount(list); ++i) pids.push_back(std::stoul(ItemText(list, i, kColumnPid), nullptr, 16));
  return pids;
}

int FindItem(HWND list, DWORD processId) {
  const std::vector<unsigned long> pids = Pids(list);
  const auto at = std::find(pids.begin(), pids.end(), processId);
  return at == pids.end() ? -1 : static_cast<int>(at - pids.begin());
}

std::string ListDiffersFromTable(HWND list) {
  const int columns = Header_GetItemCount(ListView_GetHeader(list));
  RecordedList shown(kColumnAffinity + 1, 0);
  for (int i = 0; i < ListView_GetItemCount(list); ++i) {
    shown.items.emplace_back(shown.columns, L"0");  // with one processor there is no Affinity column
    for (int k = 0; k < columns; ++k) shown.items[i][k] = ItemText(list, i, k);
  }
  return ListOutOfStep(shown, g_state.processView, g_state.processTable, LoadShared(g_state.listsPaused) != 0);
}

// ---- Pixels ----

void Picture::Fill(RECT rect, uint32_t colour) {
  for (int y = std::max<int>(rect.top, 0); y < std::min<int>(rect.bottom, height); ++y) {
    for (int x = std::max<int>(rect.left, 0); x < std::min<int>(rect.right, width); ++x) pixels[y * width + x] = colour;
  }
}

int Picture::Count(RECT region, uint32_t colour) const {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y) {
    for (int x = region.left; x < region.right; ++x) count += At(x, y) == colour;
  }
  return count;
}

// Runs `draw` on a memory DC over a black width x height DIB and returns its pixels.
template <typename Draw>
static Picture Render(int width, int height, Draw draw) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  draw(dc);
  GdiFlush();
  Picture picture;
  picture.width = width;
  picture.height = height;
  for (int i = 0; i < width * height; ++i) {
    const uint32_t v = static_cast<const uint32_t*>(bits)[i];  // 0xAARRGGBB
    picture.pixels.push_back(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return picture;
}

Picture CaptureClient(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  return Render(client.right, client.bottom, [&](HDC dc) {
    HDC source = GetDC(control);
    BitBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    ReleaseDC(control, source);
  });
}

void SetClientSize(HWND control, int width, int height) {
  RECT window, client;
  GetWindowRect(control, &window);
  GetClientRect(control, &client);
  SetWindowPos(control, nullptr, 0, 0, width + (window.right - window.left) - client.right,
               height + (window.bottom - window.top) - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SizeGraphs(HWND page) {
  const SIZE sizes[kGraphCount] = {{87, 58}, {273, 58}, {53, 65}, {100, 45}};
  for (uint32_t g = 0; g < kGraphCount; ++g) SetClientSize(GetDlgItem(page, kGraphIds[g]), sizes[g].cx, sizes[g].cy);
}

void ExpectGauge(HWND control, std::initializer_list<GaugeBar> bars) {
  const Picture actual = CaptureClient(control);
  Picture expected = Render(actual.width, actual.height, [&](HDC dc) {
    SetTextColor(dc, kPixelGreen);
    SetBkColor(dc, kPixelBlack);
    for (GaugeBar bar : bars) DrawTextW(dc, bar.text, -1, &bar.figure, DT_SINGLELINE | DT_BOTTOM | DT_CENTER);
  });
  for (const GaugeBar& bar : bars) {
    expected.Fill(bar.rect, kPixelTrough);
    expected.Fill({bar.rect.left, bar.levelTop, bar.rect.right, bar.rect.bottom}, kPixelGreen);
  }
  int wrong = 0;
  for (size_t i = 0; i < actual.pixels.size(); ++i) wrong += expected.pixels[i] != actual.pixels[i];
  EXPECT_EQ(0, wrong) << "pixels differ";
}

void ExpectLines(HWND control, std::initializer_list<GraphLine> lines) {
  const Picture picture = CaptureClient(control);
  int green = 0;
  for (const GraphLine& line : lines) {
    const int flatEnd = line.yLast == line.yFlat ? line.xLast : line.xPrev + 1;
    EXPECT_EQ(flatEnd - line.x0, picture.Count({line.x0, line.yFlat, flatEnd, line.yFlat + 1}, kPixelGreen))
        << "flat run from x " << line.x0;
    green += flatEnd - line.x0;
    for (int y = std::min(line.yLast, line.yFlat) + 1; y < std::max(line.yLast, line.yFlat); ++y, ++green) {
      EXPECT_EQ(1, picture.Count({line.xPrev, y, line.xLast + 1, y + 1}, kPixelGreen)) << "row " << y;
    }
  }
  const RECT all = {0, 0, picture.width, picture.height};
  EXPECT_EQ(green, picture.Count(all, kPixelGreen)) << "green elsewhere";
  EXPECT_EQ(picture.width * picture.height - green, picture.Count(all, kPixelBlack)) << "not black";
}

// ---- Resources of this process ----

ULONG KernelHandleCount(DWORD processId) {
  std::vector<BYTE> buffer(1 << 20);
  ULONG length = 0;
  while (NtQuerySystemInformation(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) ==
         static_cast<NTSTATUS>(0xC0000004)) {  // the buffer is too small
    buffer.resize(buffer.size() * 2);
  }
  const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
  ULONG held = 0;
  for (ULONG i = 0; i < list->Count; ++i) held += list->Handle[i].OwnerPid == processId;
  return held;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;  // the commit charge: PrivateUsage reads 0 in Wine
}

HostCpuTimes ReadHostCpuTimes() {
  HostCpuTimes times;
  std::ifstream stat("Z:\\proc\\stat");
  for (std::string line; std::getline(stat, line);) {
    if (line.compare(0, 3, "cpu") != 0 || line.size() < 4 || line[3] < '0' || line[3] > '9') continue;
    std::istringstream fields(line.substr(line.find(' ')));
    unsigned long long value = 0, total = 0, idle = 0;
    for (int field = 0; fields >> value; ++field) {
      total += value;
      if (field == 3 || field == 4) idle += value;  // idle and iowait
    }
    times.busy.push_back(total - idle);
    times.total.push_back(total);
  }
  return times;
}

double HostBusyFraction(const HostCpuTimes& before, const HostCpuTimes& after, size_t processor) {
  if (processor >= before.total.size() || processor >= after.total.size()) return -1;
  const unsigned long long total = after.total[processor] - before.total[processor];
  return total == 0 ? -1 : static_cast<double>(after.busy[processor] - before.busy[processor]) / total;
}

std::string HostProcessId(const std::wstring& part) {
  const std::string wanted(part.begin(), part.end());
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return "";
  std::string id;
  do {
    const std::string pid = found.cFileName;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // Read with stdio: a stream's buffer throws when the read fails, as it
    // does for a process that is ending meanwhile.
    char line[4096];
    FILE* file = std::fopen(("Z:\\proc\\" + pid + "\\cmdline").c_str(), "rb");
    std::string text(line, file != nullptr ? std::fread(line, 1, sizeof line, file) : 0);
    if (file != nullptr) std::fclose(file);
    std::replace(text.begin(), text.end(), '\0', ' ');
    if ((text + " ").find(" " + wanted + " ") != std::string::npos && text.find("worker") != std::string::npos) id = pid;
  } while (id.empty() && FindNextFileA(search, &found));
  FindClose(search);
  return id;
}

long long HostProcessTicks(const std::string& hostId) {
  std::ifstream stat("Z:\\proc\\" + hostId + "\\stat");
  std::string line;
  if (hostId.empty() || !std::getline(stat, line) || line.rfind(')') == std::string::npos) return -1;
  // Fields 14 and 15, counted after the command name's closing parenthesis.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string skipped;
  for (int field = 3; field <= 13; ++field) fields >> skipped;
  unsigned long long user = 0, system = 0;
  return fields >> user >> system ? static_cast<long long>(user + system) : -1;
}

StandinCounts TakeStandinCounts() {
  StandinCounts counts = {};
  for (const wchar_t* library : {L"toolhelp.dll", L"coredll.dll"}) {
    Export<StandinTakeCountsFunction>(library, "StandinTakeCounts")(&counts);
  }
  return counts;
}

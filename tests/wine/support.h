// The Wine tests' one support library: processes, the program run inside the
// test, the platform bound with faults, the pages' lists and menus, pixels.
#ifndef SELVANE_TESTS_WINE_SUPPORT_H
#define SELVANE_TESTS_WINE_SUPPORT_H

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "app/monitor_state.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "sampler/status_format.h"
#include "tests/recorded_list.h"

#include <tlhelp32.h>

constexpr DWORD kWaitMs = 5000;
// The graphic controls in the order of the pictures (kGraph*).
constexpr int kGraphIds[kGraphCount] = {IDC_CPU_GAUGE, IDC_CPU_HISTORY, IDC_MEM_GAUGE, IDC_MEM_HISTORY};
constexpr DWORD kHelperExitCode = 7;  // what worker.exe exits with when told to

std::wstring BinPath(const wchar_t* name);  // beside the test program
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND page, int id);

// Polls `done` every 10 ms for up to `ms`.
template <typename Condition>
bool WaitUntil(Condition done, DWORD ms = kWaitMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(10);
  }
  return true;
}

// What the process writes to standard output between construction and Text().
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string Text();

 private:
  FILE* file_;
  int saved_;
};

// A process of its own, its standard output (and error, when asked) on a pipe.
class Child {
 public:
  ~Child();
  bool Start(const std::wstring& commandLine, bool errorToo = false, SECURITY_ATTRIBUTES* security = nullptr);
  DWORD Wait(DWORD ms = kWaitMs);  // its exit code, or STILL_ACTIVE
  std::string Output();            // everything it wrote, once it has ended
  std::string ReadLine();          // one line of its output, without the line end
  HANDLE Process() const { return process_; }
  DWORD Id() const { return id_; }
  bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

 private:
  HANDLE process_ = nullptr, output_ = nullptr;
  DWORD id_ = 0;
};

// tests/helpers/worker.exe steered through named events
// ("Local\selvane-helper-TAG-ready", "-more", "-exit"). A guarded one lets
// others open it only to wait for it: no query, no termination.
class Helper : public Child {
 public:
  ~Helper();
  bool Start(const std::wstring& arguments, bool guarded = false);
  bool More();    // sets "more", waits for the next "ready"
  DWORD Exit();   // sets "exit"; its exit code
  const std::wstring& Tag() const { return tag_; }  // unique to this helper, on its command line

 private:
  HANDLE ready_ = nullptr, more_ = nullptr, exit_ = nullptr;
  std::wstring tag_;
};

// What the host (Linux, read through Wine's Z: drive) gave over an interval:
// tests that read real load compare against it instead of assuming an idle
// machine. Times are in the host's clock ticks.
struct HostCpuTimes {
  std::vector<unsigned long long> busy, total;  // per processor, from /proc/stat
};
HostCpuTimes ReadHostCpuTimes();
// Processor `processor`'s (from 0) busy fraction between two readings; -1 when unknown.
double HostBusyFraction(const HostCpuTimes& before, const HostCpuTimes& after, size_t processor);
// The host's id of the process whose command line holds the word `part`,
// e.g. a helper's tag; empty when there is none.
std::string HostProcessId(const std::wstring& part);
// That process's CPU time (user + system ticks); -1 when it is gone.
long long HostProcessTicks(const std::string& hostId);
// The host's clock ticks a second (/proc's USER_HZ).
constexpr double kHostTicksPerSecond = 100.0;

// The monitor's whole program on a thread of the test process.
struct InProcessMonitor {
  bool Start(const wchar_t* options);
  DWORD Close();  // what the program returned
  HWND Page() const { return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  void Select(int page) const { SendMessageW(sheet, PSM_SETCURSEL, page, 0); }
  HANDLE thread = nullptr;
  HWND sheet = nullptr;
  wchar_t commandLine[512] = {};
};

// The import slot of `function` in `module`, or null.
void** ImportSlot(HMODULE module, const char* function);
// Puts `replacement` in the import slot of `function` in `module` (this
// program by default): every call its code makes to that function goes there
// until the patch is destroyed.
class ImportPatch {
 public:
  ImportPatch(const char* function, void* replacement, HMODULE module = nullptr);
  ~ImportPatch();
  void* Original() const { return original_; }

 private:
  void** slot_;
  void* original_ = nullptr;
};

// The platform as a test binds it: fresh state, the stand-ins' settings
// (standins/standin_settings.h), and entry points hidden from the program's
// lookup by name. Entries count from 1 in the bindings' lookup order.
struct PlatformFaults {
  const wchar_t* coredll = L"coredll.dll";  // a name not beside the program: no library
  const wchar_t* libnvrm = L"libnvrm.dll";
  const char* settings = "";
  uint32_t hiddenKernel = 0;  // bit n - 1: kernel entry n is missing
  uint32_t hiddenRm = 0;      // bit n - 1: resource-manager entry n is missing
};
void BindPlatform(const PlatformFaults& faults = PlatformFaults{});
extern const char* const kRmEntryNames[13];
void SetStandinSettings(const char* settings);
// What the chip's stand-in reads now, through its own exports and its own
// handle, with the groups in `silent` (kSilent*) left at 0: what the status
// block must show.
constexpr uint32_t kSilentClocks = 1, kSilentTemperatures = 2, kSilentPools = 4;
HardwareReadings ReadChip(uint32_t silent = 0);
// The status block `readings` give, as the program formats it (the format itself: native StatusFormat tests).
std::wstring StatusBlock(const HardwareReadings& readings);
// The libnvrm stand-in's log of calls since the last take ("record" setting).
std::string TakeCallLog();

// The pages from their templates. The Processes page runs on a thread of its
// own, as in the sheet, over the platform as bound, or bound with `settings`.
HWND ShowPerformancePage();
class ProcessesPage {
 public:
  explicit ProcessesPage(const char* settings = nullptr);
  ~ProcessesPage();
  HWND Page() const { return page_; }
  DWORD ThreadId() const { return threadId_; }
  HWND List() const { return GetDlgItem(page_, IDC_PROCESS_LIST); }
  HWND ThreadList() const { return GetDlgItem(page_, IDC_THREAD_LIST); }

 private:
  std::thread thread_;
  std::atomic<DWORD> threadId_{0};
  std::atomic<HWND> page_{nullptr};
};

// Entry `name` of `library` (loaded if it is not yet) as a `Function`; null when absent.
template <typename Function>
Function Export(const wchar_t* library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(library), name)));
}

// The open context menu's window, or null.
HWND VisibleMenu();
// Ends the open menu, asked again until it has gone: an end asked while the
// menu is still being opened is lost, and the menu would stay open.
bool CloseMenu();

std::wstring ItemText(HWND list, int item, int subItem);
// A file's bytes, read while the monitor may still write it; "" when absent.
std::string FileText(const std::wstring& path);
// Lines of `text`, each without its line end.
std::vector<std::string> Lines(const std::string& text);
int FindItem(HWND list, DWORD processId);  // the process list's item of it, or -1
std::vector<unsigned long> Pids(HWND list);  // the process list's PIDs, top to bottom
inline bool Greyed(HMENU menu, UINT position) { return GetMenuState(menu, position, MF_BYPOSITION) & MF_GRAYED; }
// "" when the process list is in step with the table (tests/recorded_list.h).
std::string ListDiffersFromTable(HWND list);

// A client area's pixels, colours as 0x00BBGGRR.
constexpr uint32_t kPixelBlack = 0x000000, kPixelTrough = 0x008000, kPixelGreen = 0x00FF00;
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Fill(RECT rect, uint32_t colour);  // clipped, as FillRect does
  int Count(RECT region, uint32_t colour) const;
};
Picture CaptureClient(HWND control);
void SetClientSize(HWND control, int width, int height);
// Sizes the graphic controls' client areas as the pixel tests expect them (kGraph* order).
void SizeGraphs(HWND page);
struct GaugeBar {
  RECT rect;
  int levelTop;
  RECT figure;
  const wchar_t* text;
};
// The whole client area is black, the bars' troughs and levels, and each
// figure as DrawTextW paints it, green on black in the DC's default font.
void ExpectGauge(HWND control, std::initializer_list<GaugeBar> bars);
// One series flat on row yFlat from x0 up to xPrev, then one steep segment to
// (xLast, yLast); a wholly flat line ends at xLast - 1.
struct GraphLine {
  int x0, xPrev, xLast, yFlat, yLast;
};
void ExpectLines(HWND control, std::initializer_list<GraphLine> lines);

// The stand-ins' counts since the last take (standins/standin_counts.h).
struct StandinCounts;
StandinCounts TakeStandinCounts();

// Kernel handles `processId` holds, from the system's handle list; this
// process's private bytes.
ULONG KernelHandleCount(DWORD processId);
SIZE_T PrivateBytes();

#endif

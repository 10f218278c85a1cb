// Desktop stand-in for the chip's resource-manager library: a simulated module
// whose CPU clock follows the host's real processor load while scaling runs.
// Its values are documented in README.md beside this file.
//
// Safe to call from any thread: every entry point holds one critical section.
//
// Its test settings (a failing open, queries that write nothing, a stopped
// CPU clock, a log of every call, a model that stays still) are in standin_settings.h.
#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "platform/resource_manager_api.h"
#include "standins/standin_settings.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

STANDIN_SETTINGS_EXPORT

static constexpr uint32_t kSuccess = 0;
static constexpr uint32_t kErrorBadHandle = 1;
static constexpr uint32_t kErrorBadValue = 2;
static constexpr uint32_t kErrorNotStopped = 3;

static constexpr uint32_t kDomainCount = 7;  // 1 CPU, 2 AVP, 3 SYS, 4 AHB, 5 APB, 6 VID, 7 EMC
static constexpr uint32_t kDomainCpu = 1;
static constexpr uint32_t kDomainAvp = 2;
static constexpr uint32_t kDomainVid = 6;
static constexpr uint32_t kDomainEmc = 7;
static constexpr uint32_t kListPositions = 8;  // position = domain number; 0 has no domain
static constexpr uint32_t kUnchanged = 0xFFFFFFFFu;
static constexpr uint32_t kStateStopped = 2;
static constexpr uint32_t kStateRunning = 3;
static constexpr uint32_t kStatisticCount = 6;  // carveout total/used/largest free, GART the same
static constexpr uint32_t kZoneModule = 1;
static constexpr uint32_t kZoneCount = 2;       // 1 the module, 2 the processor

static constexpr DWORD kMinStepMs = 200;  // the model advances at most this often
static constexpr double kAmbientC = 30.0;
static constexpr double kModuleRiseC = 20.0;  // above ambient at full clock and full load
static constexpr double kCpuRiseC = 45.0;
static constexpr double kModuleTimeConstantS = 60.0;
static constexpr double kCpuTimeConstantS = 10.0;
static constexpr double kMsPerSecond = 1000.0;

static constexpr int32_t kPage = 4096;
static constexpr int32_t kMiB = 1024 * 1024;
static constexpr int32_t kCarveoutTotal = 64 * kMiB;
static constexpr int32_t kCarveoutBaseUsed = 16 * kMiB;  // plus up to this much again with the load
static constexpr int32_t kGartTotal = 32 * kMiB;
static constexpr int32_t kGartBaseUsed = 4 * kMiB;
static constexpr int32_t kGartLoadUsed = 8 * kMiB;
static constexpr double kCarveoutLargestShare = 0.75;  // of the free space: some fragmentation
static constexpr double kGartLargestShare = 0.5;

// Fixed figures of one domain, kHz; activity as a share of the current clock.
struct DomainDesign {
  uint32_t minimumKhz, maximumKhz;
  uint32_t runningKhz;      // the clock while scaling runs (0: follows the host load)
  double idleActivity;      // share in use with the host idle
  double loadActivity;      // share added at full host load
};

static const DomainDesign kDesigns[kDomainCount + 1] = {
    {0, 0, 0, 0.0, 0.0},                      // position 0: no domain
    {216000, 1000000, 0, 0.0, 1.0},           // CPU: busy exactly as the host
    {24000, 240000, 240000, 0.05, 0.20},      // AVP
    {24000, 300000, 240000, 0.10, 0.40},      // SYS
    {12000, 150000, 120000, 0.10, 0.40},      // AHB
    {12000, 150000, 60000, 0.05, 0.20},       // APB
    {24000, 300000, 200000, 0.02, 0.00},      // VID: nothing decodes video
    {333000, 667000, 0, 0.20, 0.50},          // EMC
};

struct Domain {
  uint32_t lowCornerKhz, highCornerKhz, currentKhz, averageKhz;
};

struct Chip {
  bool started;
  uint32_t state;
  Domain domains[kDomainCount + 1];
  double hostLoad;  // 0..1 over the last step
  ULONGLONG prevIdle, prevTotal;
  DWORD prevTick;
  double tModule, tCpu;  // degrees C
  int32_t stats[kStatisticCount + 1];  // bytes, statistic s at index s
};

static CRITICAL_SECTION g_lock;
static Chip g_chip;
static void* const kHandle = &g_chip;  // the one connection's handle

static ULONGLONG FileTimeValue(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

static uint32_t Clamp(uint32_t value, uint32_t low, uint32_t high) {
  return value < low ? low : (value > high ? high : value);
}

static uint32_t Between(uint32_t low, uint32_t high, double share) {
  return low + static_cast<uint32_t>(share * static_cast<double>(high - low));
}

static int32_t WholePages(double bytes) {
  return static_cast<int32_t>(bytes / kPage) * kPage;
}

// Host load from the platform's summed processor times since the last step.
static void MeasureHostLoad(Chip* chip) {
  FILETIME idle, kernel, user;
  if (!GetSystemTimes(&idle, &kernel, &user)) return;
  const ULONGLONG idleNow = FileTimeValue(idle);
  const ULONGLONG totalNow = FileTimeValue(kernel) + FileTimeValue(user);  // kernel includes idle
  const ULONGLONG idleDelta = idleNow - chip->prevIdle;
  const ULONGLONG totalDelta = totalNow - chip->prevTotal;
  if (chip->started && totalDelta > 0) {
    const double busy = idleDelta >= totalDelta ? 0.0 : static_cast<double>(totalDelta - idleDelta);
    chip->hostLoad = busy / static_cast<double>(totalDelta);
  }
  chip->prevIdle = idleNow;
  chip->prevTotal = totalNow;
}

static void UpdateClocks(Chip* chip) {
  for (uint32_t d = 1; d <= kDomainCount; ++d) {
    const DomainDesign& design = kDesigns[d];
    Domain& domain = chip->domains[d];
    if (chip->state == kStateRunning) {
      domain.currentKhz = design.runningKhz == 0
                              ? Between(domain.lowCornerKhz, domain.highCornerKhz, chip->hostLoad)
                              : Clamp(design.runningKhz, domain.lowCornerKhz, domain.highCornerKhz);
    }
    const double share = design.idleActivity + design.loadActivity * chip->hostLoad;
    domain.averageKhz = static_cast<uint32_t>(share * static_cast<double>(domain.currentKhz));
  }
}

// First-order lag toward the temperature that clock x load would hold.
static void UpdateTemperatures(Chip* chip, double seconds) {
  const Domain& cpu = chip->domains[kDomainCpu];
  const double power = chip->hostLoad * cpu.currentKhz / kDesigns[kDomainCpu].maximumKhz;
  const double moduleTarget = kAmbientC + kModuleRiseC * power;
  const double cpuTarget = kAmbientC + kCpuRiseC * power;
  chip->tModule += (moduleTarget - chip->tModule) * (1.0 - std::exp(-seconds / kModuleTimeConstantS));
  chip->tCpu += (cpuTarget - chip->tCpu) * (1.0 - std::exp(-seconds / kCpuTimeConstantS));
}

static void UpdatePools(Chip* chip) {
  const double load = chip->hostLoad;
  const int32_t carveoutUsed = WholePages(kCarveoutBaseUsed * (1.0 + load));
  const int32_t gartUsed = WholePages(kGartBaseUsed + kGartLoadUsed * load);
  chip->stats[1] = kCarveoutTotal;
  chip->stats[2] = carveoutUsed;
  chip->stats[3] = WholePages((kCarveoutTotal - carveoutUsed) * kCarveoutLargestShare);
  chip->stats[4] = kGartTotal;
  chip->stats[5] = gartUsed;
  chip->stats[6] = WholePages((kGartTotal - gartUsed) * kGartLargestShare);
}

// Brings the model up to now; called under the lock by every entry point.
static void Advance(Chip* chip) {
  const DWORD now = GetTickCount();
  if (!chip->started) {
    chip->state = kStateRunning;
    for (uint32_t d = 1; d <= kDomainCount; ++d) {
      chip->domains[d] = Domain{kDesigns[d].minimumKhz, kDesigns[d].maximumKhz, 0, 0};
    }
    chip->tModule = kAmbientC;
    chip->tCpu = kAmbientC;
    MeasureHostLoad(chip);
    chip->started = true;
    chip->prevTick = now;
    UpdateClocks(chip);
    UpdatePools(chip);
    return;
  }
  const DWORD elapsed = now - chip->prevTick;
  if (elapsed < kMinStepMs || StandinSetting("frozen")) return;
  chip->prevTick = now;
  MeasureHostLoad(chip);
  UpdateClocks(chip);
  UpdateTemperatures(chip, elapsed / kMsPerSecond);
  UpdatePools(chip);
}

// ---- The call log of the "record" setting ----

static constexpr size_t kLogChars = 32768;
static char g_log[kLogChars];
static size_t g_logLength;
static bool g_logFull;

static const char* HandleName(const void* handle) {
  return handle == kHandle ? "h" : (handle == nullptr ? "null" : "bad");
}

static void Log(const char* format, ...) {
  if (!StandinSetting("record")) return;
  char line[512];
  va_list args;
  va_start(args, format);
  const int length = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length < 0) return;
  const size_t size = static_cast<size_t>(length) < sizeof line ? static_cast<size_t>(length) : sizeof line - 1;
  if (g_logLength + size + 1 >= kLogChars) {
    g_logFull = true;
    return;
  }
  std::memcpy(g_log + g_logLength, line, size);
  g_logLength += size;
  g_log[g_logLength++] = '\n';
}

static void LogList(const char* entry, void* handle, uint32_t count, const uint32_t* list) {
  if (!StandinSetting("record")) return;
  char text[256];
  size_t used = 0;
  text[0] = '\0';
  for (uint32_t i = 0; list != nullptr && i < count && i < kListPositions; ++i) {
    const int length = snprintf(text + used, sizeof text - used, " %lu", static_cast<unsigned long>(list[i]));
    if (length < 0 || static_cast<size_t>(length) >= sizeof text - used) break;
    used += static_cast<size_t>(length);
  }
  Log("%s %s %lu%s", entry, HandleName(handle), static_cast<unsigned long>(count), text);
}

// Copies the log (one line per call, "\n" after each) into `buffer` and clears it.
STANDIN_EXPORT uint32_t StandinTakeCallLog(char* buffer, uint32_t capacity) {
  EnterCriticalSection(&g_lock);
  const char* tail = g_logFull ? "(log full)\n" : "";
  const int length = snprintf(buffer, capacity, "%.*s%s", static_cast<int>(g_logLength), g_log, tail);
  g_logLength = 0;
  g_logFull = false;
  LeaveCriticalSection(&g_lock);
  return length < 0 ? 0 : static_cast<uint32_t>(length);
}

// Holds the lock for one entry point and brings the model up to now.
struct Locked {
  Locked() {
    EnterCriticalSection(&g_lock);
    Advance(&g_chip);
  }
  ~Locked() { LeaveCriticalSection(&g_lock); }
};

// ---- The thirteen entry points ----

STANDIN_EXPORT uint32_t NvRmOpen(void** handle, uint32_t deviceId) {
  Locked lock;
  Log("NvRmOpen %lu", static_cast<unsigned long>(deviceId));
  if (handle == nullptr) return kErrorBadValue;
  if (StandinSetting("open-null")) {
    *handle = nullptr;
    return kErrorBadHandle;
  }
  *handle = kHandle;
  return kSuccess;
}

// The connection is the library's one chip; closing it changes nothing.
STANDIN_EXPORT void NvRmClose(void* handle) {
  Locked lock;
  Log("NvRmClose %s", HandleName(handle));
}

STANDIN_EXPORT uint32_t NvRmMemGetStat(uint32_t statistic, int32_t* bytes) {
  Locked lock;
  Log("NvRmMemGetStat %lu", static_cast<unsigned long>(statistic));
  if (statistic < 1 || statistic > kStatisticCount || bytes == nullptr) return kErrorBadValue;
  if (!StandinSetting("silent")) *bytes = g_chip.stats[statistic];
  return kSuccess;
}

STANDIN_EXPORT uint32_t NvRmDfsGetClockUtilization(void* handle, uint32_t domain, ClockUsage* usage) {
  Locked lock;
  Log("NvRmDfsGetClockUtilization %s %lu", HandleName(handle), static_cast<unsigned long>(domain));
  if (handle != kHandle) return kErrorBadHandle;
  if (domain < 1 || domain > kDomainCount || usage == nullptr) return kErrorBadValue;
  if (StandinSetting("silent")) return kSuccess;
  const Domain& d = g_chip.domains[domain];
  *usage = ClockUsage{kDesigns[domain].minimumKhz, kDesigns[domain].maximumKhz, d.lowCornerKhz,
                      d.highCornerKhz, d.currentKhz, d.averageKhz};
  if (domain == kDomainCpu && StandinSetting("cpu-zero")) {
    usage->currentKhz = 0;
    usage->highCornerKhz = 0;
  }
  return kSuccess;
}

STANDIN_EXPORT uint32_t NvRmDiagGetTemperature(void* handle, uint32_t zone, int32_t* celsius) {
  Locked lock;
  Log("NvRmDiagGetTemperature %s %lu", HandleName(handle), static_cast<unsigned long>(zone));
  if (handle != kHandle) return kErrorBadHandle;
  if (zone < 1 || zone > kZoneCount || celsius == nullptr) return kErrorBadValue;
  if (!StandinSetting("silent")) {
    *celsius = static_cast<int32_t>(std::lround(zone == kZoneModule ? g_chip.tModule : g_chip.tCpu));
  }
  return kSuccess;
}

STANDIN_EXPORT uint32_t NvRmDfsGetState(void* handle) {
  Locked lock;
  Log("NvRmDfsGetState %s", HandleName(handle));
  return handle == kHandle ? g_chip.state : 0;
}

// Stopping holds every clock where it is; running hands them back to the scaler.
STANDIN_EXPORT uint32_t NvRmDfsSetState(void* handle, uint32_t state) {
  Locked lock;
  Log("NvRmDfsSetState %s %lu", HandleName(handle), static_cast<unsigned long>(state));
  if (handle != kHandle) return kErrorBadHandle;
  if (state != kStateStopped && state != kStateRunning) return kErrorBadValue;
  g_chip.state = state;
  UpdateClocks(&g_chip);
  return kSuccess;
}

// Low corners by domain, each held between the domain's minimum and its high corner.
STANDIN_EXPORT uint32_t NvRmDfsSetLowCorner(void* handle, uint32_t count, const uint32_t* lowCornersKhz) {
  Locked lock;
  LogList("NvRmDfsSetLowCorner", handle, count, lowCornersKhz);
  if (handle != kHandle) return kErrorBadHandle;
  if (lowCornersKhz == nullptr) return kErrorBadValue;
  for (uint32_t d = 1; d < count && d <= kDomainCount; ++d) {
    if (lowCornersKhz[d] == kUnchanged) continue;
    Domain& domain = g_chip.domains[d];
    domain.lowCornerKhz = Clamp(lowCornersKhz[d], kDesigns[d].minimumKhz, domain.highCornerKhz);
  }
  UpdateClocks(&g_chip);
  return kSuccess;
}

// Only while scaling is stopped: each listed clock is set, held between the
// domain's minimum and maximum. Position 0 has no domain and is ignored.
STANDIN_EXPORT uint32_t NvRmDfsSetTarget(void* handle, uint32_t count, const uint32_t* targetsKhz) {
  Locked lock;
  LogList("NvRmDfsSetTarget", handle, count, targetsKhz);
  if (handle != kHandle) return kErrorBadHandle;
  if (targetsKhz == nullptr) return kErrorBadValue;
  if (g_chip.state != kStateStopped) return kErrorNotStopped;
  for (uint32_t d = 1; d < count && d <= kDomainCount; ++d) {
    if (targetsKhz[d] == kUnchanged) continue;
    g_chip.domains[d].currentKhz = Clamp(targetsKhz[d], kDesigns[d].minimumKhz, kDesigns[d].maximumKhz);
  }
  UpdateClocks(&g_chip);
  return kSuccess;
}

// Both corners of one domain, held within its range; a low above the high is refused.
static uint32_t SetEnvelope(uint32_t d, uint32_t lowKhz, uint32_t highKhz) {
  Domain& domain = g_chip.domains[d];
  const uint32_t low = lowKhz == kUnchanged ? domain.lowCornerKhz : lowKhz;
  const uint32_t high = highKhz == kUnchanged ? domain.highCornerKhz : highKhz;
  const uint32_t clampedLow = Clamp(low, kDesigns[d].minimumKhz, kDesigns[d].maximumKhz);
  const uint32_t clampedHigh = Clamp(high, kDesigns[d].minimumKhz, kDesigns[d].maximumKhz);
  if (clampedLow > clampedHigh) return kErrorBadValue;
  domain.lowCornerKhz = clampedLow;
  domain.highCornerKhz = clampedHigh;
  UpdateClocks(&g_chip);
  return kSuccess;
}

STANDIN_EXPORT uint32_t NvRmDfsSetCpuEnvelope(void* handle, uint32_t lowCornerKhz, uint32_t highCornerKhz) {
  Locked lock;
  Log("NvRmDfsSetCpuEnvelope %s %lu %lu", HandleName(handle), static_cast<unsigned long>(lowCornerKhz),
      static_cast<unsigned long>(highCornerKhz));
  if (handle != kHandle) return kErrorBadHandle;
  return SetEnvelope(kDomainCpu, lowCornerKhz, highCornerKhz);
}

STANDIN_EXPORT uint32_t NvRmDfsSetEmcEnvelope(void* handle, uint32_t lowCornerKhz, uint32_t highCornerKhz) {
  Locked lock;
  Log("NvRmDfsSetEmcEnvelope %s %lu %lu", HandleName(handle), static_cast<unsigned long>(lowCornerKhz),
      static_cast<unsigned long>(highCornerKhz));
  if (handle != kHandle) return kErrorBadHandle;
  return SetEnvelope(kDomainEmc, lowCornerKhz, highCornerKhz);
}

// High corners only; each is refused alone when it would fall below its low corner.
static uint32_t SetHighCorners(uint32_t first, uint32_t firstKhz, uint32_t second, uint32_t secondKhz) {
  const uint32_t a = SetEnvelope(first, kUnchanged, firstKhz);
  const uint32_t b = SetEnvelope(second, kUnchanged, secondKhz);
  return a != kSuccess ? a : b;
}

STANDIN_EXPORT uint32_t NvRmDfsSetCpuEmcHighCorner(void* handle, uint32_t cpuHighKhz, uint32_t emcHighKhz) {
  Locked lock;
  Log("NvRmDfsSetCpuEmcHighCorner %s %lu %lu", HandleName(handle), static_cast<unsigned long>(cpuHighKhz),
      static_cast<unsigned long>(emcHighKhz));
  if (handle != kHandle) return kErrorBadHandle;
  return SetHighCorners(kDomainCpu, cpuHighKhz, kDomainEmc, emcHighKhz);
}

STANDIN_EXPORT uint32_t NvRmDfsSetAvHighCorner(void* handle, uint32_t avpHighKhz, uint32_t vidHighKhz) {
  Locked lock;
  Log("NvRmDfsSetAvHighCorner %s %lu %lu", HandleName(handle), static_cast<unsigned long>(avpHighKhz),
      static_cast<unsigned long>(vidHighKhz));
  if (handle != kHandle) return kErrorBadHandle;
  return SetHighCorners(kDomainAvp, avpHighKhz, kDomainVid, vidHighKhz);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_lock);
  // At process exit other threads may still hold the lock: leave it be.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) DeleteCriticalSection(&g_lock);
  return TRUE;
}

// The exports keep the program's call shapes.
#define STANDIN_SAME_SHAPE(function, type) \
  static_assert(std::is_same<decltype(&function), type>::value, #function " call shape")
STANDIN_SAME_SHAPE(NvRmOpen, PFN_NvRmOpen);
STANDIN_SAME_SHAPE(NvRmClose, PFN_NvRmClose);
STANDIN_SAME_SHAPE(NvRmMemGetStat, PFN_NvRmMemGetStat);
STANDIN_SAME_SHAPE(NvRmDfsGetClockUtilization, PFN_NvRmDfsGetClockUtilization);
STANDIN_SAME_SHAPE(NvRmDiagGetTemperature, PFN_NvRmDiagGetTemperature);
STANDIN_SAME_SHAPE(NvRmDfsGetState, PFN_NvRmDfsGetState);
STANDIN_SAME_SHAPE(NvRmDfsSetState, PFN_NvRmDfsSetState);
STANDIN_SAME_SHAPE(NvRmDfsSetLowCorner, PFN_NvRmDfsSetLowCorner);
STANDIN_SAME_SHAPE(NvRmDfsSetTarget, PFN_NvRmDfsSetTarget);
STANDIN_SAME_SHAPE(NvRmDfsSetCpuEnvelope, PFN_NvRmDfsSetCpuEnvelope);
STANDIN_SAME_SHAPE(NvRmDfsSetEmcEnvelope, PFN_NvRmDfsSetEmcEnvelope);
STANDIN_SAME_SHAPE(NvRmDfsSetCpuEmcHighCorner, PFN_NvRmDfsSetCpuEmcHighCorner);
STANDIN_SAME_SHAPE(NvRmDfsSetAvHighCorner, PFN_NvRmDfsSetAvHighCorner);

// No heap allocation in the sampling loop, under Wine: 1000 cycles driven
// with both pages up (the hardware status, the drawing, the totals and a
// process pass each cycle) make no allocation call from the monitor's
// modules. The calls are counted at the modules' import tables: every
// allocation the program's code or its statically linked run-time asks for
// goes through one of these entries. What the system libraries allocate
// inside their own calls is theirs.
#include <gtest/gtest.h>

#include <string>

#include <cstdio>
#include <cstring>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/resource_manager.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/pixel_support.h"
#include "tests/wine/wine_support.h"
#include "ui/processes/processes_page.h"

namespace {

// The monitor's modules: the program (here linked into the test) and the stand-ins.
constexpr int kModuleCount = 3;
const wchar_t* const kModuleNames[kModuleCount] = {nullptr, L"coredll.dll", L"libnvrm.dll"};
const char* const kModuleLabels[kModuleCount] = {"program", "coredll.dll", "libnvrm.dll"};

struct ModuleRange {
  const BYTE* base;
  size_t size;
};
ModuleRange g_modules[kModuleCount];
volatile LONG g_counting = 0;
volatile LONG g_calls[kModuleCount];

// Attributes a call to the module its return address lies in.
void CountCall(const void* returnAddress) {
  if (!g_counting) return;
  const BYTE* address = static_cast<const BYTE*>(returnAddress);
  for (int m = 0; m < kModuleCount; ++m) {
    if (address >= g_modules[m].base && address < g_modules[m].base + g_modules[m].size) {
      InterlockedIncrement(&g_calls[m]);
    }
  }
}

#define RETURN_ADDRESS() __builtin_return_address(0)

// One counting stand-in per allocating entry point; each forwards to the
// entry the import table held.
void* (*g_malloc)(size_t);
void* CountingMalloc(size_t size) {
  CountCall(RETURN_ADDRESS());
  return g_malloc(size);
}
void* (*g_calloc)(size_t, size_t);
void* CountingCalloc(size_t count, size_t size) {
  CountCall(RETURN_ADDRESS());
  return g_calloc(count, size);
}
void* (*g_realloc)(void*, size_t);
void* CountingRealloc(void* block, size_t size) {
  CountCall(RETURN_ADDRESS());
  return g_realloc(block, size);
}
char* (*g_strdup)(const char*);
char* CountingStrdup(const char* text) {
  CountCall(RETURN_ADDRESS());
  return g_strdup(text);
}
wchar_t* (*g_wcsdup)(const wchar_t*);
wchar_t* CountingWcsdup(const wchar_t* text) {
  CountCall(RETURN_ADDRESS());
  return g_wcsdup(text);
}
LPVOID(WINAPI* g_heapAlloc)(HANDLE, DWORD, SIZE_T);
LPVOID WINAPI CountingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  CountCall(RETURN_ADDRESS());
  return g_heapAlloc(heap, flags, size);
}
LPVOID(WINAPI* g_heapReAlloc)(HANDLE, DWORD, LPVOID, SIZE_T);
LPVOID WINAPI CountingHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  CountCall(RETURN_ADDRESS());
  return g_heapReAlloc(heap, flags, block, size);
}
HLOCAL(WINAPI* g_localAlloc)(UINT, SIZE_T);
HLOCAL WINAPI CountingLocalAlloc(UINT flags, SIZE_T size) {
  CountCall(RETURN_ADDRESS());
  return g_localAlloc(flags, size);
}
HGLOBAL(WINAPI* g_globalAlloc)(UINT, SIZE_T);
HGLOBAL WINAPI CountingGlobalAlloc(UINT flags, SIZE_T size) {
  CountCall(RETURN_ADDRESS());
  return g_globalAlloc(flags, size);
}

struct Hook {
  const char* name;
  void** original;  // where the entry the table held is kept
  void* counting;
};
const Hook kHooks[] = {
    {"malloc", reinterpret_cast<void**>(&g_malloc), reinterpret_cast<void*>(CountingMalloc)},
    {"calloc", reinterpret_cast<void**>(&g_calloc), reinterpret_cast<void*>(CountingCalloc)},
    {"realloc", reinterpret_cast<void**>(&g_realloc), reinterpret_cast<void*>(CountingRealloc)},
    {"_strdup", reinterpret_cast<void**>(&g_strdup), reinterpret_cast<void*>(CountingStrdup)},
    {"_wcsdup", reinterpret_cast<void**>(&g_wcsdup), reinterpret_cast<void*>(CountingWcsdup)},
    {"HeapAlloc", reinterpret_cast<void**>(&g_heapAlloc), reinterpret_cast<void*>(CountingHeapAlloc)},
    {"HeapReAlloc", reinterpret_cast<void**>(&g_heapReAlloc), reinterpret_cast<void*>(CountingHeapReAlloc)},
    {"LocalAlloc", reinterpret_cast<void**>(&g_localAlloc), reinterpret_cast<void*>(CountingLocalAlloc)},
    {"GlobalAlloc", reinterpret_cast<void**>(&g_globalAlloc), reinterpret_cast<void*>(CountingGlobalAlloc)},
};

void WriteSlot(ULONG_PTR* slot, ULONG_PTR value) {
  DWORD protection;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
  *slot = value;
  VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// Points every hooked import of `module` at its counting stand-in
// (`install`), or back at the original. Returns the entries changed.
int PatchImports(HMODULE module, bool install) {
  BYTE* base = reinterpret_cast<BYTE*>(module);
  const IMAGE_NT_HEADERS* headers =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int patched = 0;
  for (const IMAGE_IMPORT_DESCRIPTOR* library =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && library->Name != 0; ++library) {
    const DWORD nameTable = library->OriginalFirstThunk != 0 ? library->OriginalFirstThunk : library->FirstThunk;
    const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + nameTable);
    IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      for (const Hook& hook : kHooks) {
        if (std::strcmp(name, hook.name) != 0) continue;
        ULONG_PTR* slot = reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
        if (install) {
          *hook.original = reinterpret_cast<void*>(*slot);
          WriteSlot(slot, reinterpret_cast<ULONG_PTR>(hook.counting));
        } else {
          WriteSlot(slot, reinterpret_cast<ULONG_PTR>(*hook.original));
        }
        ++patched;
      }
    }
  }
  return patched;
}

void PatchModules(bool install) {
  for (int m = 0; m < kModuleCount; ++m) {
    HMODULE module = GetModuleHandleW(kModuleNames[m]);
    if (module == nullptr) continue;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_NT_HEADERS* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    g_modules[m] = {base, headers->OptionalHeader.SizeOfImage};
    PatchImports(module, install);
  }
}

void Drain() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

constexpr int kWarmUpCycles = 3;
constexpr int kDrivenCycles = 1000;

TEST(HeapCalls, NoneFromTheMonitorsModulesInAThousandDrivenCycles) {
  ResetMonitorState();
  BindKernelExtensions();
  BindResourceManager();
  ASSERT_EQ(2u, g_state.processorCount) << "the kernel stand-in is bound";
  ASSERT_EQ(1u, g_state.rmAvailable) << "the simulated chip is bound";
  HWND performance = ShowPerformancePage();
  HWND processes = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                      ProcessesPageProc, 0);
  ASSERT_TRUE(performance != nullptr && processes != nullptr);
  ShowWindow(processes, SW_SHOWNOACTIVATE);
  g_state.performancePage.store(performance);
  g_state.processesPage.store(processes);

  // The record of every cycle too (/l), to a file.
  g_state.recordFigures = 1;
  StdoutCapture record;
  SamplerContext context = {};
  StartSampling(&context);
  for (int i = 0; i < kWarmUpCycles; ++i) {
    RunSamplingCycle(&context);
    Drain();
  }

  PatchModules(true);
  // The hooks must see an allocation the program's module makes.
  g_calls[0] = 0;
  g_counting = 1;
  void* volatile probe = std::malloc(16);
  g_counting = 0;
  std::free(probe);
  EXPECT_EQ(1, g_calls[0]) << "the counting hooks are in place";

  for (int m = 0; m < kModuleCount; ++m) g_calls[m] = 0;
  g_counting = 1;
  for (int i = 0; i < kDrivenCycles; ++i) {
    // Every other cycle the Processes page is away: the totals are counted.
    g_state.processesPage.store(i % 2 == 0 ? processes : nullptr);
    RunSamplingCycle(&context);
    Drain();  // the pages' repaints, as the main thread would make them
  }
  g_counting = 0;
  PatchModules(false);
  EXPECT_NE(std::string::npos, record.Text().find("\r\n")) << "the cycles were recorded";

  for (int m = 0; m < kModuleCount; ++m) {
    std::printf("heap calls in %d driven cycles from %s: %ld\n", kDrivenCycles, kModuleLabels[m],
                static_cast<long>(g_calls[m]));
    EXPECT_EQ(0, g_calls[m]) << kModuleLabels[m];
  }
  EXPECT_GT(g_state.processTable.processCount, 0u) << "the passes listed the processes";
  DestroyWindow(processes);
  DestroyWindow(performance);
}

}  // namespace

// A library planted in the working directory under the resource manager's
// name. If a program loads it, it leaves a marker file in the working
// directory and says so on standard output.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    static const char kMarker[] = "planted library loaded\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kMarker, sizeof kMarker - 1, &written, nullptr);
    HANDLE file = CreateFileW(L"planted-library-loaded.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return TRUE;
}

// The resource manager's first entry point, so that a lookup would succeed.
extern "C" __declspec(dllexport) int NvRmOpen(void** handle, unsigned) {
  *handle = nullptr;
  return 0;
}

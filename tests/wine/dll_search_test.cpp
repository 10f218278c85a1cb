// The optional libraries are found beside the program or in the system
// folders, never in the working directory.
#include <gtest/gtest.h>

#include <string>

#include "app/constants.h"
#include "tests/wine/wine_support.h"

namespace {

std::wstring TempFolder(const wchar_t* name) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

TEST(DllSearch, LibraryPlantedInTheWorkingDirectoryIsNeverLoaded) {
  // The program alone in its folder; the planted library in the working directory.
  const std::wstring programFolder = TempFolder(L"selvane-program-");
  const std::wstring workFolder = TempFolder(L"selvane-work-");
  const std::wstring program = programFolder + L"\\selvane-monitor.exe";
  ASSERT_TRUE(CopyFileW(BinPath(L"selvane-monitor.exe").c_str(), program.c_str(), FALSE));
  const std::wstring planted = workFolder + L"\\libnvrm.dll";
  ASSERT_TRUE(CopyFileW(BinPath(L"..\\planted\\libnvrm.dll").c_str(), planted.c_str(), FALSE));
  const std::wstring marker = workFolder + L"\\planted-library-loaded.txt";
  DeleteFileW(marker.c_str());

  ChildProcess child;
  ASSERT_TRUE(StartChild(L"\"" + program + L"\"", workFolder.c_str(), &child));
  HWND sheet = WaitForWindow(child.processId, SELVANE_CAPTION, 10000);
  ASSERT_NE(nullptr, sheet);
  Sleep(1500);  // past the first sample
  HWND performance = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 1, 0));
  EXPECT_EQ(L"", WindowText(GetDlgItem(performance, IDC_STATUS_TEXT)));  // no hardware figures
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, WaitChild(&child, 10000));
  EXPECT_EQ("", ReadChildOutput(&child));
  EndChild(&child);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(marker.c_str())) << "the planted library ran";

  DeleteFileW(marker.c_str());
  DeleteFileW(planted.c_str());
  DeleteFileW(program.c_str());
  RemoveDirectoryW(workFolder.c_str());
  RemoveDirectoryW(programFolder.c_str());
}

}  // namespace

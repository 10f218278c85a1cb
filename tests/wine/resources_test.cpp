// The dialog templates and the menu, read back from the linked resources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/constants.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"

namespace {

struct Control {
  int id;
  std::wstring className;
  std::wstring text;
  short x, y, cx, cy;
  DWORD style, exStyle;
};

struct Template {
  DWORD style, exStyle;
  short x, y, cx, cy;
  std::wstring caption, font;
  WORD pointSize;
  std::vector<Control> controls;
};

// A name-or-ordinal field; predefined classes may come as ordinals.
std::wstring ReadNameOrOrdinal(const WORD*& cursor) {
  if (*cursor == 0xFFFF) {
    const WORD ordinal = cursor[1];
    cursor += 2;
    switch (ordinal) {
      case 0x80: return L"BUTTON";
      case 0x81: return L"EDIT";
      case 0x82: return L"STATIC";
      case 0x85: return L"COMBOBOX";
      default: return L"#" + std::to_wstring(ordinal);
    }
  }
  std::wstring text(reinterpret_cast<const wchar_t*>(cursor));
  cursor += text.size() + 1;
  return text;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towupper(c));
  return text;
}

Template ReadTemplate(int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
  EXPECT_NE(nullptr, resource);
  const DLGTEMPLATE* header = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, resource)));
  Template result = {};
  result.style = header->style;
  result.exStyle = header->dwExtendedStyle;
  result.x = header->x;
  result.y = header->y;
  result.cx = header->cx;
  result.cy = header->cy;
  const WORD* cursor = reinterpret_cast<const WORD*>(header + 1);
  EXPECT_EQ(L"", ReadNameOrOrdinal(cursor));  // no menu
  EXPECT_EQ(L"", ReadNameOrOrdinal(cursor));  // default class
  result.caption = ReadNameOrOrdinal(cursor);
  result.pointSize = *cursor++;
  result.font = ReadNameOrOrdinal(cursor);
  for (int i = 0; i < header->cdit; ++i) {
    cursor = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(cursor) + 3) & ~uintptr_t{3});
    const DLGITEMTEMPLATE* item = reinterpret_cast<const DLGITEMTEMPLATE*>(cursor);
    Control control = {};
    control.style = item->style;
    control.exStyle = item->dwExtendedStyle;
    control.x = item->x;
    control.y = item->y;
    control.cx = item->cx;
    control.cy = item->cy;
    control.id = item->id;
    cursor = reinterpret_cast<const WORD*>(item + 1);
    control.className = Upper(ReadNameOrOrdinal(cursor));
    control.text = ReadNameOrOrdinal(cursor);
    cursor += 1 + *cursor / sizeof(WORD);  // creation data
    result.controls.push_back(control);
  }
  return result;
}

void ExpectControls(const Template& actual, const std::vector<Control>& expected) {
  ASSERT_EQ(expected.size(), actual.controls.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Control& e = expected[i];
    const Control& a = actual.controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1));
    EXPECT_EQ(e.id, a.id);
    EXPECT_EQ(e.className, a.className);
    EXPECT_EQ(e.text, a.text);
    EXPECT_EQ(e.x, a.x);
    EXPECT_EQ(e.y, a.y);
    EXPECT_EQ(e.cx, a.cx);
    EXPECT_EQ(e.cy, a.cy);
    EXPECT_EQ(e.style, a.style);
    EXPECT_EQ(e.exStyle, a.exStyle);
  }
}

TEST(Resources, PerformanceDialogAsDesigned) {
  const Template page = ReadTemplate(IDD_PERFORMANCE);
  EXPECT_EQ(0x80CF0040u, page.style);
  EXPECT_EQ(0u, page.exStyle);
  EXPECT_EQ(0, page.x);
  EXPECT_EQ(0, page.y);
  EXPECT_EQ(287, page.cx);
  EXPECT_EQ(223, page.cy);
  EXPECT_EQ(L"Performance", page.caption);
  EXPECT_EQ(8, page.pointSize);
  EXPECT_EQ(L"MS Sans Serif", page.font);
  const int none = 0xFFFF;
  ExpectControls(page, {
      {1024, L"STATIC", L"", 13, 18, 56, 36, 0x50000000, 0x200},
      {1022, L"STATIC", L"", 88, 19, 182, 36, 0x50000000, 0x200},
      {1025, L"STATIC", L"", 13, 72, 32, 40, 0x50000000, 0x200},
      {1023, L"STATIC", L"", 60, 72, 210, 40, 0x50000000, 0x200},
      {none, L"STATIC", L"Processes", 13, 136, 42, 10, 0x50020000, 0},
      {1043, L"STATIC", L"0", 86, 136, 42, 10, 0x50020002, 0},
      {none, L"STATIC", L"Threads", 13, 149, 42, 10, 0x50020000, 0},
      {1044, L"STATIC", L"0", 86, 148, 42, 10, 0x50020002, 0},
      {none, L"STATIC", L"Total", 147, 137, 42, 10, 0x50020000, 0},
      {1045, L"STATIC", L"0", 220, 137, 42, 10, 0x50020002, 0},
      {none, L"STATIC", L"Available", 147, 150, 42, 10, 0x50020000, 0},
      {1046, L"STATIC", L"0", 220, 150, 42, 10, 0x50020002, 0},
      {none, L"BUTTON", L"MEM Usage History", 55, 60, 222, 58, 0x50000007, 0},
      {none, L"BUTTON", L"CPU Usage", 5, 8, 70, 51, 0x50000007, 0},
      {none, L"BUTTON", L"CPU Usage History", 81, 8, 195, 51, 0x50000007, 0},
      {none, L"BUTTON", L"MEM Usage", 7, 60, 43, 58, 0x50000007, 0},
      {1036, L"BUTTON", L"Totals", 7, 126, 128, 38, 0x50000007, 0},
      {1037, L"BUTTON", L"Physical Memory", 139, 126, 138, 38, 0x50000007, 0},
      {4001, L"STATIC", L"", 8, 180, 180, 60, 0x50020000, 0},
      {4002, L"BUTTON", L"Disable DFS", 192, 168, 64, 10, 0x50010003, 0},
      {4003, L"BUTTON", L"Set", 240, 204, 34, 14, 0x50010000, 0},
      {4004, L"COMBOBOX", L"", 192, 184, 48, 40, 0x50A10003, 0},
      {4005, L"EDIT", L"", 192, 204, 40, 12, 0x50810080, 0},
  });
}

TEST(Resources, ProcessesDialogAsDesigned) {
  const Template page = ReadTemplate(IDD_PROCESSES);
  EXPECT_EQ(0x80C000C0u, page.style);
  EXPECT_EQ(0u, page.exStyle);
  EXPECT_EQ(333, page.cx);
  EXPECT_EQ(241, page.cy);
  EXPECT_EQ(L"Processes", page.caption);
  EXPECT_EQ(8, page.pointSize);
  EXPECT_EQ(L"MS Sans Serif", page.font);
  const int none = 0xFFFF;
  ExpectControls(page, {
      {1023, L"SYSLISTVIEW32", L"List1", 7, 17, 319, 140, 0x50810001, 0x200},
      {1024, L"SYSLISTVIEW32", L"List1", 7, 173, 319, 61, 0x50810001, 0x200},
      {none, L"STATIC", L"Processes:", 7, 7, 92, 11, 0x50020000, 0},
      {none, L"STATIC", L"Threads", 7, 162, 92, 11, 0x50020000, 0},
  });
}

std::wstring ItemText(HMENU menu, UINT position) {
  wchar_t text[64] = {};
  GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return text;
}

TEST(Resources, ContextMenuAsDesigned) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_CONTEXT));
  ASSERT_NE(nullptr, menu);
  ASSERT_EQ(1, GetMenuItemCount(menu));
  EXPECT_EQ(L"View", ItemText(menu, 0));
  HMENU view = GetSubMenu(menu, 0);
  ASSERT_EQ(4, GetMenuItemCount(view));
  EXPECT_EQ(L"Kill Process", ItemText(view, 0));
  EXPECT_EQ(IDM_KILL_PROCESS, static_cast<int>(GetMenuItemID(view, 0)));
  EXPECT_EQ(L"Show Threads", ItemText(view, 1));
  EXPECT_EQ(IDM_SHOW_THREADS, static_cast<int>(GetMenuItemID(view, 1)));
  EXPECT_EQ(L"Set Priority", ItemText(view, 2));
  EXPECT_EQ(L"Set Affinity", ItemText(view, 3));
  HMENU priority = GetSubMenu(view, 2);
  const wchar_t* priorities[] = {L"High", L"Normal", L"Low"};
  for (UINT i = 0; i < 3; ++i) {
    EXPECT_EQ(priorities[i], ItemText(priority, i));
    EXPECT_EQ(IDM_PRIORITY_HIGH + i, GetMenuItemID(priority, i));
  }
  HMENU affinity = GetSubMenu(view, 3);
  const wchar_t* affinities[] = {L"None", L"CPU1", L"CPU2", L"CPU3", L"CPU4"};
  ASSERT_EQ(5, GetMenuItemCount(affinity));
  for (UINT i = 0; i < 5; ++i) {
    EXPECT_EQ(affinities[i], ItemText(affinity, i));
    EXPECT_EQ(IDM_AFFINITY_NONE + i, GetMenuItemID(affinity, i));  // 6001 + the affinity value
    EXPECT_EQ(0u, GetMenuState(affinity, i, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED));
  }
  DestroyMenu(menu);
}

// Each gauge icon is one 16x16 image in 16 colours; the sheet's has 32x32 and 16x16.
TEST(Resources, IconsAreSixteenColourImagesOfTheRightSizes) {
  HMODULE module = GetModuleHandleW(nullptr);
  struct Expectation {
    int group;
    std::vector<int> sizes;
  };
  std::vector<Expectation> expectations = {{IDI_MONITOR, {32, 16}}};
  for (int id = IDI_GAUGE_FIRST; id <= IDI_GAUGE_LAST; ++id) expectations.push_back({id, {16}});
  for (const Expectation& e : expectations) {
    SCOPED_TRACE(e.group);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(e.group), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(nullptr, group);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    const WORD count = *reinterpret_cast<const WORD*>(data + 4);
    ASSERT_EQ(e.sizes.size(), count);
    for (WORD i = 0; i < count; ++i) {
      const BYTE* entry = data + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, size, id
      EXPECT_EQ(e.sizes[i], entry[0]);
      EXPECT_EQ(e.sizes[i], entry[1]);
      EXPECT_EQ(16, entry[2]);
      EXPECT_EQ(4, *reinterpret_cast<const WORD*>(entry + 6));
    }
    EXPECT_NE(nullptr, LoadIconW(module, MAKEINTRESOURCEW(e.group)));
  }
}

}  // namespace

// The graphic controls keep their pictures: shown again, uncovered, or before
// the first cycle, each paints at once what it showed last (or black).
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "tests/wine/pixel_support.h"
#include "tests/wine/wine_support.h"

namespace {

const int kGraphIds[kGraphCount] = {IDC_CPU_GAUGE, IDC_CPU_HISTORY, IDC_MEM_GAUGE, IDC_MEM_HISTORY};
constexpr DWORD kRepaintMs = 150;  // how soon after the page comes back the pictures must be there

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

uint32_t Generation() { return PictureGeneration(&g_stateLock, &g_state.pictures); }

// Waits for a cycle to draw, then a little, so the next one is most of a period away.
void AfterADrawing() {
  const uint32_t before = Generation();
  const DWORD start = GetTickCount();
  while (Generation() == before && GetTickCount() - start < 3 * kSamplePeriodMs) Sleep(5);
  Sleep(30);
}

struct Pictures {
  Picture control[kGraphCount];
};

Pictures Capture(HWND page) {
  Pictures pictures;
  for (uint32_t g = 0; g < kGraphCount; ++g) pictures.control[g] = CaptureClient(GetDlgItem(page, kGraphIds[g]));
  return pictures;
}

// The controls show `before` again within kRepaintMs of `disturb`, unless a
// cycle drew meanwhile (then the try does not count). Returns the tries that counted.
template <typename Disturb>
int ExpectPicturesKept(HWND sheet, int tries, Disturb disturb) {
  int counted = 0;
  for (int attempt = 0; counted < tries && attempt < 3 * tries; ++attempt) {
    AfterADrawing();
    HWND page = CurrentPage(sheet);
    const Pictures before = Capture(page);
    const uint32_t generation = Generation();
    disturb();
    Sleep(kRepaintMs);
    const Pictures after = Capture(CurrentPage(sheet));
    if (Generation() != generation) continue;  // a cycle drew a newer picture
    ++counted;
    for (uint32_t g = 0; g < kGraphCount; ++g) {
      EXPECT_EQ(before.control[g].pixels, after.control[g].pixels) << "control " << kGraphIds[g] << ", try " << counted;
    }
    if (::testing::Test::HasFailure()) break;
  }
  return counted;
}

TEST(KeptPictures, ShownAgainAfterPageSwitches) {
  InProcessMonitor monitor;
  ASSERT_TRUE(StartInProcess(&monitor, L""));
  AfterADrawing();
  AfterADrawing();  // the histories have moved off their first layout
  const int counted = ExpectPicturesKept(monitor.sheet, 10, [&] {
    SendMessageW(monitor.sheet, PSM_SETCURSEL, 0, 0);  // Processes
    Sleep(100);
    SendMessageW(monitor.sheet, PSM_SETCURSEL, 1, 0);  // back to Performance
  });
  EXPECT_EQ(10, counted);
  EXPECT_EQ(0u, CloseInProcess(&monitor));
}

TEST(KeptPictures, ShownAgainWhenUncovered) {
  InProcessMonitor monitor;
  ASSERT_TRUE(StartInProcess(&monitor, L""));
  AfterADrawing();
  RECT sheetRect;
  GetWindowRect(monitor.sheet, &sheetRect);
  const int counted = ExpectPicturesKept(monitor.sheet, 3, [&] {
    // A topmost window over the whole sheet, then gone.
    HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, sheetRect.left,
                                 sheetRect.top, sheetRect.right - sheetRect.left, sheetRect.bottom - sheetRect.top,
                                 nullptr, nullptr, nullptr, nullptr);
    PumpFor(50);
    DestroyWindow(cover);
    // Wine keeps a covered window's pixels in a surface of its own; a
    // desktop repaints what was uncovered, which is asked for here.
    RedrawWindow(monitor.sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  });
  EXPECT_EQ(3, counted);
  EXPECT_EQ(0u, CloseInProcess(&monitor));
}

TEST(KeptPictures, BlackBeforeTheFirstCycle) {
  ResetMonitorState();
  HWND page = ShowPerformancePage();
  ASSERT_NE(nullptr, page);
  InvalidateRect(page, nullptr, TRUE);
  PumpFor(100);
  for (int id : kGraphIds) {
    const Picture picture = CaptureClient(GetDlgItem(page, id));
    ASSERT_GT(picture.width, 0);
    EXPECT_EQ(picture.width * picture.height, CountColour(picture, {0, 0, picture.width, picture.height}, kPixelBlack))
        << "control " << id;
  }
  DestroyWindow(page);
}

}  // namespace

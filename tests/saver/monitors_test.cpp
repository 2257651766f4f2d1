// The saver on a desktop of several monitors: the box on the primary one, a black cover on each
// other one, and input on a cover ending the saver like input on the saver window.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "monitors.h"
#include "tscrnsav.h"

namespace {

TRect WindowArea(HWND window) {
  RECT area{};
  EXPECT_TRUE(GetWindowRect(window, &area));
  return TRect(area.left, area.top, area.right, area.bottom);
}

class SaverMonitors : public ::testing::Test {
 protected:
  void SetUp() override {
    monitors = GetMonitorRects();
    ASSERT_FALSE(monitors.empty());
  }

  std::unique_ptr<TScrnSavWindow> Make() {
    auto made = std::make_unique<TScrnSavWindow>(nullptr);
    EXPECT_TRUE(made->Create());
    return made;
  }

  // Dispatches the message to the saver's first cover; true when the saver closed.
  bool CoverCloses(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    auto saver = Make();
    if (saver->GetCovers().empty()) return false;
    TMessage sent{message, wParam, lParam, 0};
    saver->GetCovers().front()->Dispatch(sent);
    app.PumpWaitingMessages();
    return saver->GetHandle() == nullptr;
  }

  TApplication app{"monitors"};
  std::vector<TRect> monitors;
};

TEST_F(SaverMonitors, TheBoxStaysOnThePrimaryAndEveryOtherMonitorIsCovered) {
  auto saver = Make();
  EXPECT_EQ(WindowArea(saver->GetHandle()), monitors.front());

  std::vector<TRect> covered;
  for (const auto& cover : saver->GetCovers()) covered.push_back(WindowArea(cover->GetHandle()));
  EXPECT_EQ(covered, std::vector<TRect>(monitors.begin() + 1, monitors.end()));

  // A display change with the same monitors keeps the covers as they are.
  std::vector<const TScrnSavCover*> before;
  for (const auto& cover : saver->GetCovers()) before.push_back(cover.get());
  TMessage change{WM_DISPLAYCHANGE, 32, 0, 0};
  saver->Dispatch(change);
  ASSERT_EQ(saver->GetCovers().size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(saver->GetCovers()[i].get(), before[i]);
}

TEST_F(SaverMonitors, CoversCloseWithTheSaver) {
  auto saver = Make();
  if (saver->GetCovers().empty()) GTEST_SKIP() << "one monitor";
  TMessage close{WM_CLOSE, 0, 0, 0};
  saver->Dispatch(close);
  app.PumpWaitingMessages();
  ASSERT_EQ(saver->GetHandle(), nullptr);
  for (const auto& cover : saver->GetCovers()) EXPECT_EQ(cover->GetHandle(), nullptr);
}

TEST_F(SaverMonitors, InputOnACoverEndsTheSaver) {
  if (monitors.size() < 2) GTEST_SKIP() << "one monitor";
  EXPECT_TRUE(CoverCloses(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)));
  EXPECT_TRUE(CoverCloses(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10)));
  EXPECT_TRUE(CoverCloses(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(10, 10)));
  EXPECT_TRUE(CoverCloses(WM_KEYDOWN, VK_ESCAPE, 1));
  EXPECT_TRUE(CoverCloses(WM_SYSKEYDOWN, VK_F10, 1));
  EXPECT_TRUE(CoverCloses(WM_SYSCOMMAND, SC_CLOSE));
  EXPECT_FALSE(CoverCloses(WM_SYSCOMMAND, SC_SCREENSAVE));
  EXPECT_FALSE(CoverCloses(WM_KEYDOWN, VK_RETURN, 1));
}

// The saver window's own rule decides for a cover: the mouse measured at the cover's pixels, and
// Enter writing the picture of a derived window.
TEST_F(SaverMonitors, ACoverHandsItsInputToTheSaverWindowsRule) {
  if (monitors.size() < 2) GTEST_SKIP() << "one monitor";
  struct Probe : TScrnSavWindow {
    Probe() : TScrnSavWindow(nullptr) {}
    void SaveScreen() override { ++Saves; }
    int Saves = 0;
  };
  // The message's point on the cover is relative to the starting point.
  struct Case { UINT message; WPARAM wParam; int x, y; bool closes; int saves; };
  for (const Case& c : {Case{WM_MOUSEMOVE, 0, 0, 0, false, 0}, Case{WM_MOUSEMOVE, 0, 1, 0, true, 0},
                        Case{WM_MOUSEMOVE, 0, 0, -1, true, 0}, Case{WM_KEYDOWN, VK_RETURN, 0, 0, false, 1}}) {
    Probe saver;
    ASSERT_TRUE(saver.Create() && !saver.GetCovers().empty());
    TScrnSavCover& cover = *saver.GetCovers().front();
    const TRect area = WindowArea(cover.GetHandle());
    saver.StartCursorPos = TPoint(area.left + 10, area.top + 10);
    saver.StartCursorKnown = true;
    TMessage sent{c.message, c.wParam, MAKELPARAM(10 + c.x, 10 + c.y), 0};
    cover.Dispatch(sent);
    app.PumpWaitingMessages();
    EXPECT_EQ(saver.GetHandle() == nullptr, c.closes) << c.message << " at " << c.x << "," << c.y;
    EXPECT_EQ(saver.Saves, c.saves) << c.message;
  }
}

}  // namespace

namespace {
// Together the covers and the box leave no pixel of any monitor showing, and no cover hides the box.
void ExpectCoveredOnce(const std::vector<TRect>& monitors, const TRect& box) {
  const std::vector<TRect> covers = CoverAreas(monitors, box);
  for (const TRect& cover : covers) {
    const bool overlapsBox = cover.left < box.right && box.left < cover.right && cover.top < box.bottom &&
                             box.top < cover.bottom;
    EXPECT_FALSE(overlapsBox) << cover.left << "," << cover.top << " " << cover.right << "," << cover.bottom;
  }
  for (const TRect& monitor : monitors) {
    for (int y = monitor.top; y < monitor.bottom; y += 7) {
      for (int x = monitor.left; x < monitor.right; x += 7) {
        bool seen = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
        for (const TRect& cover : covers) {
          seen = seen || (x >= cover.left && x < cover.right && y >= cover.top && y < cover.bottom);
        }
        ASSERT_TRUE(seen) << "desktop shows at " << x << "," << y;
      }
    }
  }
}
}  // namespace

TEST(SaverCoverAreas, EveryMonitorPixelIsBoxOrCoverWhateverTheLayout) {
  const TRect box(1024, 0, 2048, 768);
  // Side by side, primary on the right; one monitor below; none at all besides the box.
  ExpectCoveredOnce({box, TRect(0, 0, 1024, 768)}, box);
  ExpectCoveredOnce({box, TRect(1024, 768, 2048, 1536)}, box);
  EXPECT_TRUE(CoverAreas({box}, box).empty());
  // X may list the whole split screen beside its parts: only what the box leaves of it is covered.
  ExpectCoveredOnce({box, TRect(0, 0, 2048, 768)}, box);
  ExpectCoveredOnce({TRect(0, 0, 3000, 2000)}, box);
  EXPECT_EQ(CoverAreas({TRect(0, 0, 2048, 768), TRect(0, 0, 1024, 768)}, box).size(), 1u);
}

// Real windows: class registration, the system's messages reaching the response tables through the
// window procedure, the system's default processing, and the window operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework.h"
#include "probes.h"

namespace {
constexpr UINT kProbeCommand = TLoggingWindow::ProbeCommand;

class ProbeWindow : public TLoggingWindow {
 public:
  const char* GetClassName() override { return "tesmar_test_probe"; }
  void GetWindowClass(WNDCLASS& windowClass) override {
    TFrameWindow::GetWindowClass(windowClass);
    windowClass.style |= CS_SAVEBITS;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  void SetupWindow() override {
    TFrameWindow::SetupWindow();
    SetupHandles.push_back(GetHandle());
  }
  void EvSetText() {
    Log.push_back("settext");
    DefaultProcessing();
  }

  std::vector<HWND> SetupHandles;

  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& ProbeWindow::ResponseTable() {
  static const TResponseEntry entries[] = {Respond<&ProbeWindow::EvSetText>(WM_SETTEXT)};
  static const TResponseTable table{entries, std::size(entries), &TLoggingWindow::ResponseTable()};
  return table;
}

class Windows : public ::testing::Test {
 protected:
  TApplication application{"tesmar-test"};
};

TEST_F(Windows, CreateRegistersTheClassTheWindowDescribesAndSetsItUpOnce) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND handle = window.GetHandle();
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(window.SetupHandles, std::vector<HWND>{handle});
  EXPECT_TRUE(window.Create());  // already there: nothing new
  EXPECT_EQ(window.SetupHandles.size(), 1u);

  char className[64] = "";
  GetClassNameA(handle, className, sizeof className);
  EXPECT_STREQ(className, "tesmar_test_probe");
  EXPECT_TRUE(GetClassLongA(handle, GCL_STYLE) & CS_SAVEBITS);
  EXPECT_EQ(GetClassLongPtrA(handle, GCLP_HBRBACKGROUND), reinterpret_cast<LONG_PTR>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE)) & (WS_POPUP | WS_CAPTION), WS_POPUP);
  char title[16] = "";
  GetWindowTextA(handle, title, sizeof title);
  EXPECT_STREQ(title, "probe");
}

TEST_F(Windows, SystemMessagesReachTheHandlersWithTheirParametersUnpacked) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND handle = window.GetHandle();
  SendMessageA(handle, WM_KEYDOWN, VK_RETURN, MAKELPARAM(3, 0x1C));
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 700));
  SendMessageA(handle, WM_ACTIVATEAPP, FALSE, 1234);
  SendMessageA(handle, WM_TIMER, 42, 0);
  SendMessageA(handle, WM_COMMAND, MAKEWPARAM(kProbeCommand, BN_CLICKED), 0);
  SendMessageA(handle, WM_COMMAND, MAKEWPARAM(kProbeCommand + 1, BN_CLICKED), 0);  // no entry
  EXPECT_EQ(window.Log, (std::vector<std::string>{"key 13 3 28", "move 1 -5 700", "app 0 1234 0", "timer 42",
                                                  "command"}));
}

TEST_F(Windows, DefaultProcessingIsTheSystemsHandlingOfTheCurrentMessage) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  SendMessageA(window.GetHandle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
  char title[16] = "";
  GetWindowTextA(window.GetHandle(), title, sizeof title);
  EXPECT_STREQ(title, "renamed");  // the handler ran and passed the message on
  EXPECT_EQ(window.Log, std::vector<std::string>{"settext"});
  // A message without an entry goes straight to the system: WM_GETTEXTLENGTH answers.
  EXPECT_EQ(SendMessageA(window.GetHandle(), WM_GETTEXTLENGTH, 0, 0), 7);
}

TEST_F(Windows, MoveWindowSetsPositionAndSizeWithoutActivating) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND before = GetActiveWindow();
  EXPECT_TRUE(window.MoveWindow(TRect(10, 20, 110, 70), true));
  RECT rect;
  GetWindowRect(window.GetHandle(), &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 110);
  EXPECT_EQ(rect.bottom, 70);
  EXPECT_EQ(GetActiveWindow(), before);
}

// An alias takes the system's title of the window; a top-level window given a parent takes an owner.
TEST_F(Windows, AliasReadsTheTitleAndSetParentSetsTheOwner) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(TWindow(window.GetHandle()).GetTitle(), "probe");
  const HWND handle = window.GetHandle();
  ProbeWindow owned;
  ASSERT_TRUE(owned.Create());
  window.SetParent(&owned);
  EXPECT_EQ(GetWindow(handle, GW_OWNER), owned.GetHandle());
  window.SetParent(nullptr);
  EXPECT_EQ(GetWindow(handle, GW_OWNER), nullptr);
}

}  // namespace

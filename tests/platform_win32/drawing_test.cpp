// Drawing over GDI where the system shows through: one context per bitmap, the address space, and
// block copies to a window that the system and other drawing also touch.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "drawing.h"
#include "framework.h"
#include "../support/random_drawing.h"

namespace {
const TColor red(255, 0, 0);
const TColor green(0, 255, 0);

class Canvas : public ::testing::Test {
 protected:
  TClientDC screen{nullptr};
  TBitmap bitmap{screen, 40, 30};
};

// GDI lets one context hold a bitmap at a time; the second context must say it cannot draw.
TEST_F(Canvas, SecondMemoryContextOnTheSameBitmapIsInvalid) {
  TMemoryDC first(bitmap);
  TMemoryDC second(bitmap);
  EXPECT_TRUE(first.IsValid());
  EXPECT_FALSE(second.IsValid());
  EXPECT_FALSE(second.Rectangle(0, 0, 5, 5));
}

// Beyond a 32-bit address space: the system's refusal is the out-of-memory error.
TEST(Bitmap, SizeBeyondTheAddressSpaceRaisesTheOutOfMemoryError) {
  const TClientDC screen(nullptr);
  EXPECT_THROW(TBitmap(screen, 60000, 60000), std::bad_alloc);
}

// --- block copies of what changed -------------------------------------------------------------

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Pixels where the window, read back through its context, differs from the bitmap it was copied from.
int DifferencesFromBitmap(HWND window, const TBitmap& bitmap) {
  const TClientDC screen(nullptr);
  TBitmap readBack(screen, bitmap.Width(), bitmap.Height());
  {
    TClientDC from(window);
    TMemoryDC to(readBack);
    to.BitBlt(0, 0, bitmap.Width(), bitmap.Height(), from, 0, 0, SRCCOPY);
  }
  const TDib shown(readBack);
  const TDib drawn(bitmap);
  if (shown.Pixels().size() != drawn.Pixels().size()) return -1;  // not read back
  int differences = 0;
  for (std::size_t i = 0; i < drawn.Pixels().size(); ++i) differences += shown.Pixels()[i] != drawn.Pixels()[i];
  return differences;
}

// The saver's frame over and over (a bitmap a pixel smaller, copied at the window's size), with random
// drawing between the copies and, now and then, what the system or other drawing does to the window;
// then a part that nothing touched is shown not to be copied again.
TEST(BlockCopy, CopiesOfWhatChangedLeaveTheWindowAsWholeCopiesWould) {
  constexpr int Width = 97, Height = 71;
  TFrameWindow window(nullptr, "copies");
  window.Attr = {WS_POPUP, 0, 0, 0, Width, Height};
  ASSERT_TRUE(window.Create());
  window.ShowWindow(SW_SHOW);
  const HWND handle = window.GetHandle();
  const TClientDC screen(nullptr);
  TBitmap frame(screen, Width - 1, Height - 1);
  TMemoryDC memory(frame);
  TBitmap stranger(screen, 30, 20);
  TMemoryDC strangerDc(stranger);
  const auto copy = [&] {
    TClientDC client(handle);
    ASSERT_TRUE(client.BitBlt(0, 0, Width, Height, memory, 0, 0, SRCCOPY));
  };
  std::mt19937 random(20261208);
  for (int step = 0; step < 100; ++step) {
    PumpMessages();
    for (int i = RandomBetween(random, 0, 3); i > 0; --i) DrawRandomShape(memory, random, Width - 1, Height - 1);
    if (step % 10 == 3) {
      // Erased by the system and repainted: nothing paints but the next copy.
      const RECT part{10, 5, 50, 35};
      InvalidateRect(handle, &part, TRUE);
      UpdateWindow(handle);
    } else if (step % 10 == 5) {
      const HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 20, 10, 50, 40,
                                         nullptr, nullptr, nullptr, nullptr);
      UpdateWindow(cover);
      DestroyWindow(cover);
      PumpMessages();
    } else if (step % 10 == 7) {
      // Asked for but not yet painted when the copy comes; erased after it, at the next pump.
      window.Invalidate(true);
    } else if (step % 10 == 9) {
      TClientDC client(handle);
      DrawRandomShape(client, random, Width, Height);
      ASSERT_TRUE(client.BitBlt(40, 30, 30, 20, strangerDc, 0, 0, SRCCOPY));
    }
    ASSERT_NO_FATAL_FAILURE(copy());
    ASSERT_EQ(DifferencesFromBitmap(handle, frame), 0) << "step " << step;
  }

  // Drawn over behind the framework's back, as another program could: kept until the system asks.
  memory.SelectObject(TPen(green));
  memory.SelectObject(TBrush(green));
  memory.Rectangle(48, 28, 57, 37);
  ASSERT_NO_FATAL_FAILURE(copy());
  PumpMessages();
  const HDC raw = GetDC(handle);
  const RECT marked{50, 30, 55, 35};
  FillRect(raw, &marked, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(handle, raw);
  memory.SelectObject(TPen(red, 3));
  memory.MoveTo(2, 2);
  memory.LineTo(8, 2);
  ASSERT_NO_FATAL_FAILURE(copy());
  EXPECT_GT(DifferencesFromBitmap(handle, frame), 0);
  InvalidateRect(handle, &marked, FALSE);
  UpdateWindow(handle);
  ASSERT_NO_FATAL_FAILURE(copy());
  EXPECT_EQ(DifferencesFromBitmap(handle, frame), 0);
}

}  // namespace

// Drawing over GDI, checked on the pixels read back from the bitmap or the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "drawing.h"
#include "framework.h"
#include "scratch.h"
#include "../support/random_drawing.h"

namespace {
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;  // 0x00RRGGBB, as TDib holds pixels
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;

const TColor red(255, 0, 0);
const TColor green(0, 255, 0);
const TColor blue(0, 0, 255);

class Canvas : public ::testing::Test {
 protected:
  std::uint32_t Pixel(int x, int y) const {
    const TDib dib(bitmap);
    return dib.Pixels()[static_cast<std::size_t>(y * dib.Width() + x)];
  }

  TClientDC screen{nullptr};
  TBitmap bitmap{screen, 40, 30};
};

TEST_F(Canvas, NewBitmapIsBlackAndItsPictureHasItsSize) {
  ASSERT_TRUE(screen.IsValid());
  EXPECT_EQ(bitmap.Width(), 40);
  EXPECT_EQ(bitmap.Height(), 30);
  const TDib dib(bitmap);
  EXPECT_EQ(dib.Width(), 40);
  EXPECT_EQ(dib.Height(), 30);
  EXPECT_EQ(dib.Pixels(), std::vector<std::uint32_t>(40 * 30, kBlack));
}

TEST_F(Canvas, RectangleIsOutlinedWithThePenAndFilledWithTheBrush) {
  {
    TMemoryDC dc(bitmap);
    dc.SelectObject(TPen(red));
    dc.SelectObject(TBrush(green));
    EXPECT_TRUE(dc.Rectangle(5, 5, 15, 15));
  }
  EXPECT_EQ(Pixel(5, 5), kRed);
  EXPECT_EQ(Pixel(14, 14), kRed);
  EXPECT_EQ(Pixel(10, 10), kGreen);
  EXPECT_EQ(Pixel(15, 15), kBlack);  // right and bottom edges are excluded
}

TEST_F(Canvas, TransparentBrushLeavesTheInsideAsItWas) {
  {
    TMemoryDC dc(bitmap);
    dc.SelectObject(TPen(blue));
    dc.SelectObject(TBrush(blue));
    dc.Rectangle(0, 0, 40, 30);
    dc.SelectObject(TPen(red, 2));
    dc.SelectObject(TBrush(TColor::Transparent));
    dc.Rectangle(1, 1, 39, 29);
  }
  const TDib dib(bitmap);
  int redInRow = 0;
  for (int x = 0; x < 6; ++x) redInRow += dib.Pixels()[static_cast<std::size_t>(15 * 40 + x)] == kRed;
  EXPECT_EQ(redInRow, 2);  // the pen is two pixels wide
  EXPECT_EQ(Pixel(1, 1), kRed);
  EXPECT_EQ(Pixel(20, 15), kBlue);
}

// The pen and brush objects the caller made are gone; what the context selected must still draw.
TEST_F(Canvas, SelectionOutlivesTheCallersPenAndBrush) {
  {
    TMemoryDC dc(bitmap);
    {
      const TPen pen(green);
      const TBrush brush(blue);
      dc.SelectObject(pen);
      dc.SelectObject(brush);
    }
    dc.SelectObject(TPen(red));  // replacing a pen frees the one made before, not the new one
    dc.Ellipse(0, 0, 30, 30);
    dc.MoveTo(0, 29);
    dc.LineTo(39, 29);
  }
  EXPECT_EQ(Pixel(15, 15), kBlue);
  EXPECT_EQ(Pixel(0, 15), kRed);
  EXPECT_EQ(Pixel(35, 29), kRed);
  EXPECT_EQ(Pixel(1, 1), kBlack);  // outside the ellipse
}

TEST_F(Canvas, RestoreSelectsThePenAndBrushTheContextHadBefore) {
  {
    TMemoryDC dc(bitmap);
    dc.SelectObject(TPen(red));
    dc.SelectObject(TPen(green));
    dc.SelectObject(TBrush(blue));
    dc.SelectObject(TBrush(TColor::Transparent));
    dc.RestorePen();
    dc.RestoreBrush();
    dc.Rectangle(0, 0, 20, 20);  // a new memory context draws with a black pen and a white brush
    dc.RestorePen();             // a second restore changes nothing
  }
  EXPECT_EQ(Pixel(0, 0), kBlack);
  EXPECT_EQ(Pixel(10, 10), kWhite);
}

TEST_F(Canvas, PolygonIsClosedAndFilled) {
  const TPoint triangle[] = {{2, 2}, {30, 2}, {2, 25}};
  {
    TMemoryDC dc(bitmap);
    dc.SelectObject(TPen(red));
    dc.SelectObject(TBrush(green));
    EXPECT_TRUE(dc.Polygon(triangle, 3));
    EXPECT_FALSE(dc.Polygon(triangle, 0));
  }
  EXPECT_EQ(Pixel(8, 8), kGreen);
  EXPECT_EQ(Pixel(2, 15), kRed);  // the closing edge back to the first corner
  EXPECT_EQ(Pixel(30, 25), kBlack);
}

TEST_F(Canvas, SetROP2ReturnsThePreviousModeAndCopyPenDrawsThePenColour) {
  {
    TMemoryDC dc(bitmap);
    EXPECT_EQ(dc.SetROP2(R2_NOT), R2_COPYPEN);
    EXPECT_EQ(dc.SetROP2(R2_COPYPEN), R2_NOT);
    dc.SelectObject(TPen(green));
    dc.MoveTo(0, 3);
    dc.LineTo(10, 3);
  }
  EXPECT_EQ(Pixel(5, 3), kGreen);
}

TEST_F(Canvas, BitBltCopiesPixelsUnchanged) {
  const TColor odd(12, 34, 56);
  TBitmap source(screen, 10, 10);
  {
    TMemoryDC dc(source);
    dc.SelectObject(TPen(odd));
    dc.SelectObject(TBrush(odd));
    dc.Rectangle(0, 0, 10, 10);
  }
  {
    TMemoryDC from(source);
    TMemoryDC to(bitmap);
    EXPECT_TRUE(to.BitBlt(20, 10, 10, 10, from, 0, 0, SRCCOPY));
  }
  EXPECT_EQ(Pixel(20, 10), 0x0C2238u);
  EXPECT_EQ(Pixel(29, 19), 0x0C2238u);
  EXPECT_EQ(Pixel(19, 10), kBlack);
}

// While a memory context holds the bitmap its picture can still be read, and drawing goes on after.
TEST_F(Canvas, PictureIsReadWhileAMemoryContextHoldsTheBitmap) {
  TMemoryDC dc(bitmap);
  dc.SelectObject(TPen(red));
  dc.MoveTo(0, 0);
  dc.LineTo(10, 0);
  EXPECT_EQ(Pixel(5, 0), kRed);
  dc.SelectObject(TPen(blue));
  dc.MoveTo(0, 1);
  dc.LineTo(10, 1);
  EXPECT_EQ(Pixel(5, 1), kBlue);
}

// GDI lets one context hold a bitmap at a time; the second context must say it cannot draw.
TEST_F(Canvas, SecondMemoryContextOnTheSameBitmapIsInvalid) {
  TMemoryDC first(bitmap);
  TMemoryDC second(bitmap);
  EXPECT_TRUE(first.IsValid());
  EXPECT_FALSE(second.IsValid());
  EXPECT_FALSE(second.Rectangle(0, 0, 5, 5));
}

// A bitmap made compatible with a memory context that holds none would be monochrome.
TEST_F(Canvas, BitmapCompatibleWithABareMemoryContextKeepsColours) {
  const TMemoryDC bare(screen);
  TBitmap coloured(bare, 8, 8);
  {
    TMemoryDC dc(coloured);
    dc.SelectObject(TPen(red));
    dc.SelectObject(TBrush(red));
    dc.Rectangle(0, 0, 8, 8);
  }
  EXPECT_EQ(TDib(coloured).Pixels()[9], kRed);
}

TEST_F(Canvas, PictureFileHoldsThePixels) {
  {
    TMemoryDC dc(bitmap);
    dc.SelectObject(TPen(blue));
    dc.SelectObject(TBrush(green));
    dc.Rectangle(10, 10, 20, 20);
  }
  ScratchFolder folder;
  const std::string path = folder.File("tmp.bmp");
  const TDib dib(bitmap);
  ASSERT_TRUE(dib.WriteFile(path.c_str()));
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  ASSERT_TRUE(ReadBmpFile(path, width, height, pixels));
  EXPECT_EQ(width, 40);
  EXPECT_EQ(height, 30);
  EXPECT_EQ(pixels, dib.Pixels());
  EXPECT_EQ(pixels[15 * 40 + 15], kGreen);
  EXPECT_FALSE(dib.WriteFile(folder.File("missing\\tmp.bmp").c_str()));
}

TEST(Bitmap, ImpossibleSizesRaiseTheDrawingErrorAndMissingMemoryTheOutOfMemoryOne) {
  const TClientDC screen(nullptr);
  EXPECT_THROW(TBitmap(screen, 0, 10), TDrawingError);
  EXPECT_THROW(TBitmap(screen, 10, -1), TDrawingError);
  EXPECT_THROW(TBitmap(screen, 60000, 60000), std::bad_alloc);  // beyond a 32-bit address space
  TBitmap::FailNext(1);
  EXPECT_THROW(TBitmap(screen, 10, 10), std::bad_alloc);
  EXPECT_NO_THROW(TBitmap(screen, 10, 10));
}

TEST(ClientContext, WindowWithoutAContextGivesAnInvalidOneThatDrawsNothing) {
  const HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(gone);
  DestroyWindow(gone);

  TClientDC dc(gone);
  EXPECT_FALSE(dc.IsValid());
  EXPECT_FALSE(static_cast<bool>(dc));
  dc.SelectObject(TPen(red));
  dc.SelectObject(TBrush(red));
  EXPECT_EQ(dc.SetROP2(R2_COPYPEN), 0);
  EXPECT_FALSE(dc.Rectangle(0, 0, 5, 5));
  EXPECT_FALSE(dc.Ellipse(0, 0, 5, 5));
  EXPECT_FALSE(dc.MoveTo(0, 0));
  EXPECT_FALSE(dc.LineTo(5, 5));
  dc.RestorePen();
  dc.RestoreBrush();

  const TClientDC screen(nullptr);
  TBitmap bitmap(screen, 4, 4);
  TMemoryDC memory(bitmap);
  EXPECT_FALSE(memory.BitBlt(0, 0, 4, 4, dc, 0, 0));
  EXPECT_FALSE(dc.BitBlt(0, 0, 4, 4, memory, 0, 0));
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

// The drawing rules every back end keeps, checked on the pixels read back from the bitmap: the pen's
// outline and the brush's fill, lines without their end point, the hollow brush, restoring the
// context's own pen and brush, block copies, bitmaps and their .bmp files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "drawing.h"
#include "framework.h"
#include "scratch_folder.h"

namespace {

constexpr std::uint32_t Black = 0x000000, White = 0xFFFFFF;  // 0x00RRGGBB, as TDib holds pixels
constexpr std::uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF;
const TColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255);

std::uint32_t Pixel(const TBitmap& bitmap, int x, int y) {
  const TDib dib(bitmap);
  return dib.Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(dib.Width()) + static_cast<std::size_t>(x)];
}

// A 40 x 30 bitmap compatible with the screen, and a memory context holding it.
class Canvas : public ::testing::Test {
 protected:
  std::uint32_t Pixel(int x, int y) const { return ::Pixel(bitmap, x, y); }

  TClientDC screen{nullptr};
  TBitmap bitmap{screen, 40, 30};
  TMemoryDC dc{bitmap};
};

TEST_F(Canvas, NewBitmapIsBlackAndItsPictureHasItsSize) {
  ASSERT_TRUE(screen.IsValid());
  EXPECT_EQ(bitmap.Width(), 40);
  EXPECT_EQ(bitmap.Height(), 30);
  const TDib dib(bitmap);
  EXPECT_EQ(dib.Width(), 40);
  EXPECT_EQ(dib.Height(), 30);
  EXPECT_EQ(dib.Pixels(), std::vector<std::uint32_t>(40 * 30, Black));
}

TEST_F(Canvas, ImpossibleSizesRaiseTheDrawingErrorAndMissingMemoryTheOutOfMemoryOne) {
  EXPECT_THROW(TBitmap(dc, 0, 10), TDrawingError);
  EXPECT_THROW(TBitmap(dc, 10, -1), TDrawingError);
  EXPECT_THROW(TBitmap(dc, 1 << 30, 1 << 30), std::bad_alloc);
  TBitmap::FailNext(1);
  EXPECT_THROW(TBitmap(screen, 10, 10), std::bad_alloc);
  EXPECT_NO_THROW(TBitmap(screen, 10, 10));
}

TEST_F(Canvas, RectangleCoversLeftToRightMinusOneWithAOnePixelOutline) {
  dc.SelectObject(TPen(red));
  dc.SelectObject(TBrush(blue));
  ASSERT_TRUE(dc.Rectangle(2, 3, 10, 8));
  EXPECT_EQ(Pixel(2, 3), Red);
  EXPECT_EQ(Pixel(9, 7), Red);
  EXPECT_EQ(Pixel(9, 5), Red);
  EXPECT_EQ(Pixel(3, 4), Blue);
  EXPECT_EQ(Pixel(8, 6), Blue);
  EXPECT_EQ(Pixel(10, 5), Black);  // right and bottom edges are excluded
  EXPECT_EQ(Pixel(5, 8), Black);
  EXPECT_EQ(Pixel(1, 3), Black);
}

TEST_F(Canvas, FilledEllipseHasAOnePixelRimInsideItsBox) {
  dc.SelectObject(TPen(red));
  dc.SelectObject(TBrush(blue));
  ASSERT_TRUE(dc.Ellipse(5, 5, 26, 26));  // a disc of 21 pixels, centre (15, 15)
  EXPECT_EQ(Pixel(15, 15), Blue);
  // The rim on each side, the fill just inside it, nothing outside the box.
  EXPECT_EQ(Pixel(5, 15), Red);
  EXPECT_EQ(Pixel(25, 15), Red);
  EXPECT_EQ(Pixel(15, 5), Red);
  EXPECT_EQ(Pixel(15, 25), Red);
  EXPECT_EQ(Pixel(6, 15), Blue);
  EXPECT_EQ(Pixel(15, 24), Blue);
  EXPECT_EQ(Pixel(4, 15), Black);
  EXPECT_EQ(Pixel(26, 15), Black);
  EXPECT_EQ(Pixel(5, 5), Black);  // the box's corner is outside the disc
  int rim = 0;
  for (int x = 0; x < 40; ++x) rim += Pixel(x, 15) == Red;
  EXPECT_EQ(rim, 2);
}

TEST_F(Canvas, PolygonIsClosedOutlinedAndFilled) {
  dc.SelectObject(TPen(red));
  dc.SelectObject(TBrush(green));
  const TPoint triangle[] = {{2, 2}, {30, 2}, {2, 25}};
  ASSERT_TRUE(dc.Polygon(triangle, 3));
  EXPECT_EQ(Pixel(2, 2), Red);
  EXPECT_EQ(Pixel(30, 2), Red);
  EXPECT_EQ(Pixel(2, 25), Red);
  EXPECT_EQ(Pixel(2, 15), Red);  // the closing edge back to the first corner
  EXPECT_EQ(Pixel(8, 8), Green);
  EXPECT_EQ(Pixel(25, 20), Black);
  EXPECT_FALSE(dc.Polygon(triangle, 0));
  EXPECT_FALSE(dc.Polygon(triangle, 1));
  EXPECT_FALSE(dc.Polygon(nullptr, 3));
}

TEST_F(Canvas, LinesLeaveOutTheirEndPointAndWidePensAreWide) {
  dc.SelectObject(TPen(TColor(255, 255, 255)));
  dc.MoveTo(3, 4);
  ASSERT_TRUE(dc.LineTo(12, 4));
  EXPECT_EQ(Pixel(3, 4), White);
  EXPECT_EQ(Pixel(11, 4), White);
  EXPECT_EQ(Pixel(12, 4), Black);
  // The next line starts where the last one ended.
  ASSERT_TRUE(dc.LineTo(12, 10));
  EXPECT_EQ(Pixel(12, 4), White);
  EXPECT_EQ(Pixel(12, 10), Black);

  dc.SelectObject(TPen(red, 2, PS_SOLID));
  dc.MoveTo(5, 20);
  ASSERT_TRUE(dc.LineTo(35, 20));
  int thickness = 0;
  for (int y = 0; y < 30; ++y) thickness += Pixel(20, y) == Red;
  EXPECT_EQ(thickness, 2);
  EXPECT_TRUE(Pixel(20, 19) == Red || Pixel(20, 21) == Red);
}

TEST_F(Canvas, TransparentBrushLeavesTheInsideAsItWas) {
  dc.SelectObject(TPen(blue));
  dc.SelectObject(TBrush(blue));
  dc.Rectangle(0, 0, 40, 30);
  dc.SelectObject(TPen(red, 2));
  dc.SelectObject(TBrush(TColor::Transparent));
  ASSERT_TRUE(dc.Rectangle(1, 1, 39, 29));
  int redInRow = 0;
  for (int x = 0; x < 6; ++x) redInRow += Pixel(x, 15) == Red;
  EXPECT_EQ(redInRow, 2);  // the pen is two pixels wide
  EXPECT_EQ(Pixel(1, 1), Red);
  EXPECT_EQ(Pixel(20, 15), Blue);
}

// The pen and brush objects the caller made are gone; what the context selected must still draw.
TEST_F(Canvas, SelectionOutlivesTheCallersPenAndBrush) {
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
  EXPECT_EQ(Pixel(15, 15), Blue);
  EXPECT_EQ(Pixel(0, 15), Red);
  EXPECT_EQ(Pixel(35, 29), Red);
  EXPECT_EQ(Pixel(1, 1), Black);  // outside the ellipse
}

TEST_F(Canvas, RestoreSelectsThePenAndBrushTheContextHadBefore) {
  dc.SelectObject(TPen(red));
  dc.SelectObject(TPen(green));
  dc.SelectObject(TBrush(blue));
  dc.SelectObject(TBrush(TColor::Transparent));
  dc.RestorePen();
  dc.RestoreBrush();
  dc.Rectangle(0, 0, 20, 20);  // a new memory context draws with a black pen and a white brush
  dc.RestorePen();             // a second restore changes nothing
  EXPECT_EQ(Pixel(0, 0), Black);
  EXPECT_EQ(Pixel(10, 10), White);
}

TEST_F(Canvas, SetROP2ReturnsThePreviousModeAndCopyPenDrawsThePenColour) {
  EXPECT_EQ(dc.SetROP2(R2_NOT), R2_COPYPEN);
  EXPECT_EQ(dc.SetROP2(R2_COPYPEN), R2_NOT);
  dc.SelectObject(TPen(green));
  dc.MoveTo(0, 3);
  dc.LineTo(10, 3);
  EXPECT_EQ(Pixel(5, 3), Green);
}

// While a memory context holds the bitmap its picture can still be read, and drawing goes on after.
TEST_F(Canvas, PictureIsReadWhileAMemoryContextHoldsTheBitmap) {
  dc.SelectObject(TPen(red));
  dc.MoveTo(0, 0);
  dc.LineTo(10, 0);
  EXPECT_EQ(Pixel(5, 0), Red);
  dc.SelectObject(TPen(blue));
  dc.MoveTo(0, 1);
  dc.LineTo(10, 1);
  EXPECT_EQ(Pixel(5, 1), Blue);
}

// On some systems a bitmap made compatible with a memory context that holds none is monochrome.
TEST_F(Canvas, BitmapCompatibleWithABareMemoryContextKeepsColours) {
  const TMemoryDC bare(screen);
  TBitmap coloured(bare, 8, 8);
  {
    TMemoryDC painter(coloured);
    painter.SelectObject(TPen(red));
    painter.SelectObject(TBrush(red));
    painter.Rectangle(0, 0, 8, 8);
  }
  EXPECT_EQ(::Pixel(coloured, 1, 1), Red);
}

TEST_F(Canvas, BlockCopyCopiesPixelsUnchangedWhereBothPicturesHoldThem) {
  const TColor odd(12, 34, 56);
  TBitmap small(screen, 10, 8);
  TMemoryDC source(small);
  source.SelectObject(TPen(odd));
  source.SelectObject(TBrush(odd));
  source.Rectangle(0, 0, 10, 8);
  source.SelectObject(TPen(red));
  source.SelectObject(TBrush(red));
  source.Rectangle(0, 0, 2, 2);  // a red corner of 2 x 2 pixels

  // An area larger than the source copies what exists and leaves the rest.
  ASSERT_TRUE(dc.BitBlt(5, 6, 40, 30, source, 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(5, 6), Red);
  EXPECT_EQ(Pixel(6, 7), Red);
  EXPECT_EQ(Pixel(7, 6), 0x0C2238u);
  EXPECT_EQ(Pixel(14, 13), 0x0C2238u);
  EXPECT_EQ(Pixel(15, 6), Black);
  EXPECT_EQ(Pixel(5, 14), Black);
  EXPECT_EQ(Pixel(4, 6), Black);

  // Offsets on both sides, and a destination partly off the picture.
  ASSERT_TRUE(dc.BitBlt(-1, 0, 3, 2, source, 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(0, 0), Red);
  EXPECT_EQ(Pixel(1, 0), 0x0C2238u);
  EXPECT_EQ(Pixel(2, 0), Black);
}

TEST_F(Canvas, BitmapFileRoundTripsAndAFailedWriteLeavesNothing) {
  dc.SelectObject(TPen(red));
  dc.SelectObject(TBrush(green));
  dc.Ellipse(3, 3, 30, 25);
  const TDib dib(bitmap);
  ScratchFolder folder;
  const std::string path = folder.File("tmp.bmp");
  ASSERT_TRUE(dib.WriteFile(path.c_str()));
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  ASSERT_TRUE(ReadBmpFile(path, width, height, pixels));
  EXPECT_EQ(width, 40);
  EXPECT_EQ(height, 30);
  EXPECT_EQ(pixels, dib.Pixels());
  EXPECT_EQ(pixels[15 * 40 + 15], Green);

  // A folder in the way or missing: false, and no file or temporary left beside it.
  const std::string blocked = folder.File("blocked.bmp");
  std::filesystem::create_directory(blocked);
  EXPECT_FALSE(dib.WriteFile(blocked.c_str()));
  EXPECT_FALSE(dib.WriteFile(folder.File("missing/tmp.bmp").c_str()));
  EXPECT_EQ(folder.Listing(), (std::vector<std::string>{"blocked.bmp", "tmp.bmp"}));
}

TEST(ClientContext, GoneWindowGivesAnInvalidContextThatDrawsNothing) {
  EXPECT_TRUE(TClientDC(nullptr).IsValid());  // the screen
  TFrameWindow window(nullptr, "gone");
  window.Attr.Style = WS_POPUP;
  ASSERT_TRUE(window.Create());
  const HWND gone = window.GetHandle();
  window.Destroy();

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

}  // namespace

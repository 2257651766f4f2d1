// Drawing on the Qt back end, checked on pixels: shapes with the system's geometry, lines, the hollow
// brush, block copies, bitmaps and .bmp files.
#include <filesystem>
#include <limits>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <unistd.h>

#include "drawing.h"
#include "framework.h"
#include "qt_backend.h"

namespace {

constexpr std::uint32_t Black = 0x000000, White = 0xFFFFFF, Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF;

std::uint32_t Pixel(const TBitmap& bitmap, int x, int y) {
  const TDib dib(bitmap);
  return dib.Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(dib.Width()) + static_cast<std::size_t>(x)];
}

struct Canvas {
  TMemoryDC screenLike{TClientDC(nullptr)};
  TBitmap bitmap{screenLike, 40, 30};
  TMemoryDC dc{bitmap};
};

TEST(QtDrawing, NewBitmapIsBlackAndImpossibleSizesOrMissingMemoryRaise) {
  Canvas canvas;
  EXPECT_EQ(canvas.bitmap.Width(), 40);
  EXPECT_EQ(canvas.bitmap.Height(), 30);
  const TDib dib(canvas.bitmap);
  for (std::uint32_t pixel : dib.Pixels()) ASSERT_EQ(pixel, Black);
  EXPECT_THROW(TBitmap(canvas.dc, 0, 10), TDrawingError);
  EXPECT_THROW(TBitmap(canvas.dc, 10, -1), TDrawingError);
  EXPECT_THROW(TBitmap(canvas.dc, 1 << 30, 1 << 30), std::bad_alloc);
  TBitmap::FailNext(1);
  EXPECT_THROW(TBitmap(canvas.dc, 10, 10), std::bad_alloc);
  EXPECT_NO_THROW(TBitmap(canvas.dc, 10, 10));
}

TEST(QtDrawing, RectangleCoversLeftToRightMinusOneWithOnePixelOutline) {
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(255, 0, 0)));
  canvas.dc.SelectObject(TBrush(TColor(0, 0, 255)));
  ASSERT_TRUE(canvas.dc.Rectangle(2, 3, 10, 8));
  EXPECT_EQ(Pixel(canvas.bitmap, 2, 3), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 9, 7), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 9, 5), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 3, 4), Blue);
  EXPECT_EQ(Pixel(canvas.bitmap, 8, 6), Blue);
  EXPECT_EQ(Pixel(canvas.bitmap, 10, 5), Black);
  EXPECT_EQ(Pixel(canvas.bitmap, 5, 8), Black);
  EXPECT_EQ(Pixel(canvas.bitmap, 1, 3), Black);
}

TEST(QtDrawing, FilledEllipseHasAOnePixelRimInsideItsBox) {
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(255, 0, 0)));
  canvas.dc.SelectObject(TBrush(TColor(0, 0, 255)));
  ASSERT_TRUE(canvas.dc.Ellipse(5, 5, 26, 26));  // a disc of 21 pixels, centre (15, 15)
  EXPECT_EQ(Pixel(canvas.bitmap, 15, 15), Blue);
  // The rim on each side, the fill just inside it, nothing outside the box.
  EXPECT_EQ(Pixel(canvas.bitmap, 5, 15), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 25, 15), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 15, 5), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 15, 25), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 6, 15), Blue);
  EXPECT_EQ(Pixel(canvas.bitmap, 15, 24), Blue);
  EXPECT_EQ(Pixel(canvas.bitmap, 4, 15), Black);
  EXPECT_EQ(Pixel(canvas.bitmap, 26, 15), Black);
  EXPECT_EQ(Pixel(canvas.bitmap, 5, 5), Black);  // the box's corner is outside the disc
  // The rim is one pixel wide along a whole row through the centre.
  int red = 0;
  for (int x = 0; x < 40; ++x) red += Pixel(canvas.bitmap, x, 15) == Red;
  EXPECT_EQ(red, 2);
}

TEST(QtDrawing, PolygonIsOutlinedAndFilled) {
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(255, 0, 0)));
  canvas.dc.SelectObject(TBrush(TColor(0, 255, 0)));
  const TPoint triangle[] = {{2, 2}, {30, 2}, {2, 25}};
  ASSERT_TRUE(canvas.dc.Polygon(triangle, 3));
  EXPECT_EQ(Pixel(canvas.bitmap, 2, 2), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 30, 2), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 2, 25), Red);
  EXPECT_EQ(Pixel(canvas.bitmap, 8, 8), Green);
  EXPECT_EQ(Pixel(canvas.bitmap, 25, 20), Black);
  EXPECT_FALSE(canvas.dc.Polygon(triangle, 1));
  EXPECT_FALSE(canvas.dc.Polygon(nullptr, 3));
}

TEST(QtDrawing, LinesLeaveOutTheirEndPointAndWidePensAreWide) {
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(255, 255, 255)));
  canvas.dc.MoveTo(3, 4);
  ASSERT_TRUE(canvas.dc.LineTo(12, 4));
  EXPECT_EQ(Pixel(canvas.bitmap, 3, 4), White);
  EXPECT_EQ(Pixel(canvas.bitmap, 11, 4), White);
  EXPECT_EQ(Pixel(canvas.bitmap, 12, 4), Black);
  // The next line starts where the last one ended.
  ASSERT_TRUE(canvas.dc.LineTo(12, 10));
  EXPECT_EQ(Pixel(canvas.bitmap, 12, 4), White);
  EXPECT_EQ(Pixel(canvas.bitmap, 12, 10), Black);

  canvas.dc.SelectObject(TPen(TColor(255, 0, 0), 2, PS_SOLID));
  canvas.dc.MoveTo(5, 20);
  ASSERT_TRUE(canvas.dc.LineTo(35, 20));
  int thickness = 0;
  for (int y = 0; y < 30; ++y) thickness += Pixel(canvas.bitmap, 20, y) == Red;
  EXPECT_EQ(thickness, 2);
  EXPECT_TRUE(Pixel(canvas.bitmap, 20, 19) == Red || Pixel(canvas.bitmap, 20, 21) == Red);
}

TEST(QtDrawing, HollowBrushLeavesTheInsideAndRestoreGoesBackToTheDefaults) {
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(0, 255, 0)));
  canvas.dc.SelectObject(TBrush(TColor(0, 255, 0)));
  canvas.dc.Rectangle(0, 0, 40, 30);
  canvas.dc.SelectObject(TBrush(TColor::Transparent));
  canvas.dc.SelectObject(TPen(TColor(255, 0, 0), 2, PS_SOLID));
  ASSERT_TRUE(canvas.dc.Rectangle(5, 5, 35, 25));
  EXPECT_EQ(Pixel(canvas.bitmap, 20, 15), Green);
  EXPECT_EQ(Pixel(canvas.bitmap, 5, 15), Red);

  canvas.dc.RestorePen();
  canvas.dc.RestoreBrush();
  canvas.dc.Rectangle(10, 10, 20, 20);
  EXPECT_EQ(Pixel(canvas.bitmap, 10, 10), Black);
  EXPECT_EQ(Pixel(canvas.bitmap, 15, 15), White);
}

TEST(QtDrawing, BlockCopyCopiesWhatBothPicturesHold) {
  Canvas target;
  TBitmap small(target.dc, 10, 8);
  TMemoryDC source(small);
  source.SelectObject(TPen(TColor(0, 0, 255)));
  source.SelectObject(TBrush(TColor(0, 0, 255)));
  source.Rectangle(0, 0, 10, 8);
  source.SelectObject(TPen(TColor(255, 0, 0)));
  source.Rectangle(0, 0, 1, 1);  // one red pixel in the corner

  // An area larger than the source copies what exists and leaves the rest.
  ASSERT_TRUE(target.dc.BitBlt(5, 6, 40, 30, source, 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(target.bitmap, 5, 6), Red);
  EXPECT_EQ(Pixel(target.bitmap, 14, 13), Blue);
  EXPECT_EQ(Pixel(target.bitmap, 15, 6), Black);
  EXPECT_EQ(Pixel(target.bitmap, 5, 14), Black);
  EXPECT_EQ(Pixel(target.bitmap, 4, 6), Black);

  // Offsets on both sides, and a destination partly off the picture.
  ASSERT_TRUE(target.dc.BitBlt(-1, 0, 3, 2, source, 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(target.bitmap, 0, 0), Blue);
  EXPECT_EQ(Pixel(target.bitmap, 2, 0), Black);
  EXPECT_FALSE(target.dc.BitBlt(0, 0, 5, 5, source, 0, 0, 0x00EE0086 /* SRCPAINT */));
}

TEST(QtDrawing, ExtremeCoordinatesAreClippedWithoutOverflow) {
  Canvas canvas;
  constexpr int low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
  canvas.dc.SelectObject(TBrush(TColor(0, 255, 0)));
  EXPECT_TRUE(canvas.dc.Ellipse(low, low, high, high));
  EXPECT_EQ(Pixel(canvas.bitmap, 20, 15), Green);
  EXPECT_TRUE(canvas.dc.Rectangle(high, high, low, low));
  canvas.dc.MoveTo(low, 3);
  EXPECT_TRUE(canvas.dc.LineTo(high, 3));
  EXPECT_EQ(Pixel(canvas.bitmap, 20, 3), Black);
  const TPoint far[] = {{low, low}, {high, 0}, {0, high}};
  EXPECT_TRUE(canvas.dc.Polygon(far, 3));
  EXPECT_TRUE(canvas.dc.BitBlt(high, low, high, high, canvas.dc, low, high, SRCCOPY));
}

TEST(QtDrawing, ClientContextOfAWindowPaintsItsPicture) {
  TFrameWindow window(nullptr, "picture");
  window.Attr.Style = WS_POPUP;
  ASSERT_TRUE(window.Create());
  ASSERT_TRUE(window.MoveWindow(TRect(0, 0, 50, 40)));
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(0, 255, 0)));
  canvas.dc.SelectObject(TBrush(TColor(0, 255, 0)));
  canvas.dc.Rectangle(0, 0, 40, 30);
  {
    TClientDC client(window.GetHandle());
    ASSERT_TRUE(client.IsValid());
    ASSERT_TRUE(client.BitBlt(0, 0, 50, 40, canvas.dc, 0, 0, SRCCOPY));
  }
  const QImage& picture = qt_backend::WidgetOf(window.GetHandle())->Picture();
  ASSERT_EQ(picture.size(), QSize(50, 40));
  EXPECT_EQ(picture.pixel(39, 29) & 0xFFFFFF, Green);
  // The class's default background stays where the bitmap did not reach.
  EXPECT_EQ(picture.pixel(45, 35) & 0xFFFFFF, White);

  EXPECT_TRUE(TClientDC(nullptr).IsValid());
  const HWND gone = window.GetHandle();
  window.Destroy();
  TClientDC stale(gone);
  EXPECT_FALSE(stale.IsValid());
  EXPECT_FALSE(stale.Rectangle(0, 0, 5, 5));
}

TEST(QtDrawing, BitmapFileRoundTripsAndAFailedWriteLeavesNothing) {
  Canvas canvas;
  canvas.dc.SelectObject(TPen(TColor(255, 0, 0)));
  canvas.dc.SelectObject(TBrush(TColor(0, 0, 255)));
  canvas.dc.Ellipse(3, 3, 30, 25);
  const TDib dib(canvas.bitmap);
  const auto folder = std::filesystem::temp_directory_path() / ("tesmar-qt-bmp-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "tmp.bmp").string();
  ASSERT_TRUE(dib.WriteFile(path.c_str()));
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  ASSERT_TRUE(ReadBmpFile(path, width, height, pixels));
  EXPECT_EQ(width, 40);
  EXPECT_EQ(height, 30);
  EXPECT_EQ(pixels, dib.Pixels());

  // A directory in the way: false, and no file or temporary left beside it.
  const std::string blocked = (folder / "blocked.bmp").string();
  std::filesystem::create_directory(blocked);
  EXPECT_FALSE(dib.WriteFile(blocked.c_str()));
  EXPECT_FALSE(dib.WriteFile((folder / "missing" / "tmp.bmp").string().c_str()));
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 2);  // tmp.bmp and the directory
  std::filesystem::remove_all(folder);
}

}  // namespace

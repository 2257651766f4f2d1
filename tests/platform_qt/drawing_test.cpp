// Drawing on the Qt back end where it differs from the system's drawing: coordinates beyond the
// system's range, a window's picture and the raster operations it leaves out.
#include <gtest/gtest.h>

#include <limits>

#include "drawing.h"
#include "framework.h"
#include "qt_backend.h"

namespace {

constexpr std::uint32_t Black = 0x000000, White = 0xFFFFFF, Green = 0x00FF00;

std::uint32_t Pixel(const TBitmap& bitmap, int x, int y) {
  const TDib dib(bitmap);
  return dib.Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(dib.Width()) + static_cast<std::size_t>(x)];
}

// Coordinates anywhere in the int range: what falls on the picture is drawn, and nothing overflows.
TEST(QtDrawing, ExtremeCoordinatesAreClippedWithoutOverflow) {
  TMemoryDC screenLike{TClientDC(nullptr)};
  TBitmap bitmap(screenLike, 40, 30);
  TMemoryDC dc(bitmap);
  constexpr int low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
  dc.SelectObject(TBrush(TColor(0, 255, 0)));
  EXPECT_TRUE(dc.Ellipse(low, low, high, high));
  EXPECT_EQ(Pixel(bitmap, 20, 15), Green);
  EXPECT_TRUE(dc.Rectangle(high, high, low, low));
  dc.MoveTo(low, 3);
  EXPECT_TRUE(dc.LineTo(high, 3));
  EXPECT_EQ(Pixel(bitmap, 20, 3), Black);
  const TPoint distant[] = {{low, low}, {high, 0}, {0, high}};
  EXPECT_TRUE(dc.Polygon(distant, 3));
  EXPECT_TRUE(dc.BitBlt(high, low, high, high, dc, low, high, SRCCOPY));
}

TEST(QtDrawing, ClientContextOfAWindowPaintsItsPicture) {
  TFrameWindow window(nullptr, "picture");
  window.Attr.Style = WS_POPUP;
  ASSERT_TRUE(window.Create());
  ASSERT_TRUE(window.MoveWindow(TRect(0, 0, 50, 40)));
  TMemoryDC screenLike{TClientDC(nullptr)};
  TBitmap bitmap(screenLike, 40, 30);
  TMemoryDC dc(bitmap);
  dc.SelectObject(TPen(TColor(0, 255, 0)));
  dc.SelectObject(TBrush(TColor(0, 255, 0)));
  dc.Rectangle(0, 0, 40, 30);
  {
    TClientDC client(window.GetHandle());
    ASSERT_TRUE(client.IsValid());
    ASSERT_TRUE(client.BitBlt(0, 0, 50, 40, dc, 0, 0, SRCCOPY));
  }
  const QImage& picture = qt_backend::WidgetOf(window.GetHandle())->Picture();
  ASSERT_EQ(picture.size(), QSize(50, 40));
  EXPECT_EQ(picture.pixel(39, 29) & 0xFFFFFF, Green);
  // The class's default background stays where the bitmap did not reach.
  EXPECT_EQ(picture.pixel(45, 35) & 0xFFFFFF, White);
}

// Only plain copies are implemented; anything else says so rather than copy.
TEST(QtDrawing, BlockCopyRefusesOperationsOtherThanCopy) {
  TMemoryDC screenLike{TClientDC(nullptr)};
  TBitmap target(screenLike, 10, 10), source(screenLike, 10, 10);
  TMemoryDC to(target), from(source);
  EXPECT_FALSE(to.BitBlt(0, 0, 5, 5, from, 0, 0, 0x00EE0086 /* SRCPAINT */));
  EXPECT_TRUE(to.BitBlt(0, 0, 5, 5, from, 0, 0, SRCCOPY));
}

}  // namespace

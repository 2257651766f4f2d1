// The picture of a window on the screen: drawing contexts write into what Qt puts on the display,
// without a repaint in between, the picture survives showing, resizing and erasing, and a block copy
// that carries only what changed leaves the window as a whole copy would.
#include <QBackingStore>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "drawing.h"
#include "framework.h"
#include "qt_backend.h"
#include "../support/random_drawing.h"

namespace {

constexpr QRgb White = 0xFFFFFF, Red = 0xFF0000, Blue = 0x0000FF;

bool PumpUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 3000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int Paints = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

// A borderless window of the framework's default class (white background).
struct Window {
  TFrameWindow window{nullptr, "picture"};
  qt_backend::TWindowWidget* widget = nullptr;

  explicit Window(int width, int height) {
    window.Attr.Style = WS_POPUP;
    EXPECT_TRUE(window.Create());
    EXPECT_TRUE(window.MoveWindow(TRect(0, 0, width, height)));
    widget = qt_backend::WidgetOf(window.GetHandle());
  }

  void ShowAndSettle() {
    window.ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil([this] {
      const QBackingStore* store = widget->backingStore();
      return widget->windowHandle() && widget->windowHandle()->isExposed() && store && store->size() == widget->size();
    }));
  }

  // What the screen shows of the window.
  QImage Shown() const {
    return widget->windowHandle()->screen()->grabWindow(widget->winId()).toImage().convertToFormat(QImage::Format_RGB32);
  }
};

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// A bitmap filled with one colour, and a context on it.
struct Filled {
  TMemoryDC screenLike{TClientDC(nullptr)};
  TBitmap bitmap;
  TMemoryDC dc{bitmap};
  Filled(int width, int height, TColor colour) : bitmap(screenLike, width, height) {
    dc.SelectObject(TPen(colour));
    dc.SelectObject(TBrush(colour));
    dc.Rectangle(0, 0, width, height);
    dc.RestorePen();
    dc.RestoreBrush();
  }
};

// A few shapes with every kind of tool the engine and the frame use.
void DrawShapes(TDC& dc) {
  dc.SelectObject(TPen(TColor(255, 0, 0)));
  dc.SelectObject(TBrush(TColor(0, 0, 255)));
  dc.Ellipse(4, 4, 30, 26);
  dc.Rectangle(34, 3, 50, 20);
  const TPoint marking[] = {{10, 30}, {25, 28}, {28, 38}, {12, 37}};
  dc.SelectObject(TBrush(TColor(0, 255, 0)));
  dc.Polygon(marking, 4);
  dc.SelectObject(TPen(TColor(255, 0, 0), 2, PS_SOLID));
  dc.SelectObject(TBrush(TColor::Transparent));
  dc.Rectangle(1, 1, 59, 39);
  dc.MoveTo(1, 1);
  dc.LineTo(20, 15);
  dc.SelectObject(TPen(TColor(255, 255, 255)));
  dc.MoveTo(40, 35);
  dc.LineTo(55, 25);
  dc.SetROP2(R2_NOT);
  dc.Rectangle(36, 22, 44, 30);
  dc.SetROP2(R2_COPYPEN);
}

TEST(QtWindowPicture, AFrameReachesTheScreenWithOneCopyAndNoRepaint) {
  Window shown(60, 40);
  ASSERT_NO_FATAL_FAILURE(shown.ShowAndSettle());
  // As the saver's frame: a bitmap a pixel smaller each way, copied at the window's full size.
  Filled frame(59, 39, TColor(0, 0, 0));
  DrawShapes(frame.dc);
  PaintCounter counter;
  shown.widget->installEventFilter(&counter);
  for (int i = 0; i < 3; ++i) {
    TClientDC client(shown.window.GetHandle());
    ASSERT_TRUE(client.BitBlt(0, 0, 60, 40, frame.dc, 0, 0, SRCCOPY));
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(counter.Paints, 0);

  const QImage screen = shown.Shown();
  ASSERT_EQ(screen.size(), QSize(60, 40));
  const TDib drawn(frame.bitmap);
  int differences = 0;
  for (int y = 0; y < 39; ++y) {
    for (int x = 0; x < 59; ++x) differences += At(screen, x, y) != drawn.Pixels()[static_cast<std::size_t>(y * 59 + x)];
  }
  EXPECT_EQ(differences, 0);
  // The row and column the bitmap does not reach keep the class's background.
  EXPECT_EQ(At(screen, 59, 20), White);
  EXPECT_EQ(At(screen, 30, 39), White);
  // The picture the contexts read is what the screen shows.
  EXPECT_EQ(shown.widget->Picture().copy().convertToFormat(QImage::Format_RGB32), screen);
}

TEST(QtWindowPicture, ShapesOnAWindowOnTheScreenLookAsOnABitmap) {
  Window shown(60, 40);
  ASSERT_NO_FATAL_FAILURE(shown.ShowAndSettle());
  {
    TClientDC client(shown.window.GetHandle());
    DrawShapes(client);
  }
  Filled reference(60, 40, TColor(255, 255, 255));
  DrawShapes(reference.dc);

  QCoreApplication::processEvents();
  const QImage screen = shown.Shown();
  const TDib expected(reference.bitmap);
  int differences = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) differences += At(screen, x, y) != expected.Pixels()[static_cast<std::size_t>(y * 60 + x)];
  }
  EXPECT_EQ(differences, 0);
  EXPECT_EQ(At(screen, 17, 15), Blue);
}

TEST(QtWindowPicture, ThePictureSurvivesShowingResizingAndErasing) {
  Window shown(40, 30);
  Filled blue(20, 10, TColor(0, 0, 255));
  Filled red(5, 5, TColor(255, 0, 0));
  {
    // Drawn before the window is on the screen: kept in the window's own picture.
    TClientDC client(shown.window.GetHandle());
    ASSERT_TRUE(client.BitBlt(0, 0, 20, 10, blue.dc, 0, 0, SRCCOPY));
  }
  ASSERT_NO_FATAL_FAILURE(shown.ShowAndSettle());
  {
    TClientDC client(shown.window.GetHandle());
    ASSERT_TRUE(client.BitBlt(30, 20, 5, 5, red.dc, 0, 0, SRCCOPY));
  }
  QImage screen = shown.Shown();
  EXPECT_EQ(At(screen, 5, 5), Blue);
  EXPECT_EQ(At(screen, 32, 22), Red);
  EXPECT_EQ(At(screen, 25, 5), White);

  // A larger window keeps what was drawn; the new parts get the background.
  ASSERT_TRUE(shown.window.MoveWindow(TRect(0, 0, 70, 50)));
  ASSERT_TRUE(PumpUntil([&] { return shown.widget->backingStore()->size() == QSize(70, 50); }));
  QCoreApplication::processEvents();
  screen = shown.Shown();
  ASSERT_EQ(screen.size(), QSize(70, 50));
  EXPECT_EQ(At(screen, 5, 5), Blue);
  EXPECT_EQ(At(screen, 32, 22), Red);
  EXPECT_EQ(At(screen, 65, 45), White);
  {
    TClientDC client(shown.window.GetHandle());
    ASSERT_TRUE(client.BitBlt(60, 40, 5, 5, red.dc, 0, 0, SRCCOPY));
  }
  EXPECT_EQ(At(shown.Shown(), 62, 42), Red);
  EXPECT_EQ(At(shown.widget->Picture(), 62, 42), Red);

  // Erasing fills the whole picture with the class's background.
  shown.window.Invalidate(true);
  QCoreApplication::processEvents();
  screen = shown.Shown();
  EXPECT_EQ(At(screen, 5, 5), White);
  EXPECT_EQ(At(screen, 62, 42), White);
}

// Pixels where the window's picture differs from the bitmap, over the part of it the bitmap covers.
int DifferencesFromBitmap(qt_backend::TWindowWidget& widget, const TBitmap& bitmap) {
  const QImage picture = widget.Picture().copy();
  const TDib dib(bitmap);
  int differences = 0;
  for (int y = 0; y < std::min(dib.Height(), picture.height()); ++y) {
    for (int x = 0; x < std::min(dib.Width(), picture.width()); ++x) {
      differences += At(picture, x, y) != dib.Pixels()[static_cast<std::size_t>(y * dib.Width() + x)];
    }
  }
  return differences;
}

// Writes into the window's picture behind the contexts' backs, as a store that drops pixels would.
void Scribble(qt_backend::TWindowWidget& widget, const QRect& area) {
  if (QImage* picture = widget.BeginDrawing(area)) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) picture->setPixel(x, y, qRgb(x * 7, y * 13, 99));
    }
  }
  widget.EndDrawing(area);
}

// The saver's frame over and over (a bitmap a pixel smaller, copied at the window's size), with random
// drawing between the copies and, now and then, what the system or other drawing does to the window.
TEST(QtWindowPicture, CopiesOfWhatChangedLeaveTheWindowAsWholeCopiesWould) {
  constexpr int Width = 97, Height = 71;
  Window shown(Width, Height);
  ASSERT_NO_FATAL_FAILURE(shown.ShowAndSettle());
  Window other(Width, Height);
  ASSERT_NO_FATAL_FAILURE(other.ShowAndSettle());
  Filled frame(Width - 1, Height - 1, TColor(0, 0, 0));
  Filled stranger(30, 20, TColor(0, 255, 0));
  const HWND handle = shown.window.GetHandle();
  std::mt19937 random(20261208);

  const auto copy = [&](HWND window) {
    TClientDC client(window);
    return client.BitBlt(0, 0, Width, Height, frame.dc, 0, 0, SRCCOPY);
  };
  for (int step = 0; step < 160; ++step) {
    const int shapes = RandomBetween(random, 0, 3);
    for (int i = 0; i < shapes; ++i) DrawRandomShape(frame.dc, random, Width - 1, Height - 1);
    switch (step % 20) {
      case 3: {
        // The bitmap goes to another window in between: each window must still get what it lacks.
        ASSERT_TRUE(copy(other.window.GetHandle()));
        EXPECT_EQ(DifferencesFromBitmap(*other.widget, frame.bitmap), 0) << "step " << step;
        break;
      }
      case 6:
        // The store lost a part and asked for it to be repainted.
        Scribble(*shown.widget, QRect(10, 5, 40, 30));
        shown.widget->repaint(QRect(10, 5, 40, 30));
        break;
      case 9:
        // Covered and uncovered.
        shown.window.ShowWindow(SW_HIDE);
        QCoreApplication::processEvents();
        ASSERT_NO_FATAL_FAILURE(shown.ShowAndSettle());
        break;
      case 11:
        ASSERT_TRUE(shown.window.MoveWindow(TRect(0, 0, Width + 20, Height + 10)));
        ASSERT_TRUE(PumpUntil([&] { return shown.widget->backingStore()->size() == QSize(Width + 20, Height + 10); }));
        break;
      case 12:
        ASSERT_TRUE(shown.window.MoveWindow(TRect(0, 0, Width, Height)));
        ASSERT_TRUE(PumpUntil([&] { return shown.widget->backingStore()->size() == QSize(Width, Height); }));
        break;
      case 14:
        shown.window.Invalidate(true);
        break;
      case 16: {
        TClientDC client(handle);
        DrawRandomShape(client, random, Width, Height);
        DrawRandomShape(client, random, Width, Height);
        break;
      }
      case 18: {
        TClientDC client(handle);
        ASSERT_TRUE(client.BitBlt(40, 30, 30, 20, stranger.dc, 0, 0, SRCCOPY));
        break;
      }
      default:
        break;
    }
    QCoreApplication::processEvents();
    ASSERT_TRUE(copy(handle));
    ASSERT_EQ(DifferencesFromBitmap(*shown.widget, frame.bitmap), 0) << "step " << step;
  }
  QCoreApplication::processEvents();
  const QImage screen = shown.Shown();
  EXPECT_EQ(screen, shown.widget->Picture().copy().convertToFormat(QImage::Format_RGB32));
}

// A part of the picture that neither the bitmap's drawing nor the system touched is not copied again.
TEST(QtWindowPicture, ACopyCarriesOnlyWhatChangedOnEitherSide) {
  Window shown(60, 40);
  ASSERT_NO_FATAL_FAILURE(shown.ShowAndSettle());
  Filled frame(59, 39, TColor(0, 0, 0));
  DrawShapes(frame.dc);
  const HWND handle = shown.window.GetHandle();
  const auto copy = [&] {
    TClientDC client(handle);
    ASSERT_TRUE(client.BitBlt(0, 0, 60, 40, frame.dc, 0, 0, SRCCOPY));
  };
  ASSERT_NO_FATAL_FAILURE(copy());
  ASSERT_EQ(DifferencesFromBitmap(*shown.widget, frame.bitmap), 0);

  Scribble(*shown.widget, QRect(50, 30, 5, 5));
  frame.dc.SelectObject(TPen(TColor(255, 255, 0), 3, PS_SOLID));
  frame.dc.MoveTo(2, 2);
  frame.dc.LineTo(8, 2);
  ASSERT_NO_FATAL_FAILURE(copy());
  const QImage picture = shown.widget->Picture().copy();
  EXPECT_EQ(At(picture, 5, 2), 0xFFFF00u);
  EXPECT_EQ(At(picture, 52, 32), qRgb(52 * 7, 32 * 13, 99) & 0xFFFFFFu);

  // Once the system asks for that part, it comes back.
  shown.widget->repaint(QRect(50, 30, 5, 5));
  ASSERT_NO_FATAL_FAILURE(copy());
  EXPECT_EQ(DifferencesFromBitmap(*shown.widget, frame.bitmap), 0);
}

}  // namespace

// The mouse test through Qt's mouse events, whatever the display scale (QT_SCALE_FACTOR) and wherever
// the primary monitor lies: the starting spot keeps the saver, the next pixel ends it. Off screen Qt
// knows the cursor to a logical pixel only; the device pixel is for the end-to-end test on X.
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "qt_backend.h"
#include "tscrnsav.h"

namespace {

// A mouse move at a desktop position in logical pixels, as Qt delivers it to the window.
bool MoveCloses(TWindow& target, TScrnSavWindow& saver, TApplication& app, QPointF global) {
  QWidget* widget = qt_backend::WidgetOf(target.GetHandle());
  if (!widget) return false;
  QMouseEvent event(QEvent::MouseMove, widget->mapFromGlobal(global), global, Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
  app.PumpWaitingMessages();
  return saver.GetHandle() == nullptr;
}

TEST(SaverMouseScale, TheStartingSpotKeepsTheSaverAndTheNextPixelEndsIt) {
  TApplication app{"scale"};
  const QRect primary = qt_backend::ScreenRect();
  // An odd spot, so that a scale of 1.5 leaves it between logical pixels.
  QCursor::setPos(qt_backend::LogicalPoint(primary.topLeft() + QPoint(301, 203)).toPoint());

  for (const QPointF& step : {QPointF(0, 0), QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)}) {
    auto saver = std::make_unique<TScrnSavWindow>(nullptr);
    ASSERT_TRUE(saver->Create());
    saver->ShowWindow(SW_SHOW);
    const QPoint start(saver->StartCursorPos.x, saver->StartCursorPos.y);
    ASSERT_TRUE(primary.contains(start));
    EXPECT_EQ(MoveCloses(*saver, *saver, app, qt_backend::LogicalPoint(start) + step), step != QPointF(0, 0))
        << "scale " << qt_backend::ScreenScale() << ", step " << step.x() << "," << step.y();

    // The same on a cover, at its own monitor's device pixels.
    if (saver->GetHandle() && !saver->GetCovers().empty()) {
      TScrnSavCover& cover = *saver->GetCovers().front();
      const QPoint corner(cover.GetArea().left, cover.GetArea().top);
      EXPECT_TRUE(MoveCloses(cover, *saver, app, qt_backend::LogicalPoint(corner + QPoint(5, 5))));
    }
  }
}

}  // namespace

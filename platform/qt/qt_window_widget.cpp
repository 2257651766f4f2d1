// The widget behind every window: Qt's events reach the window as posted window messages, and a
// dialog's Escape and Enter become its commands, as the dialog manager makes them.
#include <QKeyEvent>
#include <QPushButton>

#include "qt_backend.h"

namespace qt_backend {

TWindowWidget::TWindowWidget(QWidget* parent, Qt::WindowFlags flags, bool dialog)
    : QWidget(parent, flags), Dialog(dialog), Background(Qt::white) {
  if (!Dialog) {
    // The picture covers the whole client area, so Qt need not erase behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }
}

TWindowWidget::~TWindowWidget() {
  // Deleted with its parent widget: the window object loses its handle.
  if (Handle) {
    if (TWindow* owner = WindowOf(Handle)) owner->SetHandle(nullptr);
    UnregisterWindow(Handle);
  }
}

TControl* TWindowWidget::Control(int id) {
  for (TControl& control : Controls) {
    if (control.Id == id) return &control;
  }
  return nullptr;
}

const TControl* TWindowWidget::Control(int id) const {
  for (const TControl& control : Controls) {
    if (control.Id == id) return &control;
  }
  return nullptr;
}

bool TWindowWidget::event(QEvent* event) {
  // Qt resizes or drops the backing store after these, so the picture leaves it first.
  if (event->type() == QEvent::Resize || event->type() == QEvent::ParentAboutToChange) MoveOutOfStore();
  if (event->type() == QEvent::Resize || event->type() == QEvent::Show) ResizePicture();
  // A Wayland compositor may hold a window's new state until the window shows a frame drawn for it,
  // and Qt draws none when the size stays the same.
  if (event->type() == QEvent::WindowStateChange && isWindow()) update();
  TMessage message;
  if (!Handle || !TranslateEvent(*this, *event, message)) return QWidget::event(event);
  // A dialog's keys and clicks belong to its controls; it hears only of activation and closing.
  if (Dialog && message.Message != WM_CLOSE && message.Message != WM_ACTIVATE) return QWidget::event(event);
  Post(Handle, message.Message, message.WParam, message.LParam);
  if (event->type() == QEvent::Close) {
    // The response table decides whether the window goes.
    event->ignore();
    return true;
  }
  if (event->type() == QEvent::ActivationChange || event->type() == QEvent::Resize) return QWidget::event(event);
  event->accept();
  return true;
}

// The dialog manager's keys: Escape cancels, Enter presses the focused or the default button.
void TWindowWidget::keyPressEvent(QKeyEvent* event) {
  if (!Dialog || !Handle) {
    QWidget::keyPressEvent(event);
    return;
  }
  int command = 0;
  if (event->key() == Qt::Key_Escape) {
    command = IDCANCEL;
  } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    command = DefaultCommand;
    for (const TControl& control : Controls) {
      if (control.Widget == focusWidget() && qobject_cast<QPushButton*>(control.Widget)) command = control.Id;
    }
  }
  if (!command) {
    QWidget::keyPressEvent(event);
    return;
  }
  Post(Handle, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  event->accept();
}

}  // namespace qt_backend

// The display's connection breaking: the X server or the Wayland compositor gone. Qt 6.4 says so in a
// warning and ends the process at once (exit(1) on xcb from the GUI thread, _exit on wayland from its
// event thread), so no close and no destructor would run: that warning is the last word the program
// gets, and the run ends there, on the GUI thread.
#include <QGuiApplication>
#include <QMetaObject>
#include <QThread>

#include <xcb/xcb.h>

#include <chrono>
#include <thread>

#include "qt_backend.h"
#include "qt_signals.h"

namespace {

QtMessageHandler previousHandler = nullptr;

bool ConnectionBroken(const QString& message) {
  if (!qGuiApp) return false;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && x11->connection() && xcb_connection_has_error(x11->connection()) != 0;
  }
  // Qt 6.4 gives no public handle on its Wayland connection; the two warnings it gives before it
  // ends the process ("The Wayland connection broke...", "... experienced a fatal error") are its word.
  if (platform.startsWith(QLatin1String("wayland"))) return message.startsWith(QLatin1String("The Wayland connection"));
  return false;
}

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  // Qt's own line stays, ahead of the program's.
  if (previousHandler) previousHandler(type, context, message);
  if (type == QtDebugMsg || type == QtInfoMsg || !ConnectionBroken(message)) return;
  if (QThread::currentThread() == qGuiApp->thread()) qt_backend::EndAbruptly(TAbruptEnd::DisplayLost);
  // Another thread of Qt's: the run ends on the GUI thread, which ends the process; this thread
  // holds Qt's own end back meanwhile, for a while only, so that a GUI thread that is busy with an
  // ordinary close (or stuck) still lets the process end.
  QMetaObject::invokeMethod(qGuiApp, [] { qt_backend::EndAbruptly(TAbruptEnd::DisplayLost); }, Qt::QueuedConnection);
  std::this_thread::sleep_for(std::chrono::seconds(5));
}

}  // namespace

void WatchDisplayConnection() {
  static bool watching = false;
  if (watching || !qt_backend::HasGui()) return;
  watching = true;
  previousHandler = qInstallMessageHandler(OnQtMessage);
}

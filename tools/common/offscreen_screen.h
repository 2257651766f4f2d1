// For the tools that run the saver window without a display: Qt's off-screen platform with one
// screen of a chosen size, and a message handler that keeps only errors.
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

// Describes the screen in a file that the off-screen platform reads at start; call before the
// QApplication is made. The name only labels the screen.
inline bool PrepareOffscreenScreen(const QTemporaryDir& directory, int width, int height, const char* name) {
  if (!directory.isValid()) return false;
  const std::string path = directory.filePath("screen.json").toStdString();
  std::ofstream file(path);
  file << "{\"screens\": [{\"name\": \"" << name << "\", \"x\": 0, \"y\": 0, \"width\": " << width
       << ", \"height\": " << height << ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}\n";
  file.close();
  if (!file) return false;
  const std::string platform = "offscreen:configfile=" + path;
  return setenv("QT_QPA_PLATFORM", platform.c_str(), 1) == 0;
}

// The off-screen platform warns about what it cannot do for a window (raise it, say); only errors
// count, and they go to standard error under the tool's name.
template <const char* ToolName>
void QuietWarnings(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s: %s\n", ToolName, message.toLocal8Bit().constData());
  }
}

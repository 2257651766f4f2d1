// The file-open dialog on Qt: QFileDialog with the request's folder, filters and default extension,
// and the answer checked and copied as the common dialog would give it.
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>
#include <string>

#include "framework_backend.h"
#include "qt_backend.h"
#include "qt_file_dialog.h"

namespace qt_backend {

int AcceptChosenFile(TOpenSaveDialog::TData& data, const QString& chosen) {
  if (chosen.isEmpty()) return IDCANCEL;
  const QFileInfo file(chosen);
  if ((data.Flags & OFN_FILEMUSTEXIST) && !file.isFile()) return IDCANCEL;
  const QByteArray path = QFile::encodeName(file.absoluteFilePath());
  // A path cut to fit would name another file; refuse it instead.
  if (path.size() > data.MaxPath - 1) {
    FrameworkTrace("the chosen file's path is longer than the program can take");
    return IDCANCEL;
  }
  std::memcpy(data.FileName, path.constData(), static_cast<std::size_t>(path.size()));
  data.FileName[path.size()] = '\0';
  return IDOK;
}

QStringList NameFilters(const std::string& filter) {
  QStringList filters;
  const QStringList parts = QString::fromStdString(filter).split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    // Qt reads the patterns from the last parentheses, so a description's own list goes.
    if (description.endsWith(')')) {
      const qsizetype open = description.lastIndexOf('(');
      if (open > 0) description = description.left(open).trimmed();
    }
    QStringList patterns;
    for (QString pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      pattern = pattern.trimmed();
      // "*.*" means every file on Windows, but only names with a dot to Qt.
      if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
      if (!pattern.isEmpty()) patterns << pattern;
    }
    if (patterns.isEmpty()) continue;
    filters << description + QStringLiteral(" (") + patterns.join(' ') + ')';
  }
  return filters;
}

}  // namespace qt_backend

using namespace qt_backend;

int ShowSystemFileOpenDialog(HWND owner, TOpenSaveDialog::TData& data) {
  if (!HasGui()) {
    FrameworkTrace("no display: cannot show the file dialog");
    return IDCANCEL;
  }
  QFileDialog dialog(WidgetOf(owner), QStringLiteral("Open"), QString::fromStdString(data.InitialDir));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode((data.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  const QStringList filters = NameFilters(data.Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = data.FilterIndex > 0 ? data.FilterIndex - 1 : 0;
    if (index < filters.size()) dialog.selectNameFilter(filters[index]);
  }
  // A wildcard is no extension to add to a typed name.
  const QString extension = QString::fromStdString(data.DefaultExtension).remove(QRegularExpression("^\\."));
  if (!extension.isEmpty() && !extension.contains('*') && !extension.contains('?')) {
    dialog.setDefaultSuffix(extension);
  }
  if (ExecModal(dialog) != QDialog::Accepted) return IDCANCEL;
  const QStringList chosen = dialog.selectedFiles();
  return AcceptChosenFile(data, chosen.isEmpty() ? QString() : chosen.front());
}

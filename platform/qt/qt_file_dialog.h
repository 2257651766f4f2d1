// The Qt file dialog's conversions, open to its tests: the request's filter as Qt's name filters, and
// the chosen file as the common dialog would hand it back.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

#include "framework.h"

namespace qt_backend {

// The file dialog's answer: IDOK with the full path in data.FileName, or IDCANCEL when the choice
// is empty, must exist and does not, or does not fit the buffer.
int AcceptChosenFile(TOpenSaveDialog::TData& data, const QString& chosen);
// "Description|pattern;pattern|..." as Qt's name filters.
QStringList NameFilters(const std::string& filter);

}  // namespace qt_backend

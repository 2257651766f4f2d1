// The Qt back end's dialog building blocks, open to its tests: dialog units, the embedded resource
// script, dialogs built from its templates, and the file dialog's conversions.
#pragma once

#include <QFont>
#include <QWidget>
#include <QRect>
#include <QStringList>

#include <string>

#include "framework.h"
#include "resource_script.h"

namespace qt_backend {

class TWindowWidget;

// The base units of a dialog font: the average character width and the character height in pixels.
struct TDialogUnits {
  double BaseX = 0;
  double BaseY = 0;
};
TDialogUnits DialogUnitsOf(const QFont& font);
// Dialog units to pixels: x * BaseX / 4 and y * BaseY / 8, rounded as the system rounds them.
QRect MapDialogRect(const TDialogUnits& units, int x, int y, int width, int height);

// The width a dialog control has for its text, and the width its text takes; edit fields, whose
// text scrolls, have room for any.
int ControlTextRoom(const QWidget& control);
int ControlTextWidth(const QWidget& control);

// The resource script compiled into the program; empty (and traced) if it cannot be read.
const resource_script::TScript& ProgramResources();

// A dialog window with the template's caption, font, size and controls.
TWindowWidget* BuildDialog(const resource_script::TDialog& dialogTemplate, QWidget* parent);

// The file dialog's answer: IDOK with the full path in data.FileName, or IDCANCEL when the choice
// is empty, must exist and does not, or does not fit the buffer.
int AcceptChosenFile(TOpenSaveDialog::TData& data, const QString& chosen);
// "Description|pattern;pattern|..." as Qt's name filters.
QStringList NameFilters(const std::string& filter);

}  // namespace qt_backend

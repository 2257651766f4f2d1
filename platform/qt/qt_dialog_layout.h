// How the Qt back end lays out a dialog from its template, open to its tests: dialog units, the
// width a control has for its text, the embedded resource script and the dialogs built from it.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

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

// A label's text as it shows: '&' marks a mnemonic and goes, "&&" shows one '&'.
QString WithoutMnemonics(const std::string& text);

// The resource script compiled into the program; empty (and traced) if it cannot be read.
const resource_script::TScript& ProgramResources();

// A dialog window with the template's caption, font, size and controls.
TWindowWidget* BuildDialog(const resource_script::TDialog& dialogTemplate, QWidget* parent);

}  // namespace qt_backend

// The system's message box on Qt: a QMessageBox with the Windows box's buttons and icon, run modally,
// its text also said on standard error.
#include <QMessageBox>

#include <cstdio>
#include <iterator>
#include <utility>

#include "framework_backend.h"
#include "qt_backend.h"

using namespace qt_backend;

namespace {
using Button = QMessageBox::StandardButton;

// The buttons of each kind of box, the default first, with the answers they give; indexed by the
// MB_OK ... MB_RETRYCANCEL kind.
const std::pair<Button, int> Choices[][3] = {
    {{Button::Ok, IDOK}},
    {{Button::Ok, IDOK}, {Button::Cancel, IDCANCEL}},
    {{Button::Abort, IDABORT}, {Button::Retry, IDRETRY}, {Button::Ignore, IDIGNORE}},
    {{Button::Yes, IDYES}, {Button::No, IDNO}, {Button::Cancel, IDCANCEL}},
    {{Button::Yes, IDYES}, {Button::No, IDNO}},
    {{Button::Retry, IDRETRY}, {Button::Cancel, IDCANCEL}},
};
static_assert(MB_OKCANCEL == 1 && MB_ABORTRETRYIGNORE == 2 && MB_YESNOCANCEL == 3 && MB_YESNO == 4 &&
              MB_RETRYCANCEL == 5 && std::size(Choices) == MB_RETRYCANCEL + 1);

QMessageBox::Icon IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}
}  // namespace

int ShowSystemMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  // An unknown kind shows as a plain box with OK.
  const UINT kind = (type & MB_TYPEMASK) < std::size(Choices) ? (type & MB_TYPEMASK) : MB_OK;
  const auto& choices = Choices[kind];

  // On standard error too: a host's log or a terminal keeps what the box said.
  std::fprintf(stderr, "%s: %s\n", caption, text);
  if (!HasGui()) {
    // Nobody can answer: take the safe way out.
    for (const auto& [button, id] : choices) {
      if (id == IDCANCEL) return IDCANCEL;
    }
    return choices[0].second;
  }

  QMessageBox::StandardButtons buttons;
  for (const auto& [button, id] : choices) {
    if (id) buttons |= button;
  }
  QMessageBox box(IconOf(type), QString::fromUtf8(caption), QString::fromUtf8(text), buttons, WidgetOf(owner));
  box.setDefaultButton(choices[0].first);
  const int pressed = ExecModal(box);
  for (const auto& [button, id] : choices) {
    if (id && pressed == button) return id;
  }
  return IDCANCEL;
}

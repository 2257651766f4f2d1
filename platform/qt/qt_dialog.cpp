// Dialogs on Qt: the dialog-item operations on a window's controls, and TDialog's creation from its
// template and its modal run by the framework's own message pump.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <utility>

#include "qt_backend.h"
#include "qt_dialog_layout.h"
#include "resource_script.h"

namespace qt_backend {

void TWindowWidget::ClickedRadio(int id) {
  const TControl* clicked = Control(id);
  if (!clicked) return;
  for (TControl& control : Controls) {
    if (!control.AutoRadio || control.Group != clicked->Group) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(control.Widget)) button->setChecked(control.Id == id);
  }
}

}  // namespace qt_backend

using namespace qt_backend;

// --- dialog items -----------------------------------------------------------------------------

namespace {
QWidget* DialogItem(const TWindow& window, int id) {
  TWindowWidget* widget = WidgetOf(window.GetHandle());
  const qt_backend::TControl* control = widget ? widget->Control(id) : nullptr;
  return control ? control->Widget : nullptr;
}
}  // namespace

void TWindow::CheckRadioButton(int firstId, int lastId, int checkId) {
  TWindowWidget* widget = WidgetOf(Handle);
  if (!widget) return;
  if (firstId > lastId) std::swap(firstId, lastId);
  for (const qt_backend::TControl& control : widget->Controls) {
    if (control.Id < firstId || control.Id > lastId) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(control.Widget)) button->setChecked(control.Id == checkId);
  }
}

void TWindow::CheckDlgButton(int id, UINT check) {
  if (auto* box = qobject_cast<QCheckBox*>(DialogItem(*this, id))) {
    if (check == BST_INDETERMINATE) {
      box->setTristate(true);
      box->setCheckState(Qt::PartiallyChecked);
    } else {
      box->setCheckState(check == BST_UNCHECKED ? Qt::Unchecked : Qt::Checked);
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(DialogItem(*this, id))) {
    button->setChecked(check != BST_UNCHECKED);
  }
}

UINT TWindow::IsDlgButtonChecked(int id) const {
  if (auto* box = qobject_cast<QCheckBox*>(DialogItem(*this, id))) {
    switch (box->checkState()) {
      case Qt::Checked: return BST_CHECKED;
      case Qt::PartiallyChecked: return BST_INDETERMINATE;
      default: return BST_UNCHECKED;
    }
  }
  if (auto* button = qobject_cast<QAbstractButton*>(DialogItem(*this, id))) {
    return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
  }
  return BST_UNCHECKED;
}

void TWindow::SetDlgItemText(int id, const char* text) {
  const QString value = QString::fromUtf8(text ? text : "");
  QWidget* item = DialogItem(*this, id);
  if (auto* edit = qobject_cast<QLineEdit*>(item)) {
    edit->setText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(item)) {
    button->setText(value);
  } else if (auto* box = qobject_cast<QGroupBox*>(item)) {
    box->setTitle(value);
  } else if (auto* label = qobject_cast<QLabel*>(item)) {
    label->setText(WithoutMnemonics(text ? text : ""));
  }
}

int TWindow::GetDlgItemText(int id, char* text, int size) const {
  if (!text || size <= 0) return 0;
  QString value;
  QWidget* item = DialogItem(*this, id);
  if (auto* edit = qobject_cast<QLineEdit*>(item)) {
    value = edit->text();
  } else if (auto* button = qobject_cast<QAbstractButton*>(item)) {
    value = button->text();
  } else if (auto* box = qobject_cast<QGroupBox*>(item)) {
    value = box->title();
  } else if (auto* label = qobject_cast<QLabel*>(item)) {
    value = label->text();
  }
  const QByteArray bytes = value.toUtf8();
  qsizetype count = std::min<qsizetype>(bytes.size(), size - 1);
  // Never end on half a character.
  while (count > 0 && count < bytes.size() && (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) --count;
  std::memcpy(text, bytes.constData(), static_cast<std::size_t>(count));
  text[count] = '\0';
  return static_cast<int>(count);
}

// --- TDialog ----------------------------------------------------------------------------------

TDialog::~TDialog() {
  if (Handle) Destroy(ReturnValue);
}

bool TDialog::Create() {
  if (Handle) return true;
  if (!HasGui()) {
    FrameworkTrace("no display: cannot create a dialog");
    return false;
  }
  const resource_script::TDialog* dialogTemplate = ProgramResources().FindDialog(TemplateName);
  if (!dialogTemplate) {
    FrameworkTrace(("no dialog template named " + TemplateName).c_str());
    return false;
  }
  Attr.Style = dialogTemplate->Style;
  Title = dialogTemplate->Caption;
  QWidget* parentWidget = Parent ? WidgetOf(Parent->GetHandle()) : nullptr;
  TWindowWidget* widget = BuildDialog(*dialogTemplate, parentWidget);
  Handle = RegisterWindow(this, widget);
  widget->Handle = Handle;
  WatchApplicationState();
  SetupWindow();
  return true;
}

int TDialog::Execute() {
  if (!Create()) return -1;
  if (!Handle) return ReturnValue;  // closed in SetupWindow: ends without being shown
  TWindowWidget* widget = WidgetOf(Handle);
  widget->setWindowModality(widget->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
  // Centred over the owner, else on the screen.
  const QWidget* owner = widget->parentWidget();
  const QRect area = owner ? owner->frameGeometry()
                           : (widget->screen() ? widget->screen()->availableGeometry() : QRect());
  if (area.isValid()) widget->move(area.center() - widget->rect().center());
  widget->show();
  BringToFront(*widget);
  for (const qt_backend::TControl& control : widget->Controls) {
    if (control.Widget->focusPolicy() == Qt::StrongFocus && control.Widget->isEnabled()) {
      control.Widget->setFocus(Qt::OtherFocusReason);
      break;
    }
  }

  Running = true;
  ReturnValue = IDCANCEL;
  while (Running && Handle) {
    const TPumpResult result = PumpMessages();
    if (result.Quit) {
      // The quit message ends the dialog and then the application's own loop.
      PostQuitMessage(result.QuitCode);
      break;
    }
    if (Running && Handle) qt_backend::WaitForMessage();
  }
  Running = false;
  const int result = ReturnValue;
  Destroy(result);
  return result;
}

void TDialog::CloseWindow(int returnValue) {
  ReturnValue = returnValue;
  if (Running) {
    Running = false;  // Execute's loop ends and destroys the dialog
  } else {
    Destroy(returnValue);
  }
}

// Dialog windows built from the templates of the embedded resource script: dialog units and the
// dialog font, the controls with the system's button metrics and group frames, and controls grown to
// fit their text.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "qt_backend.h"
#include "qt_dialog_layout.h"
#include "resource_script.h"

// Embedded at build time: the script and the control ids it includes.
extern const char TesmarResourceScript[];
extern const char TesmarResourceIds[];

namespace qt_backend {
namespace {

// Check boxes and radio buttons with the system's small box and short gap before the text: the
// template's widths leave room for those, and the stock style's box and gap take half as much again.
class TDialogButtonStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    switch (metric) {
      case PM_IndicatorWidth:
      case PM_IndicatorHeight:
      case PM_ExclusiveIndicatorWidth:
      case PM_ExclusiveIndicatorHeight:
        return std::min(13, widget ? widget->fontMetrics().height() : 13);
      case PM_CheckBoxLabelSpacing:
      case PM_RadioButtonLabelSpacing:
        return 4;
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

// One for all dialogs, over the application's own style and owned by the application, which
// outlives them.
QStyle* DialogButtonStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    style = new TDialogButtonStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(qApp);
  }
  return style;
}

// A group box whose title sits on the top line of its frame, as the system draws it.
class TGroupFrame : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

  // Where the title goes: one average character in from the left, as tall as the font.
  QRect TitleRect() const {
    const QFontMetrics metrics = fontMetrics();
    const int indent = metrics.averageCharWidth();
    return QRect(indent, 0, std::min(metrics.horizontalAdvance(title()), width() - 2 * indent), metrics.height());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    const QRect titleRect = TitleRect();
    // An etched line, drawn here because styles put their frame below the title. It stops short of
    // the title on either side.
    if (!titleRect.isEmpty()) painter.setClipRegion(QRegion(rect()).subtracted(titleRect.adjusted(-2, 0, 2, 0)));
    qDrawShadeRect(&painter, rect().adjusted(0, titleRect.height() / 2, 0, 0), palette(), true, 1, 0);
    painter.setClipping(false);
    painter.drawItemText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                         title(), QPalette::WindowText);
  }
};

QWidget* MakeControl(TWindowWidget& dialog, const resource_script::TControl& control) {
  using Kind = resource_script::TControlKind;
  const QString text = QString::fromStdString(control.Text);
  const int id = control.Id;
  TWindowWidget* owner = &dialog;
  const auto command = [owner, id] {
    if (owner->Handle) Post(owner->Handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  };
  switch (control.Kind) {
    case Kind::GroupBox: {
      auto* box = new TGroupFrame(text, &dialog);
      box->setFocusPolicy(Qt::NoFocus);
      return box;
    }
    case Kind::PushButton:
    case Kind::DefPushButton: {
      auto* button = new QPushButton(text, &dialog);
      button->setAutoDefault(false);
      if (control.Kind == Kind::DefPushButton) {
        button->setDefault(true);
        dialog.DefaultCommand = id;
      }
      QObject::connect(button, &QPushButton::clicked, button, command);
      return button;
    }
    case Kind::AutoCheckBox: {
      auto* box = new QCheckBox(text, &dialog);
      box->setStyle(DialogButtonStyle());
      QObject::connect(box, &QCheckBox::clicked, box, command);
      return box;
    }
    case Kind::AutoRadioButton: {
      auto* radio = new QRadioButton(text, &dialog);
      radio->setStyle(DialogButtonStyle());
      // Exclusion follows the template's groups, not Qt's one group per parent.
      radio->setAutoExclusive(false);
      QObject::connect(radio, &QRadioButton::clicked, radio, [owner, id, command] {
        owner->ClickedRadio(id);
        command();
      });
      return radio;
    }
    case Kind::Edit: {
      auto* edit = new QLineEdit(text, &dialog);
      edit->setFrame((control.Style & resource_script::StyleBorder) != 0);
      return edit;
    }
    case Kind::Static: {
      auto* label = new QLabel(WithoutMnemonics(control.Text), &dialog);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
  }
  return nullptr;
}

// The dialog's font: the template's face at its size; where that face is missing, the first
// installed sans font of similar width (Arial's metrics are close to the classic dialog font's),
// else the system's sans font.
QFont DialogFont(const resource_script::TDialog& dialog) {
  const int points = dialog.FontSize > 0 ? dialog.FontSize : 8;
  const QStringList candidates = {QString::fromStdString(dialog.FontFace), QStringLiteral("Microsoft Sans Serif"),
                                  QStringLiteral("Liberation Sans"),         QStringLiteral("Arimo"),
                                  QStringLiteral("Arial"),                   QStringLiteral("Nimbus Sans")};
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : candidates) {
    if (!family.isEmpty() && installed.contains(family, Qt::CaseInsensitive)) return QFont(family, points);
  }
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(points);
  return font;
}

}  // namespace

// A label shows '&' as the mark of a mnemonic, "&&" as the character.
QString WithoutMnemonics(const std::string& text) {
  const QString source = QString::fromStdString(text);
  QString shown;
  for (qsizetype i = 0; i < source.size(); ++i) {
    if (source[i] == '&') {
      if (i + 1 < source.size() && source[i + 1] == '&') {
        shown += '&';
        ++i;
      }
      continue;
    }
    shown += source[i];
  }
  return shown;
}

TDialogUnits DialogUnitsOf(const QFont& font) {
  const QFontMetricsF metrics(font);
  // The system's average character width, the alphabet's width over 52, kept with its fraction: the
  // system rounds it for its bitmap font, but an outline font's texts grow with the fraction.
  TDialogUnits units{
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52,
      std::round(metrics.height())};
  // Without usable fonts, fall back on the base units of the classic 8-point dialog font.
  if (!(units.BaseX > 0) || !(units.BaseY > 0)) units = TDialogUnits{6, 13};
  return units;
}

QRect MapDialogRect(const TDialogUnits& units, int x, int y, int width, int height) {
  const auto map = [](int value, double base, int divisor) {
    return static_cast<int>(std::lround(value * base / divisor));
  };
  return QRect(map(x, units.BaseX, 4), map(y, units.BaseY, 8), map(width, units.BaseX, 4),
               map(height, units.BaseY, 8));
}

int ControlTextRoom(const QWidget& control) {
  QStyle* style = control.style();
  QStyleOptionButton option;
  option.initFrom(&control);
  if (qobject_cast<const QCheckBox*>(&control)) {
    return style->subElementRect(QStyle::SE_CheckBoxContents, &option, &control).width();
  }
  if (qobject_cast<const QRadioButton*>(&control)) {
    return style->subElementRect(QStyle::SE_RadioButtonContents, &option, &control).width();
  }
  if (qobject_cast<const QPushButton*>(&control)) {
    return style->subElementRect(QStyle::SE_PushButtonContents, &option, &control).width();
  }
  if (const auto* box = dynamic_cast<const TGroupFrame*>(&control)) return box->TitleRect().width();
  if (const auto* label = qobject_cast<const QLabel*>(&control)) return label->contentsRect().width();
  return std::numeric_limits<int>::max();  // edit fields scroll
}

int ControlTextWidth(const QWidget& control) {
  QString text;
  if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) text = button->text();
  if (const auto* box = qobject_cast<const QGroupBox*>(&control)) text = box->title();
  if (const auto* label = qobject_cast<const QLabel*>(&control)) text = label->text();
  return control.fontMetrics().horizontalAdvance(text);
}

namespace {
// Widens the check boxes, radio buttons and labels whose text does not fit, as far as the next
// control to their right, the frame of the group box around them or the dialog's edge allows.
void GrowToText(TWindowWidget& dialog) {
  constexpr int FrameGap = 2;
  for (const TControl& control : dialog.Controls) {
    QWidget& widget = *control.Widget;
    const bool grows = qobject_cast<QCheckBox*>(&widget) || qobject_cast<QRadioButton*>(&widget) ||
                       qobject_cast<QLabel*>(&widget);
    const int missing = ControlTextWidth(widget) - ControlTextRoom(widget);
    if (!grows || missing <= 0) continue;
    const QRect own = widget.geometry();
    int limit = dialog.width();
    for (const TControl& other : dialog.Controls) {
      const QRect box = other.Widget->geometry();
      if (other.Widget == &widget || box.bottom() < own.top() || box.top() > own.bottom()) continue;
      if (qobject_cast<QGroupBox*>(other.Widget) && box.contains(own)) {
        limit = std::min(limit, box.left() + box.width() - FrameGap);
      } else if (box.left() > own.left()) {
        limit = std::min(limit, box.left());
      }
    }
    const int width = std::min(own.width() + missing, limit - own.left());
    if (width > own.width()) widget.resize(width, own.height());
  }
}
}  // namespace

const resource_script::TScript& ProgramResources() {
  static const resource_script::TScript script = [] {
    try {
      return resource_script::Parse(TesmarResourceScript, [](std::string_view name) {
        return name == "resource.h" ? std::optional<std::string_view>(TesmarResourceIds) : std::nullopt;
      });
    } catch (const resource_script::TScriptError& error) {
      FrameworkTrace(error.what());
      return resource_script::TScript{};
    }
  }();
  return script;
}

TWindowWidget* BuildDialog(const resource_script::TDialog& dialogTemplate, QWidget* parent) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (dialogTemplate.Style & resource_script::StyleSysMenu) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  auto* dialog = new TWindowWidget(parent, flags, true);
  dialog->setObjectName(QStringLiteral("TesmarDialog"));
  dialog->setWindowTitle(QString::fromStdString(dialogTemplate.Caption));
  const QFont font = DialogFont(dialogTemplate);
  dialog->setFont(font);
  const TDialogUnits units = DialogUnitsOf(font);
  dialog->setFixedSize(MapDialogRect(units, 0, 0, dialogTemplate.Width, dialogTemplate.Height).size());

  const std::vector<int> groups = resource_script::ControlGroups(dialogTemplate);
  QWidget* previousStop = nullptr;
  for (std::size_t i = 0; i < dialogTemplate.Controls.size(); ++i) {
    const resource_script::TControl& control = dialogTemplate.Controls[i];
    QWidget* widget = MakeControl(*dialog, control);
    if (!widget) continue;
    widget->setGeometry(MapDialogRect(units, control.X, control.Y, control.Width, control.Height));
    if (control.Style & resource_script::StyleDisabled) widget->setEnabled(false);
    if (!(control.Style & resource_script::StyleVisible)) widget->hide();
    if (widget->focusPolicy() != Qt::NoFocus) {
      // Tab visits the tab stops in the template's order; other controls take focus by click only.
      const bool tabStop = control.Style & resource_script::StyleTabStop;
      widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      if (tabStop) {
        if (previousStop) QWidget::setTabOrder(previousStop, widget);
        previousStop = widget;
      }
    }
    dialog->Controls.push_back(TControl{control.Id, groups[i],
                                        control.Kind == resource_script::TControlKind::AutoRadioButton, widget});
  }
  GrowToText(*dialog);
  return dialog;
}

}  // namespace qt_backend

// Composes a complete style sheet from a look recipe: every colour the sheet
// needs is derived from the recipe's few, so that each look stays coherent
// (hover, pressed, disabled and alternate shades follow the main colours) and
// text keeps its contrast on the progress cells.
#include <algorithm>
#include <cmath>
#include <map>

#include <QColor>
#include <QStringList>

#include "skin/colour_math.h"
#include "skin/look_recipe.h"

namespace skin {
namespace {

// The sheet; @name@ stands for a derived value.
constexpr char kTemplate[] = R"QSS(
QMainWindow, QDialog, QMessageBox { background: @windowFill@; }
QWidget { color: @windowText@; }
QLabel, QCheckBox, QRadioButton { background: transparent; }
QLabel:disabled, QCheckBox:disabled, QRadioButton:disabled { color: @disabledText@; }
QCheckBox, QRadioButton { spacing: 6px; }
QToolTip { color: @baseText@; background: @tipBase@; border: 1px solid @border@; padding: 3px; }

QMenuBar { background: @panelFill@; color: @panelText@; border-bottom: 1px solid @border@; }
QMenuBar::item { background: transparent; padding: 4px 10px; border-radius: @smallRadius@px; }
QMenuBar::item:selected, QMenuBar::item:pressed { background: @accentFill@; color: @accentText@; }

QToolBar { background: @panelFill@; border: none; border-bottom: 1px solid @border@; spacing: 3px; padding: 3px; }
QToolBar::separator { background: @border@; width: 1px; height: 1px; margin: 6px 4px; }
QToolButton { color: @panelText@; background: transparent; border: 1px solid transparent;
  border-radius: @radius@px; padding: 3px 5px; }
QToolButton:hover { color: @buttonText@; background: @hoverFill@; border-color: @hoverBorder@; }
QToolButton:pressed, QToolButton:checked { color: @buttonText@; background: @pressedFill@; border-color: @border@; }
QToolButton:disabled { color: @panelDisabled@; }
QToolButton[popupMode="2"] { padding-right: 14px; }
QToolButton::menu-indicator { subcontrol-origin: padding; subcontrol-position: bottom right; right: 3px; bottom: 4px; }

QStatusBar { background: @panelFill@; color: @panelText@; border-top: 1px solid @border@; }
QStatusBar QLabel { color: @panelText@; }

QPushButton { color: @buttonText@; background: @buttonFill@; border: 1px solid @border@;
  border-radius: @radius@px; padding: 4px 14px; min-height: 18px; }
QPushButton:hover { background: @hoverFill@; border-color: @hoverBorder@; }
QPushButton:pressed { background: @pressedFill@; }
QPushButton:default, QPushButton:focus { border-color: @accent@; }
QPushButton:disabled { color: @disabledText@; background: @disabledFill@; border-color: @disabledBorder@; }

QLineEdit, QPlainTextEdit, QTextEdit, QAbstractSpinBox { color: @baseText@; background: @base@;
  border: 1px solid @border@; border-radius: @smallRadius@px; padding: 2px 4px;
  selection-background-color: @accent@; selection-color: @accentText@; }
QLineEdit:focus, QPlainTextEdit:focus, QTextEdit:focus, QAbstractSpinBox:focus { border-color: @accent@; }
QLineEdit:read-only { background: @readOnlyBase@; }
QLineEdit:disabled, QPlainTextEdit:disabled, QTextEdit:disabled, QAbstractSpinBox:disabled {
  color: @disabledText@; background: @readOnlyBase@; border-color: @disabledBorder@; }

QComboBox { color: @buttonText@; background: @buttonFill@; border: 1px solid @border@;
  border-radius: @smallRadius@px; padding: 2px 6px; min-height: 18px; }
QComboBox:hover { border-color: @hoverBorder@; }
QComboBox:on { background: @pressedFill@; }
QComboBox:editable { color: @baseText@; background: @base@; }
QComboBox:disabled { color: @disabledText@; background: @disabledFill@; border-color: @disabledBorder@; }
QComboBox QAbstractItemView { color: @baseText@; background: @base@; border: 1px solid @border@;
  selection-background-color: @accent@; selection-color: @accentText@; outline: 0; }

QAbstractItemView { color: @baseText@; background: @base@; alternate-background-color: @alternate@;
  border: 1px solid @border@; gridline-color: @grid@;
  selection-background-color: @accent@; selection-color: @accentText@; }
QAbstractItemView::item:hover { background: @itemHover@; }
QAbstractItemView::item:selected { color: @accentText@; background: @accentFill@; }
QAbstractItemView:disabled { color: @disabledText@; }
QHeaderView { background: @panel@; border: none; }
QHeaderView::section { color: @panelText@; background: @panelFill@; border: none;
  border-right: 1px solid @grid@; border-bottom: 1px solid @border@; padding: 3px 6px; }
QTableCornerButton::section { background: @panelFill@; border: none; border-bottom: 1px solid @border@; }

QTabWidget::pane { background: @pane@; border: 1px solid @border@; border-radius: @smallRadius@px; top: -1px; }
QTabBar::tab { color: @panelText@; background: @tabFill@; border: 1px solid @border@; border-bottom: none;
  border-top-left-radius: @radius@px; border-top-right-radius: @radius@px;
  padding: 5px 14px; margin-right: 2px; }
QTabBar::tab:selected { color: @windowText@; background: @pane@; border-top: 2px solid @accent@; }
QTabBar::tab:!selected { margin-top: 3px; }
QTabBar::tab:hover:!selected { background: @hoverFill@; }
QTabBar::tab:disabled { color: @tabDisabled@; }

QMenu { color: @baseText@; background: @base@; border: 1px solid @border@; padding: 3px; }
QMenu::item { background: transparent; padding: 5px 26px 5px 26px; border-radius: @smallRadius@px; }
QMenu::item:selected { color: @accentText@; background: @accentFill@; }
QMenu::item:disabled { color: @disabledText@; }
QMenu::separator { height: 1px; background: @grid@; margin: 4px 8px; }

QProgressBar { color: @progressText@; background: @trough@; border: 1px solid @border@;
  border-radius: @smallRadius@px; text-align: center; min-height: 12px; }
QProgressBar::chunk { background: @chunkFill@; border-radius: @innerRadius@px; }

QSlider::groove:horizontal { height: 4px; background: @trough@; border: 1px solid @border@; border-radius: 2px; }
QSlider::sub-page:horizontal { background: @accent@; border-radius: 2px; }
QSlider::handle:horizontal { background: @buttonFill@; border: 1px solid @border@;
  width: 12px; margin: -6px 0; border-radius: 6px; }
QSlider::handle:horizontal:hover { border-color: @accent@; }

QScrollBar:vertical { background: @scrollTrack@; width: 12px; margin: 0; border: none; }
QScrollBar:horizontal { background: @scrollTrack@; height: 12px; margin: 0; border: none; }
QScrollBar::handle:vertical { background: @scrollHandle@; min-height: 24px; border-radius: 4px; margin: 2px; }
QScrollBar::handle:horizontal { background: @scrollHandle@; min-width: 24px; border-radius: 4px; margin: 2px; }
QScrollBar::handle:hover { background: @scrollHandleHover@; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QGroupBox { border: 1px solid @border@; border-radius: @smallRadius@px; margin-top: 1.2em; padding-top: 4px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: @windowText@; }
)QSS";

QString Hex(const QColor& c) { return c.name(QColor::HexRgb); }

QString Gradient(const QColor& top, const QColor& bottom) {
  return QString("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(Hex(top), Hex(bottom));
}

// The colour c painted with the recipe's finish.
QString Fill(const QColor& c, Finish finish) {
  switch (finish) {
    case Finish::Flat:
      return Hex(c);
    case Finish::Soft:
      return Gradient(Mix(c, Qt::white, 0.10), Mix(c, Qt::black, 0.05));
    case Finish::Glass:
      return QString(
                 "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:0.48 %2, stop:0.52 %3, "
                 "stop:1 %4)")
          .arg(Hex(Mix(c, Qt::white, 0.45)), Hex(Mix(c, Qt::white, 0.18)), Hex(c),
               Hex(Mix(c, Qt::white, 0.12)));
  }
  return Hex(c);
}

// The accent mixed towards the base until text reads on it (contrast 3:1,
// the least for large or bold text; progress texts are short numbers).
QColor ProgressChunk(const QColor& accent, const QColor& base, const QColor& text) {
  for (double t = 0.0; t < 0.9; t += 0.05) {
    QColor chunk = Mix(accent, base, t);
    if (ContrastRatio(chunk, text) >= 3.0) return chunk;
  }
  return Mix(accent, base, 0.9);
}

QString PaletteComment(const LookRecipe& r, const std::map<QString, QString>& v) {
  const QColor window(r.window), windowText(r.windowText), base(r.base), baseText(r.baseText);
  const QColor button(r.button), accent(r.accent), border(r.border);
  QStringList roles = {
      "window=" + Hex(window),
      "windowText=" + Hex(windowText),
      "base=" + Hex(base),
      "alternateBase=" + v.at("alternate"),
      "text=" + Hex(baseText),
      "button=" + Hex(button),
      "buttonText=" + Hex(QColor(r.buttonText)),
      "highlight=" + Hex(accent),
      "highlightedText=" + Hex(QColor(r.accentText)),
      "toolTipBase=" + v.at("tipBase"),
      "toolTipText=" + Hex(baseText),
      "placeholderText=" + Hex(Mix(baseText, base, 0.45)),
      "light=" + Hex(Mix(button, Qt::white, 0.5)),
      "midlight=" + Hex(Mix(button, Qt::white, 0.25)),
      "mid=" + Hex(border),
      "dark=" + Hex(Mix(border, Qt::black, 0.3)),
      "shadow=" + Hex(Mix(border, Qt::black, 0.6)),
      "link=" + Hex(accent),
  };
  QString lines;
  for (int i = 0; i < roles.size(); i += 4) lines += "\n *   " + roles.mid(i, 4).join(' ');
  return QString("/* Quvexa skin: %1\n * palette:%2\n */\n").arg(QString::fromUtf8(r.title), lines);
}

}  // namespace

QString ComposeStyleSheet(const LookRecipe& r) {
  const QColor window(r.window), windowText(r.windowText), panel(r.panel), panelText(r.panelText);
  const QColor base(r.base), baseText(r.baseText), button(r.button), buttonText(r.buttonText);
  const QColor accent(r.accent), accentText(r.accentText), border(r.border);
  const QColor hover = Mix(button, accent, 0.18);
  const QColor chunk = ProgressChunk(accent, base, baseText);

  std::map<QString, QString> v = {
      {"windowFill", r.finish == Finish::Flat ? Hex(window) : Gradient(Mix(window, Qt::white, 0.12), window)},
      {"windowText", Hex(windowText)},
      {"panel", Hex(panel)},
      {"panelFill", Fill(panel, r.finish)},
      {"panelText", Hex(panelText)},
      {"panelDisabled", Hex(Mix(panelText, panel, 0.5))},
      {"base", Hex(base)},
      {"baseText", Hex(baseText)},
      {"readOnlyBase", Hex(Mix(base, window, 0.45))},
      {"alternate", Hex(Mix(base, accent, 0.05))},
      {"itemHover", Hex(Mix(base, accent, 0.15))},
      {"tipBase", Hex(Mix(base, accent, 0.10))},
      {"buttonFill", Fill(button, r.finish)},
      {"buttonText", Hex(buttonText)},
      {"hoverFill", Fill(hover, r.finish)},
      {"hoverBorder", Hex(Mix(border, accent, 0.6))},
      {"pressedFill",
       Fill(Mix(button, accent, 0.35), r.finish == Finish::Glass ? Finish::Glass : Finish::Flat)},
      {"disabledFill", Hex(Mix(button, window, 0.6))},
      {"disabledBorder", Hex(Mix(border, window, 0.5))},
      {"disabledText", Hex(Mix(windowText, window, 0.55))},
      {"accent", Hex(accent)},
      {"accentFill", Fill(accent, r.finish == Finish::Glass ? Finish::Glass : Finish::Flat)},
      {"accentText", Hex(accentText)},
      {"border", Hex(border)},
      {"grid", Hex(Mix(base, border, 0.5))},
      {"dropLine", Hex(Mix(button, border, 0.6))},
      {"pane", Hex(Mix(window, base, 0.5))},
      {"tabFill", Fill(Mix(panel, window, 0.35), r.finish)},
      {"tabDisabled", Hex(Mix(panelText, Mix(panel, window, 0.35), 0.4))},
      {"trough", Hex(Mix(base, window, 0.5))},
      {"chunkFill", Fill(chunk, r.finish == Finish::Flat ? Finish::Flat : Finish::Soft)},
      {"progressText", Hex(baseText)},
      {"scrollTrack", Hex(Mix(base, window, 0.6))},
      {"scrollHandle", Hex(Mix(border, window, 0.25))},
      {"scrollHandleHover", Hex(Mix(accent, border, 0.4))},
      {"radius", QString::number(r.radius)},
      {"smallRadius", QString::number(std::min(r.radius, 4))},
      {"innerRadius", QString::number(std::max(0, std::min(r.radius, 4) - 1))},
  };

  QString sheet = QString::fromUtf8(kTemplate);
  for (const auto& [name, value] : v) sheet.replace('@' + name + '@', value);
  return PaletteComment(r, v) + sheet.trimmed() + '\n';
}

}  // namespace skin

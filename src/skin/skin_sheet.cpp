#include "skin/skin_sheet.h"

#include <array>
#include <utility>

#include <QApplication>
#include <QFile>
#include <QRegularExpression>

namespace skin {
namespace {

constexpr std::array<std::pair<const char*, QPalette::ColorRole>, 20> kRoles = {{
    {"window", QPalette::Window},
    {"windowText", QPalette::WindowText},
    {"base", QPalette::Base},
    {"alternateBase", QPalette::AlternateBase},
    {"text", QPalette::Text},
    {"button", QPalette::Button},
    {"buttonText", QPalette::ButtonText},
    {"highlight", QPalette::Highlight},
    {"highlightedText", QPalette::HighlightedText},
    {"toolTipBase", QPalette::ToolTipBase},
    {"toolTipText", QPalette::ToolTipText},
    {"placeholderText", QPalette::PlaceholderText},
    {"brightText", QPalette::BrightText},
    {"light", QPalette::Light},
    {"midlight", QPalette::Midlight},
    {"mid", QPalette::Mid},
    {"dark", QPalette::Dark},
    {"shadow", QPalette::Shadow},
    {"link", QPalette::Link},
    {"linkVisited", QPalette::LinkVisited},
}};

bool FindRole(const QString& name, QPalette::ColorRole* role) {
  for (const auto& [roleName, value] : kRoles)
    if (name == QLatin1String(roleName)) {
      *role = value;
      return true;
    }
  return false;
}

// Text shown by disabled controls: halfway between the text and its ground.
QColor Faded(const QColor& text, const QColor& ground) {
  return QColor((text.red() + ground.red()) / 2, (text.green() + ground.green()) / 2,
                (text.blue() + ground.blue()) / 2);
}

}  // namespace

SkinSheet ParseSkinSheet(const QString& text) {
  SkinSheet sheet;
  sheet.styleSheet = text;
  sheet.palette = QApplication::palette();

  const QString trimmed = text.trimmed();
  if (!trimmed.startsWith(QLatin1String("/*"))) return sheet;
  const qsizetype end = trimmed.indexOf(QLatin1String("*/"));
  if (end < 0) return sheet;
  const QString comment = trimmed.mid(2, end - 2);
  const qsizetype start = comment.indexOf(QLatin1String("palette:"));
  if (start < 0) return sheet;

  static const QRegularExpression word(QStringLiteral("([A-Za-z]+)=#([0-9A-Fa-f]{6})\\b"));
  auto it = word.globalMatch(comment, start);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    QPalette::ColorRole role;
    if (!FindRole(m.captured(1), &role)) continue;
    sheet.palette.setColor(QPalette::All, role, QColor('#' + m.captured(2)));
    sheet.hasPalette = true;
  }
  if (sheet.hasPalette) {
    const QPalette& p = sheet.palette;
    sheet.palette.setColor(QPalette::Disabled, QPalette::WindowText,
                           Faded(p.color(QPalette::Active, QPalette::WindowText), p.color(QPalette::Window)));
    sheet.palette.setColor(QPalette::Disabled, QPalette::Text,
                           Faded(p.color(QPalette::Active, QPalette::Text), p.color(QPalette::Base)));
    sheet.palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                           Faded(p.color(QPalette::Active, QPalette::ButtonText), p.color(QPalette::Button)));
  }
  return sheet;
}

bool LoadSkinFile(const std::string& path, SkinSheet* sheet, std::string* error) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = "Cannot open the skin file " + path + ": " + file.errorString().toStdString();
    return false;
  }
  if (file.size() > kMaxSkinFileBytes) {
    if (error) *error = "The skin file " + path + " is too large to be a style sheet";
    return false;
  }
  // Devices report no size: the read itself is bounded.
  const QByteArray bytes = file.read(kMaxSkinFileBytes + 1);
  if (bytes.size() > kMaxSkinFileBytes) {
    if (error) *error = "The skin file " + path + " is too large to be a style sheet";
    return false;
  }
  if (bytes.trimmed().isEmpty()) {
    if (error) *error = "The skin file " + path + " is empty";
    return false;
  }
  *sheet = ParseSkinSheet(QString::fromUtf8(bytes));
  return true;
}

}  // namespace skin

#include "skin/skin_apply.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>
#include <QStyleFactory>

#include "media/ffmpeg_logger.h"
#include "skin/built_in_looks.h"

namespace skin {

void UseSkinBaseStyle() {
  if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);
}

namespace {

// Repaints a hidden window the next time it is shown, then goes away. A
// hidden window ignores update(), and a menu shown again would otherwise put
// its old picture back on the screen.
class RepaintOnShow : public QObject {
 public:
  static constexpr char kName[] = "skinRepaintOnShow";
  explicit RepaintOnShow(QWidget* window) : QObject(window) {
    setObjectName(kName);
    window->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      static_cast<QWidget*>(watched)->update();
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

// Menus and pop-up lists parented to the window are windows of their own:
// Qt gives them the window's sheet when they are first shown but keeps what
// it worked out then. Polishing them again makes them follow a new look.
void RepolishOwnedWindows(QWidget* window) {
  for (QWidget* child : window->findChildren<QWidget*>()) {
    // Dialogs take their look themselves when they are shown.
    if (child->windowType() != Qt::Popup) continue;
    if (!child->isVisible() && !child->findChild<QObject*>(RepaintOnShow::kName, Qt::FindDirectChildrenOnly))
      new RepaintOnShow(child);
    child->setPalette(window->palette());
    for (QWidget* w : child->findChildren<QWidget*>()) w->style()->unpolish(w);
    child->style()->unpolish(child);
    child->style()->polish(child);
    for (QWidget* w : child->findChildren<QWidget*>()) w->style()->polish(w);
    child->update();
  }
}

}  // namespace

void ApplySkinSheet(QWidget* window, const SkinSheet& sheet) {
  if (!window) return;
  // The palette first: the style sheet's polish then starts from it.
  window->setPalette(sheet.hasPalette ? sheet.palette : QPalette());
  window->setStyleSheet(sheet.styleSheet);
  RepolishOwnedWindows(window);
}

void ClearSkin(QWidget* window) {
  if (!window) return;
  window->setStyleSheet(QString());
  window->setPalette(QPalette());
}

bool ApplyBuiltInLook(QWidget* window, TUIStyle look) {
  if (!window || look == TUIStyle::FromThemeFile) return false;
  ApplySkinSheet(window, BuiltInLook(look));
  return true;
}

bool ApplySkinFile(QWidget* window, const std::string& path) {
  if (!window) return false;
  SkinSheet sheet;
  std::string error;
  if (!LoadSkinFile(path, &sheet, &error)) {
    Log(nullptr, llWarning, error + "; the window keeps its look");
    return false;
  }
  ApplySkinSheet(window, sheet);
  return true;
}

bool ApplySkin(QWidget* window, const SkinEntry& entry, const std::string& programFolder) {
  if (entry.look == TUIStyle::FromThemeFile) return ApplySkinFile(window, SkinFilePath(programFolder, entry));
  return ApplyBuiltInLook(window, entry.look);
}

void RestoreApplication() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
}

}  // namespace skin

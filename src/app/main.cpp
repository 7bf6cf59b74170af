// Quvexa: the desktop program. Checks for a graphical session, sets up the
// application (fonts, main-thread bridge, floating-point environment) and
// runs the main window, after the password lock when one is set up.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/main_thread_bridge.h"
#include "app/main_window.h"
#include "app/shell_wiring.h"
#include "media/sound_player.h"
#include "platform/floating_point.h"
#include "platform/paths.h"
#include "platform/qt/qt_outside.h"
#include "skin/skin_apply.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The first Chinese font family that is installed.
QString ChineseFontFamily() {
  const QStringList families = QFontDatabase::families();
  for (const char* wanted : {"Noto Sans CJK SC", "Noto Sans SC", "Noto Sans CJK TC", "Source Han Sans SC"})
    if (families.contains(QString::fromLatin1(wanted))) return QString::fromLatin1(wanted);
  return QString();
}

}  // namespace

int main(int argc, char** argv) {
  if (!Set("QT_QPA_PLATFORM")) {
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
      std::fprintf(stderr,
                   "quvexa: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "start it from a desktop, or under a virtual display: xvfb-run -a quvexa\n");
      return 1;
    }
    // The preview player draws into an X11 window: under Wayland use XWayland.
    if (Set("WAYLAND_DISPLAY") && Set("DISPLAY")) setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  platform::InitFloatingPoint();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quvexa"));
  QApplication::setApplicationDisplayName(QString());
  // The desktop entry and the icon that an installed copy carries.
  QApplication::setDesktopFileName(QStringLiteral("org.quvexa.Quvexa"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quvexa.Quvexa")));
  skin::UseSkinBaseStyle();
  // The standard dialogs and context menus speak the program's language.
  QTranslator standardTexts;
  if (standardTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&standardTexts);
  const QString family = ChineseFontFamily();
  if (!family.isEmpty()) QApplication::setFont(QFont(family, 9));
  app::InstallMainThreadBridge();
  platform::QtOutside outside;
  outside.SetSoundPlayer(PlaySoundFileAsync);
  platform::SetOutside(&outside);

  int result = 0;
  {
    app::MainWindow window(platform::ExecutableFolder());
    new app::ShellWiring(window, window.Settings().IniPath(), platform::ExecutableFolder());
    if (!window.Unlock()) {
      window.close();
      platform::SetOutside(nullptr);
      return 0;
    }
    window.show();
    result = application.exec();
  }
  StopSounds();
  platform::SetOutside(nullptr);
  return result;
}

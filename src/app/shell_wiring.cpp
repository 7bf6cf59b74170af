#include "app/shell_wiring.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

#include "app/main_window.h"
#include "app/update_dialog.h"
#include "platform/ini_file.h"
#include "platform/outside.h"
#include "skin/saved_skin.h"

namespace app {

QString BatchEndNotificationText(int converted, int failed) {
  if (failed == 0) return QStringLiteral("转换结束：%1 个文件转换完成。").arg(converted);
  return QStringLiteral("转换结束：%1 个文件转换完成，%2 个文件转换失败。").arg(converted).arg(failed);
}

ShellWiring::ShellWiring(MainWindow& window, std::string settingsFile, std::string programFolder)
    : QObject(&window), window_(window), settingsFile_(std::move(settingsFile)),
      programFolder_(std::move(programFolder)) {
  skin::ApplySavedSkin(&window_, platform::IniFile(settingsFile_), programFolder_);
  // The menu has stored the value already; the window takes it at once.
  connect(&window_, &MainWindow::SkinChosen, this, [this](const QString& value) {
    skin::ApplySkinValue(&window_, value.toStdString(), programFolder_);
  });
  connect(&window_, &MainWindow::UpdateRequested, this, &ShellWiring::ShowUpdateDialog);
  connect(&window_, &MainWindow::BatchEndedInBackground, this, [](int converted, int failed) {
    platform::TheOutside().ShowNotification("Quvexa", BatchEndNotificationText(converted, failed).toStdString());
  });
  qApp->installEventFilter(this);
}

ShellWiring::~ShellWiring() { qApp->removeEventFilter(this); }

bool ShellWiring::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog != nullptr && dialog->isWindow())
      skin::ApplySavedSkin(dialog, platform::IniFile(settingsFile_), programFolder_);
  }
  return QObject::eventFilter(watched, event);
}

void ShellWiring::ShowUpdateDialog() {
  UpdateDialogSetup setup = DefaultUpdateDialogSetup();
  setup.systemIni = settingsFile_;
  UpdateDialog dialog(std::move(setup), &window_);
  dialog.exec();
}

}  // namespace app

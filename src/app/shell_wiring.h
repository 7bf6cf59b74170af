// Connects the main window to the parts of the shell that live outside it:
// the skin engine (the stored skin on every window, the skin menu's choice),
// the update dialog, and the desktop notification at the end of a batch
// that ran in the background.
#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QString>

namespace app {

class MainWindow;

// What a batch that ended in the background tells the desktop.
QString BatchEndNotificationText(int converted, int failed);

class ShellWiring : public QObject {
  Q_OBJECT

 public:
  // settingsFile: the program's system.ini; programFolder: where the skin
  // files are looked up (beside the executable or in the shared folder).
  ShellWiring(MainWindow& window, std::string settingsFile, std::string programFolder);
  ~ShellWiring() override;

 protected:
  // Every dialog takes the stored skin each time it is shown.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowUpdateDialog();

  MainWindow& window_;
  const std::string settingsFile_;
  const std::string programFolder_;
};

}  // namespace app

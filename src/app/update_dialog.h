// The update check ("网上升级"): downloads the update information (an INI
// text file) from the update address, compares the version it names with
// ours and, when they differ, shows the new version's details and offers to
// open its download address in the browser.
//
// The download is synchronous for the user: the dialog's buttons stay
// disabled and it cannot be closed until the download has ended (the wait
// itself keeps the event loop running, so the window still paints).
#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// Where the dialog reads and writes.
struct UpdateDialogSetup {
  std::string updateUrl;      // the update-information address (a build setting)
  std::string programFolder;  // update.ini goes here, or to the user's cache folder
  std::string systemIni;      // the settings file with the stored skin
};

// The setup of the program: the build's address, the executable's folder
// and the program's system.ini (platform::SettingsFilePath()).
UpdateDialogSetup DefaultUpdateDialogSetup();

// Only web addresses are opened: http or https with a host.
bool IsOpenableDownloadLink(const QString& link);

class UpdateDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr char kCurrentVersion[] = "1.63";
  // Larger update information is refused: the real file is a few lines.
  static constexpr qint64 kMaxUpdateFileBytes = 64 * 1024;

  explicit UpdateDialog(UpdateDialogSetup setup, QWidget* parent = nullptr);

  // "检测升级" and "开始下载".
  void CheckForUpdate();
  void OpenDownloadLink();

  // Where the last check stored the update information.
  std::string UpdateFilePath() const;
  // The address of the last check that reported a new version.
  const QString& DownloadLink() const { return downloadLink_; }
  QString CurrentVersion() const { return QString::fromLatin1(kCurrentVersion); }

  // Shows a refusal or failure to the user; a message box unless replaced
  // (tests replace it).
  std::function<void(const QString& text)> showMessage;

 signals:
  // Every status text in the order shown.
  void StatusShown(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void SetStatus(const QString& text);
  void SetProgress(int value);
  // Empties the text box and adds the lines.
  void ShowLines(const QStringList& lines);
  bool Download(const std::string& file, std::string* error);

  UpdateDialogSetup setup_;
  QString downloadLink_;
  bool busy_ = false;  // a download is running
  QLabel* status_;
  QPlainTextEdit* text_;
  QProgressBar* progress_;
  QPushButton* checkButton_;
  QPushButton* downloadButton_;
  QPushButton* backButton_;
};

// The main window (objectName TForm1): toolbar, preview panel, job list,
// settings panel and status bar, and the dialogs it owns. It lays out the
// controls and forwards commands: rows and slots live in the JobTable, the
// add road in JobCreation, the batch in BatchRunner, the settings in
// AppSettings.
#pragma once

#include <memory>
#include <string>

#include <QMainWindow>
#include <QStringList>

#include "app/batch_runner.h"
#include "app/job_creation.h"
#include "app/job_table.h"
#include "app/settings.h"
#include "app/window_state.h"

class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;
class TTranscoder;

namespace app {

class FormatChooser;
class MediaInfoDialog;
class OptionsDialog;
class PasswordLock;
class PreviewPanel;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // programFolder: the folder of the executable (system.ini, help, LibAV).
  explicit MainWindow(const std::string& programFolder, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Before the window is shown: runs the password lock when the lock file
  // asks for it. False when the program must end.
  bool Unlock();

  // Commands, as the controls run them.
  void AddOneFile();    // "添加一个视频文件"
  void AddManyFiles();  // "添加多个视频文件"
  void AddDroppedFiles(const QStringList& files);
  void RemoveSelected();  // "移除"
  void ClearList();       // "清空"
  void MoveUp();          // "上移"
  void MoveDown();        // "下移"
  void BrowseOutputFolder();
  void OpenOutputFolder();
  void OpenHelp();
  // "信息" and a double click: the selected row's media information.
  void ShowMediaInfo();

  JobTable& Table() { return table_; }
  TTranscoder& Engine() { return *engine_; }
  WindowState& State() { return state_; }
  const AppSettings& Settings() const { return settings_; }
  BatchRunner& Runner() { return *runner_; }
  QTableView* JobList() const { return jobList_; }
  FormatChooser* Chooser() const { return chooser_; }
  OptionsDialog* Options() const { return options_; }
  PasswordLock* Lock() const { return lock_; }
  MediaInfoDialog* MediaInfo() const { return mediaInfo_; }
  PreviewPanel* Preview() const { return preview_; }
  const QStringList& LogText() const { return log_; }
  bool ListBusy() const { return listBusy_; }
  // The selected row, or -1.
  int SelectedRow() const;
  void SelectRow(int row);

 signals:
  // Entries the lead wires to the skin engine and the update dialog.
  void SkinChosen(const QString& storedValue);
  void UpdateRequested();
  // A batch ended while the window was not the active one: the lead routes
  // this to a desktop notification.
  void BatchEndedInBackground(int converted, int failed);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolbar();
  QWidget* BuildListPanel();
  void FitJobListColumns();
  QWidget* BuildSettingsPanel();
  void ConnectLogger();
  void AppendLog(const std::string& line);
  void RowAdded(int row);
  void JobListSelectItem();
  void JobListClick();
  void ApplyBatchControls(BatchControls state);
  void SetIdleWithRows();
  void ShutDown();
  bool ChooseOutput();

  std::string HelpPath() const;

  AppSettings settings_;
  WindowState state_;
  std::unique_ptr<TTranscoder> engine_;
  JobTable table_;
  std::unique_ptr<JobCreation> creation_;
  std::unique_ptr<BatchRunner> runner_;
  QStringList log_;
  bool listBusy_ = false;
  bool shutDown_ = false;

  // Toolbar.
  QToolButton* addButton_ = nullptr;
  QToolButton* removeButton_ = nullptr;
  QToolButton* clearButton_ = nullptr;
  QToolButton* startButton_ = nullptr;
  QToolButton* pauseButton_ = nullptr;
  QToolButton* stopButton_ = nullptr;
  QToolButton* skinButton_ = nullptr;
  QToolButton* helpButton_ = nullptr;
  // List panel.
  QTableView* jobList_ = nullptr;
  QPushButton* upButton_ = nullptr;
  QPushButton* downButton_ = nullptr;
  QPushButton* listRemoveButton_ = nullptr;
  QPushButton* listClearButton_ = nullptr;
  QPushButton* infoButton_ = nullptr;
  // Settings panel.
  QLineEdit* outputFolderEdit_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QComboBox* existingAction_ = nullptr;
  QComboBox* afterAll_ = nullptr;
  QComboBox* simultaneous_ = nullptr;
  QComboBox* cpuUsage_ = nullptr;

  PreviewPanel* preview_ = nullptr;
  PasswordLock* lock_ = nullptr;
  FormatChooser* chooser_ = nullptr;
  OptionsDialog* options_ = nullptr;
  MediaInfoDialog* mediaInfo_ = nullptr;
};

}  // namespace app

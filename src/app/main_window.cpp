#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/dialog_seams.h"
#include "app/format_chooser.h"
#include "app/media_info.h"
#include "app/media_info_dialog.h"
#include "app/options_dialog.h"
#include "app/password_lock.h"
#include "app/path_delegate.h"
#include "app/preview_panel.h"
#include "app/progress_delegate.h"
#include "app/type_icons.h"
#include "engine/transcoder.h"
#include "media/ffmpeg_logger.h"
#include "platform/code_page.h"
#include "platform/outside.h"
#include "platform/paths.h"
#include "profiles/option_lists.h"
#include "skin/skin_menu.h"

namespace app {
namespace {

constexpr int kClientWidth = 851;
constexpr int kClientHeight = 588;

QStringList LocalFiles(const QMimeData* data) {
  QStringList files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
  return files;
}

}  // namespace

MainWindow::MainWindow(const std::string& programFolder, QWidget* parent)
    : QMainWindow(parent), settings_(programFolder), engine_(std::make_unique<TTranscoder>()) {
  setObjectName("TForm1");
  setWindowTitle(QStringLiteral("Quvexa"));
  state_.ProgramFolder = settings_.ProgramFolder();
  state_.Choice.OutputFileName.clear();

  BuildToolbar();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(6);
  auto* top = new QHBoxLayout;
  top->setSpacing(6);
  preview_ = new PreviewPanel(settings_, central);
  preview_->setFixedWidth(329);
  top->addWidget(preview_);
  top->addWidget(BuildListPanel(), 1);
  layout->addLayout(top, 1);
  layout->addWidget(BuildSettingsPanel());
  setCentralWidget(central);
  statusBar()->setObjectName("StatusBar1");
  statusBar()->setSizeGripEnabled(false);
  statusBar()->showMessage(QStringLiteral("欢迎使用 Quvexa 视频音频转换器"));

  setFixedSize(kClientWidth, kClientHeight);
  if (QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));

  // Creation order of the window's state: slots, settings, defaults,
  // open-dialog filters (made on use), snapshot settings.
  table_.Clear();
  state_.OutputFolder = settings_.ReadOutputFolder();
  outputFolderEdit_->setText(QString::fromStdString(state_.OutputFolder));
  afterAll_->setCurrentIndex(aaOpenFolder);
  cpuUsage_->setCurrentIndex(3);
  simultaneous_->setCurrentIndex(0);
  preview_->LoadSnapshotSettings();
  listBusy_ = false;
  preview_->SetHooks({[this](const std::string& line) { AppendLog(line); },
                      [this](const QString& text) { statusBar()->showMessage(text); },
                      [this] { jobList_->setFocus(); }, [this] { return SelectedRow() >= 0; }});

  JobCreation::Hooks hooks;
  hooks.ChooseOutput = [this] { return ChooseOutput(); };
  hooks.Log = [this](const std::string& line) { AppendLog(line); };
  hooks.ClearLog = [this] { log_.clear(); };
  hooks.RowAdded = [this](int row) { RowAdded(row); };
  creation_ = std::make_unique<JobCreation>(*engine_, table_, state_, this, std::move(hooks));

  BatchRunner::Hooks batch;
  batch.RebuildTasks = [this] { return creation_->RebuildTasks(); };
  batch.ApplyControls = [this](BatchControls state) { ApplyBatchControls(state); };
  batch.SelectedRow = [this] { return SelectedRow(); };
  batch.AfterAll = [this] { return afterAll_->currentIndex(); };
  batch.CpuUsage = [this] { return cpuUsage_->currentIndex(); };
  batch.Simultaneous = [this] { return simultaneous_->currentIndex(); };
  batch.OutputFolder = [this] { return outputFolderEdit_->text().toStdString(); };
  batch.ShowStatus = [this](const QString& text) { statusBar()->showMessage(text); };
  runner_ = std::make_unique<BatchRunner>(*engine_, table_, this, std::move(batch));
  runner_->Attach();
  connect(runner_.get(), &BatchRunner::BatchEnded, this, [this](int converted, int failed) {
    if (!isActiveWindow()) emit BatchEndedInBackground(converted, failed);
  });
  ConnectLogger();

  // The dialogs, in the program's creation order after the main window.
  lock_ = new PasswordLock(this);
  chooser_ = new FormatChooser(state_, this);
  options_ = new OptionsDialog(state_, this);
  mediaInfo_ = new MediaInfoDialog(this);
}

MainWindow::~MainWindow() { ShutDown(); }

void MainWindow::BuildToolbar() {
  QToolBar* bar = addToolBar(QStringLiteral("工具栏"));
  bar->setObjectName("ToolBar1");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(32, 32));
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->setContextMenuPolicy(Qt::PreventContextMenu);
  auto button = [this, bar](const char* name, const QString& caption, ToolPicture picture,
                            const QString& hint) {
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(ToolIcon(picture, 32));
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumWidth(64);
    b->setStatusTip(hint);
    b->setToolTip(hint);
    bar->addWidget(b);
    return b;
  };
  addButton_ =
      button("btnAdd", QStringLiteral("添加"), ToolPicture::Add, QStringLiteral("添加要转换的视频音频文件"));
  auto* addMenu = new QMenu(addButton_);
  addMenu->setObjectName("AddMenu");
  QAction* addOne = addMenu->addAction(QStringLiteral("添加一个视频文件"));
  addOne->setObjectName("AddOneFile");
  QAction* addMany = addMenu->addAction(QStringLiteral("添加多个视频文件"));
  addMany->setObjectName("AddManyFiles");
  connect(addOne, &QAction::triggered, this, &MainWindow::AddOneFile);
  connect(addMany, &QAction::triggered, this, &MainWindow::AddManyFiles);
  addButton_->setMenu(addMenu);
  addButton_->setPopupMode(QToolButton::InstantPopup);

  removeButton_ = button("btnRemove", QStringLiteral("移除"), ToolPicture::Remove,
                         QStringLiteral("从列表中删除选中的文件"));
  clearButton_ =
      button("btnClear", QStringLiteral("清空"), ToolPicture::Clear, QStringLiteral("清空转换列表"));
  bar->addSeparator();
  startButton_ =
      button("btnStart", QStringLiteral("转换"), ToolPicture::Start, QStringLiteral("开始转换视频"));
  pauseButton_ =
      button("btnPause", QStringLiteral("暂停"), ToolPicture::Pause, QStringLiteral("暂停视频转换"));
  stopButton_ = button("btnStop", QStringLiteral("停止"), ToolPicture::Stop, QStringLiteral("停止视频转换"));
  bar->addSeparator();
  skinButton_ =
      button("btnSkin", QStringLiteral("皮肤"), ToolPicture::Skin, QStringLiteral("更换软件外观皮肤"));
  auto* skinMenu = new QMenu(skinButton_);
  skinMenu->setObjectName("SkinMenu");
  skin::BuildSkinMenu(skinMenu, settings_.SkinValue(), [this](const std::string& value) {
    settings_.WriteSkinValue(value);
    emit SkinChosen(QString::fromStdString(value));
  });
  skinButton_->setMenu(skinMenu);
  skinButton_->setPopupMode(QToolButton::InstantPopup);
  helpButton_ = button("btnHelp", QStringLiteral("帮助"), ToolPicture::Help, QStringLiteral("软件帮助"));
  auto* helpMenu = new QMenu(helpButton_);
  helpMenu->setObjectName("HelpMenu");
  QAction* help = helpMenu->addAction(QStringLiteral("帮助系统?"));
  help->setShortcut(QKeySequence(Qt::Key_F1));
  help->setShortcutContext(Qt::ApplicationShortcut);
  addAction(help);
  connect(help, &QAction::triggered, this, &MainWindow::OpenHelp);
  QAction* update = helpMenu->addAction(QStringLiteral("网上升级..."));
  connect(update, &QAction::triggered, this, &MainWindow::UpdateRequested);
  helpButton_->setMenu(helpMenu);
  helpButton_->setPopupMode(QToolButton::InstantPopup);

  connect(removeButton_, &QToolButton::clicked, this, &MainWindow::RemoveSelected);
  connect(clearButton_, &QToolButton::clicked, this, &MainWindow::ClearList);
  connect(startButton_, &QToolButton::clicked, this, [this] { runner_->StartOrResume(); });
  connect(pauseButton_, &QToolButton::clicked, this, [this] { runner_->Pause(); });
  connect(stopButton_, &QToolButton::clicked, this, [this] { runner_->Stop(); });
  for (QToolButton* b : {removeButton_, clearButton_, startButton_, pauseButton_, stopButton_})
    b->setEnabled(false);
}

QWidget* MainWindow::BuildListPanel() {
  auto* group = new QGroupBox(QStringLiteral("转换列表"), this);
  group->setObjectName("GroupBox2");
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(6, 6, 6, 6);
  jobList_ = new QTableView(group);
  jobList_->setObjectName("JobList");
  jobList_->setModel(&table_);
  jobList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  jobList_->setSelectionMode(QAbstractItemView::SingleSelection);
  jobList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  jobList_->setShowGrid(true);
  jobList_->setWordWrap(false);
  jobList_->setTextElideMode(Qt::ElideMiddle);
  jobList_->verticalHeader()->setVisible(false);
  jobList_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  jobList_->verticalHeader()->setDefaultSectionSize(20);
  jobList_->horizontalHeader()->setHighlightSections(false);
  jobList_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FitJobListColumns();
  jobList_->setItemDelegateForColumn(JobTable::ColSource, new PathDelegate(jobList_));
  jobList_->setItemDelegateForColumn(JobTable::ColProgress, new ProgressDelegate(jobList_));
  jobList_->viewport()->installEventFilter(this);
  jobList_->viewport()->setAcceptDrops(true);
  jobList_->setDragDropMode(QAbstractItemView::DropOnly);
  connect(jobList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &MainWindow::JobListSelectItem);
  connect(jobList_, &QTableView::doubleClicked, this, &MainWindow::ShowMediaInfo);
  layout->addWidget(jobList_, 1);

  auto* buttons = new QHBoxLayout;
  auto listButton = [group, buttons](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, group);
    b->setObjectName(name);
    b->setMinimumWidth(70);
    buttons->addWidget(b);
    return b;
  };
  upButton_ = listButton("Button10", QStringLiteral("上移"));
  downButton_ = listButton("Button11", QStringLiteral("下移"));
  listRemoveButton_ = listButton("Button12", QStringLiteral("移除"));
  listClearButton_ = listButton("Button13", QStringLiteral("清空"));
  buttons->addStretch(1);
  infoButton_ = listButton("Button14", QStringLiteral("信息"));
  layout->addLayout(buttons);
  connect(infoButton_, &QPushButton::clicked, this, &MainWindow::ShowMediaInfo);
  connect(upButton_, &QPushButton::clicked, this, &MainWindow::MoveUp);
  connect(downButton_, &QPushButton::clicked, this, &MainWindow::MoveDown);
  connect(listRemoveButton_, &QPushButton::clicked, this, &MainWindow::RemoveSelected);
  connect(listClearButton_, &QPushButton::clicked, this, &MainWindow::ClearList);
  listRemoveButton_->setEnabled(false);
  listClearButton_->setEnabled(false);
  return group;
}

QWidget* MainWindow::BuildSettingsPanel() {
  auto* group = new QGroupBox(QStringLiteral("输出设置"), this);
  group->setObjectName("GroupBox3");
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(8);
  grid->addWidget(new QLabel(QStringLiteral("输出文件存放目录："), group), 0, 0);
  outputFolderEdit_ = new QLineEdit(group);
  outputFolderEdit_->setObjectName("OutputFolderEdit");
  outputFolderEdit_->setReadOnly(true);
  grid->addWidget(outputFolderEdit_, 0, 1, 1, 3);
  browseButton_ = new QPushButton(QStringLiteral("浏览..."), group);
  browseButton_->setObjectName("BrowseButton");
  openButton_ = new QPushButton(QStringLiteral("打开"), group);
  openButton_->setObjectName("OpenFolderButton");
  grid->addWidget(browseButton_, 0, 4);
  grid->addWidget(openButton_, 0, 5);

  grid->addWidget(new QLabel(QStringLiteral("如果输出文件存在："), group), 1, 0);
  existingAction_ = new QComboBox(group);
  existingAction_->setObjectName("ExistingFileAction");
  existingAction_->addItems({QStringLiteral("自动生成相应的新文件名"), QStringLiteral("直接覆盖该文件")});
  grid->addWidget(existingAction_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("全部文件转换完毕后："), group), 1, 2, Qt::AlignRight);
  afterAll_ = new QComboBox(group);
  afterAll_->setObjectName("AfterAllAction");
  afterAll_->addItems({QStringLiteral("无任何操作"), QStringLiteral("直接关闭计算机"),
                       QStringLiteral("打开文件夹查看转换的文件")});
  grid->addWidget(afterAll_, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  // Present but not shown: their defaults hold.
  simultaneous_ = new QComboBox(group);
  simultaneous_->setObjectName("SimultaneousCount");
  for (int n = 1; n <= 10; ++n) simultaneous_->addItem(QString::number(n) + QStringLiteral("个文件"));
  simultaneous_->hide();
  cpuUsage_ = new QComboBox(group);
  cpuUsage_->setObjectName("CpuUsage");
  cpuUsage_->addItems({QStringLiteral("闲置时进行"), QStringLiteral("CPU占用最低"),
                       QStringLiteral("CPU占用一般"), QStringLiteral("正常转换")});
  cpuUsage_->hide();

  connect(browseButton_, &QPushButton::clicked, this, &MainWindow::BrowseOutputFolder);
  connect(openButton_, &QPushButton::clicked, this, &MainWindow::OpenOutputFolder);
  connect(existingAction_, &QComboBox::currentIndexChanged, this, [this](int index) {
    state_.ExistingFileAction = index == 1 ? profiles::efOverwrite : profiles::efNewName;
  });
  return group;
}

void MainWindow::ConnectLogger() {
  DefaultLogger().SetOnLog(
      [this](const void*, uint32_t threadId, TLogLevel level, const std::string& message) {
        AppendLog("#" + std::to_string(threadId) + "." + std::to_string(int(level)) + ": " + message);
      });
}

void MainWindow::AppendLog(const std::string& line) { log_ << QString::fromStdString(line); }

bool MainWindow::Unlock() { return lock_->Unlock(); }

bool MainWindow::ChooseOutput() { return chooser_->ChooseAndConfigure(*options_); }

int MainWindow::SelectedRow() const {
  const QModelIndexList rows = jobList_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void MainWindow::SelectRow(int row) {
  if (row < 0 || row >= table_.Rows()) {
    jobList_->clearSelection();
    return;
  }
  jobList_->selectRow(row);
  jobList_->setCurrentIndex(table_.index(row, 0));
}

void MainWindow::AddOneFile() {
  if (!addButton_->isEnabled()) return;
  options_->PrepareCutRange(true);
  creation_->AddOneJob();
}

void MainWindow::AddManyFiles() {
  if (!addButton_->isEnabled()) return;
  options_->PrepareCutRange(false);
  creation_->AddManyJobs();
}

void MainWindow::AddDroppedFiles(const QStringList& files) {
  if (files.isEmpty() || !addButton_->isEnabled()) return;
  options_->PrepareCutRange(false);
  creation_->AddFiles(files);
}

void MainWindow::RowAdded(int row) {
  table_.SetProgress(row, 0);
  SelectRow(row);
  jobList_->setFocus();
  SetIdleWithRows();
}

void MainWindow::SetIdleWithRows() {
  for (QWidget* w : std::initializer_list<QWidget*>{removeButton_, clearButton_, startButton_, upButton_,
                                                    downButton_, listRemoveButton_, listClearButton_,
                                                    browseButton_, existingAction_, simultaneous_, cpuUsage_})
    w->setEnabled(true);
}

void MainWindow::JobListSelectItem() {
  if (!runner_->Running()) {
    removeButton_->setEnabled(true);
    listRemoveButton_->setEnabled(true);
  }
  preview_->SeekBar()->setValue(0);
  const int row = SelectedRow();
  if (row < 0) return;
  state_.PreviewFile = table_.Row(row).InputPath.toStdString();
  if (!listBusy_) preview_->OpenPreview(table_.Row(row).InputPath);
}

void MainWindow::JobListClick() {
  if (SelectedRow() < 0) preview_->ClosePreview();
}

void MainWindow::RemoveSelected() {
  const int row = SelectedRow();
  if (row < 0) {
    Inform(this, QStringLiteral("提示"), QStringLiteral("请先选择您需要删除的项目！"));
    return;
  }
  listBusy_ = true;
  preview_->ClosePreview();
  // Keep the engine's tasks aligned with the rows.
  if (table_.Row(row).Status == kStatusReady && engine_->TasksCount() >= table_.Rows()) {
    try {
      engine_->RemoveTask(row);
    } catch (const std::exception&) {
    }
  }
  table_.Remove(row);
  listBusy_ = false;
  removeButton_->setEnabled(false);
  listRemoveButton_->setEnabled(false);
  const bool rows = table_.Rows() > 0;
  upButton_->setEnabled(rows);
  downButton_->setEnabled(rows);
  listClearButton_->setEnabled(rows);
  clearButton_->setEnabled(rows);
  startButton_->setEnabled(rows);
  preview_->ClosePreview();
}

void MainWindow::ClearList() {
  profiles::ResetPendingOptions(state_.Choice);
  try {
    engine_->ClearTasks();
  } catch (const std::exception&) {
    return;  // a batch is still running
  }
  preview_->ClosePreview();
  table_.Clear();
  addButton_->setEnabled(true);
  for (QWidget* w : std::initializer_list<QWidget*>{removeButton_, clearButton_, startButton_, upButton_,
                                                    downButton_, listRemoveButton_, listClearButton_})
    w->setEnabled(false);
}

void MainWindow::MoveUp() {
  listBusy_ = true;
  const int row = SelectedRow();
  if (row > 0 && table_.MoveUp(row)) {
    SelectRow(row - 1);
    jobList_->setFocus();
  }
  listBusy_ = false;
}

void MainWindow::MoveDown() {
  listBusy_ = true;
  const int row = SelectedRow();
  if (row >= 0 && table_.MoveDown(row)) {
    SelectRow(row + 1);
    jobList_->setFocus();
  }
  listBusy_ = false;
}

void MainWindow::ApplyBatchControls(BatchControls state) {
  const bool idle = state == BatchControls::Idle;
  for (QWidget* w :
       std::initializer_list<QWidget*>{addButton_, removeButton_, clearButton_, listClearButton_, upButton_,
                                       downButton_, browseButton_, existingAction_, simultaneous_, cpuUsage_})
    w->setEnabled(idle);
  if (!idle) listRemoveButton_->setEnabled(false);
  if (idle) listRemoveButton_->setEnabled(SelectedRow() >= 0);
  startButton_->setEnabled(state != BatchControls::Running);
  pauseButton_->setEnabled(state == BatchControls::Running);
  stopButton_->setEnabled(!idle && !runner_->Stopped());
}

void MainWindow::BrowseOutputFolder() {
  const QString folder =
      Dialogs().ChooseFolder(this, QStringLiteral("选择输出文件存放目录"), outputFolderEdit_->text());
  if (folder.isEmpty()) return;
  outputFolderEdit_->setText(folder);
  state_.OutputFolder = folder.toStdString();
  settings_.WriteOutputFolder(state_.OutputFolder);
}

void MainWindow::OpenOutputFolder() {
  platform::TheOutside().OpenWithDefaultHandler(outputFolderEdit_->text().toStdString());
}

std::string MainWindow::HelpPath() const {
  const std::string beside = settings_.ProgramFolder() + "help/index.html";
  if (platform::IsExistingFile(beside)) return beside;
  const std::string shared = settings_.ProgramFolder() + "../share/quvexa/help/index.html";
  if (platform::IsExistingFile(shared)) return shared;
  return beside;
}

void MainWindow::ShowMediaInfo() {
  const int row = SelectedRow();
  if (row < 0) return;
  const std::string path = table_.Row(row).InputPath.toStdString();
  if (!platform::IsExistingFile(path)) return;
  if (!engine_->AVLibLoaded() && !engine_->LoadAVLib(platform::Widen(state_.ProgramFolder + "LibAV"))) return;
  mediaInfo_->SetInfo(ReadMediaInfo(engine_->AVProbe(), path));
  mediaInfo_->exec();
}

void MainWindow::OpenHelp() { platform::TheOutside().OpenWithDefaultHandler(HelpPath()); }

void MainWindow::FitJobListColumns() {
  const auto widths = JobTable::FittedColumnWidths(jobList_->viewport()->width());
  for (int column = 0; column < JobTable::ColumnCount; ++column)
    jobList_->setColumnWidth(column, widths[size_t(column)]);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == jobList_->viewport()) {
    switch (event->type()) {
      case QEvent::Resize:
        // Also when the vertical scroll bar comes or goes with the rows.
        FitJobListColumns();
        break;
      case QEvent::MouseButtonPress: {
        // A click on empty space deselects, as in other list controls.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!jobList_->indexAt(mouse->position().toPoint()).isValid()) jobList_->clearSelection();
        break;
      }
      case QEvent::MouseButtonRelease:
        JobListClick();
        break;
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (addButton_->isEnabled() && !LocalFiles(drag->mimeData()).isEmpty()) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = LocalFiles(drop->mimeData());
        if (files.isEmpty()) {
          drop->ignore();
          return true;
        }
        drop->acceptProposedAction();
        // Added once the drag-and-drop hand-shake with the file manager is over.
        QMetaObject::invokeMethod(
            this, [this, files] { AddDroppedFiles(files); }, Qt::QueuedConnection);
        return true;
      }
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  preview_->ClosePreview();
  runner_->Detach();
  engine_->Stop(true);
  DefaultLogger().SetOnLog(nullptr);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  ShutDown();
  QMainWindow::closeEvent(event);
}

}  // namespace app

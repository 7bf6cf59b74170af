#include "skin_sampler.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "skin/progress_cell.h"

namespace skintest {
namespace {

QToolButton* ToolButton(QToolBar* bar, const QString& text, QStyle::StandardPixmap icon,
                        QMenu* menu = nullptr) {
  auto* button = new QToolButton(bar);
  button->setText(text);
  button->setIcon(bar->style()->standardIcon(icon));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setIconSize(QSize(28, 28));
  if (menu) {
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
  }
  bar->addWidget(button);
  return button;
}

QComboBox* Combo(const QStringList& items, int current = 0) {
  auto* box = new QComboBox;
  box->addItems(items);
  box->setCurrentIndex(current);
  return box;
}

}  // namespace

SampleMainWindow::SampleMainWindow() {
  setObjectName("TForm1");
  setWindowTitle("Quvexa");
  resize(851, 588);

  addMenu = new QMenu(this);
  addMenu->addAction("添加一个视频文件");
  addMenu->addAction("添加多个视频文件");
  skinMenu = new QMenu(this);
  auto* helpMenu = new QMenu(this);
  helpMenu->addAction("帮助系统?")->setShortcut(QKeySequence(Qt::Key_F1));
  helpMenu->addSeparator();
  helpMenu->addAction("网上升级...");

  auto* bar = addToolBar("tools");
  bar->setMovable(false);
  ToolButton(bar, "添加", QStyle::SP_FileDialogNewFolder, addMenu);
  ToolButton(bar, "移除", QStyle::SP_TrashIcon);
  ToolButton(bar, "清空", QStyle::SP_DialogResetButton);
  bar->addSeparator();
  ToolButton(bar, "转换", QStyle::SP_MediaPlay);
  ToolButton(bar, "暂停", QStyle::SP_MediaPause)->setEnabled(false);
  ToolButton(bar, "停止", QStyle::SP_MediaStop)->setEnabled(false);
  bar->addSeparator();
  ToolButton(bar, "皮肤", QStyle::SP_DesktopIcon, skinMenu);
  ToolButton(bar, "帮助", QStyle::SP_DialogHelpButton, helpMenu);

  auto* central = new QWidget;
  auto* outer = new QVBoxLayout(central);
  auto* top = new QHBoxLayout;
  outer->addLayout(top, 1);

  // Preview panel: picture, position slider, buttons.
  auto* preview = new QGroupBox("预览");
  auto* previewLayout = new QVBoxLayout(preview);
  auto* picture = new QFrame;
  picture->setMinimumSize(240, 180);
  picture->setStyleSheet("background: black;");
  previewLayout->addWidget(picture, 1);
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setValue(35);
  previewLayout->addWidget(slider);
  auto* previewButtons = new QHBoxLayout;
  for (const char* caption : {"播放", "暂停", "停止", "静音"})
    previewButtons->addWidget(new QPushButton(caption));
  previewLayout->addLayout(previewButtons);
  auto* snap = new QCheckBox("截图时播放声音");
  snap->setChecked(true);
  previewLayout->addWidget(snap);
  top->addWidget(preview);

  // Job list with progress cells.
  jobs = new QStandardItemModel(0, 5, this);
  jobs->setHorizontalHeaderLabels({"文件名", "时长", "输出格式", "进度", "状态"});
  const struct {
    const char* name;
    const char* length;
    const char* type;
    int percent;
    const char* state;
  } rows[] = {{"旅行记录 2024.mp4", "00:12:31", "MP4", 100, "完成"},
              {"会议录像.avi", "01:03:05", "AVI", 64, "转换中"},
              {"家庭聚会.mkv", "00:45:10", "FLV", 18, "等待"},
              {"演唱会现场.mov", "00:03:59", "MP3", 0, "等待"},
              {"毕业典礼.wmv", "00:27:44", "3GP", 0, "停止"}};
  for (const auto& row : rows) {
    QList<QStandardItem*> items = {new QStandardItem(row.name), new QStandardItem(row.length),
                                   new QStandardItem(row.type), new QStandardItem(),
                                   new QStandardItem(row.state)};
    items[3]->setData(row.percent, Qt::DisplayRole);
    jobs->appendRow(items);
  }
  auto* table = new QTableView;
  table->setObjectName("JobList");
  table->setModel(jobs);
  table->setItemDelegateForColumn(3, new skin::ProgressCellDelegate(table));
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setAlternatingRowColors(true);
  table->setShowGrid(false);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  table->setColumnWidth(0, 170);
  table->setColumnWidth(3, 110);
  table->selectRow(1);
  jobList = table;
  top->addWidget(table, 1);

  // Settings panel.
  auto* settings = new QGridLayout;
  settings->addWidget(new QLabel("输出文件存放目录："), 0, 0);
  auto* folder = new QLineEdit("/home/user/Video_Directory");
  folder->setReadOnly(true);
  settings->addWidget(folder, 0, 1);
  settings->addWidget(new QPushButton("浏览..."), 0, 2);
  settings->addWidget(new QPushButton("打开"), 0, 3);
  settings->addWidget(new QLabel("如果输出文件存在："), 1, 0);
  settings->addWidget(Combo({"覆盖已存在的文件", "自动重命名输出文件"}, 1), 1, 1);
  settings->addWidget(new QLabel("全部文件转换完毕后："), 2, 0);
  settings->addWidget(Combo({"什么也不做", "关闭计算机", "打开文件夹查看转换的文件"}, 2), 2, 1);
  auto* overall = new QProgressBar;
  overall->setValue(42);
  settings->addWidget(overall, 2, 2, 1, 2);
  outer->addLayout(settings);

  setCentralWidget(central);
  statusBar()->showMessage("添加要转换的视频音频文件");
}

SampleDialog::SampleDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm8");
  setWindowTitle("输出格式与参数");
  resize(420, 330);
  auto* layout = new QVBoxLayout(this);

  auto* tabs = new QTabWidget;
  auto* first = new QListWidget;
  first->addItems({"MP4 - MPEG-4 视频格式", "AVI - 常用视频格式", "FLV - 网络视频格式", "3GP - 手机视频格式",
                   "MP3 - 音频格式", "WMV - 视频格式", "MOV - 视频格式"});
  first->setCurrentRow(2);
  tabs->addTab(first, "常用格式");
  tabs->addTab(new QListWidget, "智能设备");
  tabs->addTab(new QListWidget, "其他视频");
  tabs->setTabEnabled(2, false);
  layout->addWidget(tabs, 1);

  auto* options = new QGridLayout;
  options->addWidget(new QLabel("视频编码："), 0, 0);
  options->addWidget(Combo({"mpeg4", "libx264", "flv"}), 0, 1);
  options->addWidget(new QLabel("画面大小："), 0, 2);
  auto* size = Combo({"320*240", "640*480"});
  size->setEnabled(false);
  options->addWidget(size, 0, 3);
  options->addWidget(new QLabel("音量："), 1, 0);
  auto* volume = new QLineEdit("256");
  options->addWidget(volume, 1, 1);
  auto* flip = new QCheckBox("水平翻转");
  flip->setChecked(true);
  options->addWidget(flip, 1, 2);
  options->addWidget(new QCheckBox("负片"), 1, 3);
  layout->addLayout(options);

  auto* note = new QPlainTextEdit("正在检测新版本的程序....\n软件名称:Quvexa");
  note->setReadOnly(true);
  note->setMaximumHeight(52);
  layout->addWidget(note);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton("确定");
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addWidget(new QPushButton("取消"));
  auto* disabled = new QPushButton("开始下载");
  disabled->setEnabled(false);
  buttons->addWidget(disabled);
  layout->addLayout(buttons);
}

}  // namespace skintest

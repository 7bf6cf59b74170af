#include "app/preview_panel.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/dialog_seams.h"
#include "app/settings.h"
#include "app/type_icons.h"
#include "platform/outside.h"

namespace app {

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
  setObjectName("Panel2");
  setAutoFillBackground(false);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

PreviewPanel::PreviewPanel(const AppSettings& settings, QWidget* parent)
    : QGroupBox(QStringLiteral("视频预览"), parent), settings_(settings) {
  setObjectName("GroupBox1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  video_ = new VideoArea(this);
  video_->setMinimumSize(313, 190);
  video_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  layout->addWidget(video_, 1);
  seek_ = new QSlider(Qt::Horizontal, this);
  seek_->setObjectName("TrackBar1");
  seek_->setMinimum(0);
  seek_->setMaximum(313);
  seek_->setTickPosition(QSlider::TicksBelow);
  seek_->setTickInterval(5);
  layout->addWidget(seek_);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addWidget(ImageButton("PlayButton", QStringLiteral("播放"), int(ToolPicture::Play)));
  buttons->addWidget(ImageButton("PauseButton", QStringLiteral("暂停"), int(ToolPicture::Pause)));
  buttons->addWidget(ImageButton("StopButton", QStringLiteral("停止"), int(ToolPicture::Stop)));
  buttons->addStretch(1);
  buttons->addWidget(ImageButton("MuteButton", QStringLiteral("声音/静音"), int(ToolPicture::Mute)));
  buttons->addWidget(ImageButton("SnapshotButton", QStringLiteral("捕捉快照"), int(ToolPicture::Snapshot)));
  QToolButton* settingsButton =
      ImageButton("SnapshotSettingsButton", QStringLiteral("快照设置"), int(ToolPicture::Settings));
  buttons->addWidget(settingsButton);
  layout->addLayout(buttons);

  snapshotMenu_ = new QMenu(this);
  snapshotMenu_->setObjectName("SnapshotMenu");
  QAction* openFolder = snapshotMenu_->addAction(QStringLiteral("打开快照目录"));
  connect(openFolder, &QAction::triggered, this, [this] {
    platform::TheOutside().OpenWithDefaultHandler(settings_.ReadSnapshotFolder());
  });
  QAction* setFolder = snapshotMenu_->addAction(QStringLiteral("设置快照目录"));
  connect(setFolder, &QAction::triggered, this, [this] {
    const QString folder = Dialogs().ChooseFolder(this, QStringLiteral("选择快照文件存放目录"), QString());
    if (!folder.isEmpty()) settings_.WriteSnapshotFolder(folder.toStdString());
  });
  snapshotMenu_->addSeparator();
  QMenu* types = snapshotMenu_->addMenu(QStringLiteral("快照保存类型"));
  formats_ = new QActionGroup(this);
  formats_->setExclusive(true);
  static const char* const kCaptions[4] = {"BMP图片", "JPG图片", "GIF图片", "PNG图片"};
  for (int i = 0; i < 4; ++i) {
    QAction* entry = types->addAction(QString::fromUtf8(kCaptions[i]));
    entry->setCheckable(true);
    entry->setData(QString::fromLatin1(kSnapshotFormats[i]));
    formats_->addAction(entry);
    connect(entry, &QAction::triggered, this,
            [this, i] { settings_.WriteSnapshotFormat(kSnapshotFormats[i]); });
  }
  formats_->actions().first()->setChecked(true);
  connect(settingsButton, &QToolButton::pressed, this, [this, settingsButton] {
    LoadSnapshotSettings();
    snapshotMenu_->popup(settingsButton->mapToGlobal(QPoint(0, settingsButton->height())));
  });
}

QToolButton* PreviewPanel::ImageButton(const QString& objectName, const QString& tip, int picture) {
  auto* button = new QToolButton(this);
  button->setObjectName(objectName);
  button->setToolTip(tip);
  button->setIcon(ToolIcon(ToolPicture(picture), 24));
  button->setIconSize(QSize(24, 24));
  button->setAutoRaise(true);
  return button;
}

void PreviewPanel::LoadSnapshotSettings() {
  const QString format = QString::fromStdString(settings_.ReadSnapshotFormat());
  for (QAction* entry : formats_->actions())
    if (entry->data().toString() == format) entry->setChecked(true);
}

void PreviewPanel::OpenPreview(const QString& file) {
  file_ = file;
  seek_->setValue(0);
}

void PreviewPanel::ClosePreview() {
  file_.clear();
  video_->update();
}

}  // namespace app

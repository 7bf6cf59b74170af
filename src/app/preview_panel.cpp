#include "app/preview_panel.h"

#include <cstring>
#include <mutex>

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

#include "app/dialog_seams.h"
#include "app/preview_buttons.h"
#include "app/settings.h"
#include "app/snapshots.h"
#include "media/bitmap.h"
#include "platform/code_page.h"
#include "platform/outside.h"
#include "platform/paths.h"
#include "player/player.h"

namespace app {
namespace {

constexpr int kSeekTickInterval = 5;

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

// ---- video area

PlayerScreen::PlayerScreen(QWidget* parent) : QWidget(parent) {
  setObjectName("PlayerScreen");
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
  setObjectName("Panel2");
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  screen_ = new PlayerScreen(this);
  screen_->setGeometry(0, 0, kWidth, kHeight);
  screen_->hide();
}

void VideoArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

// ---- seek bar

SeekBar::SeekBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void SeekBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const QPoint at = event->position().toPoint();
    if (!handle.contains(at)) {
      // Move the handle under the pointer, so that the press grabs it there.
      const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
      const int span = groove.width() - handle.width();
      const int position = at.x() - groove.x() - handle.width() / 2;
      setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), position, span, option.upsideDown));
    }
    emit Pressed();
  }
  QSlider::mousePressEvent(event);
}

void SeekBar::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit Released();
}

// ---- panel

PreviewPanel::PreviewPanel(const AppSettings& settings, QWidget* parent)
    : QGroupBox(QStringLiteral("视频预览"), parent),
      settings_(settings),
      player_(std::make_unique<TFFPlayer>()) {
  setObjectName("GroupBox1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setSpacing(4);
  video_ = new VideoArea(this);
  layout->addWidget(video_, 0, Qt::AlignHCenter);

  seek_ = new class SeekBar(this);
  seek_->setObjectName("TrackBar1");
  seek_->setFixedWidth(VideoArea::kWidth);
  seek_->setMinimum(0);
  seek_->setMaximum(VideoArea::kWidth);
  seek_->setTickPosition(QSlider::TicksBelow);
  seek_->setTickInterval(kSeekTickInterval);
  seek_->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(seek_, 0, Qt::AlignHCenter);
  connect(seek_, &SeekBar::Pressed, this, &PreviewPanel::SeekPressed);
  connect(seek_, &SeekBar::Released, this, &PreviewPanel::SeekReleased);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  ImageButton* play = AddButton("PlayButton", int(PreviewGlyph::Play), QStringLiteral("播放"));
  ImageButton* pause = AddButton("PauseButton", int(PreviewGlyph::Pause), QStringLiteral("暂停"));
  ImageButton* stop = AddButton("StopButton", int(PreviewGlyph::Stop), QStringLiteral("停止"));
  muteButton_ = AddButton("MuteButton", int(PreviewGlyph::Sound), QStringLiteral("声音/静音"));
  ImageButton* snapshot =
      AddButton("SnapshotButton", int(PreviewGlyph::Snapshot), QStringLiteral("捕捉快照"));
  ImageButton* settingsButton =
      AddButton("SnapshotSettingsButton", int(PreviewGlyph::SnapshotSettings), QStringLiteral("快照设置"));
  for (ImageButton* b : {play, pause, stop}) buttons->addWidget(b);
  buttons->addStretch(1);
  for (ImageButton* b : {muteButton_, snapshot, settingsButton}) buttons->addWidget(b);
  layout->addLayout(buttons);
  layout->addStretch(1);
  connect(play, &ImageButton::clicked, this, &PreviewPanel::PlayClicked);
  connect(pause, &ImageButton::clicked, this, &PreviewPanel::PauseClicked);
  connect(stop, &ImageButton::clicked, this, &PreviewPanel::StopClicked);
  connect(muteButton_, &ImageButton::clicked, this, &PreviewPanel::MuteClicked);
  connect(snapshot, &ImageButton::clicked, this, [this] { TakeSnapshot(); });

  snapshotMenu_ = new QMenu(this);
  snapshotMenu_->setObjectName("SnapshotMenu");
  QAction* openFolder = snapshotMenu_->addAction(QStringLiteral("打开快照目录"));
  connect(openFolder, &QAction::triggered, this, &PreviewPanel::OpenSnapshotFolder);
  QAction* setFolder = snapshotMenu_->addAction(QStringLiteral("设置快照目录"));
  connect(setFolder, &QAction::triggered, this, &PreviewPanel::ChooseSnapshotFolder);
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
  connect(settingsButton, &ImageButton::MouseDown, this, [this](Qt::MouseButton button, const QPoint& at) {
    LoadSnapshotSettings();
    if (button == Qt::LeftButton) snapshotMenu_->popup(at);
  });

  // The only player event the panel follows; the position and state
  // notifications stay unset.
  player_->SetOnFileOpen([this](void*, int64_t duration, int, int, int&, int&) { FileOpened(duration); });
}

PreviewPanel::~PreviewPanel() {
  player_->SetOnFileOpen(nullptr);
  player_->Stop(true);
}

void PreviewPanel::SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

ImageButton* PreviewPanel::AddButton(const char* objectName, int glyph, const QString& tip) {
  auto* button = new ImageButton(PreviewGlyph(glyph), tip, this);
  button->setObjectName(objectName);
  return button;
}

void PreviewPanel::Log(const std::string& line) const {
  if (hooks_.Log) hooks_.Log(line);
}

std::string PreviewPanel::LoadSnapshotSettings() {
  const std::string format = settings_.ReadSnapshotFormat();
  for (QAction* entry : formats_->actions())
    if (entry->data().toString() == QString::fromStdString(format)) entry->setChecked(true);
  return format;
}

bool PreviewPanel::OpenPlayer() {
  video_->Screen()->show();
  const TScreenHandle screen = TScreenHandle(video_->Screen()->winId());
  if (player_->Open(platform::Widen(LocalPath(file_)), screen, true)) return true;
  video_->Screen()->hide();
  Log(player_->LastErrMsg());
  return false;
}

void PreviewPanel::OpenPreview(const QString& file) {
  file_ = file;
  seek_->setValue(0);
  player_->SetOnPosition(nullptr);
  player_->SetOnState(nullptr);
  player_->SetOnHook(nullptr);
  if (!player_->AVLibLoaded() &&
      !player_->LoadAVLib(platform::Widen(platform::ResourceFolderFor(settings_.ProgramFolder(), "LibAV"))))
    return;
  if (player_->State() != psPause) player_->Pause();
  OpenPlayer();
}

void PreviewPanel::ClosePreview() {
  player_->Stop(true);
  video_->Screen()->hide();
  file_.clear();
  video_->update();
}

void PreviewPanel::FileOpened(int64_t duration) {
  duration_ = duration;
  seek_->setTickInterval(kSeekTickInterval);
  seek_->setMaximum(seek_->width());
  seek_->setValue(0);
}

void PreviewPanel::PlayClicked() {
  player_->Resume();
  if (hooks_.FocusList) hooks_.FocusList();
}

void PreviewPanel::PauseClicked() {
  player_->Pause();
  if (hooks_.FocusList) hooks_.FocusList();
}

void PreviewPanel::StopClicked() {
  if (!hooks_.RowSelected || !hooks_.RowSelected() || file_.isEmpty()) return;
  player_->Stop(true);
  OpenPlayer();
}

void PreviewPanel::MuteClicked() {
  player_->SetMute(!player_->Mute());
  muteButton_->SetGlyph(player_->Mute() ? PreviewGlyph::Muted : PreviewGlyph::Sound);
}

void PreviewPanel::SeekPressed() { player_->TogglePause(); }

void PreviewPanel::SeekReleased() {
  player_->Pause();
  const int maximum = seek_->maximum();
  int64_t target = maximum > 0 ? duration_ * int64_t(seek_->value()) / int64_t(maximum) : 0;
  if (target < 0) target = 0;  // the duration is unknown
  player_->Seek(0, false, target);
  player_->Resume();
}

QString PreviewPanel::TakeSnapshot() {
  TBitmap picture;
  {
    TBitmap* shown = player_->Snapshot();
    std::lock_guard<TBitmap> guard(*shown);
    picture.SetSize(shown->Width(), shown->Height());
    if (picture.SizeInBytes() > 0) std::memcpy(picture.Bits(), shown->Bits(), picture.SizeInBytes());
  }
  const std::string folder = settings_.ReadSnapshotFolder();
  SnapshotFormat format = SnapshotFormat::Bmp;
  SnapshotFormatFromName(LoadSnapshotSettings(), format);
  if (picture.Width() <= 0) return {};

  std::string error;
  const std::string saved = SaveSnapshot(picture, folder, LocalPath(file_), format, &error);
  if (saved.empty()) {
    Log(error);
    if (hooks_.ShowStatus)
      hooks_.ShowStatus(QStringLiteral("无法保存视频快照，请检查快照目录是否存在并且可以写入。"));
    return {};
  }
  const std::string sound = platform::ResourceFolderFor(settings_.ProgramFolder(), "sounds") + "cam.wav";
  if (platform::IsExistingFile(sound)) platform::TheOutside().PlaySoundFile(sound);
  if (hooks_.ShowStatus)
    hooks_.ShowStatus(QStringLiteral("已经为您捕获视频快照，您可以点击“快照设置”按钮打开快照目录查看图片。"));
  return QFile::decodeName(QByteArray::fromStdString(saved));
}

void PreviewPanel::OpenSnapshotFolder() {
  platform::TheOutside().OpenWithDefaultHandler(settings_.ReadSnapshotFolder());
}

void PreviewPanel::ChooseSnapshotFolder() {
  const QString folder = Dialogs().ChooseFolder(this, QStringLiteral("选择快照文件存放目录"), QString());
  if (!folder.isEmpty()) settings_.WriteSnapshotFolder(LocalPath(folder));
}

}  // namespace app

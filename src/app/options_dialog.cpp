#include "app/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/dialog_seams.h"
#include "engine/transcoder.h"
#include "platform/code_page.h"
#include "platform/outside.h"
#include "profiles/job_options.h"

namespace app {
namespace {

using namespace profiles;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), int(text.size())); }

struct ListLabel {
  TOptionListIndex List;
  const char* ObjectName;
  const char* Caption;
};
constexpr ListLabel kListLabels[olCount] = {
    {olVideoCodec, "ComboBox1", "视频编码器："},   {olVideoBitrate, "ComboBox2", "视频比特率："},
    {olFrameSize, "ComboBox3", "视频分辨率："},    {olFrameRate, "ComboBox4", "视频帧率："},
    {olAudioCodec, "ComboBox5", "音频编码器："},   {olAudioBitrate, "ComboBox6", "音频比特率："},
    {olSampleRate, "ComboBox7", "音频采样率："},   {olAspect, "ComboBox8", "视频缩放模式："},
    {olVolume, "ComboBox9", "音量调节："},         {olChannels, "ComboBox10", "声道设置："},
};

QLabel* Caption(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

OptionsDialog::OptionsDialog(WindowState& state, QWidget* parent)
    : QDialog(parent), state_(state), probeEngine_(std::make_unique<TTranscoder>()) {
  setObjectName("TForm8");
  setWindowTitle(QStringLiteral("选项设置"));
  setModal(true);
  setFixedSize(700, 520);

  for (const ListLabel& label : kListLabels) {
    auto* box = new QComboBox(this);
    box->setObjectName(label.ObjectName);
    box->setMinimumWidth(200);
    boxes_[size_t(label.List)] = box;
    const TOptionListIndex list = label.List;
    // activated: the user's choice only, not the fill step.
    connect(box, &QComboBox::activated, this, [this, list](int row) { UserPicked(list, row); });
  }
  auto boxRow = [this](QGridLayout* grid, int row, TOptionListIndex list, QWidget* parent) {
    grid->addWidget(Caption(kListLabels[list].Caption, parent), row, 0);
    grid->addWidget(Box(list), row, 1);
  };

  auto* layout = new QVBoxLayout(this);
  auto* sourceRow = new QHBoxLayout;
  sourceRow->addWidget(new QLabel(QStringLiteral("视频源："), this));
  source_ = new QLineEdit(this);
  source_->setObjectName("Edit1");
  source_->setReadOnly(true);
  sourceRow->addWidget(source_, 1);
  layout->addLayout(sourceRow);

  auto* columns = new QHBoxLayout;
  // Video side.
  auto* videoSide = new QVBoxLayout;
  auto* codecGrid = new QGridLayout;
  boxRow(codecGrid, 0, olVideoCodec, this);
  videoSide->addLayout(codecGrid);
  auto* videoGroup = new QGroupBox(QStringLiteral("视频编码详细设置"), this);
  videoGroup->setObjectName("GroupBox1");
  auto* videoGrid = new QGridLayout(videoGroup);
  boxRow(videoGrid, 0, olVideoBitrate, videoGroup);
  boxRow(videoGrid, 1, olFrameSize, videoGroup);
  boxRow(videoGrid, 2, olFrameRate, videoGroup);
  hflip_ = new QCheckBox(QStringLiteral("视频图像水平翻转"), videoGroup);
  hflip_->setObjectName("CheckBox2");
  vflip_ = new QCheckBox(QStringLiteral("视频图像垂直翻转"), videoGroup);
  vflip_->setObjectName("CheckBox3");
  negate_ = new QCheckBox(QStringLiteral("视频显示底片效果"), videoGroup);
  negate_->setObjectName("CheckBox4");
  videoGrid->addWidget(hflip_, 3, 1);
  videoGrid->addWidget(vflip_, 4, 1);
  videoGrid->addWidget(negate_, 5, 1);
  videoSide->addWidget(videoGroup);
  auto* aspectGrid = new QGridLayout;
  boxRow(aspectGrid, 0, olAspect, this);
  videoSide->addLayout(aspectGrid);
  videoSide->addStretch(1);
  columns->addLayout(videoSide);

  // Audio side.
  auto* audioSide = new QVBoxLayout;
  auto* audioCodecGrid = new QGridLayout;
  boxRow(audioCodecGrid, 0, olAudioCodec, this);
  audioSide->addLayout(audioCodecGrid);
  auto* audioGroup = new QGroupBox(QStringLiteral("音频编码详细设置"), this);
  audioGroup->setObjectName("GroupBox2");
  auto* audioGrid = new QGridLayout(audioGroup);
  boxRow(audioGrid, 0, olAudioBitrate, audioGroup);
  boxRow(audioGrid, 1, olSampleRate, audioGroup);
  boxRow(audioGrid, 2, olChannels, audioGroup);
  audioSide->addWidget(audioGroup);
  auto* volumeGrid = new QGridLayout;
  boxRow(volumeGrid, 0, olVolume, this);
  audioSide->addLayout(volumeGrid);
  audioSide->addStretch(1);
  columns->addLayout(audioSide);
  layout->addLayout(columns);

  // Cut range.
  auto* cutGroup = new QGroupBox(QStringLiteral("分割截取视频"), this);
  cutGroup->setObjectName("GroupBox3");
  auto* cutGrid = new QGridLayout(cutGroup);
  cut_ = new QCheckBox(QStringLiteral("允许截取视频"), cutGroup);
  cut_->setObjectName("CheckBox1");
  cutGrid->addWidget(cut_, 0, 0, 1, 2);
  static const char* const kEditNames[6] = {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7"};
  const auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
  for (int i = 0; i < 6; ++i) {
    auto* edit = new QLineEdit(cutGroup);
    edit->setObjectName(kEditNames[i]);
    edit->setFixedWidth(44);
    edit->setAlignment(Qt::AlignCenter);
    edit->setValidator(digits);
    edit->installEventFilter(this);
    timeEdits_[size_t(i)] = edit;
  }
  for (int part = 0; part < 2; ++part) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(part == 0 ? QStringLiteral("转换起始时间：") : QStringLiteral("转换停止时间："),
                              cutGroup));
    static const char* const kUnits[3] = {"时", "分", "秒"};
    for (int unit = 0; unit < 3; ++unit) {
      row->addWidget(timeEdits_[size_t(part * 3 + unit)]);
      row->addWidget(new QLabel(QString::fromUtf8(kUnits[unit]), cutGroup));
    }
    row->addStretch(1);
    cutGrid->addLayout(row, 1, part);
  }
  previewButton_ = new QPushButton(QStringLiteral("预览视频"), cutGroup);
  previewButton_->setObjectName("Button3");
  cutGrid->addWidget(previewButton_, 0, 1, Qt::AlignRight);
  layout->addWidget(cutGroup);
  SetCutEditsEnabled(false);
  connect(cut_, &QCheckBox::toggled, this, &OptionsDialog::SetCutEditsEnabled);
  connect(previewButton_, &QPushButton::clicked, this,
          [this] { platform::TheOutside().OpenWithDefaultHandler(source_->text().toStdString()); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName("Button1");
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setObjectName("Button2");
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &OptionsDialog::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::PrepareCutRange(bool allowed) {
  cut_->setChecked(false);
  cut_->setEnabled(allowed);
}

void OptionsDialog::SetCutEditsEnabled(bool enabled) {
  for (QLineEdit* edit : timeEdits_) edit->setEnabled(enabled);
}

void OptionsDialog::showEvent(QShowEvent* event) {
  ClearOptionLists();
  FillOptionLists();
  ProbeCutRange();
  QDialog::showEvent(event);
}

void OptionsDialog::ClearOptionLists() {
  source_->clear();
  lists_ = TOptionLists{};
  for (int list = 0; list < olCount; ++list) ShowList(TOptionListIndex(list));
  hflip_->setChecked(false);
  vflip_->setChecked(false);
  negate_->setChecked(false);
  state_.Choice.Pending.VideoFilters.clear();
  state_.Choice.Pending.VideoTag.clear();
}

void OptionsDialog::SetVideoControlsEnabled(bool enabled) {
  for (TOptionListIndex list : {olVideoCodec, olVideoBitrate, olFrameSize, olFrameRate, olAspect})
    Box(list)->setEnabled(enabled);
  hflip_->setEnabled(enabled);
  vflip_->setEnabled(enabled);
  negate_->setEnabled(enabled);
  audioOnly_ = !enabled;
  if (enabled) {
    state_.Choice.Pending.FileFormat.clear();
    state_.Choice.Pending.TargetNorm.clear();
    discTarget_.clear();
  }
}

void OptionsDialog::FillOptionLists() {
  source_->setText(QString::fromStdString(state_.SourceFileName));
  SetVideoControlsEnabled(true);
  const TFilledOptions filled = profiles::FillOptionLists(state_.OutputTypeCode);
  ApplyFilledOptions(state_.Choice, filled, state_.OutputFolder, state_.SourceFileName);
  if (!filled.HasType) return;
  lists_ = filled.Lists;
  for (int list = 0; list < olCount; ++list) ShowList(TOptionListIndex(list));
  discTarget_ = filled.DiscTarget;
  if (filled.AudioOnly) SetVideoControlsEnabled(false);
}

void OptionsDialog::ShowList(TOptionListIndex list) {
  QComboBox* box = Box(list);
  const TOptionList& items = lists_[size_t(list)];
  const QSignalBlocker blocker(box);
  box->clear();
  for (const std::string& item : items.Items) box->addItem(QString::fromStdString(item));
  box->setCurrentIndex(items.Selected);
}

void OptionsDialog::UserPicked(TOptionListIndex list, int row) {
  TOptionList& items = lists_[size_t(list)];
  if (row < 0 || row >= int(items.Items.size())) return;
  if (list == olVideoCodec) {
    if (const auto replaced = ChangeVideoCodec(state_.OutputTypeCode, lists_, row)) ShowList(*replaced);
  }
  items.Selected = row;
}

void OptionsDialog::ProbeCutRange() {
  const std::string& source = state_.SourceFileName;
  TInputOptions input = MakeInputOptions(source);
  const int task = source.empty() ? -1 : probeEngine_->AddTask(platform::Widen(source), &input);
  TCutTimes times;
  if (task >= 0) {
    const AVFormatContext* context = probeEngine_->InputFormatContext(task, 0);
    const int64_t duration = context != nullptr ? context->duration : -1;
    const TCutRangePreset preset = CutRangePresetFor(duration);
    probedDuration_ = preset.ProbedDuration;
    times = preset.CutTimes;
  } else {
    // The earlier duration stays; the stop edits stay empty.
    times = {"00", "00", "00", "", "", ""};
  }
  for (int i = 0; i < 6; ++i) timeEdits_[size_t(i)]->setText(QString::fromStdString(times[size_t(i)]));
  probeEngine_->ClearTasks();
}

void OptionsDialog::Confirm() {
  TDialogChoices dialog;
  dialog.Captions = CurrentCaptions(lists_);
  dialog.HorizontalFlip = hflip_->isChecked();
  dialog.VerticalFlip = vflip_->isChecked();
  dialog.Negative = negate_->isChecked();
  dialog.CutEnabled = cut_->isChecked();
  for (int i = 0; i < 6; ++i) dialog.CutTimes[size_t(i)] = timeEdits_[size_t(i)]->text().toStdString();
  dialog.ProbedDuration = probedDuration_;
  dialog.AudioOnlyMode = audioOnly_;
  dialog.DiscTarget = discTarget_;

  const TResolveResult result = ResolveOptions(dialog, state_.OutputFolder, state_.Choice);
  if (dialog.CutEnabled)
    for (int i = 0; i < 6; ++i) timeEdits_[size_t(i)]->setText(QString::fromStdString(result.CutTimes[size_t(i)]));
  switch (result.Status) {
    case rsOk: accept(); return;
    case rsCutRangeError: Inform(this, Text(kMessageCaption), QString::fromStdString(result.Message)); return;
    case rsNoType:
      Inform(this, Text(kMessageCaption), QStringLiteral("没有选择转换格式，请点击“取消”返回并选择一个格式。"));
      return;
    case rsInvalidValue:
      Inform(this, Text(kMessageCaption),
             QStringLiteral("选项设置无效，请重新选择：") + QString::fromStdString(result.Error));
      return;
  }
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    for (QLineEdit* edit : timeEdits_) {
      if (watched != edit) continue;
      const auto* key = static_cast<QKeyEvent*>(event);
      const QString text = key->text();
      // Keys that type nothing (arrows, Delete) are not characters; Tab and
      // Escape move the focus and close the dialog as everywhere else.
      if (text.isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
          key->key() == Qt::Key_Escape)
        break;
      const char32_t character = text.toUcs4().value(0);
      if (IsTimeEditKeyAllowed(character)) break;
      Inform(this, Text(kMessageCaption), Text(kDigitsOnlyMessage));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace app

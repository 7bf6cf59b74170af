#include "app/media_info_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

MediaInfoDialog::MediaInfoDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm9");
  setWindowTitle(QStringLiteral("视频信息提示"));
  setModal(true);
  setFixedWidth(520);
  auto* layout = new QVBoxLayout(this);
  auto group = [this, layout](const QString& title, std::initializer_list<const char*> captions) {
    auto* box = new QGroupBox(title, this);
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (const char* caption : captions) AddRow(grid, row++, QString::fromUtf8(caption));
    layout->addWidget(box);
  };
  group(QStringLiteral("文件格式信息"),
        {"文件名：", "文件格式：", "播放时长：", "文件大小：", "比特率：", "文件格式全名：", "文件扩展名："});
  group(QStringLiteral("视频格式信息"), {"视频分辨率：", "视频帧率：", "视频比特率：", "视频流信息："});
  group(QStringLiteral("音频格式信息"), {"音频采样率：", "音频声道：", "音频比特率：", "音频流信息："});
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName("Button1");
  ok->setDefault(true);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QLabel* MediaInfoDialog::AddRow(QGridLayout* grid, int row, const QString& caption) {
  auto* name = new QLabel(caption, this);
  name->setAlignment(Qt::AlignRight | Qt::AlignTop);
  name->setFixedWidth(100);
  auto* value = new QLabel(this);
  value->setWordWrap(true);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  value->setMinimumWidth(360);
  grid->addWidget(name, row, 0);
  grid->addWidget(value, row, 1);
  values_.emplace_back(caption, value);
  return value;
}

QLabel* MediaInfoDialog::Value(const QString& caption) const {
  for (const auto& [name, label] : values_)
    if (name == caption) return label;
  return nullptr;
}

void MediaInfoDialog::SetInfo(const MediaInfoLabels& info) {
  const std::pair<const char*, const QString*> fields[] = {
      {"文件名：", &info.FileName},      {"文件格式：", &info.FormatName},
      {"播放时长：", &info.Duration},    {"文件大小：", &info.Size},
      {"比特率：", &info.BitRate},       {"文件格式全名：", &info.FormatLongName},
      {"文件扩展名：", &info.Extension}, {"视频分辨率：", &info.Resolution},
      {"视频帧率：", &info.FrameRate},   {"视频比特率：", &info.VideoBitRate},
      {"视频流信息：", &info.VideoLine}, {"音频采样率：", &info.SampleRate},
      {"音频声道：", &info.Channels},    {"音频比特率：", &info.AudioBitRate},
      {"音频流信息：", &info.AudioLine},
  };
  for (const auto& [caption, text] : fields)
    if (QLabel* label = Value(QString::fromUtf8(caption))) label->setText(*text);
}

}  // namespace app

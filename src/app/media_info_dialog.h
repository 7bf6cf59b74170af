// The media information dialog (objectName TForm9): file, video and audio
// facts of one input in three groups.
#pragma once

#include <utility>
#include <vector>

#include <QDialog>
#include <QString>

#include "app/media_info.h"

class QGridLayout;
class QLabel;

namespace app {

class MediaInfoDialog : public QDialog {
  Q_OBJECT

 public:
  explicit MediaInfoDialog(QWidget* parent = nullptr);

  // Fills the value labels (shown by exec() afterwards).
  void SetInfo(const MediaInfoLabels& info);
  // The value label next to a caption such as "视频流信息：".
  QLabel* Value(const QString& caption) const;

 private:
  QLabel* AddRow(QGridLayout* grid, int row, const QString& caption);
  std::vector<std::pair<QString, QLabel*>> values_;
};

}  // namespace app

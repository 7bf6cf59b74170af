// The preview panel on the left of the main window: the black video area
// that will host the player's picture, the seek bar and the image buttons
// (play, pause, stop, sound/mute, snapshot, snapshot settings) with the
// snapshot menu. The player itself is attached later; until then the
// buttons are present and the panel only tracks which file it would show.
#pragma once

#include <QGroupBox>
#include <QString>

class QActionGroup;
class QMenu;
class QSlider;
class QToolButton;

namespace app {

class AppSettings;

// The video area: a native window without a background of Qt's own, so
// that a player can draw into it.
class VideoArea : public QWidget {
  Q_OBJECT

 public:
  explicit VideoArea(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class PreviewPanel : public QGroupBox {
  Q_OBJECT

 public:
  PreviewPanel(const AppSettings& settings, QWidget* parent = nullptr);

  VideoArea* Video() const { return video_; }
  QSlider* SeekBar() const { return seek_; }
  QMenu* SnapshotMenu() const { return snapshotMenu_; }

  // Checks the format entry that system.ini holds (with its fall-back).
  void LoadSnapshotSettings();
  // Opens / closes the preview of a file.
  void OpenPreview(const QString& file);
  void ClosePreview();
  const QString& OpenFile() const { return file_; }

 private:
  QToolButton* ImageButton(const QString& objectName, const QString& tip, int picture);

  const AppSettings& settings_;
  VideoArea* video_ = nullptr;
  QSlider* seek_ = nullptr;
  QMenu* snapshotMenu_ = nullptr;
  QActionGroup* formats_ = nullptr;
  QString file_;
};

}  // namespace app

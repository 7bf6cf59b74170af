// The preview panel on the left of the main window: the 313 x 190 video
// area in which the player shows the selected row's input, the seek bar,
// the image buttons (play, pause, stop, sound/mute, snapshot, snapshot
// settings) and the snapshot menu. It plays input files only and does not
// follow the playing position: the seek bar stays where the user left it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QGroupBox>
#include <QSlider>
#include <QString>

class QActionGroup;
class QMenu;
class TFFPlayer;

namespace app {

class AppSettings;
class ImageButton;

// The player's screen: a native window that Qt never paints, so that the
// player can draw into it. Shown only while a file is open.
class PlayerScreen : public QWidget {
  Q_OBJECT

 public:
  explicit PlayerScreen(QWidget* parent = nullptr);
  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {}
};

// The black video area (objectName Panel2) that holds the player's screen.
class VideoArea : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 313;
  static constexpr int kHeight = 190;

  explicit VideoArea(QWidget* parent = nullptr);
  PlayerScreen* Screen() const { return screen_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PlayerScreen* screen_ = nullptr;
};

// The seek bar: a click on the groove moves the handle there (not a page
// step); Released follows every release of the left button.
class SeekBar : public QSlider {
  Q_OBJECT

 public:
  explicit SeekBar(QWidget* parent = nullptr);

 signals:
  void Pressed();
  void Released();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class PreviewPanel : public QGroupBox {
  Q_OBJECT

 public:
  // What the panel needs of its window.
  struct Hooks {
    std::function<void(const std::string&)> Log;     // a line of the window's log text
    std::function<void(const QString&)> ShowStatus;  // the status bar text
    std::function<void()> FocusList;                 // gives the job list the focus
    std::function<bool()> RowSelected;               // a job-list row is selected
  };

  PreviewPanel(const AppSettings& settings, QWidget* parent = nullptr);
  ~PreviewPanel() override;
  void SetHooks(Hooks hooks);

  VideoArea* Video() const { return video_; }
  QSlider* SeekBar() const { return seek_; }
  QMenu* SnapshotMenu() const { return snapshotMenu_; }
  TFFPlayer& Player() { return *player_; }

  // Checks the format entry that system.ini holds (with its fall-back and
  // write-back) and returns its stored name.
  std::string LoadSnapshotSettings();
  // Opens the file paused on its first picture. A missing player library
  // shows nothing; a file the player cannot open goes to the log only.
  void OpenPreview(const QString& file);
  // Stops the player, waiting for its end.
  void ClosePreview();
  // The file opened (or tried) last; empty after ClosePreview.
  const QString& OpenFile() const { return file_; }
  // Microseconds, as the player reported it when the file opened.
  int64_t PreviewDuration() const { return duration_; }

  // The commands of the buttons, the seek bar and the menu.
  void PlayClicked();
  void PauseClicked();
  void StopClicked();
  void MuteClicked();
  // Saves the picture on the screen; the path of the file, or empty when
  // nothing was saved.
  QString TakeSnapshot();
  void SeekPressed();
  void SeekReleased();
  void OpenSnapshotFolder();
  void ChooseSnapshotFolder();

 private:
  ImageButton* AddButton(const char* objectName, int glyph, const QString& tip);
  bool OpenPlayer();
  void FileOpened(int64_t duration);
  void Log(const std::string& line) const;

  const AppSettings& settings_;
  Hooks hooks_;
  std::unique_ptr<TFFPlayer> player_;
  VideoArea* video_ = nullptr;
  class SeekBar* seek_ = nullptr;
  ImageButton* muteButton_ = nullptr;
  QMenu* snapshotMenu_ = nullptr;
  QActionGroup* formats_ = nullptr;
  QString file_;
  int64_t duration_ = 0;
};

}  // namespace app

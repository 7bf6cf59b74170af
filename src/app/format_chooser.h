// The format chooser (objectName TForm7): the catalogue's output types on
// four tab pages, of which only the first takes clicks. Selecting a row sets
// the window state's output type code; "下一步" goes on to the options
// dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "app/window_state.h"

class QListWidget;
class QTabWidget;
class QPushButton;

namespace app {

class OptionsDialog;

class FormatChooser : public QDialog {
  Q_OBJECT

 public:
  // exec() result of "下一步".
  static constexpr int kNext = 100;

  FormatChooser(WindowState& state, QWidget* parent = nullptr);

  // "1" after a show, "2" after "取消".
  const QString& ChooseResult() const { return chooseResult_; }

  // Runs the chooser and from it the options dialog: true once the options
  // are confirmed, false when the chooser is cancelled or closed. Cancelling
  // the options dialog brings the chooser back.
  bool ChooseAndConfigure(OptionsDialog& options);

  QTabWidget* Pages() const { return pages_; }
  // The list on a tab page (0 = first page).
  QListWidget* List(int page) const { return lists_.at(size_t(page)); }
  // "下一步": the options dialog follows when a row is selected.
  void Next();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillList(int page);
  void SelectionChanged(int page);
  void TabChanged(int page);
  bool HasSelection(int page) const;
  void ShowChooseMessage();

  WindowState& state_;
  QString chooseResult_ = QStringLiteral("1");
  QTabWidget* pages_ = nullptr;
  std::array<QListWidget*, 4> lists_{};
  QPushButton* next_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace app

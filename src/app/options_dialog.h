// The options dialog (objectName TForm8): the ten choice lists of the
// chosen output type with their default rows, the three picture filters,
// the cut range with its time edits, and the confirmation that resolves the
// chosen captions into the window state's pending options. The lists'
// contents live in a profiles::TOptionLists; the combo boxes show it.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <string>

#include "app/window_state.h"
#include "profiles/option_lists.h"
#include "profiles/option_resolution.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TTranscoder;

namespace app {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(WindowState& state, QWidget* parent = nullptr);
  ~OptionsDialog() override;

  // Before each add: "允许截取视频" unchecked, and enabled for a single
  // file or disabled for several.
  void PrepareCutRange(bool allowed);

  QComboBox* Box(profiles::TOptionListIndex list) const { return boxes_.at(size_t(list)); }
  QLineEdit* TimeEdit(profiles::TCutTimeField field) const { return timeEdits_.at(size_t(field)); }
  const profiles::TOptionLists& Lists() const { return lists_; }
  const std::string& ProbedDuration() const { return probedDuration_; }
  bool AudioOnlyMode() const { return audioOnly_; }

  // "确定": resolves the choices; closes the dialog when they are valid.
  void Confirm();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ClearOptionLists();
  void FillOptionLists();
  void ProbeCutRange();
  void SetVideoControlsEnabled(bool enabled);
  void ShowList(profiles::TOptionListIndex list);
  void UserPicked(profiles::TOptionListIndex list, int row);
  void SetCutEditsEnabled(bool enabled);

  WindowState& state_;
  profiles::TOptionLists lists_;
  std::string probedDuration_ = "0";
  std::string discTarget_;
  bool audioOnly_ = false;
  // The dialog's own engine, used only to read the input's duration.
  std::unique_ptr<TTranscoder> probeEngine_;

  QLineEdit* source_ = nullptr;
  std::array<QComboBox*, profiles::olCount> boxes_{};
  QCheckBox* hflip_ = nullptr;
  QCheckBox* vflip_ = nullptr;
  QCheckBox* negate_ = nullptr;
  QCheckBox* cut_ = nullptr;
  std::array<QLineEdit*, 6> timeEdits_{};
  QPushButton* previewButton_ = nullptr;
};

}  // namespace app

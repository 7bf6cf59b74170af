// Adding jobs: pick the input file(s), let the user choose the output type
// and options, check that the libraries can open the input, register the
// engine task with its records, and append the row and slot. Also rebuilds
// the engine's tasks from the slots before a batch starts.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "app/job_table.h"
#include "app/window_state.h"

class QWidget;
class TTranscoder;

namespace app {

// Texts shown by job creation.
inline const QString kNotMediaMessage = QStringLiteral("无法识别的音频或视频文件！");
inline const QString kTableFullMessage =
    QStringLiteral("转换列表已满（最多 501 个文件，删除过的位置要清空列表后才能再用），请先清空列表再添加。");
inline const QString kHintCaption = QStringLiteral("提示");

// The open dialogs' filter as one text: label "|" masks, entries joined by
// "|", ending in "|".
QString JobFileFilterText();
// The same entries as Qt name filters ("label (mask mask …)").
QStringList JobFileNameFilters();

class JobCreation {
 public:
  struct Hooks {
    // Shows the format chooser and, from it, the options dialog; false when
    // the user cancelled.
    std::function<bool()> ChooseOutput;
    // Appends one line to the main window's log text.
    std::function<void(const std::string&)> Log;
    // Empties the log text (before each task that a rebuild re-creates).
    std::function<void()> ClearLog;
    // A row was added (select it, focus the list, switch the controls).
    std::function<void(int row)> RowAdded;
  };

  JobCreation(TTranscoder& engine, JobTable& table, WindowState& state, QWidget* parent, Hooks hooks);

  // "添加一个视频文件": the single-file open dialog, then one job.
  void AddOneJob();
  // "添加多个视频文件": the multi-select open dialog, then AddFiles.
  void AddManyJobs();
  // Several files with one type and option choice (also for dropped files).
  void AddFiles(const QStringList& files);

  struct RebuildResult {
    bool Ok = true;
    std::string FileName;  // the input that failed
    std::string Error;     // English, from the engine
  };
  // Clears the engine's tasks and adds one per full slot, in slot order,
  // with the output moved into the current output folder.
  RebuildResult RebuildTasks();

 private:
  bool EnsureLibraries();
  bool ProbeInput(const std::string& file);
  void LogBlock(const std::string& message);
  bool TableFull();
  // A name exists when it is on disk or another job of the list writes it.
  bool OutputTaken(const std::string& name) const;
  void AppendJob(const std::string& source, const std::string& output, const TInputOptions& slotInput,
                 const TOutputOptions& outputOptions);

  TTranscoder& engine_;
  JobTable& table_;
  WindowState& state_;
  QWidget* parent_;
  Hooks hooks_;
};

}  // namespace app

#include "app/job_creation.h"

#include <QFileInfo>
#include <set>
#include <utility>

#include "app/dialog_seams.h"
#include "app/settings.h"
#include "engine/transcoder.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "profiles/file_names.h"
#include "profiles/job_options.h"

namespace app {
namespace {

struct FilterEntry {
  const char* Label;
  const char* Masks;
};

constexpr FilterEntry kFilterEntries[] = {
    {"所有支持的文件类型",
     "*.AVI;*.ASF;*.asx;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.MP4;*.MPG;*.MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;"
     "*.TS;*.TP;*.IFO;*.NSV;*.MP3;*.AAC;*.WAV;*.WMA;*.CDA;*.SWF;"
     "*.FLAC;*.M4A;*.MID;*.MKA;*.MP2;*.MPA;*.MPC;*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;*.DV;*.m4v;"
     "*.3g2;*.mkv;*.dv;*.yuv;*.h261;*.h264;*.mjpeg;*.dif;*.m4v;*.3gpp;*.3gp2;*.qt"},
    {"所有的文件 (*.*)", "*.*"},
    {"AVI文件 (*.avi)", "*.avi"},
    {"MPEG文件 (*.mpg;*.mpeg)", "*.mpg;*.mpeg"},
    {"Windows Media文件 (*.wmv;*.asf;*.asx)", "*.wmv;*.asf;*.asx"},
    {"Dat文件 (*.dat)", "*.dat"},
    {"DVD光盘VOB文件 (*.vob)", "*.vob"},
    {"Real类型文件 (*.rm;*.rmvb)", "*.rm;*.rmvb"},
    {"MP4类型文件 (*.mp4;*.m4v)", "*.mp4;*.m4v"},
    {"手机3GP文件 (*.3gp;*.3gpp)", "*.3gp;*.3gpp"},
    {"手机3GPP2文件 (*.3g2;*.3gp2)", "*.3g2;*.3gp2"},
    {"Flash文件 (*.swf)", "*.swf"},
    {"Quick Time文件 (*.mov;*.qt)", "*.mov;*.qt"},
    {"FLV类型文件 (*.flv)", "*.flv"},
    {"Raw视频文件 (*.yuv)", "*.yuv"},
    {"Raw h261类型文件 (*.h261)", "*.h261"},
    {"Raw h264类型文件 (*.h264)", "*.h264"},
    {"MJPEG类型文件 (*.mjpeg)", "*.mjpeg"},
    {"MKV视频文件 (*.mkv)", "*.mkv"},
    {"DV视频文件 (*.dv;*.dif)", "*.dv;*.dif"},
};

std::string Utf8(const QString& text) { return text.toStdString(); }

QString UpperExtension(const std::string& path) {
  std::string ext = profiles::ExtractFileExt(path);
  if (!ext.empty()) ext.erase(0, 1);
  return QString::fromStdString(ext).toUpper();
}

}  // namespace

QString JobFileFilterText() {
  QString text;
  for (const FilterEntry& entry : kFilterEntries)
    text += QString::fromUtf8(entry.Label) + '|' + QString::fromUtf8(entry.Masks) + '|';
  return text;
}

QStringList JobFileNameFilters() {
  QStringList filters;
  for (const FilterEntry& entry : kFilterEntries) {
    QString masks = QString::fromUtf8(entry.Masks);
    masks.replace(';', ' ');
    filters << QString::fromUtf8(entry.Label) + " (" + masks.trimmed() + ')';
  }
  return filters;
}

JobCreation::JobCreation(TTranscoder& engine, JobTable& table, WindowState& state, QWidget* parent, Hooks hooks)
    : engine_(engine), table_(table), state_(state), parent_(parent), hooks_(std::move(hooks)) {}

void JobCreation::LogBlock(const std::string& message) {
  hooks_.Log("");
  hooks_.Log(message);
  hooks_.Log("");
}

bool JobCreation::EnsureLibraries() {
  if (engine_.AVLibLoaded()) return true;
  if (engine_.LoadAVLib(platform::Widen(state_.ProgramFolder + "LibAV"))) return true;
  hooks_.Log(engine_.LastErrMsg());
  return false;
}

bool JobCreation::TableFull() {
  if (table_.FreeSlot() >= 0) return false;
  Inform(parent_, kHintCaption, kTableFullMessage);
  return true;
}

bool JobCreation::ProbeInput(const std::string& file) {
  bool loaded = false;
  std::string reason;
  try {
    loaded = engine_.AVProbe().LoadFile(platform::Widen(file));
    reason = engine_.AVProbe().LastErrMsg();
  } catch (const std::exception& error) {
    reason = error.what();
  }
  engine_.AVProbe().CloseFile();
  if (loaded) return true;
  LogBlock("***文件打开失败 " + reason);
  Inform(parent_, kHintCaption, kNotMediaMessage + QString::fromStdString(file));
  return false;
}

bool JobCreation::OutputTaken(const std::string& name) const {
  if (profiles::PathExistsOnDisk(name)) return true;
  const std::wstring wide = platform::Widen(name);
  for (int i = 0; i < JobTable::kSlotCount; ++i) {
    const JobSlot& slot = table_.Slot(i);
    if (slot.SlotState == kSlotFull && slot.Output.FileName == wide) return true;
  }
  return false;
}

void JobCreation::AppendJob(const std::string& source, const std::string& output, const TInputOptions& slotInput,
                            const TOutputOptions& outputOptions) {
  JobRow row;
  row.InputPath = QString::fromStdString(source);
  row.InputFormat = UpperExtension(source);
  row.OutputFormat = UpperExtension(output);
  const int added = table_.Append(row, slotInput, outputOptions);
  LogBlock("装入成功.");
  if (added >= 0 && hooks_.RowAdded) hooks_.RowAdded(added);
}

void JobCreation::AddOneJob() {
  profiles::ResetPendingOptions(state_.Choice);
  if (!EnsureLibraries()) return;
  if (TableFull()) return;
  const QString chosen = Dialogs().OpenFile(parent_, JobFileNameFilters());
  if (chosen.isEmpty() || !QFileInfo(chosen).isFile()) return;
  const std::string source = Utf8(chosen);
  state_.SourceFileName = source;
  if (!hooks_.ChooseOutput()) return;

  if (!ProbeInput(source)) return;
  profiles::TJobRecords job;
  std::string error;
  const bool built = profiles::MakeSingleJob(
      state_.Choice, source, state_.ExistingFileAction,
      [this](const std::string& name) { return OutputTaken(name); }, job, error);
  const int task = engine_.AddTask(platform::Widen(source), &job.TaskInput);
  if (task < 0) {
    LogBlock("***打开文件失败: " + engine_.LastErrMsg());
    return;
  }
  state_.PreviewFile = source;
  if (!built || !engine_.SetOutputFile(task, job.Output.FileName, &job.Output)) {
    engine_.RemoveTask(task);
    LogBlock("***不能进行正常转换: " + (built ? engine_.LastErrMsg() : error));
    return;
  }
  AppendJob(source, job.OutputFileName, job.SlotInput, job.Output);
}

void JobCreation::AddManyJobs() {
  profiles::ResetPendingOptions(state_.Choice);
  if (!EnsureLibraries()) return;
  if (TableFull()) return;
  const QStringList chosen = Dialogs().OpenFiles(parent_, JobFileNameFilters());
  if (chosen.isEmpty()) return;
  AddFiles(chosen);
}

void JobCreation::AddFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  profiles::ResetPendingOptions(state_.Choice);
  if (!EnsureLibraries()) return;
  if (TableFull()) return;
  // The options dialog shows the first file to be processed.
  state_.SourceFileName = Utf8(files.last());
  if (!hooks_.ChooseOutput()) return;

  for (auto file = files.crbegin(); file != files.crend(); ++file) {
    const std::string source = Utf8(*file);
    if (!QFileInfo(*file).isFile()) break;
    if (TableFull()) break;
    state_.SourceFileName = source;
    if (!ProbeInput(source)) continue;
    profiles::TJobRecords job;
    std::string error;
    const bool built = profiles::MakeManyJob(
        state_.Choice, source, state_.OutputFolder, state_.ExistingFileAction,
        [this](const std::string& name) { return OutputTaken(name); }, job, error);
    const int task = engine_.AddTask(platform::Widen(source), &job.TaskInput);
    if (task < 0) {
      LogBlock("***打开文件失败: " + engine_.LastErrMsg());
      break;
    }
    if (!built || !engine_.SetOutputFile(task, job.Output.FileName, &job.Output)) {
      engine_.RemoveTask(task);
      LogBlock("***不能进行正常转换: " + (built ? engine_.LastErrMsg() : error));
      continue;
    }
    AppendJob(source, job.OutputFileName, job.SlotInput, job.Output);
  }
}

JobCreation::RebuildResult JobCreation::RebuildTasks() {
  RebuildResult result;
  EnsureFolder(state_.OutputFolder);
  engine_.ClearTasks();
  std::set<std::string> claimed;
  const profiles::TFileExists exists = [&claimed](const std::string& name) {
    return profiles::PathExistsOnDisk(name) || claimed.count(name) != 0;
  };
  for (int i = 0; i < JobTable::kSlotCount; ++i) {
    const JobSlot& slot = table_.Slot(i);
    if (slot.SlotState != kSlotFull) continue;
    const std::string input = platform::Utf8(slot.Input.FileName);
    if (hooks_.ClearLog) hooks_.ClearLog();
    const int task = engine_.AddTask(slot.Input.FileName, &slot.Input);
    if (task < 0) {
      result = {false, input, engine_.LastErrMsg()};
      return result;
    }
    std::string name = profiles::RebuiltOutputName(state_.OutputFolder, platform::Utf8(slot.Output.FileName),
                                                   state_.ExistingFileAction, exists);
    // Two jobs of one batch never write one file.
    if (claimed.count(name) != 0) {
      const std::string ext = profiles::ExtractFileExt(name);
      name = profiles::NumberedName(std::string_view(name).substr(0, name.size() - ext.size()), ext, exists);
    }
    claimed.insert(name);
    TOutputOptions output = slot.Output;
    output.FileName = platform::Widen(name);
    if (!engine_.SetOutputFile(task, output.FileName, &output)) {
      result = {false, input, engine_.LastErrMsg()};
      return result;
    }
  }
  return result;
}

}  // namespace app

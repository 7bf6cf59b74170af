// Turning the captions chosen in the options dialog into engine values, and
// the cut-range section of that dialog (preset from the input's duration,
// key filter, validation).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "profiles/job_choice.h"
#include "profiles/option_lists.h"

namespace profiles {

// Message box texts of the options dialog (caption kMessageCaption,
// information icon).
inline constexpr std::string_view kMessageCaption = "提示";
inline constexpr std::string_view kCutStopBeyondEndMessage = "截取时间设置错误，不允许停止时间大于时间长度！";
inline constexpr std::string_view kCutStopNotAfterStartMessage =
    "截取时间设置错误，不允许起始时间大于等于停止时间！";
inline constexpr std::string_view kDigitsOnlyMessage = "对不起，这里只能输入数字！";

// The six time edits of the cut range, in dialog order (Edit2..Edit7).
enum TCutTimeField {
  ctStartHours,
  ctStartMinutes,
  ctStartSeconds,
  ctStopHours,
  ctStopMinutes,
  ctStopSeconds
};
using TCutTimes = std::array<std::string, 6>;

// Everything of the options dialog that resolution reads.
struct TDialogChoices {
  std::array<std::string, olCount> Captions;  // selected caption per list, empty for an empty list
  bool HorizontalFlip = false;                // CheckBox2
  bool VerticalFlip = false;                  // CheckBox3
  bool Negative = false;                      // CheckBox4
  bool CutEnabled = false;                    // CheckBox1
  TCutTimes CutTimes;                         // Edit2..Edit7
  std::string ProbedDuration;                 // input duration in whole seconds, as text
  bool AudioOnlyMode = false;                 // video controls disabled
  std::string DiscTarget;                     // "dvd", "svcd", "vcd" or empty
};

enum TResolveStatus {
  rsOk,             // choice updated; the dialogs may close
  rsCutRangeError,  // one of the two cut-range messages; the dialogs stay open
  rsInvalidValue,   // a caption or time that is not a number; the dialogs stay open
  rsNoType,         // the lists are empty because no output type was chosen
};

struct TResolveResult {
  TResolveStatus Status = rsOk;
  std::string Message;  // Chinese text for the message box (empty on success)
  std::string Error;    // English text for the log (rsInvalidValue and rsNoType)
  TCutTimes CutTimes;   // the time edits as they should now read (empty ones become "00")
};

// Resolves the dialog's choices into choice.Pending (and, for disc presets,
// choice.OutputFileName; choice.CutRangeState). The choice is changed only
// when the result is rsOk: a failed confirmation leaves no half-resolved
// values behind for the next attempt.
TResolveResult ResolveOptions(const TDialogChoices& dialog, std::string_view outputFolder,
                              TJobChoice& choice);

// Engine volume (256 = unchanged) for a volume caption; -1 for an unknown one.
int VolumeForCaption(std::string_view caption);

// What the cut-range section shows for an input of the given duration (µs):
// the duration in whole seconds as text, start 00:00:00, stop at the end.
// An unknown or negative duration counts as 0 seconds.
struct TCutRangePreset {
  std::string ProbedDuration;
  TCutTimes CutTimes;
};
TCutRangePreset CutRangePresetFor(int64_t durationMicroseconds);

// Key filter of the six time edits: Backspace, Enter and the digits pass;
// for any other key the edit discards it and shows kDigitsOnlyMessage.
bool IsTimeEditKeyAllowed(char32_t key);

// The input format to force for an input file: "mpeg" for ".dat" (any
// letter case), else empty.
std::string ForcedInputFormatFor(std::string_view fileName);

}  // namespace profiles

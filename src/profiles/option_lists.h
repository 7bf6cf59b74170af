// The choice lists of the options dialog for each output type: the named
// item lists, which of them a type offers with which default row, the
// audio-only mode and the two places where a codec change replaces a list.
// Data plus functions; the dialog only shows what these return.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profiles {

// The ten drop-down lists of the options dialog, in fill order. The comment
// names the dialog control (objectName) that shows the list.
enum TOptionListIndex {
  olVideoCodec = 0,  // ComboBox1  "视频编码器："
  olVideoBitrate,    // ComboBox2  "视频比特率："
  olFrameSize,       // ComboBox3  "视频分辨率："
  olFrameRate,       // ComboBox4  "视频帧率："
  olAudioCodec,      // ComboBox5  "音频编码器："
  olAudioBitrate,    // ComboBox6  "音频比特率："
  olSampleRate,      // ComboBox7  "音频采样率："
  olAspect,          // ComboBox8  "视频缩放模式："
  olVolume,          // ComboBox9  "音量调节："
  olChannels,        // ComboBox10 "声道设置："
  olCount
};

// A named item list ("VC1", "AB5", ...). Items keep their repetitions.
struct TNamedList {
  std::string_view Name;
  std::vector<std::string_view> Items;
};

// The named list with that name, or nullptr.
const TNamedList* FindNamedList(std::string_view name);

// Every named list, family by family (VC, VB, VS, VF, AC, AB, AR, AP, VL, CH).
std::vector<const TNamedList*> NamedLists();

// One list of a type's assignment and the row selected after filling.
struct TListChoice {
  const TNamedList* List;
  int DefaultRow;
};

// The assignment of one output type: a list and default row per control.
struct TTypeAssignment {
  int32_t Code;
  std::array<TListChoice, olCount> Lists;
};

// The assignment for a code, or nullptr when the code names no type.
const TTypeAssignment* FindAssignment(int32_t code);

// The contents of one drop-down list as the dialog shows it.
struct TOptionList {
  std::vector<std::string> Items;
  int Selected = -1;  // -1 = nothing selected (empty list)

  // The caption of the selected item, or empty.
  std::string SelectedText() const;

  bool operator==(const TOptionList&) const = default;
};

using TOptionLists = std::array<TOptionList, olCount>;

// What filling the dialog for an output type yields.
struct TFilledOptions {
  bool HasType = false;  // false: the code names no type, all lists are empty
  TOptionLists Lists;
  // The catalogue's extras for the type:
  std::string FileExtension;  // for the output file name
  std::string TypeTag;        // OutputExt
  std::string FileFormat;     // container override for PendingOptions ("mov")
  std::string DiscTarget;     // "dvd", "svcd", "vcd" or empty
  bool AudioOnly = false;     // video controls disabled (audio-only mode)
};

// Fills the ten lists for an output type code with their default rows. The
// extras start cleared, so nothing carries over from an earlier type.
TFilledOptions FillOptionLists(int32_t code);

// The user picked item `row` of the video-codec list. Selects it and applies
// the codec-change rules of the type: for types 1..3 the bit-rate list, for
// types 100 and 101 the size list is replaced. Returns the list that was
// replaced, or nothing when no rule applied (or the row is out of range).
std::optional<TOptionListIndex> ChangeVideoCodec(int32_t code, TOptionLists& lists, int row);

// The selected caption of each list (empty for an empty list).
std::array<std::string, olCount> CurrentCaptions(const TOptionLists& lists);

}  // namespace profiles

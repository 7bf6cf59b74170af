#include "profiles/option_lists.h"

#include <algorithm>

#include "profiles/output_catalogue.h"

namespace profiles {
namespace {

// Size lists that a codec change puts in place for types 100 and 101.
// "740*567" is meant as written.
constexpr std::array<std::string_view, 4> kDivxSizes = {"128*96", "176*144", "352*288", "740*567"};
constexpr int kDivxSizesRow = 1;  // "176*144"
constexpr std::array<std::string_view, 11> kXvidSizes = {"112*96",  "128*96",  "160*112", "160*120",
                                                         "176*144", "192*144", "208*176", "220*176",
                                                         "320*208", "320*224", "320*240"};
constexpr int kXvidSizesRow = 4;  // "176*144"

constexpr int kMjpegBitrateRow = 8;  // VB15: "3000 kbps(高质量)"
constexpr int kOtherBitrateRow = 2;  // VB7: "528 kbps(中等质量)"

template <typename Items>
void Refill(TOptionList& list, const Items& items, int row) {
  list.Items.assign(items.begin(), items.end());
  list.Selected = row;
}

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> captions) {
  return std::find(captions.begin(), captions.end(), text) != captions.end();
}

}  // namespace

std::string TOptionList::SelectedText() const {
  if (Selected < 0 || Selected >= static_cast<int>(Items.size())) return {};
  return Items[Selected];
}

TFilledOptions FillOptionLists(int32_t code) {
  TFilledOptions filled;
  const TOutputType* type = FindOutputType(code);
  const TTypeAssignment* assignment = FindAssignment(code);
  if (type == nullptr || assignment == nullptr) return filled;

  filled.HasType = true;
  filled.FileExtension = type->FileExtension;
  filled.TypeTag = type->TypeTag;
  for (int i = 0; i < olCount; ++i) {
    const TListChoice& choice = assignment->Lists[i];
    Refill(filled.Lists[i], choice.List->Items, choice.DefaultRow);
  }
  filled.FileFormat = type->ContainerOverride;
  filled.DiscTarget = type->DiscType;
  filled.AudioOnly = type->AudioOnly;
  return filled;
}

std::optional<TOptionListIndex> ChangeVideoCodec(int32_t code, TOptionLists& lists, int row) {
  TOptionList& codecs = lists[olVideoCodec];
  if (row < 0 || row >= static_cast<int>(codecs.Items.size())) return std::nullopt;
  codecs.Selected = row;
  const std::string_view codec = codecs.Items[row];

  if (code >= 1 && code <= 3) {
    if (codec == "Mjpeg 视频压缩器") {
      Refill(lists[olVideoBitrate], FindNamedList("VB15")->Items, kMjpegBitrateRow);
      return olVideoBitrate;
    }
    if (IsOneOf(codec, {"MPEG4 视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 视频压缩器",
                        "Divx 5 视频压缩器", "H264/AVC高清视频压缩器"})) {
      Refill(lists[olVideoBitrate], FindNamedList("VB7")->Items, kOtherBitrateRow);
      return olVideoBitrate;
    }
  } else if (code == 100 || code == 101) {
    if (codec == "Divx 视频压缩器") {
      Refill(lists[olFrameSize], kDivxSizes, kDivxSizesRow);
      return olFrameSize;
    }
    if (IsOneOf(codec, {"XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 5 视频压缩器"})) {
      Refill(lists[olFrameSize], kXvidSizes, kXvidSizesRow);
      return olFrameSize;
    }
  }
  return std::nullopt;
}

std::array<std::string, olCount> CurrentCaptions(const TOptionLists& lists) {
  std::array<std::string, olCount> captions;
  for (int i = 0; i < olCount; ++i) captions[i] = lists[i].SelectedText();
  return captions;
}

}  // namespace profiles

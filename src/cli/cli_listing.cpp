#include "cli/cli_listing.h"

#include <array>
#include <map>
#include <utility>
#include <vector>

#include "cli/cli_options.h"
#include "profiles/option_lists.h"
#include "profiles/output_catalogue.h"

namespace cli {
namespace {

using namespace profiles;

// The dialog's label of each list, in list order.
constexpr std::array<std::string_view, olCount> kListLabels = {
    "视频编码器：", "视频比特率：", "视频分辨率：",   "视频帧率：", "音频编码器：",
    "音频比特率：", "音频采样率：", "视频缩放模式：", "音量调节：", "声道设置：",
};

std::string_view OptionFor(int list) { return ListOptionNames()[list].Option; }

void AppendItems(std::string& text, const TOptionList& list) {
  for (size_t row = 0; row < list.Items.size(); ++row)
    text += (int(row) == list.Selected ? "  * " : "    ") + list.Items[row] + "\n";
}

}  // namespace

std::string ListTypesText() {
  std::string text;
  for (const TOutputType& type : OutputTypes()) {
    text += std::to_string(type.Code) + "\t" + std::string(type.Caption) + "\t" +
            std::string(type.FileExtension) + "\t" + (IsChooserSelectable(type.Code) ? "yes" : "no") + "\n";
  }
  return text;
}

std::string ListOptionsText(int32_t code) {
  const TOutputType* type = FindOutputType(code);
  const TFilledOptions filled = FillOptionLists(code);
  if (!type || !filled.HasType) return {};

  std::string text = "Type " + std::to_string(code) + ": " + std::string(type->Caption) + " (" +
                     std::string(type->FileExtension) + ")\n";
  if (filled.AudioOnly)
    text += "Audio only: the video lists are fixed and --hflip, --vflip, --negate do not apply.\n";
  for (int list = 0; list < olCount; ++list) {
    text += "\n" + std::string(OptionFor(list)) + " (" + std::string(kListLabels[list]) + ")\n";
    AppendItems(text, filled.Lists[list]);
  }

  // Codec choices that replace a list, grouped by what they put in its place.
  std::map<std::pair<int, std::vector<std::string>>, std::pair<std::vector<std::string>, TOptionList>> groups;
  std::vector<std::pair<int, std::vector<std::string>>> order;
  const TOptionList& codecs = filled.Lists[olVideoCodec];
  for (size_t row = 0; row < codecs.Items.size(); ++row) {
    TOptionLists lists = filled.Lists;
    const std::optional<TOptionListIndex> replaced = ChangeVideoCodec(code, lists, int(row));
    if (!replaced || lists[*replaced] == filled.Lists[*replaced]) continue;
    std::vector<std::string> key = lists[*replaced].Items;
    key.push_back(std::to_string(lists[*replaced].Selected));
    const auto id = std::make_pair(int(*replaced), key);
    auto [entry, added] = groups.try_emplace(id);
    if (added) {
      order.push_back(id);
      entry->second.second = lists[*replaced];
    }
    entry->second.first.push_back(codecs.Items[row]);
  }
  for (const auto& id : order) {
    const auto& [captions, list] = groups[id];
    text += "\nwith --video-codec ";
    for (size_t i = 0; i < captions.size(); ++i)
      text += (i == 0 ? "" : i + 1 == captions.size() ? " or " : ", ") + ("'" + captions[i] + "'");
    text += ", " + std::string(OptionFor(id.first)) + " offers instead:\n";
    AppendItems(text, list);
  }
  return text;
}

}  // namespace cli

// The catalogue of output types: every type the format chooser lists, with
// the file extension, type tag and special handling it brings along.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace profiles {

// One tab page of the format chooser. The code of an entry is the tab's base
// plus the entry's zero-based row.
struct TOutputTab {
  int Page;                   // tab order, 0 = first (initially active)
  std::string_view Caption;   // tab caption
  std::string_view ListName;  // objectName of the list on that page
  int Base;
  int Rows;
  bool Enabled;  // only the first page takes clicks
};

struct TOutputType {
  int Code;  // OutputTypeCode = tab base + row
  int Page;  // tab page, see TOutputTab::Page
  int Row;
  int Icon;  // index into the tab's own image list
  std::string_view Caption;
  std::string_view FileExtension;      // what the output file name ends in
  std::string_view TypeTag;            // OutputExt: ".psp.mp4", ".ipod.mp4" or the extension
  std::string_view ContainerOverride;  // "mov" for the QuickTime types, else empty
  std::string_view DiscType;           // "dvd", "svcd", "vcd" or empty
  bool AudioOnly;
};

// Shown (caption "提示", information icon) when the chooser is clicked or
// confirmed while no row is selected.
inline constexpr std::string_view kChooseTypeMessage = "请选择一个要转换的类型,然后点击“下一步”按钮！";

// Number of catalogue entries.
constexpr int kOutputTypeCount = 81;

// The four tab pages in tab order.
std::span<const TOutputTab> OutputTabs();

// All entries, tab by tab in tab order, rows in list order.
std::span<const TOutputType> OutputTypes();

// The entries of one tab page in row order (empty for an unknown page).
std::span<const TOutputType> OutputTypesOfPage(int page);

// The entry for a code, or nullptr when the code names no type: the
// "nothing selected" values base - 1 (0, 99, 199, 499) and everything outside
// the four ranges.
const TOutputType* FindOutputType(int32_t code);

// The code a list selection yields: base + row, or base - 1 when no row is
// selected (row < 0). Returns -1 for an unknown page.
int32_t OutputTypeCodeFor(int page, int row);

// Whether the chooser can select the code: every row of the enabled first
// page (500..526) and row 0 of each disabled page (100, 1, 200), which a
// tab switch selects.
bool IsChooserSelectable(int32_t code);

}  // namespace profiles

#include "profiles/output_catalogue.h"

#include <array>

namespace profiles {
namespace {

constexpr std::array<TOutputTab, 4> kTabs = {{
    {0, "MPEG4与各种常用视频格式", "TypeList4", 500, 27, true},
    {1, "智能设备常用视频格式", "TypeList2", 100, 20, false},
    {2, "更多电脑常用视频格式", "TypeList1", 1, 24, false},
    {3, "更多音频格式", "TypeList3", 200, 10, false},
}};

// Code, page, row, icon, caption, file extension, type tag, container
// override, disc type, audio only. Grouped by page in tab order.
constexpr std::array<TOutputType, kOutputTypeCount> kTypes = {{
    {500, 0, 0, 0, "标准MPEG4视频格式", ".mp4", ".mp4", "", "", false},
    {501, 0, 1, 1, "高清MPEG4视频格式", ".mp4", ".mp4", "", "", false},
    {502, 0, 2, 2, "移动设备常用MPEG4视频格式", ".mp4", ".mp4", "", "", false},
    {503, 0, 3, 3, "电脑MPEG-4视频格式", ".mp4", ".mp4", "", "", false},
    {504, 0, 4, 4, "iPhone视频格式", ".mp4", ".ipod.mp4", "", "", false},
    {505, 0, 5, 5, "iPad视频格式", ".mp4", ".psp.mp4", "", "", false},
    {506, 0, 6, 6, "iPod视频格式", ".mp4", ".ipod.mp4", "", "", false},
    {507, 0, 7, 7, "PSP视频格式", ".mp4", ".psp.mp4", "", "", false},
    {508, 0, 8, 8, "手机MPEG4视频格式", ".mp4", ".mp4", "", "", false},
    {509, 0, 9, 9, "MP4视频格式（H.264编码）", ".avi", ".avi", "", "", false},
    {510, 0, 10, 10, "MP4/MP5播放器视频格式", ".mp4", ".mp4", "", "", false},
    {511, 0, 11, 11, "MPEG-2视频格式", ".mpg", ".mpg", "", "", false},
    {512, 0, 12, 12, "AVI视频格式", ".avi", ".avi", "", "", false},
    {513, 0, 13, 13, "AVI视频格式(XviD编码)", ".avi", ".avi", "", "", false},
    {514, 0, 14, 14, "HD高清AVI视频格式", ".avi", ".avi", "", "", false},
    {515, 0, 15, 15, "SWF视频格式", ".swf", ".swf", "", "", false},
    {516, 0, 16, 16, "FLV视频格式", ".flv", ".flv", "", "", false},
    {517, 0, 17, 17, "HD高清DVD视频格式", ".mpg", ".mpg", "", "dvd", false},
    {518, 0, 18, 18, "VCD视频格式", ".mpg", ".mpg", "", "vcd", false},
    {519, 0, 19, 19, "VOB视频格式", ".vob", ".vob", "", "", false},
    {520, 0, 20, 20, "WMV视频格式", ".wmv", ".wmv", "", "", false},
    {521, 0, 21, 21, "MKV视频格式", ".mkv", ".mkv", "", "", false},
    {522, 0, 22, 22, "MPG视频格式", ".mpg", ".mpg", "", "", false},
    {523, 0, 23, 23, "MOV高清视频格式", ".mov", ".mov", "mov", "", false},
    {524, 0, 24, 24, "MP3音频格式", ".mp3", ".mp3", "", "", true},
    {525, 0, 25, 25, "WMA音频格式", ".wma", ".wma", "", "", true},
    {526, 0, 26, 26, "WAVE/CD音频格式", ".wav", ".wav", "", "", true},
    {100, 1, 0, 0, "智能手机视频格式", ".avi", ".avi", "", "", false},
    {101, 1, 1, 1, "H.264编码手机视频格式", ".avi", ".avi", "", "", false},
    {102, 1, 2, 2, "安卓MP4手机视频格式", ".mp4", ".mp4", "", "", false},
    {103, 1, 3, 3, "手机AVI视频格式", ".avi", ".avi", "", "", false},
    {104, 1, 4, 4, "智能手机常用视频格式", ".mp4", ".mp4", "", "", false},
    {105, 1, 5, 5, "HD高清手机视频格式", ".mp4", ".mp4", "", "", false},
    {106, 1, 6, 6, "手机MOV视频格式", ".mov", ".mov", "mov", "", false},
    {107, 1, 7, 7, "手机MKV视频格式", ".mkv", ".mkv", "", "", false},
    {108, 1, 8, 8, "平板电脑H.264视频格式", ".avi", ".avi", "", "", false},
    {109, 1, 9, 9, "平板电脑MPEG-4视频格式", ".mp4", ".mp4", "", "", false},
    {110, 1, 10, 10, "平板AVI视频格式", ".avi", ".avi", "", "", false},
    {111, 1, 11, 11, "平板电脑常用MP4视频", ".mp4", ".mp4", "", "", false},
    {112, 1, 12, 12, "其他设备MP4视频格式", ".mp4", ".mp4", "", "", false},
    {113, 1, 13, 13, "高清电视H.264视频格式", ".mp4", ".mp4", "", "", false},
    {114, 1, 14, 14, "智能电视AVI视频格式", ".avi", ".avi", "", "", false},
    {115, 1, 15, 15, "4K高清智能电视视频格式", ".avi", ".avi", "", "", false},
    {116, 1, 16, 16, "智能电视MP4视频格式", ".mp4", ".mp4", "", "", false},
    {117, 1, 17, 17, "FHD全高清视频格式", ".mkv", ".mkv", "", "", false},
    {118, 1, 18, 18, "网络机顶盒MP4视频格式", ".mp4", ".mp4", "", "", false},
    {119, 1, 19, 19, "网络机顶盒AVI视频格式", ".avi", ".avi", "", "", false},
    {1, 2, 0, 0, "电脑上使用的AVI/MPEG视频", ".avi", ".avi", "", "", false},
    {2, 2, 1, 1, "MP4机上使用的AVI/MPEG视频", ".avi", ".avi", "", "", false},
    {3, 2, 2, 2, "支持MPEG4的DVD影碟机使用的AVI/MPEG视频", ".avi", ".avi", "", "", false},
    {4, 2, 3, 3, "Sony(索尼) PSP MP4视频", ".mp4", ".psp.mp4", "", "", false},
    {5, 2, 4, 4, "Sony(索尼) PS3 MP4视频", ".mp4", ".psp.mp4", "", "", false},
    {6, 2, 5, 5, "Apple(苹果) ipod video MP4视频", ".mp4", ".ipod.mp4", "", "", false},
    {7, 2, 6, 6, "Apple(苹果) iPod Touch/Classic/Nano MP4视频", ".mp4", ".ipod.mp4", "", "", false},
    {8, 2, 7, 7, "Apple(苹果) iPhone MP4视频", ".mp4", ".ipod.mp4", "", "", false},
    {9, 2, 8, 8, "Apple(苹果) TV MP4视频", ".mp4", ".ipod.mp4", "", "", false},
    {10, 2, 9, 12, "SONY(索尼)M70/U50系列普通MPEG4视频", ".mp4", ".mp4", "", "", false},
    {11, 2, 10, 13, "SONY(索尼)A800/M70/U50系列高清MPEG4视频", ".mp4", ".mp4", "", "", false},
    {12, 2, 11, 14, "电脑上使用的MP4视频", ".mp4", ".mp4", "", "", false},
    {13, 2, 12, 15, "SWF视频格式(Flash视频文件)", ".swf", ".swf", "", "", false},
    {14, 2, 13, 16, "FLV视频格式(视频网站专用的FLV文件)(如土豆网)", ".flv", ".flv", "", "", false},
    {15, 2, 14, 17, "RM/RMVB视频格式", ".rm", ".rm", "", "", false},
    {16, 2, 15, 18, "MKV网络视频格式", ".mkv", ".mkv", "", "", false},
    {17, 2, 16, 19, "MOV视频格式", ".mov", ".mov", "mov", "", false},
    {18, 2, 17, 20, "MPEG/MPG视频格式", ".mpg", ".mpg", "", "", false},
    {19, 2, 18, 21, "DVD影碟视频格式", ".mpg", ".mpg", "", "dvd", false},
    {20, 2, 19, 22, "SVCD影碟视频格式", ".mpg", ".mpg", "", "svcd", false},
    {21, 2, 20, 23, "VCD影碟视频格式", ".mpg", ".mpg", "", "vcd", false},
    {22, 2, 21, 24, "WMV微软视频格式", ".wmv", ".wmv", "", "", false},
    {23, 2, 22, 37, "ASF视频格式", ".asf", ".asf", "", "", false},
    {24, 2, 23, 36, "Motion Jpeg(MJpeg)视频格式", ".avi", ".avi", "", "", false},
    {200, 3, 0, 0, "MP3音频格式", ".mp3", ".mp3", "", "", true},
    {201, 3, 1, 1, "WMA音频格式", ".wma", ".wma", "", "", true},
    {202, 3, 2, 2, "CD/WAV音频格式", ".wav", ".wav", "", "", true},
    {203, 3, 3, 3, "AAC音频格式", ".m4a", ".m4a", "", "", true},
    {204, 3, 4, 4, "AC3音频格式", ".ac3", ".ac3", "", "", true},
    {205, 3, 5, 5, "OGG音频格式", ".ogg", ".ogg", "", "", true},
    {206, 3, 6, 6, "MP2音频格式", ".mp2", ".mp2", "", "", true},
    {207, 3, 7, 7, "FLAC音频格式", ".flac", ".flac", "", "", true},
    {208, 3, 8, 8, "RM音频格式", ".rm", ".rm", "", "", true},
    {209, 3, 9, 9, "AMR（手机）音频格式", ".amr", ".amr", "", "", true},
}};

// Index of the first entry of each page inside kTypes.
constexpr std::array<int, 4> kPageStart = {0, 27, 47, 71};

}  // namespace

std::span<const TOutputTab> OutputTabs() { return kTabs; }

std::span<const TOutputType> OutputTypes() { return kTypes; }

std::span<const TOutputType> OutputTypesOfPage(int page) {
  if (page < 0 || page >= static_cast<int>(kTabs.size())) return {};
  return std::span<const TOutputType>(kTypes).subspan(kPageStart[page], kTabs[page].Rows);
}

const TOutputType* FindOutputType(int32_t code) {
  for (const TOutputTab& tab : kTabs) {
    if (code >= tab.Base && code < tab.Base + tab.Rows)
      return &kTypes[kPageStart[tab.Page] + (code - tab.Base)];
  }
  return nullptr;
}

int32_t OutputTypeCodeFor(int page, int row) {
  if (page < 0 || page >= static_cast<int>(kTabs.size())) return -1;
  const TOutputTab& tab = kTabs[page];
  if (row < 0 || row >= tab.Rows) return tab.Base - 1;
  return tab.Base + row;
}

bool IsChooserSelectable(int32_t code) {
  const TOutputType* type = FindOutputType(code);
  if (type == nullptr) return false;
  return kTabs[type->Page].Enabled || type->Row == 0;
}

}  // namespace profiles

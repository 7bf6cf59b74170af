#include "engine/option_names.h"

#include <string_view>

#include "engine/engine_util.h"
#include "media/library_tables.h"

namespace engine {
namespace {

// The names ParseOption handles itself (options_table.cpp), each between
// spaces; the rest go to the libraries' tables.
constexpr std::string_view kOwnNames =
    " L ab absf ac acodec adrift_threshold aframes alang an apre aq ar aspect async atag b benchmark "
    "bsfs codecs copyinkf copyts cropbottom cropleft cropright croptop dc deinterlace dframes "
    "dts_delta_threshold dump f filters force_fps formats fpre fs h hex i inter_matrix intra "
    "intra_matrix isync itsoffset itsscale loglevel loop_input loop_output map map_meta_data "
    "me_threshold metadata muxdelay muxpreload newaudio newsubtitle newvideo padbottom padcolor "
    "padleft padright padtop pass passlogfile pix_fmt programid protocols psnr qphist qscale r "
    "rc_override re s sameq sample_fmt sbsf scodec shortest slang sn spre ss stag streamid t target "
    "threads timelimit timestamp top tvstd v vb vbsf vc vcodec vdt version vf vfilters vframes "
    "vglobal vhook vlang vn vol vpre vstats vstats_file vsync vtag xerror y ";

bool IsOwnName(const std::string& name) {
  return name.find(' ') == std::string::npos && kOwnNames.find(" " + name + " ") != std::string_view::npos;
}

bool InClass(const AVClass* cls, const char* name) {
  return cls && lib::av_opt_find2(static_cast<void*>(&cls), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ,
                                  nullptr) != nullptr;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> OptionTextLines(const std::string& input) {
  std::string text = Trim(input);
  std::string normal;
  normal.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      normal += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text.compare(i, 6, "<CRLF>") == 0) {
      normal += '\n';
      i += 5;
    } else {
      normal += text[i];
    }
  }
  std::vector<std::pair<std::string, std::string>> lines;
  size_t pos = 0;
  while (pos < normal.size()) {
    size_t end = normal.find('\n', pos);
    std::string line = normal.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? normal.size() : end + 1;
    size_t eq = line.find('=');
    std::string name = eq == std::string::npos ? line : line.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    lines.emplace_back(Lower(name), value);
  }
  return lines;
}

bool IsKnownOptionName(const std::string& name) {
  if (name.empty()) return false;
  if (IsOwnName(name)) return true;
  const char* n = name.c_str();
  const AVClass* codec = lib::avcodec_get_class();
  if (InClass(codec, n) || InClass(lib::avformat_get_class(), n) || InClass(lib::sws_get_class(), n))
    return true;
  if ((name[0] == 'a' || name[0] == 'v' || name[0] == 's') && name.size() > 1 && InClass(codec, n + 1))
    return true;
  void* it = nullptr;
  while (const AVCodec* c = lib::av_codec_iterate(&it))
    if (lib::av_codec_is_encoder(c) && InClass(c->priv_class, n)) return true;
  it = nullptr;
  while (const AVOutputFormat* f = lib::av_muxer_iterate(&it))
    if (InClass(f->priv_class, n)) return true;
  return false;
}

std::string RecordFieldReplacing(const TOutputOptions& r, const std::string& name) {
  // In the order ApplyOutputOptions applies them (options_text.cpp).
  if (name == "acodec" && !r.AudioCodec.empty()) return "its audio codec";
  if (name == "vcodec" && !r.VideoCodec.empty()) return "its video codec";
  if (name == "scodec" && !r.SubtitleCodec.empty()) return "its subtitle codec";
  if (name == "apre" && !r.AudioPreset.empty()) return "its audio preset";
  if (name == "vpre" && !r.VideoPreset.empty()) return "its video preset";
  if (name == "spre" && !r.SubtitlePreset.empty()) return "its subtitle preset";
  if (name == "s" && !r.FrameSize.empty()) return "its frame size";
  if ((name == "vf" || name == "vfilters") && !r.VideoFilters.empty()) return "its video filters";
  if (name == "f" && !r.FileFormat.empty()) return "its file format";
  if (name == "packetsize" && r.PacketSize > 0) return "its packet size";
  if (name == "muxrate" && r.MuxRate > 0) return "its mux rate";
  if (name == "muxdelay" && r.MuxDelay > 0) return "its mux delay";
  if (name == "muxpreload" && r.MuxPreload > 0) return "its mux preload";
  if (name == "vol" && r.AudioVolume >= 0) return "its volume";
  if (name == "ac" && r.AudioChannels > 0) return "its channel count";
  if (name == "ar" && r.AudioSampleRate > 0) return "its sample rate";
  if (name == "ab" && r.AudioBitrate > 0) return "its audio bit rate";
  if (name == "abt" && r.AudioBitrateTolerance > 0) return "its audio bit rate tolerance";
  if (name == "alang") return "its audio language";
  if (name == "async") return "its audio sync method";
  if (name == "atag" && !r.AudioTag.empty()) return "its audio tag";
  if (name == "r" && !r.FrameRate.empty()) return "its frame rate";
  if (name == "aspect" && !r.AspectRatio.empty()) return "its aspect ratio";
  if (name == "croptop" && r.CropTop > 0) return "its crop";
  if (name == "cropbottom" && r.CropBottom > 0) return "its crop";
  if (name == "cropleft" && r.CropLeft > 0) return "its crop";
  if (name == "cropright" && r.CropRight > 0) return "its crop";
  if (name == "g" && r.GopSize > 0) return "its GOP size";
  if ((name == "b" || name == "vb") && r.VideoBitrate > 0) return "its video bit rate";
  if (name == "maxrate" && r.MaxRate > 0) return "its maximum bit rate";
  if (name == "minrate" && r.MinRate > 0) return "its minimum bit rate";
  if (name == "bt" && r.VideoBitrateTolerance > 0) return "its video bit rate tolerance";
  if (name == "bufsize" && r.BufSize > 0) return "its buffer size";
  if (name == "vsync") return "its video sync method";
  if (name == "vtag" && !r.VideoTag.empty()) return "its video tag";
  if (name == "vlang") return "its video language";
  if (name == "slang") return "its subtitle language";
  if (name == "isync") return "its input sync";
  if (name == "ss" && r.StartTime != kUnsetTime) return "its start time";
  if (name == "t" && r.RecordingTime != kUnsetTime) return "its duration";
  if (name == "timestamp" && r.Metadata.Timestamp >= 0) return "its time stamp";
  return std::string();
}

}  // namespace engine

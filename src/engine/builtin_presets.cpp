// The built-in libx264 presets. The option names are those the bound
// libx264 wrapper accepts today: generic codec options (subq, refs, bf, g,
// qmin ...) and the encoder's private options (coder, partitions,
// me_method, b_strategy, direct-pred, mixed-refs, weightb, 8x8dct,
// fast-pskip, wpredp, rc-lookahead, mbtree, aq-mode ...). The old
// "flags2" switches became private boolean options, "directpred" became
// "direct-pred" (1 = spatial, 3 = auto) and the partition flags a list.
//
// The speed entries follow the encoder's own speed presets; a first-pass
// entry keeps its preset's settings but analyses the way the encoder's fast
// first pass does (one reference, no 8x8 transform, no inter partitions,
// diamond search, at most sub-pel level 2, no trellis).
#include "engine/builtin_presets.h"

#include <algorithm>

#include "engine/engine_util.h"

namespace engine {
namespace {

// The entries whose content is fixed line by line.
constexpr const char* kDefault =
    "coder=1\n"
    "flags=+loop\n"
    "cmp=+chroma\n"
    "partitions=i8x8,i4x4,p8x8,b8x8\n"
    "me_method=hex\n"
    "subq=7\n"
    "me_range=16\n"
    "g=250\n"
    "keyint_min=25\n"
    "sc_threshold=40\n"
    "i_qfactor=0.71\n"
    "b_strategy=1\n"
    "qcomp=0.6\n"
    "qmin=10\n"
    "qmax=51\n"
    "qdiff=4\n"
    "bf=3\n"
    "refs=3\n"
    "direct-pred=spatial\n"
    "trellis=1\n"
    "mixed-refs=1\n"
    "weightb=1\n"
    "8x8dct=1\n"
    "fast-pskip=1\n"
    "wpredp=2";

constexpr const char* kHq =
    "coder=1\n"
    "flags=+loop\n"
    "cmp=+chroma\n"
    "partitions=i8x8,i4x4,p8x8,b8x8\n"
    "me_method=umh\n"
    "subq=8\n"
    "me_range=16\n"
    "g=250\n"
    "keyint_min=25\n"
    "sc_threshold=40\n"
    "i_qfactor=0.71\n"
    "b_strategy=2\n"
    "qcomp=0.6\n"
    "qmin=10\n"
    "qmax=51\n"
    "qdiff=4\n"
    "bf=3\n"
    "refs=4\n"
    "direct-pred=auto\n"
    "trellis=1\n"
    "weightb=1\n"
    "mixed-refs=1\n"
    "8x8dct=1\n"
    "fast-pskip=1\n"
    "wpredp=2";

constexpr const char* kBaseline =
    "coder=0\n"
    "bf=0\n"
    "weightb=0\n"
    "8x8dct=0\n"
    "wpredp=0";

constexpr const char* kMain = "8x8dct=0";

constexpr const char* kIpod320 =
    "coder=0\n"
    "bf=0\n"
    "weightb=0\n"
    "8x8dct=0\n"
    "level=13\n"
    "maxrate=768000\n"
    "bufsize=3000000\n"
    "wpredp=0";

constexpr const char* kIpod640 =
    "coder=0\n"
    "bf=0\n"
    "refs=1\n"
    "weightb=0\n"
    "8x8dct=0\n"
    "level=30\n"
    "maxrate=10000000\n"
    "bufsize=10000000\n"
    "wpredp=0";

// The settings in which the speed entries differ.
struct TSpeed {
  const char* Name;
  int Coder;               // 0 CAVLC, 1 CABAC
  const char* Partitions;  // "none", "all" or a list
  const char* MeMethod;    // dia, hex, umh, esa, tesa
  int SubQ;
  int MeRange;
  int BFrames;
  int BStrategy;
  int Refs;
  const char* DirectPred;
  int Trellis;
  int WeightP;             // 0 none, 1 simple, 2 smart
  bool MixedRefs;
  bool Dct8x8;
  bool WeightB;
  bool FastPSkip;
  int AqMode;
  bool MbTree;
  int Lookahead;
  int SceneCut;
  bool Deblock;
};

constexpr const char* kInter = "i8x8,i4x4,p8x8,b8x8";

// name coder partitions me subq merange bf bstrat refs direct trellis weightp
//      mixed 8x8 weightb fastpskip aq mbtree lookahead scenecut deblock
constexpr TSpeed kSpeeds[] = {
    {"ultrafast", 0, "none", "dia", 0, 16, 0, 0, 1, "spatial", 0, 0, false, false, false, true, 0, false, 0, 0, false},
    {"superfast", 1, "i8x8,i4x4", "dia", 1, 16, 3, 1, 1, "spatial", 0, 1, false, true, true, true, 1, false, 0, 40, true},
    {"veryfast", 1, kInter, "hex", 2, 16, 3, 1, 1, "spatial", 0, 1, false, true, true, true, 1, true, 10, 40, true},
    {"faster", 1, kInter, "hex", 4, 16, 3, 1, 2, "spatial", 1, 1, false, true, true, true, 1, true, 20, 40, true},
    {"fast", 1, kInter, "hex", 6, 16, 3, 1, 2, "spatial", 1, 1, true, true, true, true, 1, true, 30, 40, true},
    {"medium", 1, kInter, "hex", 7, 16, 3, 1, 3, "spatial", 1, 2, true, true, true, true, 1, true, 40, 40, true},
    {"slow", 1, kInter, "umh", 8, 16, 3, 2, 5, "auto", 1, 2, true, true, true, true, 1, true, 50, 40, true},
    {"slower", 1, "all", "umh", 9, 16, 3, 2, 8, "auto", 2, 2, true, true, true, true, 1, true, 60, 40, true},
    {"veryslow", 1, "all", "umh", 10, 24, 8, 2, 16, "auto", 2, 2, true, true, true, true, 1, true, 60, 40, true},
    {"placebo", 1, "all", "tesa", 11, 24, 16, 2, 16, "auto", 2, 2, true, true, true, false, 1, true, 60, 40, true},
    // Not speed presets of the encoder: "normal" sits between fast and
    // medium, "max" is the most thorough search short of placebo's.
    {"normal", 1, kInter, "hex", 6, 16, 3, 1, 2, "spatial", 0, 2, true, true, true, true, 1, true, 30, 40, true},
    {"max", 1, "all", "esa", 10, 24, 8, 2, 16, "auto", 2, 2, true, true, true, false, 1, true, 60, 40, true},
};

const TSpeed& Speed(const char* name) {
  for (const TSpeed& s : kSpeeds)
    if (std::string(s.Name) == name) return s;
  return kSpeeds[5];  // medium; every caller names an entry of the table
}

// The encoder's fast first pass applied to a speed entry.
TSpeed FirstPass(TSpeed s) {
  s.Refs = 1;
  s.Dct8x8 = false;
  s.Partitions = std::string(s.Partitions) == "none" ? "none" : "i4x4";
  s.MeMethod = "dia";
  s.SubQ = std::min(s.SubQ, 2);
  s.Trellis = 0;
  s.FastPSkip = true;
  return s;
}

std::string SpeedText(const TSpeed& s, bool lossless) {
  std::string t;
  auto line = [&t](const std::string& text) { t += (t.empty() ? "" : "\n") + text; };
  line(Format("coder=%d", s.Coder));
  line(Format("partitions=%s", s.Partitions));
  line(Format("me_method=%s", s.MeMethod));
  line(Format("subq=%d", s.SubQ));
  line(Format("me_range=%d", s.MeRange));
  line("g=250");
  line("keyint_min=25");
  line(Format("sc_threshold=%d", s.SceneCut));
  line("i_qfactor=0.71");
  line(Format("b_strategy=%d", s.BStrategy));
  line("qcomp=0.6");
  line(lossless ? "qmin=0" : "qmin=10");
  line("qmax=51");
  line("qdiff=4");
  line(Format("bf=%d", s.BFrames));
  line(Format("refs=%d", s.Refs));
  line(Format("direct-pred=%s", s.DirectPred));
  line(Format("trellis=%d", s.Trellis));
  line(Format("mixed-refs=%d", s.MixedRefs ? 1 : 0));
  line(Format("weightb=%d", s.WeightB ? 1 : 0));
  line(Format("8x8dct=%d", s.Dct8x8 ? 1 : 0));
  line(Format("fast-pskip=%d", s.FastPSkip ? 1 : 0));
  line(Format("wpredp=%d", s.WeightP));
  line(Format("aq-mode=%d", s.AqMode));
  line(Format("mbtree=%d", s.MbTree ? 1 : 0));
  line(Format("rc-lookahead=%d", s.Lookahead));
  if (!s.Deblock) line("x264-params=no-deblock=1");
  if (lossless) line("qp=0");
  return t;
}

std::vector<TBuiltinPreset> MakeTable() {
  std::vector<TBuiltinPreset> table = {
      {"libx264-default", kDefault}, {"libx264-hq", kHq},           {"libx264-baseline", kBaseline},
      {"libx264-main", kMain},       {"libx264-ipod320", kIpod320}, {"libx264-ipod640", kIpod640},
  };
  for (const char* speed : {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower",
                            "veryslow", "placebo"}) {
    table.push_back({std::string("libx264-") + speed, SpeedText(Speed(speed), false)});
    table.push_back({std::string("libx264-") + speed + "_firstpass", SpeedText(FirstPass(Speed(speed)), false)});
  }
  table.push_back({"libx264-normal", SpeedText(Speed("normal"), false)});
  table.push_back({"libx264-max", SpeedText(Speed("max"), false)});
  // First passes for a second pass with libx264-hq: the fast one analyses
  // the way the encoder's fast first pass does, the slow one like the pass
  // that follows.
  TSpeed hq = Speed("slow");
  hq.SubQ = 8;
  hq.Refs = 4;
  hq.Lookahead = 40;
  hq.Partitions = kInter;
  table.push_back({"libx264-fastfirstpass", SpeedText(FirstPass(hq), false)});
  table.push_back({"libx264-slowfirstpass", SpeedText(hq, false)});
  for (const char* speed : {"ultrafast", "fast", "medium", "slow", "slower"})
    table.push_back({std::string("libx264-lossless_") + speed, SpeedText(Speed(speed), true)});
  table.push_back({"libx264-lossless_max", SpeedText(Speed("max"), true)});
  std::sort(table.begin(), table.end(),
            [](const TBuiltinPreset& a, const TBuiltinPreset& b) { return a.Name < b.Name; });
  return table;
}

}  // namespace

const std::vector<TBuiltinPreset>& BuiltinPresets() {
  static const std::vector<TBuiltinPreset> table = MakeTable();
  return table;
}

const TBuiltinPreset* FindBuiltinPreset(const std::string& name) {
  const std::string key = Lower(name);
  for (const TBuiltinPreset& p : BuiltinPresets())
    if (p.Name == key) return &p;
  return nullptr;
}

}  // namespace engine

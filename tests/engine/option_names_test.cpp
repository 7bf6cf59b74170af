// Which option names the engine acts on, and which lines of an output's
// option text its record replaces, checked against what applying the
// record really leaves in the option state.
#include "engine/option_names.h"

#include <functional>

#include "context_fixture.h"

namespace {

class OptionNamesTest : public enginetest::ContextTest {};

TEST_F(OptionNamesTest, KnownNamesAreTheEnginesAndTheLibraries) {
  for (const char* name : {"vcodec", "ss", "t", "vol", "newaudio", "b", "g", "bufsize", "ab", "vb", "flags",
                           "probesize", "sws_flags", "movflags"})
    EXPECT_TRUE(engine::IsKnownOptionName(name)) << name;
  if (testsupport::EncoderAvailable("libx264")) {
    EXPECT_TRUE(engine::IsKnownOptionName("crf"));
  }
  for (const char* name : {"nosuchoption", "", "VCODEC", "x"})
    EXPECT_FALSE(engine::IsKnownOptionName(name)) << name;
}

TEST_F(OptionNamesTest, ReplacedLinesAreThoseTheRecordOverrides) {
  struct Case {
    const char* line;
    std::function<void(TOutputOptions&)> setField;
    std::function<bool(const TOptionState&)> textTookEffect;
  };
  const Case cases[] = {
      {"ss=5", [](TOutputOptions& r) { r.StartTime = 0; },
       [](const TOptionState& o) { return o.StartTime == 5000000; }},
      {"t=3", [](TOutputOptions& r) { r.RecordingTime = 1000000; },
       [](const TOptionState& o) { return o.RecordingTime == 3000000; }},
      {"ar=22050", [](TOutputOptions& r) { r.AudioSampleRate = 44100; },
       [](const TOptionState& o) { return o.AudioSampleRate == 22050; }},
      {"vol=512", [](TOutputOptions& r) { r.AudioVolume = 256; },
       [](const TOptionState& o) { return o.AudioVolume == 512; }},
      {"r=10", [](TOutputOptions& r) { r.FrameRate = "25"; },
       [](const TOptionState& o) { return o.FrameRate.num == 10 && o.FrameRate.den == 1; }},
      {"alang=eng", nullptr, [](const TOptionState& o) { return o.AudioLanguage == "eng"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    for (bool set : {false, true}) {
      if (set && !c.setField) continue;
      TOutputOptions record;
      record.ExtraOptions = c.line;
      if (set) c.setField(record);
      task.ResetTask();
      task.ApplyOutputOptions(record);
      const std::string name = std::string(c.line).substr(0, std::string(c.line).find('='));
      const bool replaced = !engine::RecordFieldReplacing(record, name).empty();
      EXPECT_EQ(replaced, !c.textTookEffect(task.Options())) << (set ? "field set" : "field unset");
    }
  }
}

}  // namespace

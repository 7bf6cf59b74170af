// Option values far outside what the libraries' fields hold, as option text
// or record fields may carry them: the task holds them to the field's range
// (or refuses them) instead of overflowing a conversion.
#include <climits>
#include <cmath>

#include "context_fixture.h"

namespace {

using enginetest::ContextTest;

class ExtremeOptionValueTest : public ContextTest {
 protected:
  int64_t Preload(int file) {
    const AVDictionaryEntry* e =
        lib::av_dict_get(task.OutputFiles()[size_t(file)].MuxerOptions, "preload", nullptr, 0);
    return e ? std::strtoll(e->value, nullptr, 10) : -1;
  }
};

TEST_F(ExtremeOptionValueTest, MuxDelayAndPreloadAreHeldToTheIntRange) {
  ASSERT_TRUE(AddOutput(testsupport::TempPath("huge_delay.mpg"), "muxdelay=1e30<CRLF>muxpreload=inf"))
      << task.LastOpenError();
  EXPECT_EQ(task.OutputFormatContext(0)->max_delay, INT_MAX);
  EXPECT_EQ(Preload(0), INT_MAX);

  TOutputOptions record;
  record.MuxDelay = 1e30f;
  record.MuxPreload = 4000.0f;  // beyond INT_MAX microseconds
  ASSERT_TRUE(AddOutput(testsupport::TempPath("huge_delay_record.mpg"), &record)) << task.LastOpenError();
  EXPECT_EQ(task.OutputFormatContext(1)->max_delay, INT_MAX);
  EXPECT_EQ(Preload(1), INT_MAX);

  ASSERT_TRUE(AddOutput(testsupport::TempPath("nan_delay.mpg"), "muxdelay=nan")) << task.LastOpenError();
  EXPECT_EQ(task.OutputFormatContext(2)->max_delay, 0);
  ASSERT_TRUE(AddOutput(testsupport::TempPath("negative_delay.mpg"), "muxdelay=-inf"))
      << task.LastOpenError();
  EXPECT_EQ(task.OutputFormatContext(3)->max_delay, INT_MIN);
  // Ordinary values are unchanged by the limit.
  ASSERT_TRUE(AddOutput(testsupport::TempPath("plain_delay.mpg"), "muxdelay=0.7<CRLF>muxpreload=0.5"))
      << task.LastOpenError();
  EXPECT_EQ(task.OutputFormatContext(4)->max_delay, 700000);
  EXPECT_EQ(Preload(4), 500000);
}

}  // namespace

namespace {

using enginetest::ContextTest;

class ExtremeStreamValueTest : public ContextTest {
 protected:
  // The one stream of a new output made with the option text.
  AVCodecContext* OnlyStream(const std::string& name, const std::string& text) {
    const size_t before = task.OutputStreams().size();
    EXPECT_TRUE(AddOutput(testsupport::TempPath(name), text)) << task.LastOpenError();
    if (task.OutputStreams().size() != before + 1) {
      ADD_FAILURE() << "expected one new stream";
      return nullptr;
    }
    return task.OutputStreams().back()->Enc;
  }
};

TEST_F(ExtremeStreamValueTest, AudioQualityIsHeldToTheIntRange) {
  AVCodecContext* enc = OnlyStream("huge_aq.mkv", "vn=1<CRLF>sn=1<CRLF>acodec=mp2<CRLF>aq=1e30");
  ASSERT_NE(enc, nullptr);
  EXPECT_EQ(enc->global_quality, INT_MAX);
  EXPECT_TRUE(enc->flags & AV_CODEC_FLAG_QSCALE);
  enc = OnlyStream("plain_aq.mkv", "vn=1<CRLF>sn=1<CRLF>acodec=mp2<CRLF>aq=4");
  ASSERT_NE(enc, nullptr);
  EXPECT_EQ(enc->global_quality, 4 * FF_QP2LAMBDA);
}

TEST_F(ExtremeStreamValueTest, VideoValuesAtTheEndsOfTheIntRange) {
  // Rate-control override with the smallest quality, a buffer size whose
  // three quarters need more than int arithmetic, and the smallest DC precision.
  AVCodecContext* enc = OnlyStream("extreme_video.mkv",
                                   "an=1<CRLF>sn=1<CRLF>vcodec=mpeg4<CRLF>rc_override=0,10,-2147483648/"
                                   "11,20,5<CRLF>bufsize=2000000000<CRLF>"
                                   "dc=-2147483648");
  ASSERT_NE(enc, nullptr);
  ASSERT_EQ(enc->rc_override_count, 2);
  EXPECT_FLOAT_EQ(enc->rc_override[0].quality_factor, 21474836.48f);
  EXPECT_EQ(enc->rc_override[0].qscale, 0);
  EXPECT_EQ(enc->rc_override[1].qscale, 5);
  EXPECT_EQ(enc->rc_buffer_size, 2000000000);
  EXPECT_EQ(enc->rc_initial_buffer_occupancy, 1500000000);
  EXPECT_EQ(enc->intra_dc_precision, INT_MIN);
}

}  // namespace

// Private options of encoders and muxers reach the codec or muxer when it
// opens, so a conversion shows their effect in the written file.
#include <fstream>
#include <iterator>

#include "context_fixture.h"

namespace {

using enginetest::ContextTest;

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class PrivateOptionsTest : public ContextTest {};

TEST_F(PrivateOptionsTest, MuxerOptionReachesTheHeader) {
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  std::string out = testsupport::TempPath("faststart.mp4");
  ASSERT_TRUE(AddOutput(out, "vcodec=copy<CRLF>acodec=copy<CRLF>movflags=faststart"));
  ASSERT_EQ(Run(), "");
  std::string bytes = FileBytes(out);
  size_t moov = bytes.find("moov"), mdat = bytes.find("mdat");
  ASSERT_NE(moov, std::string::npos);
  ASSERT_NE(mdat, std::string::npos);
  EXPECT_LT(moov, mdat);  // without faststart the index comes last
}

TEST_F(PrivateOptionsTest, EncoderOptionReachesTheEncoder) {
  if (!lib::avcodec_find_encoder_by_name("libx264")) GTEST_SKIP() << "no libx264 in this build";
  ASSERT_TRUE(AddInput(testsupport::AviMpeg4Mp3()));
  std::string out = testsupport::TempPath("x264_private.mkv");
  TOutputOptions options;
  options.VideoCodec = "libx264";
  options.DisableAudio = true;
  options.ExtraOptions = "preset=ultrafast<CRLF>crf=37";
  ASSERT_TRUE(AddOutput(out, &options)) << task.LastOpenError();
  ASSERT_EQ(Run(), "");
  // The encoder writes its settings into the stream.
  std::string bytes = FileBytes(out);
  EXPECT_NE(bytes.find("crf=37.0"), std::string::npos);
  EXPECT_NE(bytes.find("subme=0"), std::string::npos);  // what ultrafast sets
}

}  // namespace

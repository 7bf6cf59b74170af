#include <cstdlib>
#include <ctime>
#include <fstream>

#include <gtest/gtest.h>

#include "media/file_utils.h"
#include "media/library_tables.h"
#include "media/media_text.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"

TEST(MediaText, DurationsAndSizes) {
  EXPECT_EQ(DurationText(3723004000LL), "01:02:03.004");
  EXPECT_EQ(DurationText(0), "00:00:00.000");
  EXPECT_EQ(DurationText(AV_NOPTS_VALUE), "N/A");
  EXPECT_EQ(DurationText(360000LL * 1000000 + 999999), "100:00:00.999");  // hours beyond two digits
  EXPECT_EQ(SizeText(1024), "1024 Byte");
  EXPECT_EQ(SizeText(-5), "-5 Byte");
  EXPECT_EQ(SizeText(1025), "1.00 KB");
  EXPECT_EQ(SizeText(1048576), "1024.00 KB");
  EXPECT_EQ(SizeText(1048577), "1.00 MB");
  EXPECT_EQ(SizeText(1073741825), "1.00 GB");
  EXPECT_EQ(SizeText(int64_t(5) << 40), "5120.00 GB");
}

TEST(MediaText, ErrorTextsForTodaysCodes) {
  EXPECT_EQ(ErrorText("a.avi", AVERROR(ENOENT)), "a.avi: No such file or directory");
  EXPECT_EQ(ErrorText("a.avi", -99), "a.avi: Error number -99 occurred");
  EXPECT_EQ(LibraryErrorMessage(AVERROR_INVALIDDATA), "Invalid data found when processing input");
  EXPECT_EQ(LibraryErrorMessage(AVERROR_EOF), "End of file");
  EXPECT_EQ(LibraryErrorMessage(AVERROR(ENOMEM)), "Not enough memory");
  EXPECT_EQ(LibraryErrorMessage(AVERROR(EIO)), "I/O error");
  EXPECT_EQ(LibraryErrorMessage(AVERROR_PATCHWELCOME), "Not yet implemented in FFmpeg");
  EXPECT_EQ(LibraryErrorMessage(AVERROR_PROTOCOL_NOT_FOUND), "Unsupported network protocol");
  EXPECT_EQ(LibraryErrorMessage(AVERROR_DEMUXER_NOT_FOUND), "Unknown format");
  EXPECT_EQ(LibraryErrorMessage(AVERROR(EDOM)), "Number syntax expected in filename");
  EXPECT_EQ(MediaTypeName(AVMEDIA_TYPE_SUBTITLE), "Subtitle");
  EXPECT_EQ(MediaTypeName(AVMEDIA_TYPE_ATTACHMENT), "Attachment");
  EXPECT_EQ(MediaTypeName(-1), "Unknown");
  EXPECT_EQ(MediaTypeName(5), "Unknown");
}

TEST(MediaText, CodecDescriptions) {
  testsupport::LoadConverterLibraries();
  const AVCodec* mpeg4 = lib::avcodec_find_decoder(AV_CODEC_ID_MPEG4);
  ASSERT_NE(mpeg4, nullptr);
  EXPECT_EQ(CodecDescription(AV_CODEC_ID_MPEG4, 0, false),
            std::string(mpeg4->name) + "(" + mpeg4->long_name + ")");
  EXPECT_EQ(CodecDescription(AV_CODEC_ID_NONE, MKTAG('X', 'V', 'I', 'D'), false), "XVID / 0x44495658");
  EXPECT_EQ(CodecDescription(AV_CODEC_ID_NONE, 0x01020304, false), "0x1020304");
  EXPECT_EQ(CodecDescription(AV_CODEC_ID_MPEG2TS, 0, false), "mpeg2ts");
  // No encoder in the library, but a registered name.
  EXPECT_EQ(CodecDescription(AV_CODEC_ID_VP6, 0, true), "vp6");

  AVCodecParameters* par = lib::avcodec_parameters_alloc();
  par->codec_id = AV_CODEC_ID_PCM_S16LE;
  const AVCodec* pcm = lib::avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(CodecDescription(par, true), std::string(pcm->name) + "(" + pcm->long_name + ")");
  lib::avcodec_parameters_free(&par);

  AVDictionary* dict = nullptr;
  lib::av_dict_set(&dict, "title", "标题", 0);
  EXPECT_EQ(MetadataValue(dict, "title", "x"), "标题");
  EXPECT_EQ(MetadataValue(dict, "tit", "x"), "x");  // whole keys, not prefixes
  EXPECT_EQ(MetadataValue(nullptr, "title", "x"), "x");
  lib::av_dict_free(&dict);
}

TEST(MediaText, LocalTimeCarriesTheZoneOffset) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  const int64_t noonUtc = 1700000000;  // 2023-11-14 22:13:20 UTC
  const double value = LocalDateTime(noonUtc);
  EXPECT_NEAR(value, 1700000000.0 / 86400 + 25569 + 8.0 / 24, 1e-9);
  EXPECT_EQ(DateTimeText("%Y-%m-%d %H:%M:%S", value), "2023-11-15 06:13:20");
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(FileUtils, ReadWholeFileAddsAZeroByte) {
  testsupport::LoadConverterLibraries();
  const std::string path = testsupport::TempPath("whole.txt");
  std::ofstream(path, std::ios::binary) << "abc";
  uint8_t* buffer = nullptr;
  int64_t size = 0;
  ASSERT_EQ(ReadWholeFile(path, &buffer, &size), 0);
  EXPECT_EQ(size, 4);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "abc");
  lib::av_free(buffer);
  EXPECT_EQ(ReadWholeFile(path + ".missing", &buffer, &size), -1);
  EXPECT_EQ(buffer, nullptr);
}

TEST(FileUtils, SplitAtFirstDelimiter) {
  std::string text = "ab\ncd\nef", head;
  SplitAt(text, "\n", true, head);
  EXPECT_EQ(head, "ab");
  EXPECT_EQ(text, "cd\nef");
  SplitAt(text, "\n", false, head);
  EXPECT_EQ(head, "cd");
  EXPECT_EQ(text, "cd\nef");
  text = "a<CRLF>b";
  SplitAt(text, "<CRLF>", true, head);
  EXPECT_EQ(head, "a");
  EXPECT_EQ(text, "b");
  SplitAt(text, "\n", true, head);
  EXPECT_EQ(head, "b");
  EXPECT_EQ(text, "");
}

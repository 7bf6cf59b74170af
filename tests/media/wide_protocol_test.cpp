#include "media/wide_protocol.h"

#include <clocale>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "media/library_tables.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"

namespace {

// Switches the C library's locale for one test and restores it afterwards.
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    saved_ = old ? old : "C";
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

const std::wstring kChineseName = L"测试音频.wav";

std::vector<uint8_t> Samples(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = uint8_t((i * 7 + i / 251) & 0xFF);
  return data;
}

// Writes a mono 16-bit PCM WAV file through the output road.
void WriteWav(const std::string& libraryName, const std::vector<uint8_t>& pcm) {
  AVFormatContext* oc = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&oc, nullptr, "wav", nullptr), 0);
  AVStream* st = lib::avformat_new_stream(oc, nullptr);
  ASSERT_NE(st, nullptr);
  st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  st->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
  st->codecpar->sample_rate = 8000;
  lib::av_channel_layout_default(&st->codecpar->ch_layout, 1);
  st->codecpar->bits_per_coded_sample = 16;
  st->codecpar->block_align = 2;
  st->codecpar->bit_rate = 8000 * 16;
  st->time_base = AVRational{1, 8000};
  ASSERT_GE(OpenOutputIO(oc, libraryName), 0) << libraryName;
  ASSERT_GE(lib::avformat_write_header(oc, nullptr), 0);
  AVPacket* pkt = lib::av_packet_alloc();
  const size_t chunk = 1600;
  for (size_t off = 0; off < pcm.size(); off += chunk) {
    const size_t n = std::min(chunk, pcm.size() - off);
    ASSERT_GE(lib::av_new_packet(pkt, int(n)), 0);
    std::memcpy(pkt->data, pcm.data() + off, n);
    pkt->pts = pkt->dts = int64_t(off / 2);
    pkt->duration = int64_t(n / 2);
    pkt->stream_index = 0;
    ASSERT_GE(lib::av_write_frame(oc, pkt), 0);
    lib::av_packet_unref(pkt);
  }
  lib::av_packet_free(&pkt);
  ASSERT_GE(lib::av_write_trailer(oc), 0);
  CloseOutputIO(oc);
  EXPECT_EQ(oc->pb, nullptr);
  lib::avformat_free_context(oc);
}

// Reads every packet's payload back through the input road.
std::vector<uint8_t> ReadPayload(const std::string& libraryName, int64_t* ioSize = nullptr) {
  AVFormatContext* ic = nullptr;
  std::vector<uint8_t> data;
  int ret = OpenInputByLibraryName(&ic, libraryName, nullptr, nullptr);
  EXPECT_GE(ret, 0) << libraryName;
  if (ret < 0) return data;
  if (ioSize) *ioSize = lib::avio_size(ic->pb);
  AVPacket* pkt = lib::av_packet_alloc();
  while (lib::av_read_frame(ic, pkt) >= 0) {
    data.insert(data.end(), pkt->data, pkt->data + pkt->size);
    lib::av_packet_unref(pkt);
  }
  lib::av_packet_free(&pkt);
  CloseInputByLibraryName(&ic);
  EXPECT_EQ(ic, nullptr);
  return data;
}

int64_t SizeOnDisk(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}

// The whole round trip in a given locale: truncation of an existing file,
// byte-for-byte read-back, and the size the I/O layer reports.
void RoundTrip(bool expectWideRoad) {
  testsupport::LoadConverterLibraries();
  const std::string dir = testsupport::MakeTempSubdir(expectWideRoad ? "wide" : "plain");
  const std::string diskPath = dir + "/" + Utf8(kChineseName);
  const std::wstring wideName = Widen(dir) + L"/" + kChineseName;

  ASSERT_EQ(NeedsWideProtocol(wideName), expectWideRoad);
  const std::string libraryName = ToLibraryFileName(wideName);
  if (expectWideRoad)
    EXPECT_EQ(libraryName, "unicode:utf8:" + diskPath);
  else
    EXPECT_EQ(libraryName, diskPath);
  EXPECT_EQ(FromLibraryFileName(libraryName), wideName);

  // An older, larger file under the same name must not leave a tail behind.
  {
    FILE* f = std::fopen(diskPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> junk(200000, 0xAB);
    std::fwrite(junk.data(), 1, junk.size(), f);
    std::fclose(f);
  }
  const std::vector<uint8_t> pcm = Samples(16000);
  WriteWav(libraryName, pcm);
  const int64_t written = SizeOnDisk(diskPath);
  EXPECT_LT(written, 200000) << "the existing file was not truncated";
  EXPECT_GT(written, int64_t(pcm.size()));

  int64_t ioSize = -1;
  EXPECT_EQ(ReadPayload(libraryName, &ioSize), pcm);
  EXPECT_EQ(ioSize, written);
}

}  // namespace

TEST(WideProtocol, ChineseNameUnderTheCLocaleTakesTheWideRoad) {
  LocaleScope locale("C");
  ASSERT_TRUE(locale.ok());
  RoundTrip(true);
}

TEST(WideProtocol, ChineseNameUnderAUtf8LocaleTakesThePlainRoad) {
  LocaleScope locale("C.UTF-8");
  ASSERT_TRUE(locale.ok()) << "C.UTF-8 locale missing";
  RoundTrip(false);
}

TEST(WideProtocol, SizeQueryReportsSizesBeyondFourGigabytes) {
  testsupport::LoadConverterLibraries();
  LocaleScope locale("C");
  const std::string dir = testsupport::MakeTempSubdir("big");
  const std::wstring wideName = Widen(dir) + L"/大文件.wav";
  const std::string libraryName = ToLibraryFileName(wideName);
  ASSERT_TRUE(IsWideLibraryName(libraryName));
  WriteWav(libraryName, Samples(4000));
  // Grow the file sparsely past 4 GiB and open it as raw PCM, so that no
  // demuxer walks through the gigabytes of zeros.
  const std::string diskPath = dir + "/" + Utf8(L"大文件.wav");
  const int64_t bigSize = (int64_t(5) << 30) + 123;
  ASSERT_EQ(::truncate(diskPath.c_str(), off_t(bigSize)), 0);

  AVFormatContext* ic = nullptr;
  ASSERT_GE(OpenInputByLibraryName(&ic, libraryName, lib::av_find_input_format("s16le"), nullptr), 0);
  EXPECT_EQ(lib::avio_size(ic->pb), bigSize);
  EXPECT_EQ(lib::avio_seek(ic->pb, bigSize - 3, SEEK_SET), bigSize - 3);
  CloseInputByLibraryName(&ic);
  ::unlink(diskPath.c_str());
}

TEST(WideProtocol, MissingWideFileGivesNoSuchFileAndFreesAGivenContext) {
  testsupport::LoadConverterLibraries();
  AVFormatContext* ic = lib::avformat_alloc_context();
  ASSERT_NE(ic, nullptr);
  const std::string name = "unicode:utf8:" + testsupport::TempDir() + "/" + Utf8(L"不存在.avi");
  EXPECT_EQ(OpenInputByLibraryName(&ic, name, nullptr, nullptr), AVERROR(ENOENT));
  EXPECT_EQ(ic, nullptr);  // freed, as the library does with a given context

  AVFormatContext* oc = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&oc, nullptr, "wav", nullptr), 0);
  const std::string badOut = "unicode:utf8:/nonexistent-folder/" + Utf8(L"输出.wav");
  EXPECT_EQ(OpenOutputIO(oc, badOut), AVERROR(ENOENT));
  EXPECT_EQ(oc->pb, nullptr);
  lib::avformat_free_context(oc);
}

TEST(WideProtocol, ProtocolPrefixesPassUnchangedWithExactLetterCase) {
  LocaleScope locale("C");
  for (const wchar_t* url : {L"http://例子/视频.flv", L"udp://例子:1234", L"tcp://例子:1", L"rtp://例子:2",
                             L"pipe:例子", L"gopher://例子", L"stream:例子", L"unicode:utf8:例子"}) {
    EXPECT_FALSE(NeedsWideProtocol(url)) << Utf8(url);
  }
  EXPECT_TRUE(NeedsWideProtocol(L"HTTP://例子/视频.flv"));
  EXPECT_TRUE(NeedsWideProtocol(L"https://例子/视频.flv"));  // not in the list: tested as a name
  EXPECT_FALSE(NeedsWideProtocol(L"/home/user/video.avi"));
  EXPECT_FALSE(NeedsWideProtocol(L"c:/video.avi"));
  EXPECT_EQ(ToLibraryFileName(L"/home/user/video.avi"), "/home/user/video.avi");
  EXPECT_EQ(ToLibraryFileName(L"HTTP://例"), "unicode:utf8:HTTP://" + Utf8(L"例"));
}

TEST(WideProtocol, FromLibraryFileNameNeedsPrefixAndAtLeastOneByte) {
  LocaleScope locale("C");
  EXPECT_EQ(FromLibraryFileName("/tmp/a.avi"), L"/tmp/a.avi");
  EXPECT_EQ(FromLibraryFileName("unicode:utf8:" + Utf8(L"/tmp/视频.avi")), L"/tmp/视频.avi");
  EXPECT_EQ(FromLibraryFileName("unicode:utf8:"), L"unicode:utf8:");
  EXPECT_FALSE(IsWideLibraryName("unicode:utf8:"));
}

// The file behind a library name, for the checks that compare files on
// disk: other protocols name none.
TEST(WideProtocol, DiskPathOfLibraryNameIsTheFileOrNothing) {
  EXPECT_EQ(DiskPathOfLibraryName("unicode:utf8:/tmp/\xB2\xE2.avi"), "/tmp/\xB2\xE2.avi");
  EXPECT_EQ(DiskPathOfLibraryName("/tmp/a.avi"), "/tmp/a.avi");
  EXPECT_EQ(DiskPathOfLibraryName("file:/tmp/a.avi"), "/tmp/a.avi");
  EXPECT_EQ(DiskPathOfLibraryName("pipe:1"), "");
  EXPECT_EQ(DiskPathOfLibraryName("http://host/a.avi"), "");
  EXPECT_EQ(DiskPathOfLibraryName("udp:1234"), "");
  EXPECT_EQ(DiskPathOfLibraryName("C:/odd.avi"), "C:/odd.avi");
}

// Snapshot files: names base_N.ext with the first free N, the four formats
// read back by other decoders, and failures that leave nothing behind.
#include "app/snapshots.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "decoded_image.h"
#include "media/bitmap.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace {

using app::SnapshotFormat;

// A picture with smooth colour ramps and a few flat blocks; an odd width so
// that rows carry padding.
void Paint(TBitmap& bitmap, int width, int height) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x) {
      const bool block = (x / 40 + y / 30) % 3 == 0;
      row[3 * x] = block ? 200 : uint8_t(255 * x / width);           // blue
      row[3 * x + 1] = block ? 40 : uint8_t(255 * y / height);       // green
      row[3 * x + 2] = block ? 90 : uint8_t(255 - 255 * x / width);  // red
    }
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(SnapshotNames, BaseNameDropsFolderAndLastExtension) {
  EXPECT_EQ(app::SnapshotBaseName("/videos/a.avi"), "a");
  EXPECT_EQ(app::SnapshotBaseName("/videos/a.b.avi"), "a.b");
  EXPECT_EQ(app::SnapshotBaseName("/videos.d/clip"), "clip");
  EXPECT_EQ(app::SnapshotBaseName("/家庭/测试视频.mkv"), "测试视频");
  app::SnapshotFormat format = SnapshotFormat::Png;
  EXPECT_FALSE(app::SnapshotFormatFromName("TIFF", format));
  EXPECT_FALSE(app::SnapshotFormatFromName("bmp", format));
  EXPECT_EQ(format, SnapshotFormat::Png);
  ASSERT_TRUE(app::SnapshotFormatFromName("GIF", format));
  EXPECT_EQ(app::SnapshotExtension(format), std::string(".gif"));
}

TEST(SnapshotNames, FirstFreeNumberIsTakenAndExistingFilesAreKept) {
  const std::string folder = testsupport::MakeTempSubdir("names");
  WriteText(folder + "/a_1.bmp", "first");
  WriteText(folder + "/a_3.bmp", "third");
  TBitmap picture;
  Paint(picture, 8, 6);
  const std::string second = app::SaveSnapshot(picture, folder, "/in/a.avi", SnapshotFormat::Bmp, nullptr);
  const std::string fourth = app::SaveSnapshot(picture, folder, "/in/a.avi", SnapshotFormat::Bmp, nullptr);
  EXPECT_EQ(second, folder + "/a_2.bmp");
  EXPECT_EQ(fourth, folder + "/a_4.bmp");
  EXPECT_EQ(ReadAll(folder + "/a_1.bmp"), "first");
  EXPECT_EQ(ReadAll(folder + "/a_3.bmp"), "third");
  // Another format counts on its own.
  EXPECT_EQ(app::SaveSnapshot(picture, folder, "/in/a.avi", SnapshotFormat::Png, nullptr),
            folder + "/a_1.png");
}

TEST(SnapshotWriters, EveryFormatDecodesBackToThePicture) {
  const std::string folder = testsupport::MakeTempSubdir("formats");
  TBitmap picture;
  Paint(picture, 161, 97);
  struct Case {
    SnapshotFormat format;
    apptest::DecodedImage (*decode)(const std::string&);
    double tolerance;  // mean difference per channel
  };
  const Case cases[] = {
      {SnapshotFormat::Bmp, apptest::DecodeBmp, 0.0},
      {SnapshotFormat::Png, apptest::DecodePng, 0.0},
      {SnapshotFormat::Jpg, apptest::DecodeJpeg, 4.0},
      {SnapshotFormat::Gif, apptest::DecodeGif, 8.0},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::string path = app::SaveSnapshot(picture, folder, "clip.avi", c.format, &error);
    ASSERT_FALSE(path.empty()) << error;
    const apptest::DecodedImage image = c.decode(path);
    ASSERT_TRUE(image.ok) << path;
    EXPECT_EQ(image.width, 161) << path;
    EXPECT_EQ(image.height, 97) << path;
    EXPECT_LE(apptest::MeanDifference(image, picture), c.tolerance) << path;
  }
}

TEST(SnapshotWriters, BitmapFileHasTheStandardHeaders) {
  const std::string folder = testsupport::MakeTempSubdir("bmp");
  TBitmap picture;
  Paint(picture, 5, 3);  // 15 bytes of pixels padded to 16 a row
  const std::string path = app::SaveSnapshot(picture, folder, "x", SnapshotFormat::Bmp, nullptr);
  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 54u + 16u * 3u);
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
  };
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), bytes.size());
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(18), 5u);
  EXPECT_EQ(u32(22), 3u);
  EXPECT_EQ(uint8_t(bytes[28]), 24);
  // Bottom-up: the file's first row is the picture's last.
  EXPECT_EQ(bytes.substr(54, 15), std::string(reinterpret_cast<const char*>(picture.Scanline(2)), 15));
}

TEST(SnapshotWriters, FailuresAreReportedAndLeaveNothing) {
  TBitmap picture;
  Paint(picture, 64, 48);
  // A device that refuses every byte: no format may claim success.
  for (SnapshotFormat format :
       {SnapshotFormat::Bmp, SnapshotFormat::Jpg, SnapshotFormat::Gif, SnapshotFormat::Png}) {
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::string error;
    EXPECT_FALSE(app::WriteSnapshotTo(fd, picture, format, &error)) << app::SnapshotFormatName(format);
    EXPECT_FALSE(error.empty());
  }
  // A folder that does not exist, and an empty picture.
  const std::string folder = testsupport::MakeTempSubdir("failures");
  std::string error;
  EXPECT_TRUE(app::SaveSnapshot(picture, folder + "/missing", "a.avi", SnapshotFormat::Png, &error).empty());
  EXPECT_FALSE(error.empty());
  TBitmap empty;
  EXPECT_TRUE(app::SaveSnapshot(empty, folder, "a.avi", SnapshotFormat::Bmp, nullptr).empty());
  EXPECT_TRUE(QDir(QString::fromStdString(folder)).isEmpty());
}

}  // namespace

// The built program end to end: exit statuses, messages, files written.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_jobs.h"
#include "profiles/file_names.h"
#include "profiles/option_lists.h"
#include "profiles/output_catalogue.h"
#include "program_checks.h"
#include "program_runner.h"
#include "support/test_media.h"

namespace {

using clitest::Describe;
using clitest::FilesIn;
using clitest::kCLocale;
using clitest::RunConvert;
using clitest::SmallInput;
using clitest::TProgramResult;

TEST(CliProgram, UsageAndListings) {
  TProgramResult r = RunConvert({"--help"});
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_EQ(r.Out.rfind("Usage: quvexa-convert", 0), 0u) << r.Out;

  r = RunConvert({});
  EXPECT_EQ(r.Status, 2) << Describe(r);
  EXPECT_NE(r.Err.find("no input files"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("--help"), std::string::npos) << r.Err;

  r = RunConvert({"--audio-codec", "MP4音频编码器", "a.avi"});
  EXPECT_EQ(r.Status, 2) << Describe(r);
  EXPECT_NE(r.Err.find("\n  MP3音频编码器\n"), std::string::npos) << r.Err;

  // Chinese captions come out whole under the C locale.
  r = RunConvert({"--list-types"}, kCLocale);
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(r.Out.find("507\tPSP视频格式\t.mp4\tyes\n"), std::string::npos) << r.Out;
  r = RunConvert({"--list-options", "507"}, kCLocale);
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(r.Out.find("  * 320*240 (PSP所有固件版本适用)\n"), std::string::npos) << r.Out;
}

TEST(CliProgram, InfoDescribesAFileAndRefusesAMissingOne) {
  TProgramResult r = RunConvert({"--info", SmallInput()});
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(r.Out.find("Format Name: avi\n"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.find('\r'), std::string::npos);

  r = RunConvert({"--info", testsupport::TempPath("nothing.avi")});
  EXPECT_EQ(r.Status, 1) << Describe(r);
  EXPECT_NE(r.Err.find("no such file"), std::string::npos) << r.Err;

  r = RunConvert({"--info", testsupport::GarbageFile("garbage.avi", 4096)});
  EXPECT_EQ(r.Status, 1) << Describe(r);
  EXPECT_NE(r.Err.find("无法识别的音频或视频文件！"), std::string::npos) << r.Err;
}

TEST(CliProgram, StreamCopyOfAChineseNamedFileUnderTheCLocale) {
  const std::string input = testsupport::ChineseNamed();
  const std::string folder = testsupport::MakeTempSubdir("copy");
  const std::vector<std::string> args = {
      "-t", "none", "--ext", "mkv", "--options", "vcodec=copy<CRLF>acodec=copy", "-o", folder, input};
  TProgramResult r = RunConvert(args, kCLocale);
  ASSERT_EQ(r.Status, 0) << Describe(r);
  const std::string output = folder + "/测试视频.mkv";
  EXPECT_EQ(r.Out, "done    " + input + " -> " + output + "\n");
  const testsupport::MediaSummary copied = testsupport::ReadMedia(output);
  ASSERT_TRUE(copied.ok) << copied.error;
  EXPECT_EQ(copied.format, "matroska,webm");
  ASSERT_NE(copied.first(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(copied.first(AVMEDIA_TYPE_VIDEO)->codec, "mpeg4");
  ASSERT_NE(copied.first(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(copied.first(AVMEDIA_TYPE_AUDIO)->codec, "mp3");

  // Again: a new name; with --overwrite the same name once more.
  r = RunConvert(args, kCLocale);
  ASSERT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(r.Out.find(folder + "/测试视频(New_1).mkv"), std::string::npos) << r.Out;
  std::vector<std::string> overwrite = args;
  overwrite.insert(overwrite.begin(), "--overwrite");
  r = RunConvert(overwrite, kCLocale);
  ASSERT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(r.Out.find(" -> " + output + "\n"), std::string::npos) << r.Out;
  EXPECT_EQ(FilesIn(folder).size(), 2u);
}

TEST(CliProgram, FailedJobsGiveStatusOneAndTheOthersStillConvert) {
  const std::string folder = testsupport::MakeTempSubdir("mixed");
  const std::string missing = testsupport::TempPath("missing.avi");
  const std::string garbage = testsupport::GarbageFile("noise.avi", 4096);
  const TProgramResult r =
      RunConvert({"-t", "none", "--ext", "mkv", "--options", "vcodec=copy<CRLF>acodec=copy", "-o", folder,
                  missing, SmallInput(), garbage});
  EXPECT_EQ(r.Status, 1) << Describe(r);
  EXPECT_NE(r.Err.find("failed  " + missing + ": no such file\n"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("failed  " + garbage + ": 无法识别的音频或视频文件！"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("done    " + SmallInput()), std::string::npos) << r.Out;
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{folder + "/small.mkv"});

  // A task that fails while converting reports its message.
  const TProgramResult bad = RunConvert(
      {"-t", "none", "--ext", "mkv", "--options", "vcodec=no_such_encoder", "-o", folder, SmallInput()});
  EXPECT_EQ(bad.Status, 1) << Describe(bad);
  EXPECT_NE(bad.Err.find("no_such_encoder"), std::string::npos) << bad.Err;
}

// Reading and decoding beside the encoders changes no byte of the file.
TEST(CliProgram, OneThreadWritesTheSameFile) {
  const std::string folder = testsupport::MakeTempSubdir("one_thread");
  std::vector<std::string> args = {"-t", "none", "--ext", "avi", "--options",
                                   "vcodec=mpeg4<CRLF>acodec=libmp3lame<CRLF>threads=2", "--overwrite", "-o",
                                   folder, testsupport::AviMpeg4Mp3()};
  const std::string output = folder + "/" + std::filesystem::path(testsupport::AviMpeg4Mp3()).stem().string() + ".avi";
  TProgramResult r = RunConvert(args);
  ASSERT_EQ(r.Status, 0) << Describe(r);
  const std::string overlapped = clitest::FileContents(output);
  args.insert(args.begin(), "--one-thread");
  r = RunConvert(args);
  ASSERT_EQ(r.Status, 0) << Describe(r);
  EXPECT_GT(overlapped.size(), 10000u);
  EXPECT_TRUE(clitest::FileContents(output) == overlapped) << "the files differ";
}

TEST(CliProgram, DefaultOutputFolderIsCreatedInHome) {
  const std::string folder = clitest::ChildHome() + "/Video_Directory";
  std::filesystem::remove_all(folder);
  const TProgramResult r =
      RunConvert({"-t", "none", "--ext", "mkv", "--options", "vcodec=copy<CRLF>acodec=copy", SmallInput()});
  ASSERT_EQ(r.Status, 0) << Describe(r);
  EXPECT_TRUE(std::filesystem::exists(folder + "/small.mkv"));
}

TEST(CliProgram, CutRangeConvertsThePartAndRefusesOneBeyondTheEnd) {
  const std::string input = testsupport::AviMpeg4Mp3();  // 2 s
  const std::string folder = testsupport::MakeTempSubdir("cut");
  TProgramResult r = RunConvert({"--cut", "00:00:00-00:00:03", "-o", folder, input});
  EXPECT_EQ(r.Status, 2) << Describe(r);
  EXPECT_NE(r.Err.find("截取时间设置错误，不允许停止时间大于时间长度！"), std::string::npos) << r.Err;
  EXPECT_TRUE(FilesIn(folder).empty());

  r = RunConvert({"-t", "512", "--cut", "00:00:01-00:00:02", "-o", folder, input});
  ASSERT_EQ(r.Status, 0) << Describe(r);
  const testsupport::MediaSummary cut =
      testsupport::ReadMedia(folder + "/" + std::filesystem::path(input).stem().string() + ".avi");
  ASSERT_TRUE(cut.ok) << cut.error;
  EXPECT_NEAR(cut.durationUs, 1'000'000, 250'000);
}

// Ctrl-C in the middle of a batch: the running conversion stops, the ones
// not started are reported, every file written is complete, status 130.
TEST(CliProgram, InterruptStopsTheBatchCleanly) {
  const std::string folder = testsupport::MakeTempSubdir("interrupt");
  std::vector<std::string> args = {"-t", "500", "-o", folder};
  for (int i = 0; i < 12; ++i) args.push_back(SmallInput());
  clitest::TProgram program(args);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (program.OutputSoFar().find("done") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_NE(program.OutputSoFar().find("done"), std::string::npos) << "no conversion finished";
  kill(program.Pid(), SIGINT);
  const TProgramResult r = program.Wait();
  ASSERT_EQ(r.Status, 130) << Describe(r);
  EXPECT_NE(r.Out.find("stopped "), std::string::npos) << r.Out;
  for (const std::string& file : FilesIn(folder)) {
    const testsupport::MediaSummary written = testsupport::ReadMedia(file);
    EXPECT_TRUE(written.ok) << file << ": " << written.error;
  }
}

// Converts input with every type the chooser offers, with its defaults and
// the arguments extraArgs gives for the type, and checks what each wrote.
// Types whose encoders this build lacks are skipped.
void ConvertWithEveryType(const std::string& input, const std::string& folderPrefix,
                          const std::function<std::vector<std::string>(int32_t)>& extraArgs) {
  for (const profiles::TOutputType& type : profiles::OutputTypes()) {
    if (!profiles::IsChooserSelectable(type.Code)) continue;
    SCOPED_TRACE("type " + std::to_string(type.Code));
    const std::string folder = testsupport::MakeTempSubdir(folderPrefix + std::to_string(type.Code));

    // Skip what this build of the libraries cannot encode.
    cli::TCliOptions options = cli::ParseCommandLine({"-t", std::to_string(type.Code), input}).Options;
    cli::TNameClaims claims;
    cli::TJobPlan job;
    ASSERT_EQ(cli::BuildTypedJob(options, input, folder, -1, claims, job).Status, cli::bsOk);
    bool missing = false;
    for (const std::string& encoder : {job.Output.VideoCodec, job.Output.AudioCodec})
      if (!encoder.empty() && !testsupport::EncoderAvailable(encoder)) missing = true;
    if (missing) {
      std::printf("type %d skipped: encoder missing (%s / %s)\n", type.Code, job.Output.VideoCodec.c_str(),
                  job.Output.AudioCodec.c_str());
      continue;
    }
    std::vector<std::string> args = {"-t", std::to_string(type.Code), "-o", folder};
    for (const std::string& arg : extraArgs(type.Code)) args.push_back(arg);
    args.push_back(input);
    const TProgramResult r = RunConvert(args);
    EXPECT_EQ(r.Status, 0) << Describe(r);
    const std::vector<std::string> files = FilesIn(folder);
    EXPECT_EQ(files.size(), 1u) << Describe(r);
    if (files.size() != 1) continue;
    EXPECT_EQ(profiles::ExtractFileExt(files[0]), type.FileExtension);
    const testsupport::MediaSummary written = testsupport::ReadMedia(files[0]);
    EXPECT_TRUE(written.ok) << written.error;
    if (!written.ok) continue;
    EXPECT_NE(written.first(AVMEDIA_TYPE_AUDIO), nullptr);
    EXPECT_EQ(written.count(AVMEDIA_TYPE_VIDEO), type.AudioOnly ? 0 : 1);
    EXPECT_NEAR(written.durationUs, 1'000'000, 500'000);
  }
}

// Every type the chooser offers, with its defaults, from a short input.
TEST(CliProgram, EverySelectableTypeConvertsWithItsDefaults) {
  ConvertWithEveryType(SmallInput(), "type", [](int32_t) { return std::vector<std::string>(); });
}

// The same from a picture of odd width and height, its size kept wherever
// the type offers that.
TEST(CliProgram, EverySelectableTypeConvertsAnOddSizedInput) {
  testsupport::MediaSpec spec = testsupport::AviMpeg4Mp3Spec();
  spec.width = 321;
  spec.height = 241;
  spec.seconds = 1.0;
  const std::string input = testsupport::CachedMedia("odd.avi", spec);
  const std::string keep = "保持原分辨率";
  auto keepsSize = [&](int32_t code) {
    const profiles::TTypeAssignment* assignment = profiles::FindAssignment(code);
    if (!assignment || !assignment->Lists[profiles::olFrameSize].List) return false;
    const auto& items = assignment->Lists[profiles::olFrameSize].List->Items;
    return std::find(items.begin(), items.end(), keep) != items.end();
  };
  ConvertWithEveryType(input, "odd", [&](int32_t code) {
    return keepsSize(code) ? std::vector<std::string>{"--size", keep} : std::vector<std::string>();
  });
}

}  // namespace

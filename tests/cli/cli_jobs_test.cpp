#include "cli/cli_jobs.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "support/temp_dir.h"

namespace {

using cli::TBuildResult;
using cli::TCliOptions;
using cli::TJobPlan;
using cli::TNameClaims;

TCliOptions Options(const std::vector<std::string>& args) {
  const cli::TParseResult parsed = cli::ParseCommandLine(args);
  EXPECT_TRUE(parsed.Ok) << parsed.Error;
  return parsed.Options;
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

TEST(CliJobs, DefaultsResolveAsTheDialogDoes) {
  // Type 507 with every default, input /v/a.avi, nothing in the folder yet.
  const std::string folder = testsupport::MakeTempSubdir("psp");
  TNameClaims claims;
  TJobPlan job;
  const TBuildResult r =
      cli::BuildTypedJob(Options({"-t", "507", "/v/a.avi"}), "/v/a.avi", folder, 5000000, claims, job);
  ASSERT_EQ(r.Status, cli::bsOk) << r.Message;
  EXPECT_EQ(job.OutputFileName, folder + "/a.mp4");
  EXPECT_EQ(job.Output.FileName, platform::Widen(folder + "/a.mp4"));
  EXPECT_EQ(job.Output.AudioCodec, "aac");
  EXPECT_EQ(job.Output.AudioChannels, 2);
  EXPECT_EQ(job.Output.AudioSampleRate, 24000);
  EXPECT_EQ(job.Output.AudioBitrate, 128000);
  EXPECT_EQ(job.Output.VideoCodec, "");
  EXPECT_EQ(job.Output.VideoBitrate, 512000);
  EXPECT_EQ(job.Output.FrameSize, "320*240 (PSP所有固件版本适用)");
  EXPECT_EQ(job.Output.FrameRate, "29.97");
  EXPECT_EQ(job.Output.AspectRatio, "4:3");
  EXPECT_EQ(job.Output.AudioVolume, -1);
  EXPECT_FALSE(job.Output.DisableVideo);
  EXPECT_EQ(job.Output.StartTime, 0);
  EXPECT_EQ(job.Output.RecordingTime, kUnsetTime);
  EXPECT_EQ(job.Output.Target, 0);
  EXPECT_EQ(job.Input.FileName, L"/v/a.avi");
  EXPECT_EQ(job.Input.FileFormat, "");
  EXPECT_EQ(job.Input.StartTime, 0);
  EXPECT_TRUE(job.Output.ExtraOptions.empty());
}

TEST(CliJobs, PicksFiltersOptionTextAndDiscNames) {
  const std::string folder = testsupport::MakeTempSubdir("picks");
  TNameClaims claims;
  TJobPlan job;
  // Type 512 (".avi"): Divx 5 keeps its tag in an AVI file; volume and filters.
  TBuildResult r =
      cli::BuildTypedJob(Options({"-t", "512", "--video-codec", "Divx 5 视频压缩器", "--volume",
                                  "音量增加1倍", "--vflip", "--hflip", "--options", "g=50", "x.DAT"}),
                         "x.DAT", folder, -1, claims, job);
  ASSERT_EQ(r.Status, cli::bsOk) << r.Message;
  EXPECT_EQ(job.Output.VideoCodec, "mpeg4");
  EXPECT_EQ(job.Output.VideoTag, "DX50");
  EXPECT_EQ(job.Output.AudioVolume, 512);
  EXPECT_EQ(job.Output.VideoFilters, "hflip,vflip");
  EXPECT_EQ(job.Output.ExtraOptions, "g=50");
  EXPECT_EQ(job.Input.FileFormat, "mpeg");
  EXPECT_EQ(job.OutputFileName, folder + "/x.avi");

  // NTSC DVD: the preset decides, the name carries the norm.
  r = cli::BuildTypedJob(Options({"-t", "517", "--video-codec", "NTSC_DVD视频压缩器", "y.avi"}), "y.avi",
                         folder, -1, claims, job);
  ASSERT_EQ(r.Status, cli::bsOk) << r.Message;
  EXPECT_EQ(job.OutputFileName, folder + "/y_NTSC.mpg");
  EXPECT_EQ(job.Output.Target, 3);
  EXPECT_EQ(job.Output.TargetNorm, 2);

  // H.264 brings its preset.
  r = cli::BuildTypedJob(Options({"-t", "514", "z.avi"}), "z.avi", folder, -1, claims, job);
  ASSERT_EQ(r.Status, cli::bsOk) << r.Message;
  EXPECT_EQ(job.Output.VideoCodec, "libx264");
  EXPECT_EQ(job.Output.VideoPreset, "libx264-default");
}

TEST(CliJobs, CutRangeIsCheckedAgainstTheInputsDuration) {
  const std::string folder = testsupport::MakeTempSubdir("cut");
  TNameClaims claims;
  TJobPlan job;
  TBuildResult r = cli::BuildTypedJob(Options({"--cut", "00:00:10-00:00:40", "a.avi"}), "a.avi", folder,
                                      40'900'000, claims, job);
  ASSERT_EQ(r.Status, cli::bsOk) << r.Message;
  EXPECT_EQ(job.Input.StartTime, 10'000'000);
  EXPECT_EQ(job.Output.RecordingTime, 30'000'000);

  // One second past the whole-second duration, and an empty range.
  r = cli::BuildTypedJob(Options({"--cut", "00:00:10-00:00:41", "a.avi"}), "a.avi", folder, 40'900'000,
                         claims, job);
  EXPECT_EQ(r.Status, cli::bsRefused);
  EXPECT_NE(r.Message.find("截取时间设置错误，不允许停止时间大于时间长度！"), std::string::npos) << r.Message;
  r = cli::BuildTypedJob(Options({"--cut", "00:00:20-00:00:20", "a.avi"}), "a.avi", folder, 40'900'000,
                         claims, job);
  EXPECT_EQ(r.Status, cli::bsRefused);
  EXPECT_NE(r.Message.find("截取时间设置错误，不允许起始时间大于等于停止时间！"), std::string::npos)
      << r.Message;
  // Unknown duration: nothing fits.
  r = cli::BuildTypedJob(Options({"--cut", "00:00:00-00:00:01", "a.avi"}), "a.avi", folder, -1, claims, job);
  EXPECT_EQ(r.Status, cli::bsRefused);
}

TEST(CliJobs, NoTwoJobsWriteOneFileAndNoneOverwritesAnInput) {
  const std::string folder = testsupport::MakeTempSubdir("claims");
  Touch(folder + "/a.mp4");
  TNameClaims claims;
  claims.Claim(folder + "/a.mkv");
  claims.Claim(folder + "/b.mkv");
  TJobPlan job;

  // On disk already: numbered.
  cli::BuildTypedJob(Options({"a.avi"}), folder + "/a.avi", folder, -1, claims, job);
  EXPECT_EQ(job.OutputFileName, folder + "/a(New_1).mp4");
  // Same stem again in this run: numbered past the first job's name.
  cli::BuildTypedJob(Options({"a.mov"}), "elsewhere/a.mov", folder, -1, claims, job);
  EXPECT_EQ(job.OutputFileName, folder + "/a(New_2).mp4");

  // --overwrite replaces what is on disk from before ...
  TNameClaims fresh;
  cli::BuildTypedJob(Options({"--overwrite", "a.avi"}), "a.avi", folder, -1, fresh, job);
  EXPECT_EQ(job.OutputFileName, folder + "/a.mp4");
  // ... but not another job's output of the same run,
  cli::BuildTypedJob(Options({"--overwrite", "a.avi"}), "x/a.avi", folder, -1, fresh, job);
  EXPECT_EQ(job.OutputFileName, folder + "/a(New_1).mp4");
  // nor an input of the run (a relative spelling of the same path counts).
  cli::TCliOptions none = Options({"-t", "none", "--ext", ".mkv", "--overwrite", "b.avi"});
  cli::BuildUntypedJob(none, folder + "/./b.avi", folder + "/", claims, job);
  EXPECT_EQ(job.OutputFileName, folder + "/b(New_1).mkv");
  EXPECT_EQ(job.Output.FileName, platform::Widen(folder + "/b(New_1).mkv"));
}

TEST(CliJobs, UntypedJobsTakeOnlyTheOptionText) {
  const std::string folder = testsupport::MakeTempSubdir("none");
  TNameClaims claims;
  TJobPlan job;
  const TBuildResult r = cli::BuildUntypedJob(
      Options({"-t", "none", "--ext", "mkv", "--options", "vcodec=copy<CRLF>acodec=copy", "片.avi"}),
      "/in/片.avi", folder, claims, job);
  ASSERT_EQ(r.Status, cli::bsOk);
  EXPECT_EQ(job.OutputFileName, folder + "/片.mkv");
  EXPECT_EQ(job.Output.ExtraOptions, "vcodec=copy<CRLF>acodec=copy");
  const TOutputOptions defaults;
  EXPECT_EQ(job.Output.VideoCodec, defaults.VideoCodec);
  EXPECT_EQ(job.Output.AudioBitrate, defaults.AudioBitrate);
  EXPECT_EQ(job.Output.StartTime, defaults.StartTime);
  EXPECT_EQ(job.Input.FileName, L"/in/片.avi");
}

}  // namespace

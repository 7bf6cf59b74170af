#include "profiles/job_options.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/engine_util.h"
#include "profile_test_helpers.h"
#include "profiles/output_naming.h"

using namespace profiles;
using profiletest::Pick;
using profiletest::Prepare;

namespace {

// Confirms the dialog and builds the records of a job added alone.
struct TJob {
  TInputOptions Input;
  TOutputOptions Output;
};

TJob AddOne(
    profiletest::TPrepared& prepared, const std::string& source = "/d/v/a.avi",
    const TFileExists& exists = [](const std::string&) { return false; },
    TExistingFileAction action = efNewName) {
  EXPECT_EQ(ResolveOptions(prepared.Dialog, "/e/out", prepared.Choice).Status, rsOk);
  TJobRecords records;
  std::string error;
  EXPECT_TRUE(MakeSingleJob(prepared.Choice, source, action, exists, records, error)) << error;
  EXPECT_EQ(records.SlotInput.StartTime, records.TaskInput.StartTime);
  EXPECT_EQ(records.Output.FileName, engine::Utf8ToWide(records.OutputFileName));
  return {records.TaskInput, records.Output};
}

}  // namespace

TEST(JobOptions, PspTypeWithAllDefaults) {
  auto prepared = Prepare(507, "/d/v/a.avi", "/e/out");
  const TJob job = AddOne(prepared);
  const TOutputOptions& out = job.Output;
  EXPECT_EQ(out.FileName, L"/e/out/a.mp4");
  EXPECT_EQ(out.AudioCodec, "aac");
  EXPECT_EQ(out.AudioChannels, 2);
  EXPECT_EQ(out.AudioSampleRate, 24000);
  EXPECT_EQ(out.AudioBitrate, 128000);
  EXPECT_EQ(out.VideoCodec, "");  // "MPEG4视频压缩器" has no rule: the container default
  EXPECT_EQ(out.VideoPreset, "");
  EXPECT_EQ(out.VideoBitrate, 512000);
  EXPECT_EQ(out.FrameSize, "320*240 (PSP所有固件版本适用)");
  EXPECT_EQ(out.FrameRate, "29.97");
  EXPECT_EQ(out.AspectRatio, "4:3");
  EXPECT_EQ(out.AudioVolume, -1);
  EXPECT_FALSE(out.DisableVideo);
  EXPECT_EQ(out.StartTime, 0);
  EXPECT_EQ(out.RecordingTime, kUnsetTime);
  EXPECT_EQ(out.Target, 0);
  EXPECT_EQ(out.TargetNorm, 0);
  EXPECT_EQ(out.VideoTag, "");
  EXPECT_EQ(out.FileFormat, "");
  EXPECT_EQ(prepared.Choice.OutputExt, ".psp.mp4");

  EXPECT_EQ(job.Input.FileName, L"/d/v/a.avi");
  EXPECT_EQ(job.Input.FileFormat, "");
  EXPECT_EQ(job.Input.StartTime, 0);
}

TEST(JobOptions, PspTypeNextToExistingOutputs) {
  const std::set<std::string> files = {"/e/out/a.mp4", "/e/out/a(New_1).mp4"};
  const TFileExists exists = [&](const std::string& path) { return files.count(path) > 0; };
  auto numbered = Prepare(507);
  EXPECT_EQ(AddOne(numbered, "/d/v/a.avi", exists).Output.FileName, L"/e/out/a(New_2).mp4");
  auto overwritten = Prepare(507);
  EXPECT_EQ(AddOne(overwritten, "/d/v/a.avi", exists, efOverwrite).Output.FileName, L"/e/out/a.mp4");
}

TEST(JobOptions, DatInputsAreReadAsMpeg) {
  EXPECT_EQ(MakeInputOptions("/d/v/CLIP.DAT").FileFormat, "mpeg");
  EXPECT_EQ(MakeInputOptions("/d/v/clip.dat").FileFormat, "mpeg");
  EXPECT_EQ(MakeInputOptions("/d/v/clip.data").FileFormat, "");
  EXPECT_EQ(MakeInputOptions("/d/视频/片.avi").FileName, L"/d/视频/片.avi");
  EXPECT_EQ(MakeInputOptions("/d/v/clip.avi").StartTime, kUnsetTime);
}

TEST(JobOptions, FourCharacterCodesOnlyInAvi) {
  auto avi = Prepare(512);  // AVI, "Divx 5 视频压缩器" preselected
  const TOutputOptions aviOut = AddOne(avi).Output;
  EXPECT_EQ(aviOut.VideoCodec, "mpeg4");
  EXPECT_EQ(aviOut.VideoTag, "DX50");

  auto xvid = Prepare(512);
  ASSERT_TRUE(Pick(xvid, olVideoCodec, "XviD 视频压缩器1"));
  EXPECT_EQ(AddOne(xvid).Output.VideoTag, "XVID");

  auto mp4 = Prepare(500);  // MP4, "Divx 5 视频压缩器" preselected
  const TOutputOptions mp4Out = AddOne(mp4).Output;
  EXPECT_EQ(mp4Out.VideoCodec, "mpeg4");
  EXPECT_EQ(mp4Out.VideoTag, "");
}

TEST(JobOptions, H264BringsItsPreset) {
  auto prepared = Prepare(509);  // "H264/AVC高清视频压缩器" preselected
  const TOutputOptions out = AddOne(prepared).Output;
  EXPECT_EQ(out.VideoCodec, "libx264");
  EXPECT_EQ(out.VideoPreset, "libx264-default");
  EXPECT_EQ(out.FileName, L"/e/out/a.avi");
  EXPECT_EQ(out.FrameRate, "25.00");
}

TEST(JobOptions, CutRangeSplitsIntoInputStartAndOutputLength) {
  auto prepared = Prepare(512);
  prepared.Dialog.CutEnabled = true;
  prepared.Dialog.CutTimes = {"00", "00", "10", "00", "00", "40"};
  const TJob job = AddOne(prepared);
  EXPECT_EQ(job.Input.StartTime, 10'000'000);
  EXPECT_EQ(job.Output.RecordingTime, 30'000'000);
  EXPECT_EQ(job.Output.StartTime, kUnsetTime);

  // Jobs of an add of several files ignore the cut rows entirely.
  TOutputOptions many;
  std::string error;
  ASSERT_TRUE(MakeOutputOptions(prepared.Choice, "/e/out/x.avi", false, many, error));
  EXPECT_EQ(many.RecordingTime, kUnsetTime);
  EXPECT_EQ(many.StartTime, kUnsetTime);
}

TEST(JobOptions, DiscAndAudioOnlyTypes) {
  auto dvd = Prepare(517);
  const TOutputOptions dvdOut = AddOne(dvd).Output;
  EXPECT_EQ(dvdOut.Target, 3);
  EXPECT_EQ(dvdOut.TargetNorm, 1);
  EXPECT_EQ(dvdOut.FileName, L"/e/out/a_PAL.mpg");
  EXPECT_EQ(dvdOut.VideoBitrate, -1);
  EXPECT_EQ(dvdOut.AudioBitrate, -1);
  EXPECT_EQ(dvdOut.AudioChannels, -1);
  EXPECT_EQ(dvdOut.VideoCodec, "");
  EXPECT_EQ(dvdOut.AudioCodec, "libmp3lame");

  auto mp3 = Prepare(524);
  ASSERT_TRUE(Pick(mp3, olVolume, "无声音"));
  const TOutputOptions mp3Out = AddOne(mp3).Output;
  EXPECT_TRUE(mp3Out.DisableVideo);
  EXPECT_EQ(mp3Out.AudioVolume, 0);
  EXPECT_EQ(mp3Out.FrameSize, "");
  EXPECT_EQ(mp3Out.AspectRatio, "");
  EXPECT_EQ(mp3Out.VideoBitrate, -1);
  EXPECT_EQ(mp3Out.FileName, L"/e/out/a.mp3");

  auto rm = Prepare(15);
  const TOutputOptions rmOut = AddOne(rm).Output;
  EXPECT_EQ(rmOut.AudioCodec, "");
  EXPECT_EQ(rmOut.AudioSampleRate, -1);
  EXPECT_EQ(rmOut.AudioBitrate, -1);
}

TEST(JobOptions, PendingValuesThatAreNoNumbersAreReported) {
  TJobChoice choice;
  choice.Pending.AudioChannels = "stereo";
  TOutputOptions out;
  std::string error;
  EXPECT_FALSE(MakeOutputOptions(choice, "/e/out/a.mp4", true, out, error));
  EXPECT_NE(error.find("stereo"), std::string::npos);

  choice.Pending.AudioChannels.clear();
  choice.Pending.AudioSampleRate = "AUTO";
  EXPECT_TRUE(MakeOutputOptions(choice, "/e/out/a.mp4", true, out, error));
  EXPECT_EQ(out.AudioSampleRate, -1);
}

TEST(JobOptions, SeveralFilesShareOneChoice) {
  auto prepared = Prepare(512, "/in/y.ts");
  ASSERT_EQ(ResolveOptions(prepared.Dialog, "/e/out", prepared.Choice).Status, rsOk);
  const TFileExists exists = [](const std::string& path) { return path == "/e/out/y.avi"; };
  // Processed from the last file to the first.
  TJobRecords y, x;
  std::string error;
  ASSERT_TRUE(MakeManyJob(prepared.Choice, "/in/y.ts", "/e/out", efNewName, exists, y, error));
  ASSERT_TRUE(MakeManyJob(prepared.Choice, "/in/x.rmvb", "/e/out", efNewName, exists, x, error));
  EXPECT_EQ(y.OutputFileName, "/e/out/y(New_1).avi");
  EXPECT_EQ(x.OutputFileName, "/e/out/x.avi");
  EXPECT_EQ(x.Output.VideoTag, "DX50");
  EXPECT_EQ(x.TaskInput.FileName, L"/in/x.rmvb");
  EXPECT_EQ(x.TaskInput.StartTime, kUnsetTime);  // the task reads from the start
  EXPECT_EQ(x.SlotInput.StartTime, 0);
  EXPECT_EQ(x.Output.StartTime, kUnsetTime);
  EXPECT_EQ(x.Output.RecordingTime, kUnsetTime);
}

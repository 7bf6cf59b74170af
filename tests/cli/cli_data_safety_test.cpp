// The converter and the files around it: inputs are never written, only
// plain files are read, names are bytes, signals end a run with its outputs
// closed properly, and the --options text is checked before anything runs.
#include <chrono>
#include <filesystem>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_option_text.h"
#include "cli/cli_progress.h"
#include "program_checks.h"
#include "program_runner.h"
#include "support/test_media.h"

namespace {

using clitest::Describe;
using clitest::FileContents;
using clitest::FilesIn;
using clitest::kCLocale;
using clitest::RunConvert;
using clitest::SmallInput;
using clitest::TProgramResult;

const std::vector<std::string> kCopy = {"-t",  "none",      "--ext",
                                        "mkv", "--options", "vcodec=copy<CRLF>acodec=copy"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Every file in the folder holds a readable conversion: no empty
// placeholders, no files without their end.
void ExpectOnlyWholeFiles(const std::string& folder) {
  for (const std::string& file : FilesIn(folder)) {
    EXPECT_GT(std::filesystem::file_size(file), 0u) << file;
    const testsupport::MediaSummary written = testsupport::ReadMedia(file);
    EXPECT_TRUE(written.ok) << file << ": " << written.error;
  }
}

TEST(CliDataSafety, AHardLinkOfTheInputIsNeverOverwritten) {
  const std::string folder = testsupport::MakeTempSubdir("link");
  const std::string input = folder + "/v.avi";
  std::filesystem::copy_file(SmallInput(), input);
  const std::string original = FileContents(input);
  ASSERT_EQ(link(input.c_str(), (folder + "/v.mkv").c_str()), 0);

  const TProgramResult r = RunConvert(With(kCopy, {"--overwrite", "-o", folder, input}));
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_EQ(r.Out.find(" -> " + folder + "/v.mkv\n"), std::string::npos) << r.Out;
  EXPECT_EQ(FileContents(input), original);
  EXPECT_EQ(FileContents(folder + "/v.mkv"), original);
  EXPECT_EQ(FilesIn(folder).size(), 3u);
}

TEST(CliDataSafety, PipesFoldersAndDevicesAreRefusedAtOnce) {
  const std::string folder = testsupport::MakeTempSubdir("special");
  const std::string fifo = folder + "/in.avi";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string out = testsupport::MakeTempSubdir("special_out");

  // Nobody ever writes into the pipe: a wait for it would never end.
  const TProgramResult r =
      clitest::TProgram(With(kCopy, {"-o", out, fifo, folder, "/dev/zero", SmallInput()})).Wait(120);
  EXPECT_EQ(r.Status, 1) << Describe(r);
  EXPECT_NE(r.Err.find("failed  " + fifo + ": is a pipe, not a file"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("failed  " + folder + ": is a folder, not a file"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("failed  /dev/zero: is a device, not a file"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("done    " + SmallInput()), std::string::npos) << r.Out;

  const TProgramResult info = clitest::TProgram({"--info", fifo}).Wait(60);
  EXPECT_EQ(info.Status, 1) << Describe(info);
  EXPECT_NE(info.Err.find("is a pipe"), std::string::npos) << info.Err;
}

// A GBK-encoded name ("测试.avi" from an old archive) converts under a
// UTF-8 and under the C locale; the output keeps the very bytes, and the
// lines show them as \xNN.
TEST(CliDataSafety, NamesThatAreNotUtf8ConvertAndKeepTheirBytes) {
  const std::string stem = "\xB2\xE2\xCA\xD4";
  const std::string folder = testsupport::MakeTempSubdir("gbk");
  const std::string input = folder + "/" + stem + ".avi";
  std::filesystem::copy_file(SmallInput(), input);
  int run = 0;
  for (const clitest::TEnvironment& env :
       {clitest::TEnvironment{{"LANG", "C.UTF-8"}, {"LC_ALL", "C.UTF-8"}}, kCLocale}) {
    const std::string out = testsupport::MakeTempSubdir("gbk_out" + std::to_string(++run));
    const TProgramResult r = RunConvert(With(kCopy, {"-o", out, input}), env);
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out,
              "done    " + folder + "/\\xB2\\xE2\\xCA\\xD4.avi -> " + out + "/\\xB2\\xE2\\xCA\\xD4.mkv\n");
    EXPECT_EQ(FilesIn(out), std::vector<std::string>{out + "/" + stem + ".mkv"});
    const testsupport::MediaSummary written = testsupport::ReadMedia(out + "/" + stem + ".mkv");
    EXPECT_TRUE(written.ok) << written.error;

    const TProgramResult info = RunConvert({"--info", input}, env);
    EXPECT_EQ(info.Status, 0) << Describe(info);
  }
}

TEST(CliDataSafety, ShownTextEscapesWhatATerminalCannotShow) {
  EXPECT_EQ(cli::ShownText("视频 a.avi\tx\n"), "视频 a.avi\tx\n");
  EXPECT_EQ(cli::ShownText("\xB2\xE2\xCA\xD4.avi"), "\\xB2\\xE2\\xCA\\xD4.avi");
  EXPECT_EQ(cli::ShownText("a\x1b[2Jb\x7f"), "a\\x1B[2Jb\\x7F");
  EXPECT_EQ(cli::ShownText("line\r\nnext\rx"), "line\nnext\\x0Dx");
  EXPECT_EQ(cli::ShownText("\xC2\x9B"
                           "1\xE8\xA7"),
            "\\xC2\\x9B1\\xE8\\xA7");                            // a C1 control, a cut character
  EXPECT_EQ(cli::ShownText("\xED\xB2\x80"), "\\xED\\xB2\\x80");  // an encoded surrogate
}

// Waits until the run has begun writing one of its outputs.
bool WaitForOutputData(const std::string& folder) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    for (const std::string& file : FilesIn(folder))
      if (std::filesystem::file_size(file) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Any stop signal, once or twice: the status tells which, every file left
// behind is whole, and the jobs that never ran leave nothing.
TEST(CliDataSafety, StopSignalsLeaveOnlyWholeOutputs) {
  testsupport::MediaSpec spec = testsupport::AviMpeg4Mp3Spec();
  spec.seconds = 6.0;
  const std::string input = testsupport::CachedMedia("six.avi", spec);
  struct Case {
    int signal;
    int count;
  };
  for (const Case c : {Case{SIGTERM, 1}, Case{SIGHUP, 1}, Case{SIGINT, 2}}) {
    SCOPED_TRACE("signal " + std::to_string(c.signal) + " x" + std::to_string(c.count));
    const std::string folder = testsupport::MakeTempSubdir("signal");
    clitest::TProgram program({"-t", "500", "-o", folder, input, input, input});
    ASSERT_TRUE(WaitForOutputData(folder)) << "no conversion began";
    for (int i = 0; i < c.count; ++i) kill(program.Pid(), c.signal);
    const TProgramResult r = program.Wait();
    ASSERT_EQ(r.Status, 128 + c.signal) << Describe(r);
    EXPECT_NE(r.Out.find("stopped "), std::string::npos) << r.Out;
    EXPECT_LT(FilesIn(folder).size(), 3u);  // the last job never ran
    ExpectOnlyWholeFiles(folder);
  }
}

// Standard output closed early (" | head -0"): the run goes on and ends well.
TEST(CliDataSafety, AClosedStandardOutputDoesNotEndTheRun) {
  const std::string folder = testsupport::MakeTempSubdir("pipe");
  clitest::TProgram program(With(kCopy, {"-o", folder, SmallInput(), testsupport::AviMpeg4Mp3()}), {},
                            clitest::soClosedPipe);
  const TProgramResult r = program.Wait();
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_EQ(FilesIn(folder).size(), 2u);
  ExpectOnlyWholeFiles(folder);
}

TEST(CliDataSafety, RunsThatWriteNothingOrReadAShortInputSaySo) {
  const std::string folder = testsupport::MakeTempSubdir("empty");
  TProgramResult r = RunConvert({"-t", "none", "--ext", "mkv", "--options",
                                 "ss=10<CRLF>vcodec=copy<CRLF>acodec=copy", "-o", folder, SmallInput()});
  EXPECT_EQ(r.Status, 1) << Describe(r);
  EXPECT_NE(r.Err.find("Nothing was written to " + folder + "/small.mkv"), std::string::npos) << r.Err;
  EXPECT_TRUE(FilesIn(folder).empty());

  testsupport::MediaSpec spec = testsupport::AviMpeg4Mp3Spec();
  spec.width = 160;
  spec.height = 120;
  spec.seconds = 8.0;
  const std::string cut =
      testsupport::TruncatedCopy(testsupport::CachedMedia("eight.avi", spec), 0.3, "cut.avi");
  r = RunConvert(With(kCopy, {"-o", folder, cut}));
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(r.Out.find(" (input ended at "), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find(" s of 8.0 s)\n"), std::string::npos) << r.Out;
}

TEST(CliDataSafety, OptionTextIsCheckedBeforeTheRun) {
  EXPECT_EQ(cli::RefusedOptionValue("vcodec=copy<CRLF>r=25<CRLF>s=320x240<CRLF>ar=44100<CRLF>r=ntsc"), "");
  EXPECT_EQ(cli::RefusedOptionValue("threads=many"),
            "--options: threads=many: 'many' is not a valid integer value");
  EXPECT_EQ(cli::RefusedOptionValue("qscale=x"),
            "--options: qscale=x: 'x' is not a valid floating point value");
  for (const char* absurd : {"r=99999999", "r=0", "r=-5", "r=1000000/1", "s=100000x10", "ar=5", "ac=1000",
                             "threads=100000", "vol=-1"})
    EXPECT_NE(cli::RefusedOptionValue(absurd), "") << absurd;

  // On the command line: refused before anything is opened, no source
  // places in the message.
  const std::string folder = testsupport::MakeTempSubdir("options");
  TProgramResult r = RunConvert({"--options", "r=99999999", "-o", folder, SmallInput()});
  EXPECT_EQ(r.Status, 2) << Describe(r);
  EXPECT_NE(r.Err.find("r=99999999: a frame rate must lie above 0"), std::string::npos) << r.Err;
  EXPECT_TRUE(FilesIn(folder).empty());
  r = RunConvert(
      With(kCopy, {"--options", "vcodec=copy<CRLF>acodec=copy<CRLF>vtag=ab", "-o", folder, SmallInput()}));
  EXPECT_EQ(r.Status, 1) << Describe(r);
  EXPECT_NE(r.Err.find("video tag parameter must be 4 chars"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find(".cpp"), std::string::npos) << r.Err;

  // Warnings for names nothing knows and for lines the type replaces; the
  // run itself goes on, and without -v the libraries' warnings stay away.
  r = RunConvert(
      {"-t", "500", "--options", "ss=5<CRLF>nosuchoption=1<CRLF>crf=30", "-o", folder, SmallInput()});
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_NE(
      r.Err.find("warning: --options: 'ss=5' has no effect: type 500 sets its start time itself (use --cut"),
      std::string::npos)
      << r.Err;
  EXPECT_NE(r.Err.find("warning: --options: 'nosuchoption' is not an option"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find("crf"), std::string::npos) << r.Err;
  r = RunConvert({"-t", "500", "-o", folder, SmallInput()});
  EXPECT_EQ(r.Status, 0) << Describe(r);
  EXPECT_EQ(r.Err, "");
}

}  // namespace

// What a task does to the files around it: it never writes onto its input,
// keeps only outputs that hold a complete conversion, and says when an input
// ended before its stated duration.
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "context_fixture.h"
#include "convert_support.h"
#include "support/file_size_limit.h"

namespace {

using converttest::Conversion;
using converttest::Convert;

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// 8 s of small video and sound, so that a cut copy is clearly short.
std::string EightSeconds(const std::string& container) {
  testsupport::MediaSpec spec = testsupport::AviMpeg4Mp3Spec();
  spec.container = container;
  spec.videoTag.clear();
  spec.width = 160;
  spec.height = 120;
  spec.seconds = 8.0;
  return testsupport::CachedMedia("eight." + container, spec);
}

TOutputOptions Record(const std::string& extra) {
  TOutputOptions options;
  options.ExtraOptions = extra;
  return options;
}

class DataSafetyTest : public enginetest::ContextTest {};

// The same file under another name: a hard link, a symbolic link, a
// spelling with "." and "..". Refused before anything is written; the input
// keeps every byte.
TEST_F(DataSafetyTest, AnOutputThatIsTheInputIsRefusedUnderAnyName) {
  const std::string folder = testsupport::MakeTempSubdir("same");
  const std::string input = folder + "/v.avi";
  ASSERT_TRUE(testsupport::WriteMedia(input, testsupport::AviMpeg4Mp3Spec()));
  const std::string original = Contents(input);
  ASSERT_EQ(link(input.c_str(), (folder + "/hard.avi").c_str()), 0);
  ASSERT_EQ(symlink(input.c_str(), (folder + "/soft.mkv").c_str()), 0);

  for (const std::string& output : {folder + "/hard.avi", folder + "/soft.mkv",
                                    folder + "/../" + folder.substr(folder.rfind('/') + 1) + "/./v.avi"}) {
    SCOPED_TRACE(output);
    const Conversion run = Convert(input, output, Record("vcodec=copy<CRLF>acodec=copy"));
    EXPECT_EQ(run.error.rfind("output: ", 0), 0u) << run.error;
    EXPECT_NE(run.error.find("an input is never overwritten"), std::string::npos) << run.error;
    EXPECT_EQ(Contents(input), original);
  }
  EXPECT_TRUE(Exists(folder + "/soft.mkv"));

  // A task with two inputs: the second one is protected as well, and other
  // names still open.
  ASSERT_TRUE(AddInput(testsupport::WavPcm()));
  ASSERT_TRUE(AddInput(input));
  EXPECT_FALSE(AddOutput(folder + "/hard.avi"));
  EXPECT_NE(task.LastOpenError().find("is the input file " + input), std::string::npos)
      << task.LastOpenError();
  EXPECT_TRUE(AddOutput(folder + "/other.avi")) << task.LastOpenError();
  EXPECT_EQ(Contents(input), original);
}

// A start beyond the end and a zero duration write no packet: the task
// fails with a message that says so and leaves no file. A stop before the
// first packet leaves no file either, but is no failure.
TEST_F(DataSafetyTest, AConversionThatWritesNoPacketFailsAndLeavesNoFile) {
  const std::string input = testsupport::AviMpeg4Mp3();  // 2 s
  const std::string folder = testsupport::MakeTempSubdir("nothing");
  struct Case {
    std::string output, inputExtra, outputExtra;
  };
  const Case cases[] = {
      {folder + "/beyond.mkv", "", "ss=10"},
      {folder + "/beyond_copy.mkv", "", "ss=10<CRLF>vcodec=copy<CRLF>acodec=copy"},
      {folder + "/zero.mkv", "", "t=0"},
      {folder + "/zero_copy.mkv", "", "t=0<CRLF>vcodec=copy<CRLF>acodec=copy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const Conversion run = Convert(input, c.output, Record(c.outputExtra), {}, c.inputExtra);
    EXPECT_EQ(run.error.rfind("Nothing was written to " + c.output + ": ", 0), 0u) << run.error;
    EXPECT_FALSE(run.finished && run.error.empty());
    EXPECT_FALSE(Exists(c.output));
  }

  const std::string stopped = folder + "/stopped.mkv";
  const Conversion run = Convert(input, stopped, Record(""), [](TCustomFFmpeg& t) { t.RequestStop(false); });
  EXPECT_EQ(run.error, "");
  EXPECT_FALSE(run.finished);
  EXPECT_FALSE(Exists(stopped));
}

// Writing fails part-way (the file size limit stands in for a full disk):
// the task reports the failure and its partial output is gone.
TEST_F(DataSafetyTest, AFailedConversionLeavesNoPartialFile) {
  const std::string input = EightSeconds("avi");
  const std::string output = testsupport::MakeTempSubdir("full") + "/out.avi";
  Conversion run;
  {
    const testsupport::FileSizeLimit cap(64 * 1024);
    ASSERT_TRUE(cap.Ok());
    run = Convert(input, output, Record("vcodec=mpeg4<CRLF>b=2000k"));
  }

  EXPECT_NE(run.error, "");
  EXPECT_NE(run.error.find(engine::LibraryErrorText(AVERROR(EFBIG))), std::string::npos) << run.error;
  EXPECT_FALSE(Exists(output));

  // The same conversion without the limit is kept.
  const Conversion whole = Convert(input, output, Record("vcodec=mpeg4<CRLF>b=2000k"));
  EXPECT_EQ(whole.error, "");
  EXPECT_TRUE(testsupport::ReadMedia(output).ok);
}

// A copy cut short converts what is there, and the task says where the
// input ended; a whole file says nothing.
TEST_F(DataSafetyTest, AnInputThatEndsEarlyIsConvertedAndNoted) {
  for (const std::string container : {"avi", "matroska"}) {
    SCOPED_TRACE(container);
    const std::string whole = EightSeconds(container);
    const std::string cut = testsupport::TruncatedCopy(whole, 0.3, "cut_" + container);
    const std::string folder = testsupport::MakeTempSubdir("early");
    std::string note = "(none)";
    auto keepNote = [&note](TCustomFFmpeg& t) {
      t.TerminateRelay = [&note](TTaskRunner& done) {
        note = static_cast<TCustomFFmpeg&>(done).InputEndNote();
      };
    };

    const Conversion run = Convert(cut, folder + "/cut.mkv", Record(""), keepNote);
    EXPECT_EQ(run.error, "");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(note.rfind("input ended at ", 0), 0u) << note;
    EXPECT_NE(note.find(" s of 8.0 s"), std::string::npos) << note;
    const testsupport::MediaSummary written = testsupport::ReadMedia(folder + "/cut.mkv");
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_GT(written.durationUs, 1'000'000);
    EXPECT_LT(written.durationUs, 4'000'000);

    const Conversion complete = Convert(whole, folder + "/whole.mkv", Record(""), keepNote);
    EXPECT_EQ(complete.error, "");
    EXPECT_EQ(note, "");
  }
}

}  // namespace


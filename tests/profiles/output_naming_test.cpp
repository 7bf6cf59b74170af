#include "profiles/output_naming.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using namespace profiles;

namespace {

TFileExists ExistingFiles(std::set<std::string> files) {
  return [files = std::move(files)](const std::string& path) { return files.count(path) > 0; };
}

}  // namespace

TEST(OutputNaming, SingleJobNumbersPastEveryExistingName) {
  const auto exists = ExistingFiles({"/e/out/a.mp4", "/e/out/a(New_1).mp4"});
  EXPECT_EQ(SingleJobOutputName("/e/out/a.mp4", efNewName, exists), "/e/out/a(New_2).mp4");
  EXPECT_EQ(SingleJobOutputName("/e/out/a.mp4", efOverwrite, exists), "/e/out/a.mp4");
  EXPECT_EQ(SingleJobOutputName("/e/out/b.mp4", efNewName, exists), "/e/out/b.mp4");
  // A dot in a folder name is no extension.
  EXPECT_EQ(SingleJobOutputName("/e/v1.2/clip", efNewName, ExistingFiles({"/e/v1.2/clip"})),
            "/e/v1.2/clip(New_1)");
}

TEST(OutputNaming, SeveralFilesTakeTheDialogsExtension) {
  const auto none = ExistingFiles({});
  EXPECT_EQ(ManyJobsOutputName("/e/out", "/in/x.rmvb", "/e/out/y.avi", efNewName, none), "/e/out/x.avi");
  EXPECT_EQ(ManyJobsOutputName("/e/out", "/in/y.ts", "/e/out/y.avi", efNewName, none), "/e/out/y.avi");
  // After a disc preset the dialog's name ends in "_PAL.mpg"; only ".mpg" is taken.
  EXPECT_EQ(ManyJobsOutputName("/e/out", "/in/z.vob", "/e/out/first_PAL.mpg", efNewName, none),
            "/e/out/z.mpg");
  EXPECT_EQ(
      ManyJobsOutputName("/e/out", "/in/x.rmvb", "/e/out/y.avi", efNewName, ExistingFiles({"/e/out/x.avi"})),
      "/e/out/x(New_1).avi");
}

TEST(OutputNaming, RebuildRecomputesNumberedNamesInTheNewFolder) {
  const std::string stored = "/old/a(New_3).mp4";
  EXPECT_EQ(RebuiltOutputName("/new", stored, efNewName, ExistingFiles({})), "/new/a.mp4");
  EXPECT_EQ(RebuiltOutputName("/new", stored, efNewName, ExistingFiles({"/new/a.mp4"})), "/new/a(New_1).mp4");
  EXPECT_EQ(RebuiltOutputName("/new", stored, efOverwrite, ExistingFiles({"/new/a.mp4"})), "/new/a.mp4");
  // A name without a number is used as it is, even over an existing file.
  EXPECT_EQ(RebuiltOutputName("/new", "/old/b.avi", efNewName, ExistingFiles({"/new/b.avi"})), "/new/b.avi");
}

// Only the file name is looked at: a folder called "x(New_1)" must not cut the path short.
TEST(OutputNaming, RebuildIgnoresTheMarkerInFolderNames) {
  EXPECT_EQ(RebuiltOutputName("/home/u/x(New_1)", "/old/b.avi", efNewName, ExistingFiles({})),
            "/home/u/x(New_1)/b.avi");
  EXPECT_EQ(RebuiltOutputName("/home/u/x(New_1)", "/old/c(New_2).avi", efNewName, ExistingFiles({})),
            "/home/u/x(New_1)/c.avi");
}

TEST(OutputNaming, ExistenceOnDisk) {
  const std::string dir = testsupport::MakeTempSubdir("naming");
  std::ofstream(dir + "/a.mp4") << "x";
  EXPECT_TRUE(PathExistsOnDisk(dir + "/a.mp4"));
  EXPECT_FALSE(PathExistsOnDisk(dir + "/b.mp4"));
  EXPECT_EQ(SingleJobOutputName(dir + "/a.mp4", efNewName, PathExistsOnDisk), dir + "/a(New_1).mp4");
}

TEST(OutputNaming, DefaultFolderIsInTheHomeFolder) {
  const char* saved = std::getenv("HOME");
  const std::string home = saved ? saved : "";
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(DefaultOutputFolder(), "/home/someone/Video_Directory");
  if (saved)
    ::setenv("HOME", home.c_str(), 1);
  else
    ::unsetenv("HOME");
}

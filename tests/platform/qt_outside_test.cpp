#include "platform/qt/qt_outside.h"

#include <fstream>
#include <sstream>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

// Downloads go through Qt Network; a file: address exercises the whole road
// (request, reply, saving beside the target and renaming) without a network.
TEST(QtOutside, DownloadSavesTheBodyOrLeavesNothing) {
  int argc = 1;
  char name[] = "test_platform";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  const std::string source = testsupport::TempPath("update-source.ini");
  std::ofstream(source) << "[Version]\nv=3\n";
  const std::string target = testsupport::TempPath("update.ini");
  platform::QtOutside outside;
  std::string error;
  ASSERT_TRUE(outside.DownloadToFile("file://" + source, target, &error)) << error;
  std::ifstream in(target);
  std::stringstream body;
  body << in.rdbuf();
  EXPECT_EQ(body.str(), "[Version]\nv=3\n");

  const std::string missingTarget = testsupport::TempPath("never.ini");
  EXPECT_FALSE(outside.DownloadToFile("file://" + source + ".missing", missingTarget, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(platform::IsExistingFile(missingTarget));
}

// The shell around the main window: the stored skin reaches the main window
// and every dialog when shown, a choice from the skin menu applies at once,
// and a batch that ended in the background becomes a desktop notification.
#include <QDialog>
#include <QMenu>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/shell_wiring.h"
#include "app_test_support.h"
#include "platform/ini_file.h"
#include "platform/recording_outside.h"
#include "support/media_libraries.h"

namespace {

class ShellWiringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::App();
    testsupport::LoadConverterLibraries();
    program = testsupport::MakeTempSubdir("program");
  }
  std::unique_ptr<app::MainWindow> MakeWindow() {
    auto window = std::make_unique<app::MainWindow>(program);
    new app::ShellWiring(*window, program + "/system.ini", program);
    return window;
  }

  std::string program;
  apptest::FakeDialogs dialogs;
  platform::RecordingOutside outside;
};

TEST_F(ShellWiringTest, StoredSkinReachesTheWindowAndEveryDialogWhenShown) {
  {
    auto plain = MakeWindow();  // no skin stored: the designed look stays
    EXPECT_TRUE(plain->styleSheet().isEmpty());
    plain->close();
  }
  platform::IniFile(program + "/system.ini").WriteString("skin", "SetSkin", "skin7");
  auto window = MakeWindow();
  EXPECT_FALSE(window->styleSheet().isEmpty());

  QDialog dialog(window.get());
  EXPECT_TRUE(dialog.styleSheet().isEmpty());
  dialog.show();
  EXPECT_EQ(dialog.styleSheet(), window->styleSheet());
  dialog.hide();
  window->close();
}

TEST_F(ShellWiringTest, SkinMenuChoiceAppliesAtOnceAndIsStored) {
  auto window = MakeWindow();
  EXPECT_TRUE(window->styleSheet().isEmpty());
  QList<QAction*> entries = window->findChild<QToolButton*>("btnSkin")->menu()->actions();
  ASSERT_EQ(entries.size(), 17);
  entries.at(6)->trigger();  // "深蓝色皮肤"
  const QString deepBlue = window->styleSheet();
  EXPECT_FALSE(deepBlue.isEmpty());
  EXPECT_EQ(platform::IniFile(program + "/system.ini").ReadString("skin", "SetSkin"), "skin7");
  entries.at(7)->trigger();  // "蓝色玻璃皮肤": another look
  EXPECT_NE(window->styleSheet(), deepBlue);
  window->close();
}

TEST_F(ShellWiringTest, BatchEndInTheBackgroundIsNotified) {
  auto window = MakeWindow();
  emit window->BatchEndedInBackground(3, 1);
  emit window->BatchEndedInBackground(2, 0);
  EXPECT_EQ(outside.Calls(), std::vector<std::string>({
                                 "notify Quvexa: 转换结束：3 个文件转换完成，1 个文件转换失败。",
                                 "notify Quvexa: 转换结束：2 个文件转换完成。",
                             }));
  window->close();
}

}  // namespace

// The skin menu and the stored skin: a choice reaches system.ini and every
// window that is created or shown afterwards; values that name no skin
// change nothing and write nothing.
#include "skin/saved_skin.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <QAction>
#include <QDialog>
#include <QMainWindow>
#include <QMenu>
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "qt_test_app.h"
#include "skin/built_in_looks.h"
#include "skin/skin_menu.h"
#include "support/temp_dir.h"

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

QString SkinFileText(const char* name) {
  return QString::fromStdString(FileText(platform::ExecutableFolder() + "skins/" + name));
}

QAction* EntryNamed(QMenu& menu, const char* caption) {
  for (QAction* action : menu.actions())
    if (action->text() == QString::fromUtf8(caption)) return action;
  return nullptr;
}

// The look a window is designed with, so that "left alone" can be seen.
constexpr char kDesignedLook[] = "QWidget { color: #123456; }";

class SavedSkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skintest::TestApp();
    folder = testsupport::MakeTempSubdir("skin-ini");
    iniPath = folder + "/system.ini";
  }
  std::string folder, iniPath;
  std::string program = platform::ExecutableFolder();
};

}  // namespace

TEST_F(SavedSkinTest, TheMenuListsTheSkinsInOrderWithTheStoredOneChecked) {
  QMenu menu;
  skin::BuildSkinMenu(&menu, "skin7", nullptr);
  QStringList captions, values, checked;
  for (QAction* action : menu.actions()) {
    captions << action->text();
    values << action->data().toString();
    EXPECT_TRUE(action->isCheckable());
    if (action->isChecked()) checked << action->data().toString();
  }
  EXPECT_EQ(captions, QStringList({"微软MSN皮肤", "冬天的色彩皮肤", "WMP10皮肤", "WinXP标准皮肤",
                                   "Protein样式皮肤", "RealOne风格皮肤", "深蓝色皮肤", "蓝色玻璃皮肤",
                                   "Vista风格皮肤", "Mac苹果皮肤", "深绿色皮肤", "桔红色皮肤", "绿色玻璃皮肤",
                                   "时尚蓝色blue皮肤", "时尚的Cyan皮肤", "运动黑色皮肤", "XP绿色皮肤"}));
  EXPECT_EQ(values,
            QStringList({"skin2", "skin18", "skin3", "skin4", "skin5", "skin6", "skin7", "skin8", "skin9",
                         "skin1", "skin10", "skin11", "skin12", "skin13", "skin14", "skin15", "skin16"}));
  EXPECT_EQ(checked, QStringList({"skin7"}));

  QMenu fresh;
  skin::BuildSkinMenu(&fresh, "Error", nullptr);
  for (QAction* action : fresh.actions()) EXPECT_FALSE(action->isChecked());
}

TEST_F(SavedSkinTest, AChoiceFromTheMenuReachesTheFileAndEveryWindowShownLater) {
  QMainWindow main;
  main.setStyleSheet(kDesignedLook);
  QDialog options;
  options.setStyleSheet(kDesignedLook);
  platform::IniFile ini(iniPath);

  QMenu menu;
  QActionGroup* group = skin::BuildSkinMenu(&menu, skin::ReadSkinSetting(ini), [&](const std::string& value) {
    EXPECT_TRUE(skin::ChooseSkin(&main, value, ini, program));
  });
  EntryNamed(menu, "Mac苹果皮肤")->trigger();
  EXPECT_EQ(ini.ReadString("skin", "SetSkin"), "skin1");
  EXPECT_EQ(main.styleSheet(), skin::BuiltInLook(skin::TUIStyle::MacOS).styleSheet);
  // The dialog was not open: it takes the look when it is shown next.
  EXPECT_EQ(options.styleSheet(), kDesignedLook);
  EXPECT_EQ(skin::ApplySavedSkin(&options, ini, program), skin::FindSkin("skin1"));
  EXPECT_EQ(options.styleSheet(), main.styleSheet());

  EntryNamed(menu, "深绿色皮肤")->trigger();
  EXPECT_EQ(ini.ReadString("skin", "SetSkin"), "skin10");
  EXPECT_EQ(main.styleSheet(), SkinFileText("DeepGreen.skin"));
  EXPECT_TRUE(EntryNamed(menu, "深绿色皮肤")->isChecked());
  EXPECT_FALSE(EntryNamed(menu, "Mac苹果皮肤")->isChecked());

  // A menu built at the next start shows the stored choice.
  QMenu next;
  skin::BuildSkinMenu(&next, skin::ReadSkinSetting(ini), nullptr);
  EXPECT_TRUE(EntryNamed(next, "深绿色皮肤")->isChecked());
  skin::CheckSkinEntry(group, "skin17");
  for (QAction* action : menu.actions()) EXPECT_FALSE(action->isChecked());
}

TEST_F(SavedSkinTest, ValuesThatNameNoSkinLeaveTheDesignedLookAndWriteNothing) {
  QDialog dialog;
  dialog.setStyleSheet(kDesignedLook);
  platform::IniFile ini(iniPath);

  // No system.ini at all: nothing applied, the file is not created.
  EXPECT_EQ(skin::ReadSkinSetting(ini), "Error");
  EXPECT_EQ(skin::ApplySavedSkin(&dialog, ini, program), nullptr);
  EXPECT_FALSE(platform::IsExistingFile(iniPath));

  for (const char* value : {"Error", "", "skin0", "skin19", "SKIN1", " skin1x", "msn"}) {
    std::ofstream(iniPath) << "[OutPath]\nOutPath=/tmp\n[skin]\nSetSkin=" << value << "\n";
    const std::string before = FileText(iniPath);
    EXPECT_EQ(skin::ApplySavedSkin(&dialog, ini, program), nullptr) << value;
    EXPECT_EQ(dialog.styleSheet(), kDesignedLook) << value;
    EXPECT_EQ(FileText(iniPath), before) << value;
  }

  // The value without a menu entry is still recognised when read.
  std::ofstream(iniPath) << "[skin]\nSetSkin=skin17\n";
  EXPECT_EQ(skin::ApplySavedSkin(&dialog, ini, program), skin::FindSkin("skin17"));
  EXPECT_EQ(dialog.styleSheet(), SkinFileText("royale.skin"));
}

TEST_F(SavedSkinTest, AChoiceWhoseFileIsMissingIsStoredAndTheWindowStaysUsable) {
  QMainWindow main;
  main.setStyleSheet(kDesignedLook);
  platform::IniFile ini(iniPath);
  const std::string emptyProgramFolder = testsupport::MakeTempSubdir("program") + "/";

  EXPECT_TRUE(skin::ChooseSkin(&main, "skin2", ini, emptyProgramFolder));
  EXPECT_EQ(ini.ReadString("skin", "SetSkin"), "skin2");
  EXPECT_EQ(main.styleSheet(), kDesignedLook);
  main.show();
  EXPECT_FALSE(main.grab().isNull());

  // An installed copy finds its skins in the shared data folder.
  const std::string installed = testsupport::MakeTempSubdir("installed");
  ASSERT_EQ(system(("mkdir -p " + installed + "/bin " + installed + "/share/quvexa/skins && cp " + program +
                    "skins/msn.skin " + installed + "/share/quvexa/skins/")
                       .c_str()),
            0);
  EXPECT_EQ(skin::ApplySavedSkin(&main, ini, installed + "/bin/"), skin::FindSkin("skin2"));
  EXPECT_EQ(main.styleSheet(), SkinFileText("msn.skin"));

  EXPECT_FALSE(skin::ChooseSkin(&main, "skin99", ini, program));
  EXPECT_EQ(ini.ReadString("skin", "SetSkin"), "skin2");
}

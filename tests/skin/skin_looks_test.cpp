// Every look — the five built in and the skin files shipped beside the
// program — loads, reads well, differs from the others and draws every kind
// of control without a complaint from Qt.
#include <fstream>
#include <set>

#include <QComboBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "qt_test_app.h"
#include "skin/built_in_looks.h"
#include "skin/colour_math.h"
#include "skin/skin_apply.h"
#include "skin/skin_menu.h"
#include "skin/skin_table.h"
#include "skin_sampler.h"
#include "support/temp_dir.h"

namespace {

skin::SkinSheet SheetOf(const skin::SkinEntry& entry) {
  if (entry.look != skin::TUIStyle::FromThemeFile) return skin::BuiltInLook(entry.look);
  skin::SkinSheet sheet;
  std::string error;
  EXPECT_TRUE(skin::LoadSkinFile(skin::SkinFilePath(platform::ExecutableFolder(), entry), &sheet, &error))
      << entry.value << ": " << error;
  return sheet;
}

void ExpectReadable(const QPalette& p, QPalette::ColorRole text, QPalette::ColorRole ground, double least,
                    const char* value) {
  EXPECT_GE(skin::ContrastRatio(p.color(text), p.color(ground)), least)
      << value << ": " << p.color(text).name().toStdString() << " on "
      << p.color(ground).name().toStdString();
}

}  // namespace

TEST(SkinLooks, EveryLookHasItsPaletteReadsWellAndDiffersFromTheOthers) {
  skintest::TestApp();
  std::set<std::string> seen;
  for (const skin::SkinEntry& entry : skin::SkinEntries()) {
    const skin::SkinSheet sheet = SheetOf(entry);
    ASSERT_TRUE(sheet.hasPalette) << entry.value;
    EXPECT_FALSE(sheet.styleSheet.isEmpty()) << entry.value;
    const QPalette& p = sheet.palette;
    ExpectReadable(p, QPalette::WindowText, QPalette::Window, 4.5, entry.value);
    ExpectReadable(p, QPalette::Text, QPalette::Base, 4.5, entry.value);
    ExpectReadable(p, QPalette::ButtonText, QPalette::Button, 4.5, entry.value);
    ExpectReadable(p, QPalette::HighlightedText, QPalette::Highlight, 4.5, entry.value);
    const std::string identity = p.color(QPalette::Window).name().toStdString() +
                                 p.color(QPalette::Highlight).name().toStdString() +
                                 p.color(QPalette::Button).name().toStdString();
    EXPECT_TRUE(seen.insert(identity).second) << entry.value << " looks like another skin";
  }
  EXPECT_EQ(seen.size(), 18u);
}

TEST(SkinLooks, EveryLookDrawsEveryKindOfControlWithoutWarnings) {
  skintest::TestApp();
  skintest::SampleMainWindow window;
  skintest::SampleDialog dialog(&window);
  window.show();
  dialog.show();
  skintest::Settle();

  for (const skin::SkinEntry& entry : skin::SkinEntries()) {
    skintest::QtWarnings warnings;
    ASSERT_TRUE(skin::ApplySkin(&window, entry, platform::ExecutableFolder())) << entry.value;
    ASSERT_TRUE(skin::ApplySkin(&dialog, entry, platform::ExecutableFolder())) << entry.value;
    EXPECT_EQ(window.styleSheet(), SheetOf(entry).styleSheet) << entry.value;
    skintest::Settle();
    EXPECT_FALSE(window.grab().isNull());
    EXPECT_FALSE(dialog.grab().isNull());

    // Pop-ups: the drop-down menu of a tool button, a combo box's list and a
    // message box parented to the dialog.
    window.addMenu->popup(QPoint(20, 60));
    skintest::Settle();
    EXPECT_FALSE(window.addMenu->grab().isNull());
    window.addMenu->hide();
    QComboBox* combo = dialog.findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    combo->showPopup();
    skintest::Settle();
    combo->hidePopup();
    QMessageBox box(QMessageBox::Warning, "错误", "下载链接无效。", QMessageBox::Ok, &dialog);
    box.show();
    skintest::Settle();
    EXPECT_FALSE(box.grab().isNull());
    box.hide();

    const std::vector<std::string> seen = warnings.Take();
    EXPECT_TRUE(seen.empty()) << entry.value << ": " << seen.front();
  }
}

// A cell at 100 % is filled with the skin's progress colour, one at 0 % is
// not, and two skins fill it differently: the cells follow the look.
TEST(SkinLooks, ProgressCellsAreDrawnInTheLook) {
  skintest::TestApp();
  skintest::SampleMainWindow window;
  window.show();
  auto* table = static_cast<QTableView*>(window.jobList);
  auto cellColour = [&](int row) {
    table->clearSelection();
    skintest::Settle();
    const QRect cell = table->visualRect(window.jobs->index(row, 3));
    const QImage picture = table->viewport()->grab().toImage();
    return picture.pixelColor(cell.left() + 6, cell.center().y());
  };

  ASSERT_TRUE(skin::ApplyBuiltInLook(&window, skin::TUIStyle::DeepBlue));
  const QColor fullDeepBlue = cellColour(0), emptyDeepBlue = cellColour(3);
  ASSERT_TRUE(skin::ApplyBuiltInLook(&window, skin::TUIStyle::Protein));
  const QColor fullProtein = cellColour(0), emptyProtein = cellColour(3);

  EXPECT_NE(fullDeepBlue, emptyDeepBlue);
  EXPECT_NE(fullProtein, emptyProtein);
  EXPECT_NE(fullDeepBlue, fullProtein);
}

TEST(SkinLooks, AFileThatCannotBeLoadedLeavesTheWindowAsItWas) {
  skintest::TestApp();
  skintest::SampleMainWindow window;
  ASSERT_TRUE(skin::ApplyBuiltInLook(&window, skin::TUIStyle::WinXP));
  const QString before = window.styleSheet();

  EXPECT_FALSE(skin::ApplySkinFile(&window, testsupport::TempPath("no-such.skin")));
  const std::string empty = testsupport::TempPath("empty.skin");
  std::ofstream(empty) << "  \n";
  EXPECT_FALSE(skin::ApplySkinFile(&window, empty));
  const std::string huge = testsupport::TempPath("huge.skin");
  std::ofstream(huge) << std::string(skin::kMaxSkinFileBytes + 1, '*');
  EXPECT_FALSE(skin::ApplySkinFile(&window, huge));

  EXPECT_EQ(window.styleSheet(), before);
  window.show();
  EXPECT_FALSE(window.grab().isNull());
}

// Menus are windows of their own: one shown under one look must follow the
// window into the next.
TEST(SkinLooks, MenusFollowTheWindowIntoTheNextLook) {
  skintest::TestApp();
  skintest::SampleMainWindow window;
  skin::BuildSkinMenu(window.skinMenu, "skin5", nullptr);
  window.show();
  auto menuGround = [&](QMenu* menu) {
    menu->popup(QPoint(20, 60));
    skintest::Settle();
    // What the screen shows, not what the menu would draw now.
    const QImage picture = QGuiApplication::primaryScreen()->grabWindow(menu->winId()).toImage();
    menu->hide();
    return picture.pixelColor(picture.width() - 4, picture.height() / 2);
  };
  for (QMenu* menu : {window.addMenu, window.skinMenu}) {
    ASSERT_TRUE(skin::ApplyBuiltInLook(&window, skin::TUIStyle::Protein));
    EXPECT_EQ(menuGround(menu), skin::BuiltInLook(skin::TUIStyle::Protein).palette.color(QPalette::Base));
    ASSERT_TRUE(skin::ApplyBuiltInLook(&window, skin::TUIStyle::DeepBlue));
    EXPECT_EQ(menuGround(menu), skin::BuiltInLook(skin::TUIStyle::DeepBlue).palette.color(QPalette::Base));
  }
}

// The palette line of a skin file's first comment.
#include "skin/skin_sheet.h"

#include <gtest/gtest.h>

#include "qt_test_app.h"

TEST(SkinSheet, ThePaletteComesFromTheFirstCommentOnly) {
  skintest::TestApp();
  const skin::SkinSheet sheet = skin::ParseSkinSheet(
      "/* A skin\n * palette: window=#102030 highlight=#A0B0C0\n *   nonsense=#ffffff text=#123 base=#fefefe "
      "*/\n"
      "QWidget { color: red; } /* palette: window=#000000 */");
  ASSERT_TRUE(sheet.hasPalette);
  EXPECT_EQ(sheet.palette.color(QPalette::Window), QColor("#102030"));
  EXPECT_EQ(sheet.palette.color(QPalette::Highlight), QColor("#a0b0c0"));
  EXPECT_EQ(sheet.palette.color(QPalette::Base), QColor("#fefefe"));
  // A short colour is not taken: the role keeps the application's colour.
  EXPECT_EQ(sheet.palette.color(QPalette::Text), QApplication::palette().color(QPalette::Text));
  // Disabled text is faded towards its ground.
  EXPECT_NE(sheet.palette.color(QPalette::Disabled, QPalette::WindowText),
            sheet.palette.color(QPalette::Active, QPalette::WindowText));

  EXPECT_FALSE(skin::ParseSkinSheet("QWidget { color: red; } /* palette: window=#000000 */").hasPalette);
  EXPECT_FALSE(skin::ParseSkinSheet("/* palette: window=#000000").hasPalette);
  EXPECT_EQ(skin::ParseSkinSheet("QLabel {}").styleSheet, "QLabel {}");
}

// Not a test: draws the sample windows in every look on a real display and
// saves one picture per look, for people to judge. Run under a virtual
// display:
//
//   QUVEXA_SKIN_SHOTS=/tmp/shots xvfb-run -a -s '-screen 0 1280x800x24' \
//     env QT_QPA_PLATFORM=xcb build/sanitize/bin/test_skin \
//     --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
#include <cstdlib>
#include <unistd.h>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "qt_test_app.h"
#include "skin/skin_apply.h"
#include "skin/skin_menu.h"
#include "skin/skin_table.h"
#include "skin_sampler.h"

TEST(SkinLooks, DISABLED_Screenshots) {
  const char* folder = std::getenv("QUVEXA_SKIN_SHOTS");
  if (!folder) GTEST_SKIP() << "QUVEXA_SKIN_SHOTS names no folder";
  skintest::TestApp();
  skintest::SampleMainWindow window;
  skin::BuildSkinMenu(window.skinMenu, "skin1", nullptr);
  skintest::SampleDialog dialog(&window);
  window.move(0, 0);
  window.show();
  dialog.move(858, 0);
  dialog.show();

  for (const skin::SkinEntry& entry : skin::SkinEntries()) {
    skin::ApplySkin(&window, entry, platform::ExecutableFolder());
    skin::ApplySkin(&dialog, entry, platform::ExecutableFolder());
    skin::CheckSkinEntry(window.findChild<QActionGroup*>(), entry.value);
    // Over the preview picture: a menu outside every window misses the
    // grab of the whole screen on a virtual display without a compositor.
    window.skinMenu->popup(QPoint(20, 95));
    for (int i = 0; i < 20; ++i) {
      skintest::Settle();
      usleep(20000);
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    EXPECT_TRUE(shot.save(QString("%1/%2.png").arg(folder, entry.value)));
    window.skinMenu->hide();
  }
}

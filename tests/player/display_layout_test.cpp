// Where the picture goes on the surface.
#include <gtest/gtest.h>

#include "player/player.h"

TEST(DisplayLayout, CentredEvenSizedRectangleByAspect) {
  // A 720 x 576 picture with square samples in a 400 x 300 surface.
  const double aspect = DisplayAspect(0, 400, 300, AVRational{1, 1}, 720, 576);
  EXPECT_DOUBLE_EQ(aspect, 1.25);
  TDisplayRect r = DisplayRectangle(400, 300, aspect);
  EXPECT_EQ(r.x, 13);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 374);
  EXPECT_EQ(r.height, 300);

  // A negative AspectRatio stretches over the whole surface.
  r = DisplayRectangle(400, 300, DisplayAspect(-1, 400, 300, AVRational{1, 1}, 720, 576));
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.width, 400);
  EXPECT_EQ(r.height, 300);

  // Wider than the surface: full width, centred vertically, even height.
  r = DisplayRectangle(400, 300, DisplayAspect(2.35f, 400, 300, AVRational{1, 1}, 720, 576));
  EXPECT_EQ(r.width, 400);
  EXPECT_EQ(r.height, 170);
  EXPECT_EQ(r.y, 65);

  // The stream's sample aspect counts; an unknown one is square.
  EXPECT_DOUBLE_EQ(DisplayAspect(0, 400, 300, AVRational{16, 15}, 720, 576), 1.25 * 16 / 15);
  EXPECT_DOUBLE_EQ(DisplayAspect(0, 400, 300, AVRational{0, 1}, 640, 480), 640.0 / 480);
  // Nothing sensible to show into.
  r = DisplayRectangle(0, 0, 1.25);
  EXPECT_EQ(r.width, 0);
}

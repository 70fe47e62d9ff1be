// The Mirror turns the whole frame in place; the framework keeps what the panel shows the
// whole layout turned (without a Mirror: unturned) through partial redraws, screen changes
// and every frame of a slide.
#include "gfx_test.h"
#include "gui/User/Mirror.hpp"
#include "mvp_app.h"
#include "touchgfx/widgets/Box.hpp"

namespace gfxtest {
namespace {

constexpr colortype WHITE = 0xFFFFFF, RED = 0xFF0000, BLUE = 0x0000FF;

// A white screen with a small box at (10, 20), 30 x 40, and a Mirror over all (or none).
class MirrorTest : public GfxTest {
 protected:
  void build(bool mirrored) {
    background.setPosition(0, 0, W, H);
    background.setColor(WHITE);
    box.setPosition(10, 20, 30, 40);
    screen.add(background);
    screen.add(box);
    mirror.setPosition(0, 0, W, H);
    if (mirrored) screen.add(mirror);
    app.show(screen);
  }
  static colortype layout(int x, int y, colortype boxColour) {
    return x >= 10 && x < 40 && y >= 20 && y < 60 ? boxColour : WHITE;
  }

  ShowApp app;
  touchgfx::Screen screen;
  touchgfx::Box background, box;
  Mirror mirror;
};

TEST_F(MirrorTest, PartialRedrawUnderAMirrorLeavesTheWholeFrameTurned) {
  build(true);
  struct Step {
    colortype colour;
    bool redraw;
  };
  // Each frame the box alone changes and is invalidated; nothing else is drawn.
  for (const Step& s : {Step{RED, true}, Step{BLUE, true}, Step{RED, true}, Step{RED, false}}) {
    box.setColor(s.colour);
    if (s.redraw) box.invalidate();
    frame();
    EXPECT_TRUE(framesAs([&](int x, int y) { return layout(x, y, s.colour); }, true));
  }
  // The turned box lies at the bottom right.
  EXPECT_EQ(shown(W - 1 - 10, H - 1 - 20), RED);
}

// Without a Mirror the layout shows unturned, through partial redraws too; so it does once
// the Mirror is taken away, although only the box is drawn again.
TEST_F(MirrorTest, WithoutAMirrorTheLayoutShowsUnturned) {
  for (bool mirrorAtFirst : {false, true}) {
    build(mirrorAtFirst);
    box.setColor(RED);
    frame();
    if (!mirrorAtFirst) {
      EXPECT_TRUE(framesAs([](int x, int y) { return layout(x, y, RED); }, false));
    }
    screen.remove(mirror);
    box.setColor(BLUE);
    box.invalidate();
    frame();
    EXPECT_TRUE(framesAs([](int x, int y) { return layout(x, y, BLUE); }, false));
  }
}

// Screen Alpha (red) slides up and out while Beta (blue) slides in from below, both with a
// Mirror: every frame shows the layout of that moment turned as a whole.
TEST(MirrorSlide, BothScreensAreTurnedAlikeInEveryFrame) {
  simgfx::reset();
  mvptest::Heap heap;
  heap.app.gotoAlpha();
  simgfx::frame();
  auto screenColour = [](colortype background, int x, int y) {
    return x >= 10 && x < 40 && y >= 20 && y < 60 ? mvptest::ScreenAlphaView::MARK : background;
  };
  EXPECT_TRUE(
      framesAs([&](int x, int y) { return screenColour(mvptest::ALPHA_COLOUR, x, y); }, true));
  heap.app.gotoBetaSlide();
  for (uint16_t step = 1; step <= 20; ++step) {
    simgfx::frame();
    const int moved = touchgfx::detail::slideDistance(step, 20, H);
    SCOPED_TRACE(testing::Message() << "step " << step << ", moved " << moved);
    EXPECT_TRUE(framesAs(
        [&](int x, int y) {
          return y < H - moved ? screenColour(mvptest::ALPHA_COLOUR, x, y + moved)
                               : screenColour(mvptest::BETA_COLOUR, x, y - (H - moved));
        },
        true));
  }
  simgfx::reset();
}

}  // namespace
}  // namespace gfxtest

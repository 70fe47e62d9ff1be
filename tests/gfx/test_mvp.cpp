// The model-view-presenter application: the pending screen transition, the order of a
// screen switch, the static slots, the slide's steps, and the screen names for the board.
#include <atomic>
#include <cstdlib>
#include <new>

#include "gfx_test.h"
#include "gui/User/Mirror.hpp"
#include "mvp_app.h"
#include "touchgfx/widgets/Box.hpp"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Every allocation of the test program is counted.
void* operator new(std::size_t n) {
  ++allocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace gfxtest {
namespace {

using mvptest::log;

class MvpTest : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    log.count = 0;
    shownScreens.clear();
    simgfx::setScreenHook([](const char* name) { shownScreens += std::string(name) + " "; });
  }
  void TearDown() override {
    simgfx::setScreenHook(nullptr);
    GfxTest::TearDown();
  }
  inline static std::string shownScreens;
  mvptest::Heap heap;
};

// Counts its ticks.
class Ticker : public touchgfx::Widget {
 public:
  void draw(const touchgfx::Rect&) const override {}
  touchgfx::Rect getSolidRect() const override { return touchgfx::Rect(); }
  void handleTickEvent() override { ++ticks; }
  int ticks = 0;
};

// A screen change waits for the next transition point (without a transition the new screen's
// afterTransition comes in the same frame); a switch tears the old screen down, then builds
// the new one.
TEST_F(MvpTest, SwitchTearsDownTheOldScreenThenBuildsTheNewOneAtTheNextFrame) {
  heap.app.gotoAlpha();
  EXPECT_EQ(log.count, 0);
  frame();
  EXPECT_EQ(log.countOf("Alpha activate"), 1);
  EXPECT_EQ(log.countOf("Alpha afterTransition"), 1);
  EXPECT_EQ(shownScreens, "Alpha ");
  Ticker ticker;
  heap.app.registerTimerWidget(&ticker);
  frame();
  EXPECT_EQ(ticker.ticks, 1);
  log.count = 0;
  heap.app.gotoBeta();
  frame();
  EXPECT_EQ(log.joined(),
            "transition torn down, transition destroyed, Alpha tearDownScreen, Alpha deactivate, "
            "Alpha view destroyed, Alpha presenter destroyed, Beta view built, "
            "Beta presenter built, model bound to presenter, presenter bound to model, "
            "Beta setupScreen, Beta activate, Beta afterTransition");
  EXPECT_EQ(ticker.ticks, 1);  // timer widgets are forgotten at the switch
  EXPECT_EQ(heap.model.listener, static_cast<mvptest::ModelListener*>(
                                     &heap.presenters.at<mvptest::ScreenBetaPresenter>(0)));
  EXPECT_EQ(shownScreens, "Alpha Beta ");
}

TEST_F(MvpTest, HundredSwitchesTakeNothingFromTheHeap) {
  simgfx::setScreenHook(nullptr);
  heap.app.gotoAlpha();
  frame();
  frame();
  const long before = allocations;
  for (int i = 0; i < 100; ++i) {
    if (i % 2 == 0) {
      heap.app.gotoBeta();
    } else {
      heap.app.gotoAlpha();
    }
    frame();
  }
  EXPECT_EQ(allocations - before, 0);
  EXPECT_EQ(heap.model.listener, static_cast<mvptest::ModelListener*>(
                                     &heap.presenters.at<mvptest::ScreenAlphaPresenter>(0)));
}

TEST_F(MvpTest, SlideTakesTwentyFramesThenAfterTransition) {
  heap.app.gotoAlpha();
  frame();
  log.count = 0;
  heap.app.gotoBetaSlide();
  int frames = 0;
  while (log.countOf("Beta afterTransition") == 0 && frames < 100) {
    frame();
    ++frames;
  }
  EXPECT_EQ(frames, 20);
  EXPECT_EQ(log.countOf("Beta activate"), 1);
  // Done: the new screen's widgets are back where its view put them.
  auto& view = heap.views.at<mvptest::ScreenBetaView>(0);
  EXPECT_EQ(view.marker.getY(), 20);
  EXPECT_EQ(view.background.getY(), 0);
}

// ---- The Mirror turns the whole frame in place; the framework keeps what the panel shows the
// whole layout turned (without a Mirror: unturned) through partial redraws, screen changes and
// every frame of a slide.

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

// The model-view-presenter application: the pending screen transition, the order of a
// screen switch, the static slots, the slide's steps, and the screen names for the board.
#include <atomic>
#include <cstdlib>
#include <new>

#include "gfx_test.h"
#include "mvp_app.h"

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

}  // namespace
}  // namespace gfxtest

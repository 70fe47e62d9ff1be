// Widgets drawn into the frame buffer and driven by touches through the frame loop, and the
// dynamic bitmaps they draw.
#include <cmath>

#include "gfx_test.h"
#include "touchgfx/Color.hpp"
#include "touchgfx/containers/Slider.hpp"
#include "touchgfx/widgets/AnimationTextureMapper.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/Image.hpp"
#include "touchgfx/widgets/ToggleButton.hpp"

namespace gfxtest {
namespace {

using touchgfx::Bitmap;
using touchgfx::BITMAP_INVALID;
using touchgfx::BitmapId;
using touchgfx::Rect;

constexpr colortype WHITE = 0xFFFFFF, RED = 0xFF0000, GREEN = 0x00FF00, BLUE = 0x0000FF;

// A screen on a white background, shown by the application.
class WidgetTest : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    background.setPosition(0, 0, W, H);
    background.setColor(WHITE);
    screen.add(background);
    app.show(screen);
  }
  ShowApp app;
  touchgfx::Screen screen;
  touchgfx::Box background;
};

// Remembers what it was asked to draw.
class Probe : public touchgfx::Widget {
 public:
  void draw(const Rect& area) const override {
    ++draws;
    drawn.expandToFit(area);
  }
  Rect getSolidRect() const override { return Rect(); }
  mutable int draws = 0;
  mutable Rect drawn;
};

TEST_F(WidgetTest, BoxFillsItsRectangleBlendedByItsAlpha) {
  touchgfx::Box box(30, 40, touchgfx::Color::getColorFrom24BitRGB(0x12, 0x34, 0x56));
  box.setXY(10, 20);
  touchgfx::Box half(10, 10, 0x000000, 128);
  half.setXY(100, 100);
  screen.add(box);
  screen.add(half);
  frame();
  EXPECT_EQ(shown(10, 20), 0x123456U);
  EXPECT_EQ(shown(39, 59), 0x123456U);
  EXPECT_EQ(shown(40, 59), WHITE);
  EXPECT_EQ(shown(39, 60), WHITE);
  EXPECT_EQ(shown(105, 105), 0x7F7F7FU);  // black at 128/255 over white
}

TEST_F(WidgetTest, ImageBlendsItsPixelsAlphaWithTheWidgetsAlpha) {
  struct Case {
    int pixelAlpha, widgetAlpha;
    double green;  // of red over white: 255 * (1 - a)
  };
  const Case cases[] = {
      {255, 255, 0}, {0, 255, 255}, {128, 255, 127}, {128, 128, 191}, {255, 0, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pixelAlpha << "/" << c.widgetAlpha);
    simgfx::reset();
    BitmapTable t;
    const auto id = t.add(
        4, 4, Bitmap::ARGB8888, [](int, int) { return RED; },
        [&](int, int) { return c.pixelAlpha; }, Rect());
    t.install();
    touchgfx::Image image(Bitmap{id});
    image.setXY(50, 50);
    image.setAlpha(static_cast<uint8_t>(c.widgetAlpha));
    screen.add(image);
    app.show(screen);
    frame();
    EXPECT_NEAR((shown(52, 52) >> 8) & 0xFF, c.green, 1.0);
    EXPECT_EQ(shown(54, 52), WHITE);  // beside the bitmap
    screen.remove(image);
  }
}

TEST_F(WidgetTest, ButtonShowsPressedWhileTouchedAndActsOnAReleaseInside) {
  BitmapTable t;
  const auto up = t.addPlain(40, 20, BLUE);
  const auto down = t.addPlain(40, 20, GREEN);
  t.install();
  struct Clicks {
    int count = 0;
    void clicked(const touchgfx::AbstractButton&) { ++count; }
  } clicks;
  touchgfx::Callback<Clicks, const touchgfx::AbstractButton&> cb(&clicks, &Clicks::clicked);
  touchgfx::Button button;
  button.setBitmaps(Bitmap{up}, Bitmap{down});
  button.setXY(50, 60);
  button.setAction(cb);
  screen.add(button);
  frame();
  EXPECT_EQ(shown(50, 60), BLUE);

  touch.press(60, 70);
  frame();
  EXPECT_EQ(shown(50, 60), GREEN);
  EXPECT_EQ(clicks.count, 0);
  touch.release();
  frame();
  EXPECT_EQ(shown(89, 79), BLUE);
  EXPECT_EQ(clicks.count, 1);

  // Out and back in still clicks; released outside does not; a press outside does nothing.
  struct Gesture {
    int x1, y1, x2, y2, x3, y3;
    int clicks;
  };
  const Gesture gestures[] = {
      {60, 70, 200, 300, 61, 71, 1}, {60, 70, 200, 300, 200, 300, 0}, {10, 10, 60, 70, 60, 70, 0}};
  for (const Gesture& g : gestures) {
    clicks.count = 0;
    touch.press(g.x1, g.y1);
    frame();
    touch.press(g.x2, g.y2);
    frame();
    touch.press(g.x3, g.y3);
    frame();
    touch.release();
    frame();
    EXPECT_EQ(clicks.count, g.clicks) << g.x1 << "," << g.y1 << " -> " << g.x3 << "," << g.y3;
    EXPECT_EQ(shown(50, 60), BLUE);
  }
}

TEST_F(GfxTest, KeysAndTouchesOffThePanelReachTheScreen) {
  struct Recorder : touchgfx::Screen {
    void handleKeyEvent(uint8_t key) override { keys.push_back(key); }
    std::vector<int> keys;
  } screen;
  touchgfx::Button corner;  // no bitmap: invisible, but touchable
  corner.setPosition(0, H - 10, 10, 10);
  struct Clicks {
    int count = 0;
    void clicked(const touchgfx::AbstractButton&) { ++count; }
  } clicks;
  touchgfx::Callback<Clicks, const touchgfx::AbstractButton&> cb(&clicks, &Clicks::clicked);
  corner.setAction(cb);
  screen.add(corner);
  ShowApp app;
  app.show(screen);
  keys.send(113);
  frame();
  frame();
  keys.send(7);
  frame();
  EXPECT_EQ(screen.keys, (std::vector<int>{113, 7}));
  tap(-5, 900);  // held at the panel's edge: (0, 479)
  EXPECT_EQ(clicks.count, 1);
}

TEST_F(WidgetTest, ToggleButtonKeepsTheStateOfItsLastClick) {
  BitmapTable t;
  const auto off = t.addPlain(20, 10, RED);
  const auto on = t.addPlain(20, 10, GREEN);
  t.install();
  touchgfx::ToggleButton toggle;
  toggle.setBitmaps(Bitmap{off}, Bitmap{on});
  toggle.setXY(100, 200);
  screen.add(toggle);
  frame();
  EXPECT_FALSE(toggle.getState());
  tap(105, 205);
  EXPECT_TRUE(toggle.getState());
  EXPECT_EQ(shown(100, 200), GREEN);
  tap(105, 205);
  EXPECT_FALSE(toggle.getState());
  EXPECT_EQ(shown(100, 200), RED);
  toggle.forceState(true);
  toggle.invalidate();
  frame();
  EXPECT_TRUE(toggle.getState());
  EXPECT_EQ(shown(100, 200), GREEN);
}

// The parents' screen's medium slider: background 20 x 332 at (7, 3), indicator 34 x 54
// moving from y 0 to 285, the slider at (11, 38).
TEST_F(WidgetTest, VerticalSliderMapsValuesToTheIndicatorAndReportsEveryTouch) {
  BitmapTable t;
  const auto back = t.addPlain(20, 332, 0x202020);
  const auto fill = t.addPlain(20, 332, 0x00A0FF);
  const auto nob = t.addPlain(34, 54, 0xFFA000);
  t.install();
  struct Reports {
    std::vector<int> values;
    void report(const touchgfx::Slider&, int v) { values.push_back(v); }
  } reports;
  touchgfx::Callback<Reports, const touchgfx::Slider&, int> cb(&reports, &Reports::report);
  touchgfx::Slider slider;
  slider.setXY(11, 38);
  slider.setBitmaps(Bitmap{back}, Bitmap{fill}, Bitmap{nob});
  slider.setupVerticalSlider(7, 3, 0, 0, 285);
  slider.setValueRange(0, 63);
  slider.setNewValueCallback(cb);
  screen.add(slider);

  struct Set {
    int range, value;
    int reported, indicatorY;
  };
  const Set sets[] = {
      {63, 0, 0, 285}, {63, 63, 63, 0}, {63, 70, 63, 0}, {63, -5, 0, 285}, {24, 12, 12, 142}};
  for (const Set& s : sets) {
    reports.values.clear();
    slider.setValueRange(0, s.range);
    reports.values.clear();
    slider.setValue(s.value);
    EXPECT_EQ(reports.values, std::vector<int>{s.reported}) << s.value;
    EXPECT_EQ(slider.getValue(), s.reported);
    EXPECT_EQ(slider.getIndicatorPosition(), s.indicatorY);
  }
  frame();
  // At 12 of 24: the indicator's centre at y 38 + 142 + 27; filled below it, not above.
  EXPECT_EQ(shown(11 + 17, 38 + 142 + 27), 0xFFA000U);
  EXPECT_EQ(shown(11 + 10, 38 + 142 + 60), 0x00A0FFU);
  EXPECT_EQ(shown(11 + 10, 38 + 100), 0x202020U);

  // A tap puts the indicator's centre under the finger: y 100 gives 24 - (100*24+142)/285.
  slider.setValueRange(0, 63);
  reports.values.clear();
  tap(11 + 17, 38 + 27 + 100);
  EXPECT_EQ(reports.values, (std::vector<int>{41, 41}));  // press and release both report
  EXPECT_EQ(slider.getIndicatorPosition(), 100);
  // Dragging past the top holds the maximum and reports it every time.
  reports.values.clear();
  touch.press(28, 200);
  frame();
  for (int y : {100, 20, 5}) {
    touch.press(28, y);
    frame();
  }
  touch.release();
  frame();
  EXPECT_EQ(reports.values, (std::vector<int>{33, 55, 63, 63, 63}));
  EXPECT_EQ(slider.getIndicatorPosition(), 0);
  EXPECT_EQ(shown(11 + 10, 38 + 60), 0x00A0FFU);
}

TEST_F(WidgetTest, SolidWidgetsHideWhatLiesBeneathFromDrawing) {
  Probe probe;
  probe.setPosition(0, 0, 100, 100);
  touchgfx::Box cover(100, 60, GREEN);
  screen.add(probe);
  screen.add(cover);
  frame();
  EXPECT_EQ(probe.draws, 1);
  EXPECT_EQ(probe.drawn, Rect(0, 60, 100, 40));  // only below the cover

  struct Case {
    uint8_t coverAlpha;
    Rect invalidated;
    int draws;
  };
  const Case cases[] = {{255, Rect(10, 10, 20, 20), 0},
                        {254, Rect(10, 10, 20, 20), 1},
                        {255, Rect(10, 50, 20, 20), 1}};
  for (const Case& c : cases) {
    probe.draws = 0;
    cover.setAlpha(c.coverAlpha);
    app.invalidateArea(c.invalidated);
    frame();
    EXPECT_EQ(probe.draws, c.draws) << int{c.coverAlpha};
  }
  // The background under both is not drawn where the cover is solid either: nothing at all
  // is drawn when nothing was invalidated.
  probe.draws = 0;
  const auto generation = simgfx::frameBufferGeneration();
  frame();
  EXPECT_EQ(probe.draws, 0);
  EXPECT_EQ(simgfx::frameBufferGeneration(), generation);
}

TEST_F(WidgetTest, DrawingOffLeavesTheFrameBufferAndOnRedrawsEverything) {
  touchgfx::Box box(10, 10, RED);
  screen.add(box);
  simgfx::setDrawing(false);
  frame();
  EXPECT_EQ(shown(0, 0), 0U);
  EXPECT_EQ(simgfx::frameBufferGeneration(), 0U);
  simgfx::setDrawing(true);
  frame();
  EXPECT_EQ(shown(0, 0), RED);
  EXPECT_EQ(shown(200, 400), WHITE);
}

// The folder picture: a 128 x 128 24-bit dynamic bitmap in a texture mapper at (73, 0),
// origin (64, 64), turned by -pi/2 about z. Pixel (x, y) of the picture has red x and
// green y, so every pixel is told apart; the turn moves (x, y) to (y, 127 - x).
TEST_F(WidgetTest, QuarterTurnedPictureMovesEveryPixelWhereTheTurnPutsIt) {
  BitmapTable t;
  t.install();
  const auto id = Bitmap::dynamicBitmapCreate(128, 128, Bitmap::RGB888);
  ASSERT_NE(id, touchgfx::BITMAP_INVALID);
  uint8_t* px = Bitmap::dynamicBitmapGetAddress(id);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x, px += 3) {
      px[0] = 0x80;
      px[1] = static_cast<uint8_t>(y);
      px[2] = static_cast<uint8_t>(x);
    }
  }
  touchgfx::AnimationTextureMapper picture;
  picture.setXY(73, 0);
  picture.setBitmap(Bitmap{id});
  picture.setOrigo(64.0f, 64.0f, picture.getCameraDistance());
  picture.applyTransformation();
  picture.updateAngles(picture.getXAngle(), picture.getYAngle(), -1.5707964f);
  picture.invalidate();
  screen.add(picture);
  frame();
  auto source = [](int x, int y) { return colortype(x) << 16 | colortype(y) << 8 | 0x80; };
  // The corners: top-left goes to bottom-left, top-right to top-left, and so on.
  struct Corner {
    int sx, sy, dx, dy;
  };
  for (const Corner& c : {Corner{0, 0, 0, 127}, Corner{127, 0, 0, 0}, Corner{127, 127, 127, 0},
                          Corner{0, 127, 127, 127}}) {
    EXPECT_EQ(shown(73 + c.dx, c.dy), source(c.sx, c.sy)) << c.sx << "," << c.sy;
  }
  int wrong = 0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) wrong += shown(73 + y, 127 - x) != source(x, y);
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(shown(72, 5), WHITE);
  EXPECT_EQ(shown(73 + 128, 5), WHITE);
}

// ---- Dynamic bitmaps in a cache of 0x81000 bytes with room for at most 6 of them. (The
// static table: test_asset_tables.cpp, and every widget drawing a bitmap.)

class DynamicBitmaps : public ::testing::Test {
 protected:
  void SetUp() override { table.install(0x81000, 6); }
  void TearDown() override { Bitmap::registerBitmapDatabase(nullptr, 0); }
  BitmapTable table;
};

TEST_F(DynamicBitmaps, SixFitTheSeventhDoesNotAndDeletingFreesItsPlace) {
  BitmapId ids[6];
  for (auto& id : ids) {
    id = Bitmap::dynamicBitmapCreate(128, 128, Bitmap::RGB888);
    ASSERT_NE(id, BITMAP_INVALID);
  }
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(1, 1, Bitmap::RGB888), BITMAP_INVALID);
  EXPECT_TRUE(Bitmap::dynamicBitmapDelete(ids[2]));
  EXPECT_FALSE(Bitmap::dynamicBitmapDelete(ids[2]));  // already gone
  EXPECT_FALSE(Bitmap::dynamicBitmapDelete(BITMAP_INVALID));
  EXPECT_EQ(Bitmap::dynamicBitmapGetAddress(ids[2]), nullptr);
  const BitmapId again = Bitmap::dynamicBitmapCreate(128, 128, Bitmap::RGB888);
  ASSERT_NE(again, BITMAP_INVALID);
  const Bitmap b(again);
  EXPECT_EQ(b.getWidth(), 128);
  EXPECT_EQ(b.getFormat(), Bitmap::RGB888);
  EXPECT_EQ(b.getSolidRect(), Rect(0, 0, 128, 128));
  // The pictures do not overlap: each one's bytes lie apart from the others'.
  for (BitmapId id : {ids[0], ids[1], again, ids[3], ids[4], ids[5]}) {
    for (BitmapId other : {ids[0], ids[1], again, ids[3], ids[4], ids[5]}) {
      if (id == other) continue;
      const auto gap = Bitmap::dynamicBitmapGetAddress(id) - Bitmap::dynamicBitmapGetAddress(other);
      EXPECT_GE(gap < 0 ? -gap : gap, 128 * 128 * 3);
    }
  }
}

TEST_F(DynamicBitmaps, MoreThanTheCacheHoldsIsRefusedUntilRoomIsFreed) {
  // 0x81000 bytes: a 16-bit bitmap of 512 x 516 takes them all, one row more is too much.
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(512, 517, Bitmap::RGB565), BITMAP_INVALID);
  const BitmapId first = Bitmap::dynamicBitmapCreate(512, 258, Bitmap::RGB565);
  ASSERT_NE(first, BITMAP_INVALID);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(512, 259, Bitmap::RGB565), BITMAP_INVALID);
  const BitmapId second = Bitmap::dynamicBitmapCreate(512, 258, Bitmap::RGB565);
  ASSERT_NE(second, BITMAP_INVALID);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(2, 1, Bitmap::RGB565), BITMAP_INVALID);
  EXPECT_TRUE(Bitmap::dynamicBitmapDelete(first));
  EXPECT_NE(Bitmap::dynamicBitmapCreate(512, 258, Bitmap::RGB565), BITMAP_INVALID);
}

// No cache, no size or an id beyond the table gives none.
TEST_F(DynamicBitmaps, NoCacheOrNoSizeGivesNone) {
  EXPECT_EQ(Bitmap(7).getWidth(), 0);
  EXPECT_EQ(Bitmap(7).getData(), nullptr);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(0, 10, Bitmap::RGB888), BITMAP_INVALID);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(10, 10, static_cast<Bitmap::BitmapFormat>(7)),
            BITMAP_INVALID);
  Bitmap::registerBitmapDatabase(nullptr, 0);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(10, 10, Bitmap::RGB888), BITMAP_INVALID);
}

}  // namespace
}  // namespace gfxtest

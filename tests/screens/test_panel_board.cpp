// The display and the touch panel on the simulated board, with the graphics framework's board
// adaptation and frame loop as the firmware runs them ("Main_Thread" on the vertical sync) and
// a test screen in place of the player's screens: what the panel shows, screenshots, touches
// given where the screenshot shows a button, drags, key codes, screen names and frame numbers
// in the trace, and the control bus shared by the touch reads and the codec's writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "board_child.h"
#include "codec.h"
#include "gfx_test.h"
#include "gui/User/Mirror.hpp"
#include "mvp_app.h"
#include "panel.h"
#include "pictures.h"
#include "png_file.h"
#include "process.h"
#include "semphr.h"
#include "simgfx.h"
#include "simi2c.h"
#include "stm32746g_discovery_audio.h"
#include "stm32746g_discovery_ts.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "touch_panel.h"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx_board.h"
#include "wiring.h"
#include "wm8994.h"

// What the firmware provides around the board adaptation.
extern "C" {
extern LTDC_HandleTypeDef hltdc;
void LTDC_IRQHandler(void) { HAL_LTDC_IRQHandler(&hltdc); }
void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
void configureTimerForRunTimeStats(void) {}
}

namespace {

using boardtest::note;
using touchgfx::colortype;

constexpr colortype NAVY = 0x102040, RED = 0xFF0000, GREEN = 0x00C000, YELLOW = 0xFFFF00,
                    WHITE = 0xFFFFFF, CYAN = 0x00FFFF, MAGENTA = 0xFF00FF;

// The test screen's layout: a red marker in the top left corner, a button, an indicator that
// turns cyan when the button is clicked and magenta on key code 113, and a pad that reports
// drags; the Mirror on top, as on the player's screens.
constexpr pictures::Box kMarker{0, 0, 40, 40};
constexpr pictures::Box kButton{60, 300, 100, 80};
constexpr pictures::Box kIndicator{160, 40, 80, 40};
constexpr pictures::Box kPad{10, 400, 252, 60};

class Pad : public touchgfx::Widget {
 public:
  Pad() { setTouchable(true); }
  void draw(const touchgfx::Rect&) const override {}
  touchgfx::Rect getSolidRect() const override { return touchgfx::Rect(); }
  void handleDragEvent(const touchgfx::DragEvent& e) override {
    ++drags;
    lastX = e.getNewX();
    lastY = e.getNewY();
  }
  void handleClickEvent(const touchgfx::ClickEvent& e) override {
    if (e.getType() == touchgfx::ClickEvent::RELEASED) {
      char s[64];
      std::snprintf(s, sizeof s, "pad released at %d,%d after %d drags", e.getX(), e.getY(), drags);
      note(s);
    }
  }
  int drags = 0;
  int lastX = 0, lastY = 0;
};

class TestScreen : public touchgfx::Screen {
 public:
  TestScreen() : clicked(this, &TestScreen::buttonClicked) {
    background.setPosition(0, 0, 272, 480);
    background.setColor(NAVY);
    marker.setPosition(kMarker.x, kMarker.y, kMarker.width, kMarker.height);
    marker.setColor(RED);
    indicator.setPosition(kIndicator.x, kIndicator.y, kIndicator.width, kIndicator.height);
    indicator.setColor(WHITE);
    button.setXY(kButton.x, kButton.y);
    pad.setPosition(kPad.x, kPad.y, kPad.width, kPad.height);
    button.setAction(clicked);
    mirror.setPosition(0, 0, 272, 480);
    add(background);
    add(marker);
    add(indicator);
    add(button);
    add(pad);
    add(mirror);
  }
  void handleKeyEvent(uint8_t key) override {
    note("key " + std::to_string(key));
    if (key == 113) setIndicator(MAGENTA);
  }
  void buttonClicked(const touchgfx::AbstractButton&) {
    note("button clicked");
    setIndicator(CYAN);
  }
  void setIndicator(colortype c) {
    indicator.setColor(c);
    indicator.invalidate();
  }

  touchgfx::Box background, marker, indicator;
  touchgfx::Button button;
  Pad pad;
  Mirror mirror;
  touchgfx::Callback<TestScreen, const touchgfx::AbstractButton&> clicked;
};

// Which application touchgfx_init() builds in the child.
enum class App { TestScreen, TwoScreens };
App appKind = App::TestScreen;
mvptest::Heap* twoScreens = nullptr;

}  // namespace

extern "C" void touchgfx_init(void) {
  if (appKind == App::TwoScreens) {
    static mvptest::Heap heap;
    twoScreens = &heap;
    heap.app.gotoAlpha();
    return;
  }
  static gfxtest::BitmapTable table;
  static gfxtest::ShowApp app;
  const auto up = table.addPlain(kButton.width, kButton.height, GREEN);
  const auto down = table.addPlain(kButton.width, kButton.height, YELLOW);
  table.install();
  static TestScreen screen;
  screen.button.setBitmaps(touchgfx::Bitmap(up), touchgfx::Bitmap(down));
  app.show(screen);
}

namespace {

// The frame loop as the firmware runs it: display, framework, then frames for ever.
void startMainThread() {
  xTaskCreate(
      [](void*) {
        GRAPHICS_HW_Init();
        GRAPHICS_Init();
        GRAPHICS_MainTask();
      },
      "Main_Thread", 16384, nullptr, 3, nullptr);
}

using boardtest::at;

void screenshot(const std::string& path) {
  std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3);
  simdisplay::picture(rgb.data());
  const std::string error = simpng::writeRgb(path, simdisplay::kWidth, simdisplay::kHeight, rgb);
  if (!error.empty()) note("screenshot failed: " + error);
}

// The folder of the screenshots: made by the parent before the board's child starts.
const std::string& dir() {
  static const std::string d = proc::tempDir();
  return d;
}
[[maybe_unused]] const std::string& screenshotFolder = dir();

pictures::Picture shot(const char* name) { return pictures::load(dir() + "/" + name + ".png"); }

// The centre of a box in the child's picture.
int cx(const pictures::Box& b) { return b.x + b.width / 2; }
int cy(const pictures::Box& b) { return b.y + b.height / 2; }

TEST(PanelBoard, TheScreenShowsUprightAndATouchOnTheButtonInTheScreenshotClicksIt) {
  appKind = App::TestScreen;
  const boardtest::Result r = boardtest::run(
      [] {
        startMainThread();
        at(100 * simk::kMs, [] { screenshot(dir() + "/idle.png"); });
        // Where the frame buffer itself has the button: a touch the panel would place there
        // without turning it hits nothing.
        at(110 * simk::kMs, [] { simtouch::tap(271 - cx(kButton), 479 - cy(kButton)); });
        at(300 * simk::kMs, [] { simtouch::tap(cx(kButton), cy(kButton)); });
        at(350 * simk::kMs, [] { screenshot(dir() + "/pressed.png"); });
        at(500 * simk::kMs, [] { screenshot(dir() + "/clicked.png"); });
        at(510 * simk::kMs, [] { simgfx::sendKey(7), simgfx::sendKey(113); });
        at(600 * simk::kMs, [] { screenshot(dir() + "/key.png"); });
        at(610 * simk::kMs, [] { simtouch::drag(30, cy(kPad), 230, cy(kPad), 200 * simk::kMs); });
      },
      {.duration = 1 * simk::kS});
  ASSERT_EQ(r.status, 0) << r.notes;
  EXPECT_EQ(boardtest::grep(r.notes, "failed"), "");

  const pictures::Picture idle = shot("idle");
  ASSERT_EQ(idle.width, 272);
  ASSERT_EQ(idle.height, 480);
  EXPECT_TRUE(pictures::matchesReference(idle, "board-test-screen"));
  // Upright: the marker the layout has in its top left corner is there for the child.
  EXPECT_TRUE(pictures::regionIs(idle, kMarker, RED));
  EXPECT_TRUE(pictures::regionIs(idle, kButton, GREEN));
  EXPECT_TRUE(pictures::regionIs(idle, kIndicator, WHITE));

  const pictures::Picture pressed = shot("pressed");
  EXPECT_EQ(pictures::changed(idle, pressed), kButton);
  EXPECT_TRUE(pictures::regionIs(pressed, kButton, YELLOW));

  const pictures::Picture clicked = shot("clicked");
  EXPECT_EQ(pictures::changed(idle, clicked), kIndicator);
  EXPECT_TRUE(pictures::regionIs(clicked, kIndicator, CYAN));
  EXPECT_EQ(boardtest::grep(r.notes, "button clicked"), "button clicked\n") << r.notes;

  EXPECT_TRUE(pictures::regionIs(shot("key"), kIndicator, MAGENTA));
  EXPECT_NE(r.notes.find("key 7\nkey 113\n"), std::string::npos) << r.notes;

  // The drag's end, in the pad's own coordinates: (230 - 10, 430 - 400).
  EXPECT_NE(r.notes.find("pad released at 220,30 after"), std::string::npos) << r.notes;

  // Presses and releases in the child's coordinates; a new picture for each change.
  EXPECT_NE(r.trace.find(R"("ev":"touch","x":110,"y":340,"state":"press"})"), std::string::npos);
  EXPECT_NE(r.trace.find(R"({"t":400000,"ev":"touch","x":110,"y":340,"state":"release"})"),
            std::string::npos)
      << boardtest::grep(r.trace, "touch");
  EXPECT_NE(r.trace.find(R"("ev":"touch","x":230,"y":430,"state":"release"})"), std::string::npos);
  const std::string frames = boardtest::grep(r.trace, R"("ev":"frame")");
  // Nothing is drawn before the first frame, which follows the first sync (16.7 ms); its
  // picture is shown at the second.
  EXPECT_NE(frames.find(R"({"t":33333,"ev":"frame","n":1,"hash":")"), std::string::npos) << frames;
  EXPECT_EQ(boardtest::grep(r.trace, R"("ev":"i2c")"), "") << "no transfer found the bus taken";
}

TEST(PanelBoard, ThePanelShowsTheFrameOfTheLastSyncAndEveryNewPictureIsNumbered) {
  appKind = App::TwoScreens;
  const boardtest::Result r = boardtest::run(
      [] {
        startMainThread();
        simdisplay::onNewPicture([] {
          note("picture " + std::to_string(simdisplay::frameNumber()) + " at " +
               std::to_string(simk::now() / simk::kUs) + " screen " + simgfx::screenName());
        });
        // The screen changes in the frame after the request; the panel shows it a sync later.
        at(50 * simk::kMs, [] { twoScreens->app.gotoBeta(); });
        at(80 * simk::kMs, [] { screenshot(dir() + "/before-sync.png"); });
        at(84 * simk::kMs, [] { screenshot(dir() + "/after-sync.png"); });
        // The same screen again draws the same picture: no new number.
        at(100 * simk::kMs, [] { twoScreens->app.gotoBeta(); });
      },
      {.duration = 200 * simk::kMs});
  ASSERT_EQ(r.status, 0) << r.notes;
  // Alpha is built in the first frame (after the sync at 16.7 ms) and shown at the next sync;
  // Beta, asked for just after the sync at 50 ms, is built after the one at 66.7 ms and shown
  // at 83.3 ms.
  EXPECT_EQ(r.notes,
            "picture 1 at 33333 screen Alpha\n"
            "picture 2 at 83333 screen Beta\n");
  const std::string screens = boardtest::grep(r.trace, R"("ev":"screen")");
  EXPECT_NE(screens.find(R"("name":"Alpha"})"), std::string::npos) << screens;
  EXPECT_EQ(std::count(screens.begin(), screens.end(), '\n'), 3) << screens;
  EXPECT_TRUE(pictures::regionIs(shot("before-sync"), {0, 0, 272, 10}, mvptest::ALPHA_COLOUR));
  EXPECT_TRUE(pictures::regionIs(shot("after-sync"), {0, 0, 272, 10}, mvptest::BETA_COLOUR));
}

// A codec write that comes while the frame loop reads the touch controller waits for the bus
// instead of finding it taken and being lost, at whatever instant of the read it comes.
TEST(PanelBoard, CodecWritesAndTouchReadsShareTheControlBusWithoutLosingAWrite) {
  const boardtest::Result r = boardtest::run(
      [] {
        simtouch::press(100, 200);
        static SemaphoreHandle_t wake = xSemaphoreCreateBinary();
        // The touch driver reads as fast as it can, the way the frame loop does once a frame.
        xTaskCreate(
            [](void*) {
              BSP_TS_Init(272, 480);
              unsigned wrong = 0, reads = 0;
              for (;;) {
                TS_StateTypeDef s;
                const bool ok = BSP_TS_GetState(&s) == TS_OK && s.touchDetected == 1 &&
                                s.touchX[0] == 171 && s.touchY[0] == 279;
                wrong += !ok;
                if (++reads % 500 == 0)
                  note("reads " + std::to_string(reads) + " wrong " + std::to_string(wrong));
              }
            },
            "Main_Thread", 4096, nullptr, 3, nullptr);
        // A codec writer of higher priority, woken at instants 7 us apart, covering a whole
        // touch poll (about 1 ms) several times over.
        xTaskCreate(
            [](void*) {
              for (uint16_t i = 1; i <= 400; ++i) {
                xSemaphoreTake(wake, portMAX_DELAY);
                AUDIO_IO_Write(AUDIO_I2C_ADDRESS, 0x0400, i);
              }
              note("writes " + std::to_string(simcodec::writeCount()) + " last " +
                   std::to_string(simcodec::reg(0x0400)));
              simk::endRun(0, "");
            },
            "MainAudioTask", 4096, nullptr, 4, nullptr);
        for (int i = 0; i < 400; ++i) {
          simk::schedule(
              10 * simk::kMs + static_cast<simk::Time>(i) * (2 * simk::kMs + 7 * simk::kUs), 5, [] {
                BaseType_t woken = pdFALSE;
                xSemaphoreGiveFromISR(wake, &woken);
                portYIELD_FROM_ISR(woken);
              });
        }
      },
      {.duration = 2 * simk::kS});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.notes.find("writes 400 last 400\n"), std::string::npos) << r.notes;
  EXPECT_EQ(r.notes.find("wrong 0\n") != std::string::npos, true) << r.notes;
  EXPECT_EQ(boardtest::grep(r.notes, "wrong 0").size(), boardtest::grep(r.notes, "reads").size())
      << r.notes;
  const std::string busy = boardtest::grep(r.trace, R"("ev":"i2c")");
  EXPECT_TRUE(busy.empty()) << busy.substr(0, 200);
}

// ---- The display and touch controller models on their own: the touch controller's registers
// as the bus reads them, the touch driver without a controller, and the LTDC taking the
// layer's buffer only when it changed and its frame is complete.

// Registers 0x02..0x06 (TD_STATUS, P1_XH, P1_XL, P1_YH, P1_YL) in hex.
std::string touchData() {
  std::uint8_t r[5];
  simhal::i2cMemRead(simboard::kControlBus, simtouch::kAddress, 0x02, 1, r, sizeof r);
  char s[32];
  std::snprintf(s, sizeof s, "%02X %02X %02X %02X %02X", r[0], r[1], r[2], r[3], r[4]);
  return s;
}

std::uint8_t readRegister(std::uint8_t reg) {
  std::uint8_t v = 0;
  simhal::i2cMemRead(simboard::kControlBus, simtouch::kAddress, reg, 1, &v, 1);
  return v;
}

// A task that only waits, so that the board runs on while the test's events come.
void keepAlive() {
  xTaskCreate(
      [](void*) {
        for (;;) vTaskDelay(1000);
      },
      "waiting", 256, nullptr, 1, nullptr);
}

TEST(TouchController, RegistersFollowTheFingerInTheFrameBuffersGrid) {
  const boardtest::Result r = boardtest::run([] {
    note("id " + std::to_string(readRegister(simtouch::kRegChipId)));
    note("none " + touchData());
    // (10, 20) as the child sees it is (261, 459) = (0x105, 0x1CB) in the controller's grid.
    simtouch::press(10, 20);
    note("down " + touchData());
    note("held " + touchData());
    simtouch::release();
    note("up " + touchData());
    const std::uint8_t mode = 1, status = 5;
    simhal::i2cMemWrite(simboard::kControlBus, simtouch::kAddress, 0xA4, 1, &mode, 1);
    simhal::i2cMemWrite(simboard::kControlBus, simtouch::kAddress, 0x02, 1, &status, 1);
    note("mode " + std::to_string(readRegister(0xA4)) + " status " +
         std::to_string(readRegister(0x02)));
    // Half way through a drag from (0, 0) to (200, 100), when the read's bits have gone
    // (0.74 ms later): (101, 50), that is (170, 429).
    simtouch::drag(0, 0, 200, 100, 100 * simk::kMs);
    simk::schedule(simk::now() + 50 * simk::kMs, simk::kOrderBoard, [] {
      note("drag " + touchData());
      simk::endRun(0, "");
    });
    keepAlive();
  });
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.notes,
            "id 81\n"
            "none 00 C0 00 00 00\n"
            "down 01 01 05 01 CB\n"
            "held 01 81 05 01 CB\n"
            "up 00 41 05 01 CB\n"
            "mode 1 status 0\n"
            "drag 01 00 AA 01 AD\n");
}

TEST(TouchController, TheDriverFindsNoControllerWhereNoneAnswers) {
  const boardtest::Result r = boardtest::run([] {
    simhal::attachI2cDevice(simboard::kControlBus, simtouch::kAddress, nullptr);
    TS_StateTypeDef s;
    note("init " + std::to_string(BSP_TS_Init(272, 480)));
    const uint8_t state = BSP_TS_GetState(&s);
    note("state " + std::to_string(state) + " " + std::to_string(s.touchDetected));
    simk::endRun(0, "");
  });
  EXPECT_EQ(r.notes, "init " + std::to_string(TS_DEVICE_NOT_FOUND) + "\nstate " +
                         std::to_string(TS_ERROR) + " 0\n");
}

// A layer the test draws into by hand.
struct FakeLayer {
  std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(simdisplay::kPixels * 3, 0);
  std::uint64_t generation = 0;
  bool complete = true;
  void fill(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
      pixels[i] = b;
      pixels[i + 1] = g;
      pixels[i + 2] = r;
    }
    ++generation;
  }
};
FakeLayer layer;

std::string shown() {
  std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3);
  simdisplay::picture(rgb.data());
  char s[64];
  std::snprintf(s, sizeof s, "frame %llu %02X%02X%02X",
                static_cast<unsigned long long>(simdisplay::frameNumber()), rgb[0], rgb[1], rgb[2]);
  return s;
}

TEST(Display, ThePanelTakesTheBufferAtASyncOnlyWhenItChangedAndItsFrameIsComplete) {
  const boardtest::Result r = boardtest::run(
      [] {
        simdisplay::Layer l;
        l.frameBuffer = layer.pixels.data();
        l.generation = [] { return layer.generation; };
        l.complete = [] { return layer.complete; };
        simdisplay::start(std::move(l));
        keepAlive();
        const auto at = [](simk::Time ms, std::function<void()> fn) {
          simk::schedule(ms * simk::kMs, simk::kOrderBoard, std::move(fn));
        };
        at(1, [] { layer.fill(0, 0, 0xFF); });  // red, shown at the sync at 16.7 ms
        at(20, [] { note("20 " + shown()); });
        at(21, [] {
          layer.fill(0xFF, 0, 0);  // blue, but its frame is still being drawn at 33.3 ms
          layer.complete = false;
        });
        at(40, [] {
          note("40 " + shown());
          layer.complete = true;
        });
        at(60, [] { note("60 " + shown()); });
        at(61, [] { layer.fill(0xFF, 0, 0); });  // drawn again, the same picture
        at(90, [] {
          note("90 " + shown());
          // The backlight off: a window shows black.
          std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3, 1);
          simdisplay::dimmedPicture(rgb.data());
          note("dimmed " + std::to_string(rgb[0] + rgb[1] + rgb[2]));
        });
      },
      {.duration = 100 * simk::kMs});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.notes,
            "20 frame 1 FF0000\n"
            "40 frame 1 FF0000\n"
            "60 frame 2 0000FF\n"
            "90 frame 2 0000FF\n"
            "dimmed 0\n");
  const std::string frames = boardtest::grep(r.trace, R"("ev":"frame")");
  EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 2) << frames;
  EXPECT_NE(r.trace.find(R"({"t":16666,"ev":"frame","n":1,"hash":")"), std::string::npos);
  EXPECT_NE(r.trace.find(R"({"t":49999,"ev":"frame","n":2,"hash":")"), std::string::npos);
}

}  // namespace

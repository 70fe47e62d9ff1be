// The display and touch controller models on their own: the touch controller's registers as
// the bus reads them, the touch driver without a controller, and the LTDC taking the layer's
// buffer only when it changed and its frame is complete.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "board_child.h"
#include "panel.h"
#include "simi2c.h"
#include "stm32746g_discovery_ts.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "touch_panel.h"
#include "wiring.h"

namespace {

using boardtest::note;

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

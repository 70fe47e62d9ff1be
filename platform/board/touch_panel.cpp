// The touch panel and its controller: an FT5336-style capacitive touch controller (the one on
// the STM32F746 discovery board) on the codec's control bus, I2C address 0x70 (write) / 0x71
// (read), 8-bit register numbers, a read going on to the following registers.
//
// Registers this model gives (everything else reads 0; writes are kept, except to the read-only
// touch data and chip id):
//   0x00 DEV_MODE     0 (working mode)
//   0x01 GEST_ID      0 (no gesture)
//   0x02 TD_STATUS    number of touch points: 0 or 1 (one finger)
//   0x03 P1_XH        bits 7..6 event flag (0 put down, 1 put up, 2 contact, 3 no event),
//                     bits 3..0 X bits 11..8
//   0x04 P1_XL        X bits 7..0
//   0x05 P1_YH        bits 7..4 touch id (0), bits 3..0 Y bits 11..8
//   0x06 P1_YL        Y bits 7..0
//   0xA4 G_MODE       interrupt mode, kept (the line itself is not modelled: the board polls)
//   0xA8 chip id      0x51
// The event flag says "put down" on the first read of P1_XH after the finger touched, "contact"
// after that, "put up" once it has lifted (with the last position), "no event" before any touch
// (the position registers then read 0).
//
// Coordinates: the panel is bonded to the display, so the controller counts in the display's
// own grid, the frame buffer's: X 0..271 along a frame-buffer row, Y 0..479 down the rows. The
// display is mounted turned by 180 degrees, so a finger the child puts at (x, y) of the picture
// it sees (the screenshot) is at X = 271 - x, Y = 479 - y here; the backdoor takes the child's
// coordinates.
//
// Simplified: one touch point; no weight, area, gestures, calibration or noise; the position is
// exact to the pixel. A drag's position is worked out at each read from the time.
#include "touch_panel.h"

#include <array>

#include "simi2c.h"
#include "trace.h"

namespace simtouch {
namespace {

constexpr int kWidth = 272;
constexpr int kHeight = 480;

struct Motion {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  simk::Time start = 0, duration = 0;
};

struct Panel {
  std::array<std::uint8_t, 256> regs{};
  bool down = false;
  bool everTouched = false;
  bool announced = false;  // the put-down event was read
  int x = 0, y = 0;        // the child's picture
  bool moving = false;
  Motion motion;
  simk::EventId lift = 0;
  std::uint64_t reads = 0;
};

Panel& panel() {
  static Panel p;
  return p;
}

int clampTo(int v, int size) { return v < 0 ? 0 : (v >= size ? size - 1 : v); }

// Where the finger is now, in the child's picture.
void position(Panel& p, int& x, int& y) {
  if (!p.moving) {
    x = p.x;
    y = p.y;
    return;
  }
  const Motion& m = p.motion;
  const simk::Time elapsed = simk::now() - m.start;
  if (m.duration == 0 || elapsed >= m.duration) {
    x = m.x2;
    y = m.y2;
    return;
  }
  const auto along = [&](int a, int b) {
    return a +
           static_cast<int>(static_cast<std::int64_t>(b - a) * static_cast<std::int64_t>(elapsed) /
                            static_cast<std::int64_t>(m.duration));
  };
  x = along(m.x1, m.x2);
  y = along(m.y1, m.y2);
}

void settle(Panel& p) {
  if (!p.moving) return;
  position(p, p.x, p.y);
  p.moving = false;
}

void cancelLift(Panel& p) {
  if (p.lift != 0) simk::cancel(p.lift);
  p.lift = 0;
}

void trace(const Panel& p, const char* state) {
  simtrace::Event("touch").num("x", p.x).num("y", p.y).str("state", state);
}

void putDown(Panel& p, int x, int y) {
  cancelLift(p);
  p.moving = false;
  p.x = clampTo(x, kWidth);
  p.y = clampTo(y, kHeight);
  if (p.down) return;
  p.down = true;
  p.everTouched = true;
  p.announced = false;
  trace(p, "press");
}

void liftAfter(Panel& p, simk::Time delay) {
  p.lift = simk::schedule(simk::now() + delay, simk::kOrderBoard, [] {
    panel().lift = 0;
    release();
  });
}

// The touch data registers as the controller shows them now.
std::uint8_t touchRegister(Panel& p, std::uint8_t reg) {
  int cx = 0, cy = 0;
  position(p, cx, cy);
  // The controller's grid is the frame buffer's: the child's picture turned. Before the first
  // touch the position registers hold 0.
  const unsigned gx = p.everTouched ? static_cast<unsigned>(kWidth - 1 - cx) : 0;
  const unsigned gy = p.everTouched ? static_cast<unsigned>(kHeight - 1 - cy) : 0;
  switch (reg) {
    case kRegTdStatus: return p.down ? 1 : 0;
    case kRegP1XH: {
      std::uint8_t event = kEventNone;
      if (p.down) {
        event = p.announced ? kEventContact : kEventPutDown;
        p.announced = true;
      } else if (p.everTouched) {
        event = kEventPutUp;
      }
      ++p.reads;
      return static_cast<std::uint8_t>(event << 6 | ((gx >> 8) & 0x0F));
    }
    case kRegP1XL: return static_cast<std::uint8_t>(gx);
    case kRegP1YH: return static_cast<std::uint8_t>((gy >> 8) & 0x0F);
    case kRegP1YL: return static_cast<std::uint8_t>(gy);
    default: return 0;
  }
}

bool readOnly(std::uint8_t reg) {
  return (reg >= kRegTdStatus && reg <= 0x1E) || reg == kRegChipId;
}

class Controller : public simhal::I2cDevice {
 public:
  void write(std::uint16_t reg, const std::uint8_t* data, std::size_t count) override {
    Panel& p = panel();
    for (std::size_t i = 0; i < count; ++i) {
      const auto r = static_cast<std::uint8_t>(reg + i);
      if (!readOnly(r)) p.regs[r] = data[i];
    }
  }
  void read(std::uint16_t reg, std::uint8_t* out, std::size_t count) override {
    Panel& p = panel();
    for (std::size_t i = 0; i < count; ++i) {
      const auto r = static_cast<std::uint8_t>(reg + i);
      if (r == kRegChipId) {
        out[i] = kChipId;
      } else if (r >= kRegTdStatus && r <= kRegP1YL) {
        out[i] = touchRegister(p, r);
      } else if (readOnly(r)) {
        out[i] = 0;
      } else {
        out[i] = p.regs[r];
      }
    }
  }
};

}  // namespace

void connect(int bus) {
  static Controller controller;
  panel() = Panel();
  simhal::attachI2cDevice(bus, kAddress, &controller);
}

void press(int x, int y) { putDown(panel(), x, y); }

void release() {
  Panel& p = panel();
  cancelLift(p);
  settle(p);
  if (!p.down) return;
  p.down = false;
  trace(p, "release");
}

void tap(int x, int y) {
  Panel& p = panel();
  putDown(p, x, y);
  liftAfter(p, kTapHold);
}

void drag(int x1, int y1, int x2, int y2, simk::Time duration) {
  Panel& p = panel();
  putDown(p, x1, y1);
  p.motion = Motion{p.x, p.y, clampTo(x2, kWidth), clampTo(y2, kHeight), simk::now(), duration};
  p.moving = true;
  liftAfter(p, duration + kDragRest);
}

bool touched() { return panel().down; }

int x() {
  int cx = 0, cy = 0;
  position(panel(), cx, cy);
  return cx;
}

int y() {
  int cx = 0, cy = 0;
  position(panel(), cx, cy);
  return cy;
}

std::uint64_t positionReads() { return panel().reads; }

}  // namespace simtouch

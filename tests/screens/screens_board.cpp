#include "screens_board.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "FreeRTOS.h"
#include "cpp_freertos/queue.hpp"
#include "gui/common/FrontendHeap.hpp"
#include "process.h"
#include "simgfx.h"
#include "stick.h"

int firmware_main(void);

namespace screenstest {
namespace {

using boardtest::note;

const char* const kButtonNames[] = {"BTN_Other",
                                    "BTN_PlayPause",
                                    "BTN_Forward",
                                    "BTN_Rewind",
                                    "BTN_Parent",
                                    "BTN_Folder_Forward",
                                    "BTN_Folder_Rewind",
                                    "BTN_Folder_Refresh",
                                    "BTN_PlaybackFolder",
                                    "BTN_Overview_Refresh",
                                    "BTN_Overview_Back",
                                    "BTN_Overview_Forward",
                                    "BTN_ParentSettingsChanged"};

// The user-request queue with every request noted as it is sent (a full queue drops it, as
// the real one does: "dropped" is noted then).
class RecordingQueue : public cpp_freertos::Queue {
 public:
  RecordingQueue() : Queue(5, sizeof(ModelUserEvent)) {}
  bool Enqueue(void* item, TickType_t timeout) override {
    const bool sent = Queue::Enqueue(item, timeout);
    const auto& e = *static_cast<const ModelUserEvent*>(item);
    const char* name = e.button < 13 ? kButtonNames[e.button] : "BTN_?";
    note(std::string("request ") + name + " main=" + std::to_string(e.selectedMainFolder) +
         " playback=" + std::to_string(e.selectedPlaybackFolder) +
         " param=" + std::to_string(e.parameter) + (sent ? "" : " dropped"));
    return sent;
  }
};

// A finger for the frame loop, in layout coordinates (the child's picture on every screen
// with a Mirror).
class Finger : public touchgfx::TouchController {
 public:
  bool sampleTouch(int32_t& x, int32_t& y) override {
    x = x_;
    y = y_;
    return down_;
  }
  bool down_ = false;
  int32_t x_ = 0, y_ = 0;
};

class Keys : public touchgfx::ButtonController {
 public:
  bool sample(uint8_t& code) override {
    if (pending_ < 0) return false;
    code = static_cast<uint8_t>(pending_);
    pending_ = -1;
    return true;
  }
  int pending_ = -1;
};

Finger finger;
Keys keys;
bool recording = false;

// The first screen is shown before any request: then the model's queue is swapped for one
// that notes what it carries.
void screenShown(const char* name) {
  if (recording && guiQueueModelUserEvent != nullptr && guiQueueModelUserEvent->NumItems() == 0) {
    recording = false;
    guiQueueModelUserEvent = new RecordingQueue();
  }
  note(std::string("screen ") + name);
}

}  // namespace

boardtest::Result runFirmware(const std::function<void()>& setup, simk::Time duration,
                              bool recordRequests) {
  boardtest::Options o;
  o.duration = duration;
  o.kernelTick = false;
  return boardtest::run(
      [&] {
        recording = recordRequests;
        simgfx::setScreenHook(screenShown);
        simgfx::setTouchController(&finger);
        simgfx::setButtonController(&keys);
        setup();
        firmware_main();
      },
      o);
}

void at(simk::Time t, std::function<void()> fn) {
  simk::schedule(t, simk::kOrderBoard, std::move(fn));
}

void press(int x, int y) {
  finger.down_ = true;
  finger.x_ = x;
  finger.y_ = y;
}

void release() { finger.down_ = false; }

void tap(simk::Time t, int x, int y) {
  at(t, [x, y] { press(x, y); });
  at(t + 2 * kFrame, [] { release(); });
}

void key(simk::Time t, uint8_t code) {
  at(t, [code] { keys.pending_ = code; });
}

void sendPage(PageSelectEnum page, uint32_t pageNumber) {
  PageSelectEvent record;
  record.page = page;
  record.pageNumber = pageNumber;
  BaseType_t woken = pdFALSE;
  (void)guiQueuePageSelect->EnqueueFromISR(&record, &woken);
  portYIELD_FROM_ISR(woken);
}

void noteModel() {
  const Model& m = FrontendHeap::getInstance().model;
  note("model folder " + std::to_string(m.getSelectedMainFolder()) + " page " +
       std::to_string(m.getSelectedOverviewPage()));
}

std::vector<uint8_t> childView() {
  const uint8_t* fb = simgfx::frameBuffer();
  std::vector<uint8_t> rgb(static_cast<size_t>(W) * H * 3);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      // Turned by 180 degrees; the frame buffer holds blue, green, red.
      const uint8_t* p = fb + ((H - 1 - y) * W + (W - 1 - x)) * 3;
      uint8_t* q = &rgb[(static_cast<size_t>(y) * W + x) * 3];
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
    }
  }
  return rgb;
}

std::string hashOf(const std::vector<uint8_t>& rgb) {
  uint64_t h = 1469598103934665603ULL;
  for (uint8_t b : rgb) h = (h ^ b) * 1099511628211ULL;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

uint32_t pixel(const std::vector<uint8_t>& rgb, int x, int y) {
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * W + x) * 3];
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

std::string stickWith(const std::vector<std::string>& rootFolders, int subfolders) {
  static std::map<std::string, std::string> made;
  std::string manifest;
  for (const std::string& r : rootFolders) {
    manifest += "dir \"" + r + "\"\n";
    for (int s = 0; s < subfolders; ++s) {
      manifest += "file \"" + r + "/F" + std::to_string(s) + "/a.mp3\" size=100\n";
    }
  }
  auto found = made.find(manifest);
  if (found != made.end()) return found->second;
  const std::string dir = proc::tempDir();
  proc::writeFile(dir + "/stick.txt", manifest);
  const std::string image = dir + "/stick.img";
  const auto r = proc::run({SHAPEPLAY_MKSTICK, "--manifest", dir + "/stick.txt", "--out", image});
  EXPECT_EQ(r.status, 0) << r.err;
  made[manifest] = image;
  return image;
}

}  // namespace screenstest

#include "screens_board.h"

#include <gtest/gtest.h>

#include <map>

#include "FreeRTOS.h"
#include "cpp_freertos/queue.hpp"
#include "gfx_internal.h"
#include "gui/common/FrontendHeap.hpp"
#include "images.h"
#include "panel.h"
#include "scenario.h"
#include "simgfx.h"
#include "touch_panel.h"

int firmware_main(void);

namespace screenstest {
namespace {

using boardtest::note;

// The user-request queue with every request noted as it is sent (a full queue drops it, as
// the real one does: "dropped" is noted then).
class RecordingQueue : public cpp_freertos::Queue {
 public:
  RecordingQueue() : Queue(5, sizeof(ModelUserEvent)) {}
  bool Enqueue(void* item, TickType_t timeout) override {
    const bool sent = Queue::Enqueue(item, timeout);
    const auto& e = *static_cast<const ModelUserEvent*>(item);
    const char* name = simscn::buttonName(e.button);
    if (name == nullptr) name = "BTN_?";
    std::string settings;
    if (e.button == BTN_ParentSettingsChanged)
      settings = " " + parentSettingsText(e.parentSettings);
    note(std::string("request ") + name + " main=" + std::to_string(e.selectedMainFolder) +
         " playback=" + std::to_string(e.selectedPlaybackFolder) +
         " param=" + std::to_string(e.parameter) + settings + (sent ? "" : " dropped"));
    return sent;
  }
};

// The model made its queues before the first screen, and no request comes before one is
// shown: from then on the user requests go through a queue that notes them.
void recordOnceAScreenIsShown() {
  if (simgfx::screenName()[0] != '\0' && guiQueueModelUserEvent != nullptr &&
      guiQueueModelUserEvent->NumItems() == 0) {
    guiQueueModelUserEvent = new RecordingQueue();
    return;
  }
  at(simk::now() + simk::kMs, recordOnceAScreenIsShown);
}

}  // namespace

boardtest::Result runFirmware(const std::function<void()>& setup, simk::Time duration) {
  boardtest::Options o;
  o.duration = duration;
  o.kernelTick = false;
  return boardtest::run(
      [&] {
        at(simk::kMs, recordOnceAScreenIsShown);
        setup();
        firmware_main();
      },
      o);
}

std::string screens(const boardtest::Result& r) {
  std::string names;
  const std::string key = R"("ev":"screen","name":")";
  for (size_t at = r.trace.find(key); at != std::string::npos; at = r.trace.find(key, at + 1)) {
    const size_t from = at + key.size();
    names += r.trace.substr(from, r.trace.find('"', from) - from) + "\n";
  }
  return names;
}

void tap(simk::Time t, int x, int y) {
  at(t, [x, y] { simtouch::tap(x, y); });
}

void key(simk::Time t, uint8_t code) {
  at(t, [code] { (void)simgfx::sendKey(code); });
}

void sendPage(PageSelectEnum page, uint32_t pageNumber) {
  PageSelectEvent record;
  record.page = page;
  record.pageNumber = pageNumber;
  BaseType_t woken = pdFALSE;
  (void)guiQueuePageSelect->EnqueueFromISR(&record, &woken);
  portYIELD_FROM_ISR(woken);
}

std::string parentSettingsText(const ModelParentsSettings& s) {
  std::string eq;
  for (int band = 0; band < 5; ++band) eq += (band ? "," : "") + std::to_string(s.equalizer[band]);
  return "maxvol=" + std::to_string(s.maxVolume) + " 3d=" + std::to_string(s.effect3d) +
         " boost=" + std::to_string(s.spkBoost) + " eq=" + eq +
         " resume=" + std::to_string(s.positionResume ? 1 : 0);
}

void noteModel() {
  const Model& m = FrontendHeap::getInstance().model;
  note("model folder " + std::to_string(m.getSelectedMainFolder()) + " page " +
       std::to_string(m.getSelectedOverviewPage()));
}

void noteOrientation() {
  std::vector<uint8_t> seen(simdisplay::kPixels * 3);
  simdisplay::picture(seen.data());
  const uint8_t* layout = touchgfx::internal::canvas();
  const int w = simdisplay::kWidth, h = simdisplay::kHeight;
  bool upright = true, turned = true;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &seen[(static_cast<size_t>(y) * w + x) * 3];       // red, green, blue
      const uint8_t* same = layout + (static_cast<size_t>(y) * w + x) * 3;  // blue, green, red
      const uint8_t* opposite = layout + (static_cast<size_t>(h - 1 - y) * w + (w - 1 - x)) * 3;
      upright = upright && p[0] == same[2] && p[1] == same[1] && p[2] == same[0];
      turned = turned && p[0] == opposite[2] && p[1] == opposite[1] && p[2] == opposite[0];
    }
  }
  note(std::string(simgfx::screenName()) + (upright  ? " upright"
                                            : turned ? " upside down"
                                                     : " garbled"));
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
  if (found == made.end()) found = made.emplace(manifest, testimg::mkstick(manifest)).first;
  return found->second;
}

}  // namespace screenstest

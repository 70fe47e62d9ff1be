// The window's parts that need no display: the board's inbox, the sound feed, the device's
// layout and face, and the image builder's progress.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "board_child.h"
#include "canvas.h"
#include "device_face.h"
#include "device_link.h"
#include "image.h"
#include "png_file.h"
#include "process.h"
#include "siminbox.h"
#include "sound_feed.h"
#include "source.h"

// The application hooks the kernel calls.
extern "C" void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }

namespace {

// ---- the inbox

TEST(Inbox, KeepsMessagesInOrderAcrossTheRingsEndAndRefusesWhatDoesNotFit) {
  auto* inbox = new simk::Inbox;
  std::vector<std::string> out;
  const std::string big(simk::Inbox::kMaxMessage, 'x');
  // Nearly full, emptied, then filled across the end of the ring.
  int posted = 0;
  while (inbox->post(big)) ++posted;
  EXPECT_EQ(posted, static_cast<int>(simk::Inbox::kBytes / (big.size() + 4)));
  EXPECT_FALSE(inbox->post(std::string(simk::Inbox::kMaxMessage + 1, 'y')));
  inbox->take(out);
  EXPECT_EQ(out.size(), static_cast<std::size_t>(posted));
  EXPECT_FALSE(inbox->waiting());
  out.clear();
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(inbox->post("turn " + std::to_string(i)));
  inbox->take(out);
  ASSERT_EQ(out.size(), 3000U);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(out[i], "turn " + std::to_string(i));
  delete inbox;
}

TEST(Inbox, WorksBetweenProcessesThatShareItsMemory) {
  void* memory =
      mmap(nullptr, sizeof(simk::Inbox), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  auto* inbox = new (memory) simk::Inbox;
  const pid_t child = fork();
  if (child == 0) {
    for (int i = 0; i < 100; ++i) inbox->post("press " + std::to_string(i) + " 1");
    _exit(0);
  }
  std::vector<std::string> out;
  while (out.size() < 100) {
    inbox->take(out);
    std::this_thread::yield();
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(out.front(), "press 0 1");
  EXPECT_EQ(out.back(), "press 99 1");
  inbox->~Inbox();
  munmap(memory, sizeof(simk::Inbox));
}

// Messages posted by a host thread become board events in interrupt context, in order, at the
// virtual time the kernel takes them; a task they wake runs at that moment.
TEST(Inbox, TheBoardTakesWhatAHostThreadPostsAtItsSchedulingPoints) {
  auto r = boardtest::run(
      [] {
        static simk::Inbox inbox;
        static std::atomic<bool> ready{false};
        simk::connectInbox(&inbox, [](const std::string& m) {
          boardtest::note(m + " in " + simk::contextName() +
                          (simk::now() >= 100 * simk::kMs ? " after 100 ms"
                                                          : " at " + std::to_string(simk::now())));
          if (m == "last") simk::endRun(0, "");
        });
        // Posted before the board runs: taken at its first scheduling point.
        inbox.post("early");
        simk::schedule(100 * simk::kMs, simk::kOrderBoard, [] { ready = true; });
        // From then on the board gives the host thread time, as a window's board does when it
        // keeps pace with the wall clock.
        static simk::Periodic pace;
        pace.start(100 * simk::kMs, simk::kMs, simk::kOrderBoard, true,
                   [] { std::this_thread::sleep_for(std::chrono::microseconds(100)); });
        static std::thread host([] {
          while (!ready) std::this_thread::yield();
          inbox.post("one");
          inbox.post("two");
          inbox.post("last");
        });
        host.detach();
      },
      {60 * simk::kS, true});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.notes,
            "early in interrupt at 0\none in interrupt after 100 ms\ntwo in interrupt after 100 "
            "ms\nlast in interrupt after 100 ms\n");
}

// ---- the sound feed

std::vector<std::int16_t> tone(std::size_t frames, double amplitude) {
  std::vector<std::int16_t> lr(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    lr[2 * i] = lr[2 * i + 1] =
        static_cast<std::int16_t>(amplitude * std::sin(2 * 3.14159265 * 440.0 * i / 48000));
  }
  return lr;
}

// The largest step between neighbouring samples of the left channel.
int largestStep(const std::vector<std::int16_t>& lr) {
  int step = 0;
  for (std::size_t i = 2; i < lr.size(); i += 2) step = std::max(step, std::abs(lr[i] - lr[i - 2]));
  return step;
}

TEST(SoundFeed, WaitsForItsCushionThenPlaysTheFramesAsTheyCame) {
  auto ring = std::make_unique<simlink::SoundRing>();
  simwin::SoundFeed feed(2048, 48000);
  std::vector<std::int16_t> out(2 * 1024, 7);
  const std::vector<std::int16_t> in = tone(1500, 10000);
  ring->put(in.data(), 1500);
  feed.fill(*ring, out.data(), 1024, true);  // 1500 < 2048 wait: silence
  EXPECT_EQ(largestStep(out), 0);
  EXPECT_EQ(out[0], 0);
  ring->put(in.data(), 1500);
  feed.fill(*ring, out.data(), 1024, true);
  // Faded in over the first 240 frames, then the frames themselves.
  EXPECT_EQ(out[0], 0);
  for (std::size_t i = 240; i < 1024; ++i) ASSERT_EQ(out[2 * i], in[2 * i]) << i;
  EXPECT_EQ(feed.underruns(), 0U);
}

TEST(SoundFeed, AnUnderRunIsCountedAndFadesOutWithoutAClickWhileSilenceIsNoFault) {
  auto ring = std::make_unique<simlink::SoundRing>();
  simwin::SoundFeed feed(1024, 48000);
  std::vector<std::int16_t> played;
  std::vector<std::int16_t> out(2 * 512);
  const auto play = [&](bool boardOn) {
    feed.fill(*ring, out.data(), 512, boardOn);
    played.insert(played.end(), out.begin(), out.end());
  };
  // Loud frames stop at their peak: the host must not jump to zero.
  std::vector<std::int16_t> loud(2 * 2000, 20000);
  ring->put(loud.data(), 2000);
  for (int i = 0; i < 6; ++i) play(true);
  EXPECT_EQ(feed.underruns(), 1U);
  EXPECT_LE(largestStep(played), 20000 / 240 + 1);
  EXPECT_EQ(played.back(), 0);
  // Silence from the board passes through as silence; a board that is off is no under-run.
  std::vector<std::int16_t> quiet(2 * 2000, 0);
  ring->put(quiet.data(), 2000);
  for (int i = 0; i < 6; ++i) play(false);
  EXPECT_EQ(feed.underruns(), 1U);
}

TEST(SoundFeed, AFillBeyondTheMostIsCutBackToTheCushionWithAFade) {
  auto ring = std::make_unique<simlink::SoundRing>();
  simwin::SoundFeed feed(1024, 4096);
  std::vector<std::int16_t> loud(2 * 8000, 12000), out(2 * 512), played;
  ring->put(loud.data(), 2000);
  feed.fill(*ring, out.data(), 512, true);
  ring->put(loud.data(), 6000);
  for (int i = 0; i < 4; ++i) {
    feed.fill(*ring, out.data(), 512, true);
    played.insert(played.end(), out.begin(), out.end());
  }
  EXPECT_LE(ring->fill(), 1024U);
  EXPECT_LE(largestStep(played), 12000 / 240 + 1);
}

// ---- the layout and the face

TEST(DeviceFace, EveryPartIsHitAtItsMiddleAndThePanelMapsToThePicturesPixels) {
  for (int scale : {1, 2}) {
    const simwin::Layout l = simwin::Layout::make(scale);
    SCOPED_TRACE(scale);
    const std::pair<simwin::Rect, simwin::Part> parts[] = {{l.panel, simwin::Part::Panel},
                                                           {l.knob, simwin::Part::Knob},
                                                           {l.parentsKey, simwin::Part::ParentsKey},
                                                           {l.powerKey, simwin::Part::PowerKey},
                                                           {l.mono, simwin::Part::Mono},
                                                           {l.light, simwin::Part::Light},
                                                           {l.demoStick, simwin::Part::DemoStick},
                                                           {l.eject, simwin::Part::Eject}};
    for (const auto& [rect, part] : parts) {
      EXPECT_EQ(l.hit(rect.midX(), rect.midY()), part);
      EXPECT_TRUE(rect.right() <= l.width && rect.bottom() <= l.height);
    }
    EXPECT_EQ(l.hit(2, 2), simwin::Part::None);
    int px = 0, py = 0;
    l.toPanel(l.panel.x + 34 * scale + scale - 1, l.panel.y + 242 * scale, &px, &py);
    EXPECT_EQ(px, 34);
    EXPECT_EQ(py, 242);
    l.toPanel(-5, 5000, &px, &py);  // dragged off the panel: its edge
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 479);
    EXPECT_EQ(l.lightAt(l.light.x - 9), 4095);  // dark
    EXPECT_EQ(l.lightAt(l.light.right() + 9), 0);
    EXPECT_EQ(l.lightX(l.lightAt(l.light.x + 50)), l.light.x + 50);
    // The parts of the column stay within the body, one below the other.
    EXPECT_LT(l.leds[0].bottom(), l.knob.y);
    EXPECT_LT(l.knob.bottom(), l.parentsKey.y);
    EXPECT_LT(l.slot.bottom(), l.message.y);
    EXPECT_LE(l.message.bottom(), l.bezel.bottom());
  }
}

// The face shows the panel's picture pixel for pixel, scaled, with the backlight's duty;
// a board that is off shows a dark panel. The drawn faces are written for a person to look at.
TEST(DeviceFace, ThePanelShowsThePictureWithTheBacklightAndIsDarkWhenOff) {
  const simwin::Layout l = simwin::Layout::make(2);
  simwin::Face face(l);
  face.loadFonts(SHAPEPLAY_FONT_DIR);
  std::vector<std::uint8_t> picture(simlink::kPanelBytes);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7);
  simwin::FaceState s;
  s.boardOn = true;
  s.picture = picture.data();
  s.backlight = 500;
  s.leds = {simwin::Rgb{200, 0, 0}, simwin::Rgb{0, 0, 60}, simwin::Rgb{}};
  s.stick = "Kids music";
  s.building = true;
  s.buildingWhat = "Kids music";
  s.progress = 0.4;
  simwin::Canvas c(l.width, l.height);
  face.draw(s, c);
  for (int y : {0, 17, 479}) {
    for (int x : {0, 100, 271}) {
      const std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * 272 + x) * 3];
      const std::uint32_t want = static_cast<std::uint32_t>((p[0] * 500 + 500) / 1000) << 16 |
                                 static_cast<std::uint32_t>((p[1] * 500 + 500) / 1000) << 8 |
                                 static_cast<std::uint32_t>((p[2] * 500 + 500) / 1000);
      EXPECT_EQ(c.at(l.panel.x + 2 * x + 1, l.panel.y + 2 * y + 1), want) << x << "," << y;
    }
  }
  const std::string out = std::string(SHAPEPLAY_TEST_OUT) + "/window";
  std::filesystem::create_directories(out);
  const auto save = [&](const std::string& name) {
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < l.width * l.height; ++i) {
      const std::uint32_t v = c.pixels()[i];
      rgb.insert(rgb.end(), {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v)});
    }
    EXPECT_EQ(simpng::writeRgb(out + "/" + name, l.width, l.height, rgb), "");
  };
  save("face-on.png");
  s.boardOn = false;
  s.building = false;
  s.message = "Cannot make a stick of Empty: Empty holds no MP3 files where the player looks.";
  s.messageIsTrouble = true;
  face.draw(s, c);
  EXPECT_EQ(c.at(l.panel.midX(), l.panel.midY()), 0U);
  save("face-off.png");
}

// ---- the image builder, as the window uses it

TEST(StickFromFolder, TheBuilderReportsItsProgressUpToEveryByte) {
  const std::string dir = proc::tempDir();
  std::filesystem::create_directories(dir + "/music/Animals/Dogs");
  proc::writeFile(dir + "/music/Animals/Dogs/1.mp3", std::string(3 << 20, 'a'));
  proc::writeFile(dir + "/music/Animals/Dogs/2.mp3", std::string(1000, 'b'));
  mkstick::Tree tree;
  ASSERT_EQ(mkstick::scanFolderFor(dir + "/music", dir + "/music/s.img", &tree).substr(0, 9),
            "the image");
  ASSERT_EQ(mkstick::scanFolderFor(dir + "/music", dir + "/s.img", &tree), "");
  mkstick::ImageOptions options;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    seen.push_back({done, total});
  };
  mkstick::Summary summary;
  ASSERT_EQ(mkstick::buildImage(tree, options, dir + "/s.img", &summary), "");
  ASSERT_GE(seen.size(), 3U);
  EXPECT_EQ(seen.front().first, 0U);
  EXPECT_EQ(seen.back().first, seen.back().second);
  EXPECT_EQ(seen.back().second, (3U << 20) + 1000U);
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].first, seen[i - 1].first);
  std::filesystem::remove_all(dir);
}

}  // namespace

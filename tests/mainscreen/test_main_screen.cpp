// The main screen and the overview as a child uses them, through the simulator: sticks made
// at test time (our builder, and mkfs.fat with mtools), title pictures written here and by
// ImageMagick, touches where the buttons appear, and what the child then sees (screenshots)
// and hears (the console names the folder, the audio interface starts).
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "bmp_files.h"
#include "images.h"
#include "pictures.h"
#include "process.h"

namespace {

using pictures::Box;
using pictures::Picture;

// Where the child touches (and the screenshots show) the main screen's buttons.
constexpr const char* kNextFolder = "236 64";
constexpr const char* kPicture = "137 64";
// The overview's paging arrows and its button back to the main screen.
constexpr const char* kPageForward = "228 444";
constexpr const char* kPageBack = "45 444";

// The picture frames: the main screen's, and the overview's six.
constexpr int kMainFrameX = 73, kMainFrameY = 0;
constexpr int kSlotX[6] = {6, 140, 6, 140, 6, 140};
constexpr int kSlotY[6] = {6, 6, 140, 140, 274, 274};

// Shape n (1..16) of the 4 x 4 grid; the green square stands two pixels higher.
Box shape(int n) {
  const int col = (n - 1) % 4, row = (n - 1) / 4;
  return {68 * col, n == 2 ? 206 : 208 + 68 * row, 68, 68};
}
std::string touchShape(int n) {
  const Box b = shape(n);
  return "touch " + std::to_string(b.x + 34) + " " + std::to_string(b.y + 34) + "\n";
}
std::string touchSlot(int s) {
  return "touch " + std::to_string(kSlotX[s] + 64) + " " + std::to_string(kSlotY[s] + 64) + "\n";
}
// The arrows to the previous and next root folder (without the frame's last column).
const Box kLeftArrow{0, 0, 72, 128};
const Box kRightArrow{201, 0, 71, 128};

struct SimRun : proc::Sim {
  Picture shot(const std::string& name) const { return pictures::load(dir + "/" + name + ".png"); }
};

// The simulator, headless, with `stick` in the slot from power-on and `script` (its
// screenshots land in the run's folder).
SimRun simulate(const std::string& stick, const std::string& script) {
  return {proc::simulate(script, {"--stick", stick})};
}

Picture crop(const Picture& p, const Box& b) {
  Picture c;
  c.width = b.width;
  c.height = b.height;
  for (int y = b.y; y < b.y + b.height; ++y) {
    c.rgb.insert(c.rgb.end(), p.rgb.begin() + 3 * (y * p.width + b.x),
                 p.rgb.begin() + 3 * (y * p.width + b.x + b.width));
  }
  return c;
}
// The mean of all channels of all pixels.
double brightness(const Picture& p) {
  double sum = 0;
  for (std::uint8_t c : p.rgb) sum += c;
  return p.rgb.empty() ? 0 : sum / static_cast<double>(p.rgb.size());
}
bool same(const Picture& a, const Picture& b, const Box& box) {
  return pictures::differing(crop(a, box), crop(b, box)) == 0;
}

// Whether the frame at (fx, fy) shows the w x h picture `colour` in its middle, turned a
// quarter turn counter-clockwise: picture pixel (u, v) at (fx + v + oy, fy + 127 - u - ox),
// (ox, oy) being where the picture sits in the 128 x 128 frame.
::testing::AssertionResult showsTurned(const Picture& p, int fx, int fy, int w, int h,
                                       const bmpfiles::Colours& colour) {
  const int ox = (128 - w) / 2, oy = (128 - h) / 2;
  for (int v = 0; v < h; ++v) {
    for (int u = 0; u < w; ++u) {
      const int x = fx + v + oy, y = fy + 127 - u - ox;
      if (p.at(x, y) != colour(u, v)) {
        return ::testing::AssertionFailure()
               << "picture pixel " << u << "," << v << " shows " << std::hex << p.at(x, y) << " at "
               << std::dec << x << "," << y << ", not " << std::hex << colour(u, v);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// ---- the shapes and the arrows

// Root folders with 0, 9 and 20 playback folders (stepped through with the arrow at the top
// right), and a stick with a single root folder. Full shapes and arrows look alike wherever
// they are full, faded ones wherever they are faded, and the two differ.
TEST(MainScreen, ShapesAndArrowsShowWhichFoldersExist) {
  std::string manifest = "dir \"A\"\n";
  for (int i = 1; i <= 9; ++i) manifest += "dir \"B/F" + std::to_string(i) + "\"\n";
  for (int i = 1; i <= 20; ++i) manifest += "dir \"C/F" + std::to_string(100 + i) + "\"\n";
  const SimRun r =
      simulate(testimg::mkstick(manifest),
               std::string("wait 1500ms\nscreenshot a.png\n") + "touch " + kNextFolder +
                   "\nwait 500ms\nscreenshot b.png\n" + touchShape(12) + "wait 300ms\ntouch " +
                   kNextFolder + "\nwait 500ms\nscreenshot c.png\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture none = r.shot("a"), nine = r.shot("b"), all = r.shot("c");
  for (int n = 1; n <= 16; ++n) {
    SCOPED_TRACE("shape " + std::to_string(n));
    // A faded shape lets the light tile beneath show through: its cell is the paler one.
    EXPECT_GT(pictures::differing(crop(none, shape(n)), crop(all, shape(n))), 1000u);
    EXPECT_GT(brightness(crop(none, shape(n))), brightness(crop(all, shape(n))) + 20);
    EXPECT_TRUE(same(nine, n <= 9 ? all : none, shape(n)));
  }
  EXPECT_GT(brightness(crop(none, kLeftArrow)), brightness(crop(nine, kLeftArrow)) + 20);
  EXPECT_GT(brightness(crop(all, kRightArrow)), brightness(crop(nine, kRightArrow)) + 20);
  EXPECT_FALSE(same(none, nine, kLeftArrow));  // folder 0: no previous one
  EXPECT_TRUE(same(nine, all, kLeftArrow));
  EXPECT_TRUE(same(none, nine, kRightArrow));
  EXPECT_FALSE(same(nine, all, kRightArrow));  // the last folder: no next one
  EXPECT_TRUE(pictures::matchesReference(nine, "main-nine-folders"));

  // A faded shape still sends its request: the core looks for the 12th folder of B.
  EXPECT_EQ(proc::grep(r.log, "playbackFolderName"), "playbackFolderName: \r\n");

  const SimRun single =
      simulate(testimg::mkstick("dir \"Solo/F1\"\n"), "wait 1500ms\nscreenshot s.png\n");
  ASSERT_EQ(single.status, 0) << single.err;
  const Picture solo = single.shot("s");
  EXPECT_TRUE(same(solo, none, kLeftArrow));
  EXPECT_TRUE(same(solo, all, kRightArrow));
}

// A touch on each shape plays its playback folder: the console names it and the audio
// interface starts. The stick is made by mkfs.fat and mtools.
TEST(MainScreen, EveryShapePlaysItsPlaybackFolder) {
  const std::string dir = proc::tempDir();
  const std::string track = proc::readFile(testimg::tone(0.3, 440));
  std::vector<testimg::File> files;
  for (int i = 1; i <= 16; ++i) {
    files.push_back(
        {"Kids/" + std::string(i < 10 ? "F0" : "F") + std::to_string(i) + "/a.mp3", track});
  }
  const std::string stick = dir + "/stick.img";
  testimg::make(stick, files);
  std::string script = "wait 1500ms\n";
  for (int n = 1; n <= 16; ++n) script += touchShape(n) + "wait 400ms\n";
  const SimRun r = simulate(stick, script);
  ASSERT_EQ(r.status, 0) << r.err;

  std::string expected;
  for (int n = 1; n <= 16; ++n) {
    char line[64];
    std::snprintf(line, sizeof line, "playbackFolderName: 0:\\Kids\\F%02d\r\n", n);
    expected += line;
  }
  EXPECT_EQ(proc::grep(r.log, "playbackFolderName"), expected);
  EXPECT_EQ(proc::count(r.trace, R"("ev":"audio","state":"start")"), 16u);
}

// ---- the folder pictures

// A picture of `w` x `h` pixels made by ImageMagick from the same pattern: its BMP has a
// longer header than ours (the pixels start further in).
std::string magickBmp(int w, int h) {
  const std::string dir = proc::tempDir();
  std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = bmpfiles::pattern(x, y);
      ppm += {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
    }
  }
  proc::writeFile(dir + "/in.ppm", ppm);
  EXPECT_EQ(std::system(("convert " + dir + "/in.ppm -type truecolor " + dir + "/out.bmp").c_str()),
            0);
  const std::string bmp = proc::readFile(dir + "/out.bmp");
  EXPECT_GT(bmp.size(), 54u + 3u * w * h);
  return bmp;
}

// Six root folders, each picture in turn on the main screen (the arrow at the top right steps
// on), then all six on the overview's first page:
//   P1 128 x 128, P2 100 x 100 (ImageMagick's, rows without fill), P3 30 x 30 (rows of 90
//   bytes and 2 fill bytes), P4 a 128 x 128 picture in a 66,000-byte file, P5 no picture,
//   P6 200 x 100.
TEST(FolderPictures, ShowTurnedAQuarterTurnOnBothScreensOrNotAtAll) {
  std::string padded = bmpfiles::bmp24(128, 128, bmpfiles::pattern);
  padded.resize(66000, '\0');
  const std::vector<testimg::File> files = {
      {"p1.bmp", bmpfiles::bmp24(128, 128, bmpfiles::pattern)},
      {"p2.bmp", magickBmp(100, 100)},
      {"p3.bmp", bmpfiles::bmp24(30, 30, bmpfiles::pattern)},
      {"p4.bmp", padded},
      {"p6.bmp", bmpfiles::bmp24(200, 100, bmpfiles::pattern)}};
  const std::string stick = testimg::mkstick(
      "file \"P1/title.bmp\" src=p1.bmp\nfile \"P2/Title.BMP\" src=p2.bmp\n"
      "file \"P3/title.bmp\" src=p3.bmp\nfile \"P4/title.bmp\" src=p4.bmp\n"
      "file \"P5/readme.txt\" text=\"no picture\"\nfile \"P6/title.bmp\" src=p6.bmp\n",
      {}, files);
  std::string script = "wait 1500ms\nscreenshot m1.png\n";
  for (int i = 2; i <= 6; ++i) {
    script += std::string("touch ") + kNextFolder + "\nwait 500ms\nscreenshot m" +
              std::to_string(i) + ".png\n";
  }
  script += std::string("touch ") + kPicture + "\nwait 1s\nscreenshot overview.png\n" +
            touchSlot(4) + "wait 1s\nscreenshot fresh.png\n";
  const SimRun r = simulate(stick, script);
  ASSERT_EQ(r.status, 0) << r.err;

  // Main screen. The 128 x 128 picture's corners: its top right at the frame's top left, its
  // top left at the bottom left, its bottom left at the bottom right.
  const Picture m1 = r.shot("m1");
  EXPECT_EQ(m1.at(kMainFrameX, 0), bmpfiles::pattern(127, 0));
  EXPECT_EQ(m1.at(kMainFrameX, 127), bmpfiles::pattern(0, 0));
  EXPECT_EQ(m1.at(kMainFrameX + 127, 127), bmpfiles::pattern(0, 127));
  EXPECT_EQ(m1.at(kMainFrameX + 127, 0), bmpfiles::pattern(127, 127));
  EXPECT_TRUE(showsTurned(m1, kMainFrameX, kMainFrameY, 128, 128, bmpfiles::pattern));
  EXPECT_TRUE(showsTurned(r.shot("m2"), kMainFrameX, kMainFrameY, 100, 100, bmpfiles::pattern));
  EXPECT_TRUE(showsTurned(r.shot("m3"), kMainFrameX, kMainFrameY, 30, 30, bmpfiles::pattern));
  // Around a small picture the frame is empty, as it is on a main screen opened afresh (from
  // the overview) on a folder without a picture; a picture too big for this screen, a refused
  // one and none at all leave the frame empty too, right after another folder's picture.
  const Picture empty = r.shot("fresh");
  const Box frame{kMainFrameX, kMainFrameY, 128, 128};
  EXPECT_TRUE(same(r.shot("m3"), empty, {kMainFrameX, 0, 49, 128}));
  for (const char* m : {"m4", "m5", "m6"}) EXPECT_TRUE(same(r.shot(m), empty, frame)) << m;
  EXPECT_FALSE(same(m1, empty, frame));

  // Overview: the same pictures in slots 0 to 3; slot 5, whose picture is refused, as empty
  // as slot 4, whose folder has none.
  const Picture ov = r.shot("overview");
  EXPECT_TRUE(showsTurned(ov, kSlotX[0], kSlotY[0], 128, 128, bmpfiles::pattern));
  EXPECT_TRUE(showsTurned(ov, kSlotX[1], kSlotY[1], 100, 100, bmpfiles::pattern));
  EXPECT_TRUE(showsTurned(ov, kSlotX[2], kSlotY[2], 30, 30, bmpfiles::pattern));
  EXPECT_TRUE(showsTurned(ov, kSlotX[3], kSlotY[3], 128, 128, bmpfiles::pattern));
  EXPECT_EQ(pictures::differing(crop(ov, {kSlotX[4], kSlotY[4], 128, 128}),
                                crop(ov, {kSlotX[5], kSlotY[5], 128, 128})),
            0u);
  EXPECT_TRUE(pictures::matchesReference(ov, "overview-pictures"));

  // The 200 x 100 picture is refused on both screens and said so; the 66,000 bytes are too
  // many for the main screen alone, which says no more than that it looked.
  EXPECT_EQ(proc::count(r.log, "wrong picture size\r\n"), 2u);
  // P1 twice (after the mount, and again when the main screen asks for its folder), P2 and P3
  // on the main screen; four pictures on the overview.
  EXPECT_EQ(proc::count(r.log, "image assigned\r\n"), 2u + 2u + 4u);
  std::string sizes;
  for (const testimg::File& f : files) {
    sizes += "Display picture size: " + std::to_string(f.content.size()) + "\r\n";
  }
  EXPECT_EQ(proc::grep(r.log, "Display picture size"), sizes);
}

// ---- the overview's pages

// Eight root folders, each with a picture of its own colour. Page 1 holds the last two:
// slots 0 and 1 choose them, slots 2 to 5 show nothing and do nothing. The back arrow on
// page 0 stays on page 0 and still asks the core for the page.
TEST(Overview, PagesWithoutWrapAroundAndChoosesAFolderByItsPicture) {
  const std::uint32_t colours[8] = {0xE02020, 0x20E020, 0x2020E0, 0xE0E020,
                                    0xE020E0, 0x20E0E0, 0xF08000, 0x8000F0};
  std::string manifest;
  std::vector<testimg::File> files;
  for (int i = 0; i < 8; ++i) {
    const std::string n = std::to_string(i);
    manifest += "file \"R" + n + "/title.bmp\" src=r" + n + ".bmp\ndir \"R" + n + "/F\"\n";
    const std::uint32_t c = colours[i];
    files.push_back({"r" + n + ".bmp", bmpfiles::bmp24(30, 30, [c](int, int) { return c; })});
  }
  std::string script = std::string("wait 1500ms\ntouch ") + kPicture + "\nwait 1s\n" +
                       "screenshot page0.png\ntouch " + kPageForward + "\nwait 1s\n" +
                       "screenshot page1.png\n";
  for (int s = 2; s < 6; ++s) script += touchSlot(s) + "wait 300ms\n";
  script += "screenshot page1-still.png\n" + touchSlot(0) + "wait 1s\nscreenshot main6.png\n" +
            "touch " + kPicture + "\nwait 1s\n" + touchSlot(1) + "wait 1s\nscreenshot main7.png\n" +
            "touch " + kPicture + "\nwait 1s\ntouch " + kPageBack + "\nwait 1s\ntouch " +
            kPageBack + "\nwait 1s\nscreenshot back.png\n";
  const SimRun r = simulate(testimg::mkstick(manifest, {}, files), script);
  ASSERT_EQ(r.status, 0) << r.err;

  auto shows = [](const Picture& p, const Box& where, std::uint32_t colour) {
    return pictures::shareOf(p, where, colour) > 0.05;
  };
  const Picture page0 = r.shot("page0"), page1 = r.shot("page1");
  for (int s = 0; s < 6; ++s) {
    const Box slot{kSlotX[s], kSlotY[s], 128, 128};
    EXPECT_TRUE(shows(page0, slot, colours[s])) << s;
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(shows(page1, slot, colours[i]), s < 2 && i == 6 + s) << s << " " << i;
    }
  }
  EXPECT_EQ(pictures::differing(page1, r.shot("page1-still")), 0u);
  const Box frame{kMainFrameX, kMainFrameY, 128, 128};
  EXPECT_TRUE(shows(r.shot("main6"), frame, colours[6]));
  EXPECT_TRUE(shows(r.shot("main7"), frame, colours[7]));
  const Picture back = r.shot("back");
  for (int s = 0; s < 6; ++s)
    EXPECT_TRUE(shows(back, {kSlotX[s], kSlotY[s], 128, 128}, colours[s]));
  EXPECT_EQ(proc::screensOf(r.trace),
            "UsbWeg UsbWeg UsbDa UsbDa Main Overview Main Overview Main Overview ");
  EXPECT_EQ(proc::grep(r.log, "OverviewPage"),
            "OverviewPage: 0\r\nOverviewPage: 1\r\nOverviewPage: 1\r\nOverviewPage: 1\r\n"
            "OverviewPage: 0\r\nOverviewPage: 0\r\n");
}

}  // namespace

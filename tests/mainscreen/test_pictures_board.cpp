// The folder pictures inside the firmware, on a fresh simulated board: the main screen entered
// again and again while it is shown frees its picture's bitmap before it makes the next one,
// so the bitmap cache (room for six) never runs full.
#include <gtest/gtest.h>

#include "bmp_files.h"
#include "images.h"
#include "process.h"
#include "screens_board.h"
#include "stick.h"

namespace screenstest {
namespace {

TEST(PicturesBoard, EnteringTheMainScreenAHundredTimesFreesEachPictureFirst) {
  static const std::string stick =
      testimg::mkstick("file \"A/title.bmp\" src=a.bmp\ndir \"A/F\"\n", {},
                       {{"a.bmp", bmpfiles::bmp24(128, 128, bmpfiles::pattern)}});
  constexpr int kEntries = 100;
  const auto r = runFirmware(
      [] {
        simusb::insert(stick);
        for (int i = 0; i < kEntries; ++i) {
          at(2 * simk::kS + i * 150 * simk::kMs, [] { sendPage(PageMain, 0); });
        }
      },
      2 * simk::kS + kEntries * 150 * simk::kMs + simk::kS);
  EXPECT_EQ(proc::count(screens(r), "Main\n"), 1u + kEntries);
  EXPECT_EQ(proc::count(r.console, "allocation failed"), 0u);
  EXPECT_GE(proc::count(r.console, "image assigned\r\n"), 1u + kEntries);
  EXPECT_EQ(proc::count(r.console, "allocation success\r\n"),
            proc::count(r.console, "image assigned\r\n"));
}

}  // namespace
}  // namespace screenstest

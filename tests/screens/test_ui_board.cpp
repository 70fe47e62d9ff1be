// The whole firmware's user interface, watched from inside the board: which screen the core's
// requests and the user's touches bring up, which requests the screens send to the core, and
// what bad screen requests and actions without a stick leave behind.
#include <gtest/gtest.h>

#include "screens_board.h"
#include "stick.h"
#include "touch_panel.h"

namespace screenstest {
namespace {

using boardtest::grep;

constexpr simk::Time kMs = simk::kMs;

// Where the main screen's invisible picture button lies (over the folder picture).
constexpr int kPictureX = 137, kPictureY = 64;

// The core forces UsbWeg at its first turn (the screen already shown is built anew), UsbDa at
// the connection and at the mount, then Main on the stored root folder; the main screen asks
// for that folder when it is set up. A PageMain record for the screen shown builds it anew,
// which asks for its folder again. The overview ignores the stick's orders: pulling the stick
// leaves it shown. Its set-up asked for the pictures of the current page.
TEST(UiBoard, PowerOnWithAStickInGoesFromUsbWegThroughUsbDaToMain) {
  static const std::string stick = stickWith({"A", "B", "C"});
  const auto r = runFirmware(
      [] {
        simusb::insert(stick);
        at(2 * simk::kS, [] { sendPage(PageMain, 2); });
        tap(2500 * kMs, kPictureX, kPictureY);
        at(3 * simk::kS, [] { simusb::remove(); });
      },
      4 * simk::kS);
  EXPECT_EQ(screens(r), "UsbWeg\nUsbWeg\nUsbDa\nUsbDa\nMain\nMain\nOverview\n");
  EXPECT_EQ(grep(r.notes, "request"),
            "request BTN_Folder_Refresh main=0 playback=0 param=1\n"
            "request BTN_Folder_Refresh main=2 playback=0 param=1\n"
            "request BTN_Overview_Refresh main=2 playback=0 param=0\n");
  EXPECT_NE(r.trace.find(R"("ev":"stick","state":"removed")"), std::string::npos);
}

// Key code 113 on the main screen switches to the power-off screen, which no order of the core
// changes; a PageMain record still moves the model's folder and page.
TEST(UiBoard, ThePowerOffScreenStaysWhateverTheCoreOrders) {
  static const std::string stick = stickWith(
      {"R00", "R01", "R02", "R03", "R04", "R05", "R06", "R07", "R08", "R09", "R10", "R11", "R12"});
  const auto r = runFirmware(
      [] {
        simusb::insert(stick);
        key(2 * simk::kS, 113);
        at(2500 * kMs, [] { sendPage(PageMain, 7); });
        at(2600 * kMs, [] {
          noteModel();
          for (PageSelectEnum p : {PageTraurig, PageGluecklich, PageParent, PagePowerOff}) {
            sendPage(p);
          }
        });
        at(2700 * kMs, [] { simusb::remove(); });
        at(3500 * kMs, [] { simusb::insert(stick); });
      },
      6 * simk::kS);
  EXPECT_EQ(screens(r), "UsbWeg\nUsbWeg\nUsbDa\nUsbDa\nMain\nPowerOff\n");
  EXPECT_EQ(grep(r.notes, "model"), "model folder 7 page 1\n");
}

// The child sees every screen's layout upright (its Mirror turned the frame for the turned
// panel), except the power-off screen's, which is upside down.
TEST(UiBoard, EveryScreenButPowerOffReachesTheChildUpright) {
  static const std::string stick = stickWith({"A", "B", "C"});
  const auto r = runFirmware(
      [] {
        simusb::insert(stick);
        constexpr simk::Time step = 300 * kMs;
        simk::Time t = 1500 * kMs;
        auto look = [&t](const std::function<void()>& action) {
          at(t, action);
          at(t + step, noteOrientation);
          t += 2 * step;
        };
        look([] {});                                        // Main
        look([] { simtouch::tap(kPictureX, kPictureY); });  // Overview
        look([] { sendPage(PageParent); });                 // Eltern
        look([] { simtouch::tap(187, 330); });              // EQ
        look([] { simtouch::tap(187, 450); });              // its "Back": Eltern
        look([] { simtouch::tap(187, 390); });              // About
        look([] { sendPage(PageGluecklich); });             // UsbDa
        look([] { sendPage(PageTraurig); });                // UsbWeg
        look([] { sendPage(PagePowerOff); });               // PowerOff
      },
      7 * simk::kS);
  EXPECT_EQ(grep(r.notes, "up") + grep(r.notes, "garbled"),
            "Main upright\nOverview upright\nEltern upright\nEQ upright\nEltern upright\n"
            "About upright\nUsbDa upright\nUsbWeg upright\nPowerOff upside down\n");
}

// Bad screen requests: a page code above 6 is taken and ignored; a root folder past the list
// opens the main screen on folder 0. Nothing halts, and the screens go on following orders.
TEST(UiBoard, BadScreenRequestsLeaveASensibleScreen) {
  static const std::string stick = stickWith({"A", "B", "C"});
  const auto r = runFirmware(
      [] {
        simusb::insert(stick);
        at(2 * simk::kS, [] { sendPage(static_cast<PageSelectEnum>(7)); });
        at(2100 * kMs, [] { sendPage(static_cast<PageSelectEnum>(255), 9); });
        at(2200 * kMs, [] { sendPage(PageMain, 200); });
        at(2300 * kMs, [] {
          noteModel();
          sendPage(PageGluecklich);
        });
      },
      3 * simk::kS);
  EXPECT_EQ(screens(r), "UsbWeg\nUsbWeg\nUsbDa\nUsbDa\nMain\nMain\nUsbDa\n");
  EXPECT_EQ(grep(r.notes, "request"),
            "request BTN_Folder_Refresh main=0 playback=0 param=1\n"
            "request BTN_Folder_Refresh main=0 playback=0 param=1\n");
  EXPECT_EQ(grep(r.notes, "model"), "model folder 0 page 0\n");
  EXPECT_EQ(grep(r.trace, R"("ev":"halt")"), "");
}

// Without a stick the start screen takes no touch and no key. A stick without root folders
// still brings the main screen (on folder 0, nothing to show); its picture button leads to
// the overview, and the requests wait, as the core reads none without root folders.
TEST(UiBoard, ActionsWithoutAStickOrWithoutFoldersReadNothingBeyondTheList) {
  static const std::string empty = stickWith({});
  const auto r = runFirmware(
      [] {
        tap(500 * kMs, kPictureX, kPictureY);
        tap(700 * kMs, 200, 400);
        key(900 * kMs, 113);
        at(1 * simk::kS, [] { simusb::insert(empty); });
        tap(3 * simk::kS, kPictureX, kPictureY);
        at(3500 * kMs, [] { noteModel(); });
      },
      4 * simk::kS);
  EXPECT_EQ(screens(r), "UsbWeg\nUsbWeg\nUsbDa\nUsbDa\nMain\nOverview\n");
  EXPECT_EQ(grep(r.notes, "request") + grep(r.notes, "model"),
            "request BTN_Folder_Refresh main=0 playback=0 param=1\n"
            "request BTN_Overview_Refresh main=0 playback=0 param=0\n"
            "model folder 0 page 0\n");
  EXPECT_EQ(grep(r.trace, R"("ev":"halt")"), "");
}

}  // namespace
}  // namespace screenstest

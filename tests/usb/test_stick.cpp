// The stick on the simulated board: insertion and removal as the stick service sees them,
// the status bytes the main loop polls, and reading files through the whole USB stack.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "FreeRTOS.h"
#include "board_child.h"
#include "ff.h"
#include "firmware_board.h"
#include "images.h"
#include "k_storage.h"
#include "process.h"
#include "stick.h"
#include "task.h"

int firmware_main(void);

namespace {

using boardtest::at;
using boardtest::note;

std::string dir() {
  static const std::string d = proc::tempDir();
  return d;
}

// A small stick with a 66 KB file and a 300 KB one (FAT12 of mkfs.fat), and a FAT32 one.
const std::string& stickA() {
  static const std::string path = [] {
    const std::string p = dir() + "/a.img";
    testimg::make(p, {{"Tiere/Hund/track1.mp3", testimg::pattern(66000, 1)},
                      {"Tiere/title.bmp", testimg::pattern(3000, 2)},
                      {"big.bin", testimg::pattern(300000, 3)}});
    return p;
  }();
  return path;
}

const std::string& stickB() {
  static const std::string path = [] {
    const std::string p = dir() + "/b.img";
    testimg::make(p, {{"Musik/song.mp3", testimg::pattern(5000, 4)}}, 40, "-F 32");
    return p;
  }();
  return path;
}

// Images are made by the test process before the board starts, never inside a board.
class Stick : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)stickA();
    (void)stickB();
  }
};

// The whole firmware for `duration` after `setup` (in the main context).
boardtest::Result firmware(const std::function<void()>& setup, simk::Time duration) {
  return boardtest::run(
      [&] {
        setup();
        firmware_main();
      },
      {.duration = duration, .kernelTick = false});
}

// Waits until the stick service reports a mounted stick and the stick's unit has finished
// its start-up (the class is reported active a few milliseconds before that).
void waitMounted() {
  while (usb_status.load() != 2) vTaskDelay(5);
  vTaskDelay(10);
}

// The firmware with `image` put in at 0.5 s and `body` in a task of the main loop's priority
// once it is mounted; the run ends when the body returns.
boardtest::Result reading(const std::string& image, void (*body)()) {
  static std::string stick;
  static void (*work)();
  stick = image;
  work = body;
  return firmware(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick); });
        xTaskCreate(
            [](void*) {
              waitMounted();
              work();
              boardtest::endRunAfterConsole();
            },
            "reader", 1024, nullptr, 4, nullptr);
      },
      10 * simk::kS);
}

// Notes every change of the two status bytes.
void watchStatus() {
  static simk::Periodic watch;
  static int lastUsb = -1, lastStorage = -1;
  watch.start(0, 100 * simk::kUs, simk::kOrderBoard + 1, false, [] {
    const int usb = usb_status.load();
    const int storage = static_cast<int>(StorageStatus[0].load());
    if (usb != lastUsb || storage != lastStorage) {
      note("usb " + std::to_string(usb) + " storage " + std::to_string(storage));
      lastUsb = usb;
      lastStorage = storage;
    }
  });
}

// The lines of the stick service and the main loop's stick messages, after `after`.
std::string consoleLines(const std::string& console, const std::string& after) {
  const size_t pos = console.find(after);
  const std::string rest = pos == std::string::npos ? console : console.substr(pos + after.size());
  std::string out;
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find('\n', start);
    if (end == std::string::npos) end = rest.size() - 1;
    std::string line = rest.substr(start, end + 1 - start);
    start = end + 1;
    // "w" (a settings write) may stand in front of a line.
    if (line.rfind("wusb", 0) == 0 || line.rfind("wUsb", 0) == 0) line.erase(0, 1);
    for (const char* prefix : {"usb ", "Usb ", "mount ok", "ERROR"}) {
      if (line.rfind(prefix, 0) == 0) out += line;
    }
  }
  return out;
}

// Mounting sets both status bytes before the main loop can look at them; the class becomes
// active about a third of a second after the stick goes in.
TEST_F(Stick, InsertedThenPulledGoesThroughTheConnectionSequence) {
  auto r = firmware(
      [] {
        watchStatus();
        at(1 * simk::kS, [] { simusb::insert(stickA()); });
        at(3 * simk::kS, [] { simusb::remove(); });
      },
      4 * simk::kS);
  EXPECT_EQ(consoleLines(r.console, "Gui Start\r\n"),
            "Usb connected\r\nusb config\nusb active\nmount ok\nUsb mounted\r\nusb disc\n");
  EXPECT_EQ(r.notes, "usb 0 storage 0\nusb 1 storage 0\nusb 2 storage 1\nusb 0 storage 0\n");
  EXPECT_NE(r.trace.find(R"({"t":1000000,"ev":"stick","state":"inserted")"), std::string::npos);
  EXPECT_NE(r.trace.find(R"({"t":3000000,"ev":"stick","state":"removed"})"), std::string::npos);
  const long long mounted = proc::timeOf(r.trace, R"("text":"mount ok")");
  EXPECT_GT(mounted, 1'250'000);
  EXPECT_LT(mounted, 1'450'000);
}

TEST_F(Stick, PulledBeforeItsClassIsActiveNeverMounts) {
  auto r = firmware(
      [] {
        watchStatus();
        at(1 * simk::kS, [] { simusb::insert(stickA()); });
        at(1 * simk::kS + 250 * simk::kMs, [] { simusb::remove(); });
      },
      2 * simk::kS);
  EXPECT_EQ(r.notes, "usb 0 storage 0\nusb 1 storage 0\nusb 0 storage 0\n");
  EXPECT_EQ(r.console.find("usb active"), std::string::npos);
  EXPECT_NE(r.console.find("usb disc"), std::string::npos);
}

TEST_F(Stick, NoticesOfClassSelectionAndErrorsChangeNothing) {
  auto r = firmware(
      [] {
        xTaskCreate(
            [](void*) {
              vTaskDelay(300);
              USBH_UserProcess(&hUSB_Host, HOST_USER_CLASS_SELECTED);
              USBH_UserProcess(&hUSB_Host, HOST_USER_UNRECOVERED_ERROR);
              USBH_UserProcess(&hUSB_Host, 77);
              vTaskDelay(50);
              note("usb " + std::to_string(usb_status.load()) + " storage " +
                   std::to_string(StorageStatus[0].load()));
              boardtest::endRunAfterConsole();
            },
            "probe", 256, nullptr, 6, nullptr);
      },
      2 * simk::kS);
  EXPECT_EQ(r.notes, "usb 0 storage 0\n");
  EXPECT_EQ(consoleLines(r.console, "Gui Start\r\n"), "");
}

// Reads a whole file in 512-byte chunks; the number of bytes, or the error.
std::string readWhole(const char* path, std::string* content) {
  FIL file;
  FRESULT res = f_open(&file, path, FA_READ);
  if (res != FR_OK) return "open " + std::to_string(res);
  char chunk[512];
  UINT got = 0;
  content->clear();
  do {
    res = f_read(&file, chunk, sizeof chunk, &got);
    if (res != FR_OK) {
      f_close(&file);
      return "read " + std::to_string(res) + " after " + std::to_string(content->size());
    }
    content->append(chunk, got);
  } while (got == sizeof chunk);
  f_close(&file);
  return std::to_string(content->size()) + " bytes";
}

// A file read exactly; the stick pulled in the middle of a read (the 300 KB file takes more
// than a second): the read fails; the next stick mounts on drive 0 again and reads exactly.
TEST_F(Stick, PulledInTheMiddleOfAReadTheReadFailsAndTheNextStickReadsExactly) {
  auto r = reading(stickA(), [] {
    std::string content;
    note(std::string("drive ") + USBDISK_Drive + " " +
         readWhole("0:\\Tiere\\Hund\\track1.mp3", &content));
    note(std::string("exact ") + (content == testimg::pattern(66000, 1) ? "yes" : "no"));
    at(simk::now() + 300 * simk::kMs, [] { simusb::remove(); });
    const std::string first = readWhole("0:/big.bin", &content);
    note(first.rfind("read ", 0) == 0 ? "read failed" : "read finished: " + first);
    vTaskDelay(250);
    simusb::insert(stickB());
    waitMounted();
    note(std::string("drive ") + USBDISK_Drive + " " + readWhole("0:/Musik/song.mp3", &content));
    note(std::string("exact ") + (content == testimg::pattern(5000, 4) ? "yes" : "no"));
  });
  EXPECT_EQ(r.notes,
            "drive 0:/ 66000 bytes\nexact yes\nread failed\ndrive 0:/ 5000 bytes\nexact yes\n");
}

TEST_F(Stick, AFailedMountLeavesDriveZeroFreeForTheNextStick) {
  auto r = firmware(
      [] {
        static void* hog = nullptr;
        // Exhaust the kernel heap just before the volume's lock is made at mount.
        at(1 * simk::kS, [] { simusb::insert(stickA()); });
        at(1 * simk::kS + 200 * simk::kMs, [] {
          hog = pvPortMalloc(xPortGetFreeHeapSize() - 16);
          note(std::string("heap taken: ") + (hog != nullptr ? "yes" : "no"));
        });
        at(2 * simk::kS, [] {
          vPortFree(hog);
          simusb::remove();
        });
        at(3 * simk::kS, [] { simusb::insert(stickB()); });
        xTaskCreate(
            [](void*) {
              std::string content;
              vTaskDelay(1900);  // 3.8 s
              note(std::string("drive ") + USBDISK_Drive + " " +
                   readWhole("0:/Musik/song.mp3", &content));
              boardtest::endRunAfterConsole();
            },
            "reader", 1024, nullptr, 4, nullptr);
      },
      5 * simk::kS);
  EXPECT_EQ(r.notes, "heap taken: yes\ndrive 0:/ 5000 bytes\n");
  const std::string after = consoleLines(r.console, "Gui Start\r\n");
  EXPECT_NE(after.find("ERROR : Cannot Initialize FatFs! \n"), std::string::npos) << after;
  EXPECT_NE(after.find("mount ok"), std::string::npos) << after;
}

// The simulator program with a stick: at power-on, and put in and pulled out by a script; a
// stick image, a stick's identity file or an image a script puts in that cannot be used stops
// it before the board starts. (The identity reaching the firmware: test_media.)
TEST_F(Stick, InTheSimulatorAtPowerOnAndFromAScript) {
  const proc::Sim r = proc::simulate("wait 1s\nremove\nwait 500ms\ninsert " + stickB() + "\n",
                                     {"--duration", "3s", "--stick", stickA()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(consoleLines(r.out, "Gui Start\r\n"),
            "Usb connected\r\nusb config\nusb active\nmount ok\nUsb mounted\r\nusb disc\n"
            "Usb connected\r\nusb config\nusb active\nmount ok\nUsb mounted\r\n");
  EXPECT_NE(r.trace.find(R"({"t":1000000,"ev":"stick","state":"removed"})"), std::string::npos);

  const std::string image = testimg::mkstick("file \"x.mp3\" size=10\n");
  const struct {
    std::string stick, usb, script, error;
  } cases[] = {
      {dir() + "/none.img", "", "", "none.img"},
      {image, "", "wait 1s\ninsert /nonexistent/x.img\n", "run.scn:2:"},
      {image, "vid 0x1234\ncolour blue\n", "", "stick.img.usb:2: unknown key 'colour'"},
      // A line longer than 511 characters is named as too long, on its own line number.
      {image, "vid 0x1234\nserial \"" + std::string(600, 'x') + "\"\n", "",
       "stick.img.usb:2: line too long"},
  };
  for (const auto& c : cases) {
    proc::writeFile(image + ".usb", c.usb);
    const proc::Sim bad = proc::simulate(c.script, {"--stick", c.stick});
    EXPECT_EQ(bad.status, 2) << c.error;
    EXPECT_NE(bad.err.find(c.error), std::string::npos) << bad.err;
  }
}

TEST(StickIdentity, EachLineIsReadWholeOrRefusedByName) {
  struct Case {
    std::string text;
    std::string error;  // "" when accepted
    std::string serial;
  };
  const std::string longest = std::string(509, 's');  // "serial " and 509 make 516 > 511
  const Case cases[] = {
      {"serial " + std::string(504, 'a') + "\n", "", std::string(504, 'a')},  // 511 characters
      {"serial " + std::string(504, 'a') + "\r\n", "", std::string(504, 'a')},
      {"serial " + std::string(505, 'a') + "\n", "x:1: line too long", ""},
      {"# note\n\nserial " + longest, "x:3: line too long", ""},
      {"vid 0x10000\n", "x:1: 'vid' needs a number", ""},
      {"pid -1\n", "x:1: 'pid' needs a number", ""},
      {"vid 99999999999999999999999\n", "x:1: 'vid' needs a number", ""},
      {"serial \"a\\\"b\"", "", "a\"b"},
      {std::string("serial a\0b\n", 11), "x:1: a NUL character", ""},
  };
  for (const Case& c : cases) {
    simusb::Identity id;
    std::string reason;
    const bool ok = simusb::parseIdentity(c.text, "x", &id, &reason);
    EXPECT_EQ(ok, c.error.empty()) << c.text.substr(0, 40);
    if (ok) {
      EXPECT_EQ(id.serial, c.serial);
    } else {
      EXPECT_EQ(reason.rfind(c.error, 0), 0u) << reason;
    }
  }
}

// Images of our own builder, of every FAT type and with 4096-byte sectors, read through the
// whole stack: the stick reports the sector size of its file system, the disk adapter passes
// it on, and the file comes back byte for byte.
TEST_F(Stick, BuilderImagesOfEveryKindReadExactlyThroughTheStick) {
  const std::vector<std::string> kinds[] = {
      {"--fat", "12", "--size", "2M"},
      {"--fat", "16", "--size", "16M"},
      {"--fat", "32", "--size", "40M"},
      {"--fat", "16", "--size", "64M", "--sector-size", "4096"},
      {"--fat", "16", "--size", "16M", "--mbr"}};
  for (const auto& args : kinds) {
    const std::string image =
        testimg::mkstick("dir \"Hörspiele\"\nfile \"Hörspiele/Kapitel 1.mp3\" src=content.bin\n",
                         args, {{"content.bin", testimg::pattern(70000, 9)}});
    auto r = reading(image, [] {
      std::string got;
      // "Hörspiele" in code page 850: 0x94 for the o with diaeresis.
      note(readWhole("0:/H\x94rspiele/Kapitel 1.mp3", &got));
      note(got == testimg::pattern(70000, 9) ? "exact" : "different");
    });
    EXPECT_EQ(r.notes, "70000 bytes\nexact\n") << args[1] << " " << args.back();
  }
}

}  // namespace

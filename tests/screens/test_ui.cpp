// The user interface inside the firmware. The model's logic on one board (its queues are
// kernel queues): the user actions and the requests they send, the overview's paging, the
// core's screen requests turned into calls on the shown screen's presenter, and its choices for
// an empty or shorter folder list. Then the whole firmware, watched from inside the board:
// which screen the core's requests and the user's touches bring up, which requests the screens
// send to the core, what bad screen requests and actions without a stick leave behind, and the
// parents' screens.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "board_child.h"
#include "gui/model/Model.hpp"
#include "gui/model/ModelListener.hpp"
#include "inputs.h"
#include "panel.h"
#include "screens_board.h"
#include "simgfx.h"
#include "sram.h"
#include "sram/sram_data.h"
#include "stick.h"
#include "touch_panel.h"

namespace {

using boardtest::note;

// Notes every call of the model, with what the model holds at that moment.
struct Recorder : ModelListener {
  std::string state() const {
    return " (folder " + std::to_string(model->getSelectedMainFolder()) + " page " +
           std::to_string(model->getSelectedOverviewPage()) + ")";
  }
  void newParentSettings(const ModelParentsSettings& s) override {
    note("settings maxvol=" + std::to_string(s.maxVolume));
  }
  void newMainFolder(DirEntry& e, bool left, bool right) override {
    note("folder " + e.foldername + " left=" + std::to_string(left) +
         " right=" + std::to_string(right) + state());
  }
  void forceScreenMain() override { note("main" + state()); }
  void forceScreenGluecklich() override { note("gluecklich"); }
  void forceScreenParent() override { note("parent"); }
  void forceScreenTraurig() override { note("traurig"); }
  void forceTitlePictureUpdate() override { note("title"); }
  void forceOverviewPictureUpdate() override { note("overview"); }
  void forceScreenPowerOff() override { note("poweroff"); }
};

// `folders` root folders "R0", "R1", ... (root folder k holds k subfolders).
void makeFolders(uint32_t folders) {
  rootDirList.clear();
  for (uint32_t k = 0; k < folders; ++k) {
    DirEntry e;
    e.foldername = "R" + std::to_string(k);
    e.subfolderCount = k;
    rootDirList.push_back(e);
  }
}

// Every request waiting for the core, taken, one line each.
void noteRequests() {
  ModelUserEvent e;
  while (guiQueueModelUserEvent->Dequeue(&e, 0)) {
    note("request " + std::to_string(e.button) + " main=" + std::to_string(e.selectedMainFolder) +
         " playback=" + std::to_string(e.selectedPlaybackFolder) +
         " param=" + std::to_string(e.parameter));
  }
}

void page(PageSelectEnum p, uint32_t pageNumber = 0) {
  PageSelectEvent record;
  record.page = p;
  record.pageNumber = pageNumber;
  (void)guiQueuePageSelect->Enqueue(&record, 0);
}

// Runs `body` with a fresh model bound to a recorder and `folders` root folders; returns the
// notes.
std::string onBoard(uint32_t folders, const std::function<void(Model&)>& body) {
  static std::function<void(Model&)> run;
  run = body;
  static uint32_t count;
  count = folders;
  boardtest::Options o;
  o.duration = simk::kS;
  return boardtest::run(
             [] {
               static Model model;
               static Recorder recorder;
               recorder.bind(&model);
               model.bind(&recorder);
               makeFolders(count);
               run(model);
               simk::endRun(0, "");
             },
             o)
      .notes;
}

// Overview paging and folder steps, one action a line: the page or folder after it and the
// request it sent.
struct Paging {
  uint32_t folders;
  uint32_t startFolder;
  const char* actions;  // F/B overview forward/back, > / < next/previous root folder
  const char* expected;
};

class ModelPaging : public ::testing::TestWithParam<Paging> {};

TEST_P(ModelPaging, StepsStayInsideTheListAndAlwaysSendTheirRequest) {
  const Paging p = GetParam();
  static Paging current;
  current = p;
  const std::string notes = onBoard(p.folders, [](Model& model) {
    page(PageMain, current.startFolder);
    model.tick();
    for (const char* a = current.actions; *a != '\0'; ++a) {
      switch (*a) {
        case 'F': model.overviewButtonForwardClicked(); break;
        case 'B': model.overviewButtonBackClicked(); break;
        case '>': model.ordnerVor(); break;
        case '<': model.ordnerZurueck(); break;
      }
      note(std::string(1, *a) + " folder " + std::to_string(model.getSelectedMainFolder()) +
           " page " + std::to_string(model.getSelectedOverviewPage()));
      noteRequests();
    }
  });
  EXPECT_EQ(boardtest::grep(notes, "folder ") + boardtest::grep(notes, "request"),
            std::string(p.expected))
      << notes;
}

INSTANTIATE_TEST_SUITE_P(
    EdgesOfTheList, ModelPaging,
    ::testing::Values(
        // 13 folders: from page 1 forward to page 2 (6 x 2 = 12 >= 12), which stays.
        Paging{13, 6, "FF",
               "main (folder 6 page 1)\nF folder 6 page 2\nF folder 6 page 2\n"
               "request 11 main=6 playback=0 param=2\n"
               "request 11 main=6 playback=0 param=2\n"},
        // Back on page 0 stays there and still sends page 0.
        Paging{13, 0, "B",
               "main (folder 0 page 0)\nB folder 0 page 0\n"
               "request 10 main=0 playback=0 param=0\n"},
        // 6 folders: forward from page 0 stays on page 0 (6 >= 5 gives 5 / 6 = 0).
        Paging{6, 0, "F",
               "main (folder 0 page 0)\nF folder 0 page 0\n"
               "request 11 main=0 playback=0 param=0\n"},
        // The last folder: no step, the request carries the unchanged folder.
        Paging{13, 12, "><",
               "main (folder 12 page 2)\n> folder 12 page 2\n< folder 11 page 1\n"
               "request 5 main=12 playback=0 param=1\n"
               "request 6 main=11 playback=0 param=1\n"},
        // No folders: everything holds at 0.
        Paging{0, 0, "FF><",
               "main (folder 0 page 0)\nF folder 0 page 0\nF folder 0 page 0\n"
               "> folder 0 page 0\n< folder 0 page 0\n"
               "request 11 main=0 playback=0 param=0\n"
               "request 11 main=0 playback=0 param=0\n"
               "request 5 main=0 playback=0 param=1\n"
               "request 6 main=0 playback=0 param=1\n"}));

// ordnerVor on the last folder refreshes nothing (the request still goes out); folder button
// 16 sends folder 15; the track buttons and the main screen's set-up send their requests.
TEST(Model, OrdnerVorOnTheLastFolderRefreshesNothingAndButtonsSendTheirRequests) {
  const std::string notes = onBoard(3, [](Model& model) {
    page(PageMain, 1);
    model.tick();
    model.refresh();
    model.tick();  // folder R1, both neighbours
    model.ordnerVor();
    model.tick();  // R2, the last
    model.ordnerVor();
    model.tick();  // nothing to refresh
    model.ordnerZurueck();
    model.tick();
    noteRequests();
    model.folderButton(16);
    note("selected " + std::to_string(model.getSelectedPlaybackFolder()));
    model.folderButton(1);
    noteRequests();
    model.trackVor();
    model.trackZurueck();
    model.trackPause();
    model.mainScreenInit();
    noteRequests();
  });
  EXPECT_EQ(
      boardtest::grep(notes, "folder R") + boardtest::grep(notes, "selected") +
          boardtest::grep(notes, "request"),
      "folder R1 left=1 right=1 (folder 1 page 0)\nfolder R2 left=1 right=0 (folder 2 page 0)\n"
      "folder R1 left=1 right=1 (folder 1 page 0)\nselected 15\n"
      "request 5 main=2 playback=0 param=1\nrequest 5 main=2 playback=0 param=1\n"
      "request 6 main=1 playback=0 param=1\n"
      "request 8 main=1 playback=15 param=0\nrequest 8 main=1 playback=0 param=0\n"
      "request 2 main=1 playback=0 param=1\nrequest 3 main=1 playback=0 param=1\n"
      "request 1 main=1 playback=0 param=1\nrequest 7 main=1 playback=0 param=1\n");
}

// The folder and page are set before the main screen is asked for; records queued in one
// frame come out one a frame, in order; an unknown page is taken off and ignored.
TEST(Model, ScreenRequestsOneAFrameInOrder) {
  const std::string notes = onBoard(13, [](Model& model) {
    page(PageMain, 7);
    page(static_cast<PageSelectEnum>(9));
    page(PageTraurig);
    page(PageGluecklich);
    page(PageMainPictureUpdate);
    for (int frame = 0; frame < 6; ++frame) {
      model.tick();
      note("|");
    }
    page(PageOverviewPictureUpdate);
    page(PagePowerOff);
    model.tick();
    model.tick();
  });
  EXPECT_EQ(notes,
            "main (folder 7 page 1)\n|\n|\ntraurig\n|\ngluecklich\n|\ntitle\n|\n|\n"
            "overview\npoweroff\n");
}

// The core's settings come with the parents' screen; the next frame hands them to whichever
// screen is shown then, once. Every change sends the whole record.
TEST(Model, ParentsSettingsArriveOnceAndEveryChangeSendsTheWholeRecord) {
  const std::string notes = onBoard(1, [](Model& model) {
    PageSelectEvent record;
    record.page = PageParent;
    record.modelParentsSettings.maxVolume = 40;
    record.modelParentsSettings.equalizer[4] = 20;
    record.modelParentsSettings.changed = true;
    (void)guiQueuePageSelect->Enqueue(&record, 0);
    model.tick();
    model.tick();
    model.tick();
    model.newSpkBoost(5);
    model.newEqualizerValue(4, 7);
    model.newEqualizerValue(5, 9);  // no such band: nothing changes, nothing is sent
    model.positionResumeChanged(true);
    ModelUserEvent e;
    while (guiQueueModelUserEvent->Dequeue(&e, 0)) {
      const ModelParentsSettings& s = e.parentSettings;
      note("request " + std::to_string(e.button) + " maxvol=" + std::to_string(s.maxVolume) +
           " boost=" + std::to_string(s.spkBoost) + " eq5=" + std::to_string(s.equalizer[4]) +
           " resume=" + std::to_string(s.positionResume));
    }
  });
  EXPECT_EQ(notes,
            "parent\nsettings maxvol=40\n"
            "request 12 maxvol=40 boost=5 eq5=20 resume=0\n"
            "request 12 maxvol=40 boost=5 eq5=7 resume=0\n"
            "request 12 maxvol=40 boost=5 eq5=7 resume=1\n");
}

TEST(Model, AFullRequestQueueDropsTheNewestSilently) {
  const std::string notes = onBoard(13, [](Model& model) {
    for (int i = 0; i < 7; ++i) model.ordnerVor();
    note("folder " + std::to_string(model.getSelectedMainFolder()));
    noteRequests();
  });
  EXPECT_EQ(notes,
            "folder 7\n"
            "request 5 main=1 playback=0 param=1\nrequest 5 main=2 playback=0 param=1\n"
            "request 5 main=3 playback=0 param=1\nrequest 5 main=4 playback=0 param=1\n"
            "request 5 main=5 playback=0 param=1\n");
}

// A folder past the end of the list (a bad record, or a list that shrank with another stick)
// becomes folder 0; with no folders the refresh calls nothing.
TEST(Model, AFolderPastTheListIsNeverRead) {
  const std::string notes = onBoard(3, [](Model& model) {
    page(PageMain, 200);
    model.tick();
    page(PageMain, 2);
    model.tick();
    makeFolders(2);  // another stick, with fewer folders
    model.refresh();
    model.tick();
    makeFolders(0);
    model.refresh();
    model.tick();
    model.tick();
    note("done");
  });
  EXPECT_EQ(notes,
            "main (folder 0 page 0)\nmain (folder 2 page 0)\n"
            "folder R0 left=0 right=1 (folder 0 page 0)\ndone\n");
}

}  // namespace

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

// ---- The parents' and equaliser screens, with a settings record on the chip at power-on:
// what the parent sees on the sliders and the toggle (the panel's picture), the settings
// requests the screens send (each with its whole record), what reaches the codec, and what
// the chip keeps.

using boardtest::note;

constexpr simk::Time kS = simk::kS;

// A slider as the parent sees it: left edge, top, and how far its indicator runs.
struct Place {
  const char* name;
  int x, y, travel;
};
constexpr Place kMaxVol{"maxvol", 11, 38, 285}, k3d{"3d", 102, 38, 125},
    kBoost{"boost", 178, 38, 125}, kBand3{"band3", 119, 50, 285};

std::uint32_t pixel(const std::vector<std::uint8_t>& rgb, int x, int y) {
  const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * simdisplay::kWidth + x) * 3];
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

// In the child, from the panel's picture: "NAME at Y" for each slider, Y the middle row of its
// indicator (26 below the indicator's top) in a column left of the groove, where only the
// indicator covers the purple; on the parents' screen then "toggle on" (blue, knob right) or
// "toggle off" (grey, knob left).
void noteWhatTheParentSees(std::initializer_list<Place> sliders) {
  std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3);
  simdisplay::picture(rgb.data());
  for (const Place& s : sliders) {
    int first = -1, last = -1;
    for (int y = s.y; y < s.y + s.travel + 54; ++y) {
      if (pixel(rgb, s.x + 4, y) == 0x762476) continue;
      if (first < 0) first = y;
      last = y;
    }
    note(std::string(s.name) + " at " + std::to_string((first + last) / 2));
  }
  if (std::string(simgfx::screenName()) != "Eltern") return;
  const std::uint32_t middle = pixel(rgb, 191, 272), left = pixel(rgb, 146, 280),
                      right = pixel(rgb, 235, 280);
  const bool blue = (middle & 0xFF) > (middle >> 16) + 60;
  note(blue && right == 0xFFFFFF && left != 0xFFFFFF    ? "toggle on"
       : !blue && left == 0xFFFFFF && right != 0xFFFFFF ? "toggle off"
                                                        : "toggle unclear");
}

// In the child: "chip " and the settings the chip holds.
void noteChip() {
  SramDataStruct d;
  simsram::read(0, &d, sizeof d);
  ModelParentsSettings s;
  s.maxVolume = d.maxVolume;
  s.effect3d = d.effect3d;
  s.spkBoost = d.spkBoost;
  for (int band = 0; band < 5; ++band) s.equalizer[band] = d.equalizer[band];
  s.positionResume = d.positionResume != 0;
  note("chip " + parentSettingsText(s));
}

// The records of the settings requests noted between the notes `from` and `to`.
std::vector<std::string> sent(const std::string& notes, const std::string& from,
                              const std::string& to = "end") {
  const std::size_t begin = notes.find(from + "\n"), end = notes.find(to + "\n");
  std::istringstream in(grep(notes.substr(begin, end - begin), "BTN_ParentSettingsChanged"));
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line.substr(line.find("maxvol=")));
  return out;
}

// The values written to codec register `reg` in [from, to).
std::vector<int> codecWrites(const std::string& trace, int reg, simk::Time from, simk::Time to) {
  static const std::regex write(R"re(\{"t":(\d+),"ev":"codec","reg":(\d+),"val":(\d+))re");
  std::vector<int> values;
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), write);
       it != std::sregex_iterator(); ++it) {
    const simk::Time t = std::stoull((*it)[1]) * 1000;
    if (t >= from && t < to && std::stoi((*it)[2]) == reg) values.push_back(std::stoi((*it)[3]));
  }
  return values;
}

// A parent's session, the chip holding maximum volume 70 (written by another firmware: the
// record check makes it 63), 3D 20, boost 0, a shaped equaliser and resume off. Each step is
// marked in the notes (and its time in the trace).
TEST(ParentsBoard, AParentSetsEverySettingOnTheScreens) {
  const auto r = runFirmware(
      [] {
        static SramDataStruct record;
        setDefaultRecord(record);
        record.maxVolume = 70;
        record.currentVolume = 60;
        record.effect3d = 20;
        const uint8_t eq[5] = {4, 8, 12, 16, 20};
        std::copy(eq, eq + 5, record.equalizer);
        simsram::write(0, &record, sizeof record);
        simusb::insert(stickWith({"A", "B", "C"}));
        auto step = [](simk::Time t, const char* name, std::function<void()> fn) {
          at(t, [name, fn] {
            note(name);
            fn();
          });
        };
        step(2 * kS, "key", [] { simboard::setKey(simboard::Key::Parents, true); });
        at(2100 * kMs, [] { simboard::setKey(simboard::Key::Parents, false); });
        at(2900 * kMs, [] { noteWhatTheParentSees({kMaxVol, k3d, kBoost}); });
        step(3 * kS, "drag", [] { simtouch::drag(195, 190, 195, 50, 600 * kMs); });
        step(4 * kS, "toggle", [] { simtouch::tap(191, 281); });
        at(4900 * kMs, [] { noteWhatTheParentSees({kBoost}); });
        step(5 * kS, "equaliser", [] { simtouch::tap(187, 330); });
        step(5500 * kMs, "band 3", [] { simtouch::tap(136, 124); });  // to 20: +8 dB
        at(5900 * kMs, [] { noteWhatTheParentSees({kBand3}); });
        step(6 * kS, "back", [] { simtouch::tap(187, 450); });
        step(7 * kS, "knob", [] { simboard::turn(10); });
        step(7500 * kMs, "end", noteChip);
      },
      7600 * kMs);
  EXPECT_EQ(grep(r.notes, "dropped"), "");
  EXPECT_EQ(screens(r).substr(screens(r).find("Main")), "Main\nEltern\nEltern\nEQ\nEltern\n");

  // The key: maximum volume at the top, 3D 20 at 44 of its 125 pixels down, boost 0 at the
  // bottom, resume off; the stored values go back unchanged.
  EXPECT_EQ(grep(r.notes, " at ") + grep(r.notes, "toggle "),
            "maxvol at 64\n3d at 108\nboost at 189\nboost at 64\nband3 at 123\n"
            "toggle off\ntoggle on\n");
  for (const std::string& s : sent(r.notes, "key", "drag")) {
    EXPECT_EQ(s, "maxvol=63 3d=20 boost=0 eq=4,8,12,16,20 resume=0");
  }

  // The drag: a request at every step, each the whole record with the boost under the finger,
  // rising to 7; register 0x0025 follows each (the code in both channels' fields).
  std::vector<int> boosts, expected;
  for (const std::string& s : sent(r.notes, "drag", "toggle")) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        s, m, std::regex(R"(maxvol=63 3d=20 boost=(\d) eq=4,8,12,16,20 resume=0)")))
        << s;
    boosts.push_back(std::stoi(m[1]));
    expected.push_back(0x0140 | (boosts.back() << 3) | boosts.back());
  }
  ASSERT_GE(boosts.size(), 10u);
  EXPECT_EQ(boosts.front(), 0);
  EXPECT_EQ(boosts.back(), 7);
  EXPECT_TRUE(std::is_sorted(boosts.begin(), boosts.end()));
  EXPECT_EQ(codecWrites(r.trace, 0x0025, 3 * kS, 4 * kS), expected);

  // The toggle: one request, only the resume changed.
  const std::string after = "maxvol=63 3d=20 boost=7 eq=4,8,12,16,20 resume=1";
  EXPECT_EQ(sent(r.notes, "toggle", "equaliser"), std::vector<std::string>{after});

  // The equaliser sends its five bands back; band 3 at 20 (the press and the lift each report
  // it) reaches bits 5..1 of register 0x0480, beside bands 1 and 2 and the enable bit 0.
  EXPECT_EQ(sent(r.notes, "equaliser", "band 3"), std::vector<std::string>(5, after));
  EXPECT_EQ(sent(r.notes, "band 3", "back"),
            std::vector<std::string>(2, "maxvol=63 3d=20 boost=7 eq=4,8,20,16,20 resume=1"));
  EXPECT_EQ(codecWrites(r.trace, 0x0480, 5500 * kMs, 6 * kS), std::vector<int>(2, 0x2229));
  EXPECT_EQ(codecWrites(r.trace, 0x0481, 5500 * kMs, 6 * kS), std::vector<int>(2, 0x8500));

  // "Back": the parents' screen whole in the first picture after the switch (no transition).
  const std::string frames = grep(r.trace.substr(r.trace.rfind(R"("ev":"screen")")), "frame");
  EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 1) << frames;

  // The knob turned far up: the codec's volume stops at 63; the chip keeps every setting.
  const std::vector<int> volume = codecWrites(r.trace, 0x0026, 7 * kS, 8 * kS);
  ASSERT_FALSE(volume.empty());
  EXPECT_EQ(*std::max_element(volume.begin(), volume.end()), 0x017F);
  EXPECT_EQ(volume.back(), 0x017F);
  EXPECT_EQ(grep(r.notes, "chip"), "chip maxvol=63 3d=20 boost=7 eq=4,8,20,16,20 resume=1\n");
}

// A PageParent record with maximum volume 70 as it stands: the slider shows its top and sends
// 63. Only the 3D slider's report, made before the maximum volume's slider is set, still
// carries 70 (the core takes it as 63).
TEST(ParentsBoard, APageParentWithMaximumVolume70ShowsTheTopAndSends63) {
  const auto r = runFirmware(
      [] {
        simusb::insert(stickWith({"A", "B", "C"}));
        at(2 * kS, [] {
          note("page");
          PageSelectEvent record;
          record.page = PageParent;
          record.modelParentsSettings = {7, {12, 12, 12, 12, 12}, 70, 0, false, true};
          BaseType_t woken = pdFALSE;
          (void)guiQueuePageSelect->EnqueueFromISR(&record, &woken);
          portYIELD_FROM_ISR(woken);
        });
        at(2800 * kMs, [] {
          noteWhatTheParentSees({kMaxVol});
          note("end");
        });
      },
      2900 * kMs);
  EXPECT_EQ(grep(r.notes, " at "), "maxvol at 64\n");
  std::vector<std::string> expected(6, "maxvol=63 3d=0 boost=7 eq=12,12,12,12,12 resume=0");
  expected[0] = "maxvol=70 3d=0 boost=7 eq=12,12,12,12,12 resume=0";
  EXPECT_EQ(sent(r.notes, "page"), expected);
}

}  // namespace
}  // namespace screenstest

// The model's logic on one board (its queues are kernel queues): the user actions and the
// requests they send, the overview's paging, the core's screen requests turned into calls
// on the shown screen's presenter, and its choices for an empty or shorter folder list.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "board_child.h"
#include "gui/model/Model.hpp"
#include "gui/model/ModelListener.hpp"

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

// The one object through which the screens talk to the core. It creates the two queues
// between them, turns the core's screen requests into calls on the shown screen's presenter
// once per frame, and turns the user's actions into requests for the main loop.
//
// Choices of this model:
// - With no root folder (no stick, or one without folders) the folder and the overview page
//   stay at 0: the steps forward do not count past an empty list.
// - A root folder past the end of the list (a PageMain record for a folder the stick does not
//   have, or a selection left from a longer list after a stick change) becomes folder 0, as
//   the core's own choice of the stored folder does; the list is never read beyond its end.
#pragma once

#include <cstdint>

#include "gui/User/modelUserData.h"

class ModelListener;

// The playback selection the screens share, and the sending of user requests.
class ModelPlayback {
 public:
  // One request for the main loop, sent without waiting (a full queue drops it): the kind,
  // the current root folder and, for BTN_PlaybackFolder, the folder button number
  // `parameter` (1..16) as the folder index parameter - 1; for the other kinds `parameter`.
  void transmitModelUserEvent(ButtonEventEnum button, uint8_t parameter);
  // BTN_ParentSettingsChanged carrying a copy of the whole settings record.
  void transmitModelUserEventParents(ModelParentsSettings& settings);

  // One root folder forward or back, only within the list; false when there is no step.
  // A step recomputes the overview page.
  bool incSelectedMainFolder();
  bool decSelectedMainFolder();
  uint32_t getSelectedMainFolder() const { return selectedMainFolder; }
  // Sets the root folder and the overview page that holds it.
  void setSelectedMainFolder(uint32_t folder);

  uint32_t selectedMainFolder = 0;     // index into rootDirList of the main screen's folder
  uint32_t selectedOverviewPage = 0;   // overview page: six root folders a page
  uint8_t selectedPlaybackFolder = 0;  // last folder button pressed, 0..15
  bool displayRefresh = false;         // the main screen is to be refreshed from the list
};

class Model {
 public:
  // Root folders on one overview page (the overview screen's six picture buttons).
  static const uint32_t FOLDERS_PER_PAGE = 6;

  // Creates the two queues (5 records each) and publishes their handles.
  Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // The presenter of the screen now shown.
  void bind(ModelListener* listener) { modelListener = listener; }

  // Once per frame, before the framework's own tick: the settings notice, the main screen's
  // folder refresh, then at most one screen request from the queue.
  void tick();

  // User actions of the screens.
  void mainScreenInit();
  void refresh();
  void ordnerVor();
  void ordnerZurueck();
  void trackVor();
  void trackZurueck();
  void trackPause();
  void folderButton(uint8_t n);
  void overviewScreenInit();
  void overviewButtonBackClicked();
  void overviewButtonForwardClicked();
  void overviewFolderSelected(uint8_t slot);
  void newMaxVol(int value);
  void newSpkBoost(int value);
  void newEffect3d(int value);
  void newEqualizerValue(uint8_t band, int value);
  void positionResumeChanged(bool on);
  const ModelParentsSettings& getParentsSettings() const { return parentsSettings; }

  uint32_t getSelectedMainFolder() const { return modelPlayback.selectedMainFolder; }
  uint32_t getSelectedOverviewPage() const { return modelPlayback.selectedOverviewPage; }
  uint8_t getSelectedPlaybackFolder() const { return modelPlayback.selectedPlaybackFolder; }

 private:
  void dispatch(const PageSelectEvent& record);

  ModelListener* modelListener;
  ModelParentsSettings parentsSettings;
  ModelPlayback modelPlayback;
};

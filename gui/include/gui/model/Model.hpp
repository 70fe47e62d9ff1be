// The one object through which the screens talk to the core: it creates the two queues,
// turns screen requests from the core into listener calls once per frame, and sends the
// user's requests to the main loop.
#pragma once

#include <cstdint>

#include "gui/User/modelUserData.h"

class ModelListener;

class Model {
 public:
  Model();
  void bind(ModelListener* listener) { modelListener = listener; }
  uint32_t getSelectedMainFolder() const { return selectedMainFolder; }
  uint32_t getSelectedOverviewPage() const { return selectedOverviewPage; }
  // Once per frame: takes at most one screen request off the queue.
  void tick();

 private:
  ModelListener* modelListener = nullptr;
  ModelParentsSettings parentsSettings;
  uint32_t selectedMainFolder = 0;    // root folder shown on the main screen
  uint32_t selectedOverviewPage = 0;  // overview page: six root folders a page
};

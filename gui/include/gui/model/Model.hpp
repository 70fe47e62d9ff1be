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
  // Once per frame: takes at most one screen request off the queue.
  void tick();

 private:
  ModelListener* modelListener = nullptr;
  ModelParentsSettings parentsSettings;
};

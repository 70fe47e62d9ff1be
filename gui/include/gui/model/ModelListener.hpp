// The presenter side of the model: every screen's presenter is one; the defaults ignore.
#pragma once

#include "gui/User/modelUserData.h"

class Model;

class ModelListener {
 public:
  ModelListener() = default;
  virtual ~ModelListener() = default;
  void bind(Model* m) { model = m; }

  virtual void newParentSettings(const ModelParentsSettings&) {}
  virtual void forceScreenMain() {}
  virtual void forceScreenGluecklich() {}
  virtual void forceScreenParent() {}
  virtual void forceScreenTraurig() {}
  virtual void forceTitlePictureUpdate() {}
  virtual void forceOverviewPictureUpdate() {}
  virtual void forceScreenPowerOff() {}

 protected:
  Model* model = nullptr;
};

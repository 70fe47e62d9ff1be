// The presenter side of the model: every screen's presenter is one (its second base, after
// touchgfx::Presenter). The model calls the presenter of the screen shown; every default
// body ignores the call, so a presenter overrides only what its screen handles.
#pragma once

#include "gui/User/modelUserData.h"

class Model;

class ModelListener {
 public:
  ModelListener() : model(nullptr) {}
  virtual ~ModelListener() = default;
  ModelListener(const ModelListener&) = delete;
  ModelListener& operator=(const ModelListener&) = delete;

  void bind(Model* m) { model = m; }

  // The parents' settings the core sent (once per PageParent record).
  virtual void newParentSettings(const ModelParentsSettings&) {}
  // The root folder to show, whether a previous one exists, whether a next one exists.
  virtual void newMainFolder(DirEntry&, bool, bool) {}
  // The core's screen orders.
  virtual void forceScreenMain() {}
  virtual void forceScreenGluecklich() {}
  virtual void forceScreenParent() {}
  virtual void forceScreenTraurig() {}
  // The core loaded the main screen's folder picture, or the overview page's six.
  virtual void forceTitlePictureUpdate() {}
  virtual void forceOverviewPictureUpdate() {}
  virtual void forceScreenPowerOff() {}

 protected:
  Model* model;
};

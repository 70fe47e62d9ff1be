// The presenter of the main screen: between its view and the model.
#pragma once

#include <cstdint>

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenMainView;

class ScreenMainPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenMainPresenter(ScreenMainView& v);
  ~ScreenMainPresenter() override = default;

  // The next frame refreshes the screen from the root-folder list.
  void activate() override;
  void deactivate() override;

  // The view's requests to the model.
  void mainScreenInit();
  void ordnerVor();
  void ordnerZurueck();
  void folderButton(uint8_t n);
  void trackVor();
  void trackZurueck();
  void trackPause();

  // The root folder shown: the arrows and shapes full or faded.
  void newMainFolder(DirEntry& dirEntry, bool leftEnabled, bool rightEnabled) override;
  // The core loaded the folder's picture into slot 0.
  void forceTitlePictureUpdate() override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenMainView& view;
};

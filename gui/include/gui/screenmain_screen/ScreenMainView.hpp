// The main screen: the current root folder and its sixteen playback folders.
#pragma once

#include <cstdint>

#include "gui/User/Mirror.hpp"
#include "gui/screenmain_screen/ScreenMainPresenter.hpp"
#include "gui_generated/screenmain_screen/ScreenMainViewBase.hpp"

class ScreenMainView : public ScreenMainViewBase {
 public:
  // Key code 113 (the character q) switches to the power-off screen.
  static const uint8_t KEY_POWER_OFF = 113;

  ScreenMainView();
  ~ScreenMainView() override = default;
  // Asks the core for the current root folder (BTN_Folder_Refresh).
  void setupScreen() override;
  void tearDownScreen() override;
  void handleKeyEvent(uint8_t key) override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};

// The overview screen: the root folders' pictures, six a page, each under an invisible button
// that makes its folder the current one; arrows page back and forward (no wrap-around), and a
// button goes back to the main screen.
#pragma once

#include <cstdint>

#include "gui/User/Mirror.hpp"
#include "gui/screenoverview_screen/ScreenOverviewPresenter.hpp"
#include "gui_generated/screenoverview_screen/ScreenOverviewViewBase.hpp"
#include "touchgfx/Bitmap.hpp"
#include "touchgfx/widgets/AnimationTextureMapper.hpp"

class ScreenOverviewView : public ScreenOverviewViewBase {
 public:
  // Picture slots on a page.
  static const uint8_t SLOTS = 6;

  ScreenOverviewView();
  ~ScreenOverviewView() override = default;
  // Asks the core for the pictures of the current page (BTN_Overview_Refresh).
  void setupScreen() override;
  // Frees the six pictures' bitmaps.
  void tearDownScreen() override;

  // Shows picture slot `slot` (0..5) in its place, or hides it when the slot is empty, larger
  // than a slot can be, or refused by the loader.
  void setPictureNumber(uint8_t slot);
  // All six, in order.
  void forceOverviewPictureUpdate();

  void buttonForwardClicked() override;
  void buttonBackClicked() override;
  void buttonPressedFolder1() override;
  void buttonPressedFolder2() override;
  void buttonPressedFolder3() override;
  void buttonPressedFolder4() override;
  void buttonPressedFolder5() override;
  void buttonPressedFolded6() override;

 protected:
  struct PictureData {
    touchgfx::AnimationTextureMapper textureMapperImage;
    touchgfx::BitmapId bmpId;  // BITMAP_INVALID when the slot shows nothing
  };

  Mirror mirrorWidget;  // drawn last: turns the finished frame
  PictureData pictures[SLOTS];
};

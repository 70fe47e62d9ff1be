// The main screen: the current root folder's picture between the arrows that step through
// the root folders, the track buttons, and sixteen shapes for the folder's playback folders.
// Every touch becomes a request for the core through the model.
#pragma once

#include <cstdint>

#include "gui/User/Mirror.hpp"
#include "gui/screenmain_screen/ScreenMainPresenter.hpp"
#include "gui_generated/screenmain_screen/ScreenMainViewBase.hpp"
#include "touchgfx/Bitmap.hpp"
#include "touchgfx/widgets/AnimationTextureMapper.hpp"

class ScreenMainView : public ScreenMainViewBase {
 public:
  // Key code 113 (the character q) switches to the power-off screen.
  static const uint8_t KEY_POWER_OFF = 113;
  // The largest picture file this screen shows (the overview shows up to a whole slot).
  static const uint32_t MAX_IMG_SIZE = 64 * 1024;
  // Alphas of the arrows and the shapes: full, or faded when there is no folder behind them.
  static const uint8_t ALPHA_FULL = 255;
  static const uint8_t ALPHA_ARROW_FADED = 50;
  static const uint8_t ALPHA_SHAPE_FADED = 35;

  ScreenMainView();
  ~ScreenMainView() override = default;
  // Frees the picture's bitmap and asks the core for the current root folder
  // (BTN_Folder_Refresh), which answers with its picture.
  void setupScreen() override;
  void tearDownScreen() override;
  void handleKeyEvent(uint8_t key) override;

  // Shows picture slot 0 (the current root folder's picture), or hides the picture when the
  // slot is empty, too big for this screen, or refused by the loader.
  void setTitlePicture();
  // The arrows full where a previous (next) root folder exists, the shapes 1..n full for a
  // root folder of n playback folders, the others faded; shown at once.
  void showFolderButtons(uint32_t subfolderCount, bool leftEnabled, bool rightEnabled);

  void buttonClickedVor() override;
  void buttonClickedZurueck() override;
  void buttonClickedOrdnerZurueck() override;
  void buttonClickedOrdnerVor() override;
  void buttonClickedPause() override;
  void buttonClickedOrdner1() override { presenter->folderButton(1); }
  void buttonClickedOrdner2() override { presenter->folderButton(2); }
  void buttonClickedOrdner3() override { presenter->folderButton(3); }
  void buttonClickedOrdner4() override { presenter->folderButton(4); }
  void buttonClickedOrdner5() override { presenter->folderButton(5); }
  void buttonClickedOrdner6() override { presenter->folderButton(6); }
  void buttonClickedOrdner7() override { presenter->folderButton(7); }
  void buttonClickedOrdner8() override { presenter->folderButton(8); }
  void buttonClickedOrdner9() override { presenter->folderButton(9); }
  void buttonClickedOrdner10() override { presenter->folderButton(10); }
  void buttonClickedOrdner11() override { presenter->folderButton(11); }
  void buttonClickedOrdner12() override { presenter->folderButton(12); }
  void buttonClickedOrdner13() override { presenter->folderButton(13); }
  void buttonClickedOrdner14() override { presenter->folderButton(14); }
  void buttonClickedOrdner15() override { presenter->folderButton(15); }
  void buttonClickedOrdner16() override { presenter->folderButton(16); }

 protected:
  Mirror mirrorWidget;                                  // drawn last: turns the finished frame
  touchgfx::AnimationTextureMapper textureMapperImage;  // the root folder's picture
  touchgfx::BitmapId bmpId;                             // its dynamic bitmap, or BITMAP_INVALID
};

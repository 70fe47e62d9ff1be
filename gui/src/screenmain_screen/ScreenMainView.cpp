#include "gui/screenmain_screen/ScreenMainView.hpp"

#include <cstdio>

#include "FolderRoot.h"
#include "gui/common/FolderPicture.hpp"
#include "gui/common/FrontendApplication.hpp"

namespace {

// A new alpha for a button, drawn in the next frame.
void setAlphaNow(touchgfx::Button& button, uint8_t alpha) {
  if (button.getAlpha() == alpha) return;
  button.setAlpha(alpha);
  button.invalidate();
}

}  // namespace

ScreenMainView::ScreenMainView() : bmpId(touchgfx::BITMAP_INVALID) {
  textureMapperImage.setPosition(73, 0, folderpicture::FRAME, folderpicture::FRAME);
  add(textureMapperImage);

  // The picture button lies over the folder picture, invisible but touchable.
  remove(buttonPicture);
  add(buttonPicture);
  buttonPicture.setPosition(73, 0, folderpicture::FRAME, folderpicture::FRAME);
  buttonPicture.setAlpha(0);

  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenMainView::setupScreen() {
  ScreenMainViewBase::setupScreen();
  touchgfx::Bitmap::dynamicBitmapDelete(bmpId);
  bmpId = touchgfx::BITMAP_INVALID;
  presenter->mainScreenInit();
}

void ScreenMainView::tearDownScreen() {
  ScreenMainViewBase::tearDownScreen();
  touchgfx::Bitmap::dynamicBitmapDelete(bmpId);
  bmpId = touchgfx::BITMAP_INVALID;
}

void ScreenMainView::handleKeyEvent(uint8_t key) {
  if (key == KEY_POWER_OFF) application().gotoScreenPowerOffScreenNoTransition();
}

void ScreenMainView::setTitlePicture() {
  textureMapperImage.setAlpha(255);
  textureMapperImage.setTouchable(false);
  const uint32_t size = FolderRoot::titlePictureSize[0];
  if (size == 0) {
    folderpicture::hide(textureMapperImage);
    return;
  }
  puts("Display picture?\r");
  if (size > MAX_IMG_SIZE) {
    // Not shown here; nor is the previous folder's picture left standing for this folder.
    folderpicture::hide(textureMapperImage);
    return;
  }
  touchgfx::Bitmap::dynamicBitmapDelete(bmpId);
  bmpId = touchgfx::BITMAP_INVALID;
  (void)folderpicture::show(textureMapperImage, bmpId, FolderRoot::titlePictureBuffer[0], size);
}

void ScreenMainView::showFolderButtons(uint32_t subfolderCount, bool leftEnabled,
                                       bool rightEnabled) {
  setAlphaNow(buttonOrdnerZurueck, leftEnabled ? ALPHA_FULL : ALPHA_ARROW_FADED);
  setAlphaNow(buttonOrdnerVor, rightEnabled ? ALPHA_FULL : ALPHA_ARROW_FADED);
  touchgfx::Button* const shapes[] = {
      &buttonOrdner1,  &buttonOrdner2,  &buttonOrdner3,  &buttonOrdner4,
      &buttonOrdner5,  &buttonOrdner6,  &buttonOrdner7,  &buttonOrdner8,
      &buttonOrdner9,  &buttonOrdner10, &buttonOrdner11, &buttonOrdner12,
      &buttonOrdner13, &buttonOrdner14, &buttonOrdner15, &buttonOrdner16};
  uint32_t n = 1;
  for (touchgfx::Button* shape : shapes) {
    setAlphaNow(*shape, subfolderCount >= n ? ALPHA_FULL : ALPHA_SHAPE_FADED);
    ++n;
  }
}

void ScreenMainView::buttonClickedVor() { presenter->trackVor(); }

void ScreenMainView::buttonClickedZurueck() { presenter->trackZurueck(); }

void ScreenMainView::buttonClickedOrdnerZurueck() { presenter->ordnerZurueck(); }

void ScreenMainView::buttonClickedOrdnerVor() { presenter->ordnerVor(); }

void ScreenMainView::buttonClickedPause() { presenter->trackPause(); }

#include "gui/screenoverview_screen/ScreenOverviewView.hpp"

#include <cstdio>

#include "FolderRoot.h"
#include "gui/common/FolderPicture.hpp"

namespace {

// Where the six pictures stand: two columns, three rows.
const int16_t SLOT_X[ScreenOverviewView::SLOTS] = {6, 140, 6, 140, 6, 140};
const int16_t SLOT_Y[ScreenOverviewView::SLOTS] = {6, 6, 140, 140, 274, 274};

}  // namespace

ScreenOverviewView::ScreenOverviewView() {
  for (uint8_t s = 0; s < SLOTS; ++s) {
    pictures[s].bmpId = touchgfx::BITMAP_INVALID;
    pictures[s].textureMapperImage.setPosition(SLOT_X[s], SLOT_Y[s], folderpicture::FRAME,
                                               folderpicture::FRAME);
    add(pictures[s].textureMapperImage);
  }
  // The pictures' buttons go above the pictures, each over its own, invisible but touchable.
  touchgfx::Button* const folders[SLOTS] = {&buttonFolder1, &buttonFolder2, &buttonFolder3,
                                            &buttonFolder4, &buttonFolder5, &buttonFolder6};
  for (uint8_t s = 0; s < SLOTS; ++s) {
    remove(*folders[s]);
    add(*folders[s]);
    folders[s]->setPosition(SLOT_X[s], SLOT_Y[s], folderpicture::FRAME, folderpicture::FRAME);
    folders[s]->setAlpha(0);
  }
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenOverviewView::setupScreen() {
  ScreenOverviewViewBase::setupScreen();
  presenter->overviewScreenInit();
}

void ScreenOverviewView::tearDownScreen() {
  ScreenOverviewViewBase::tearDownScreen();
  for (PictureData& picture : pictures) {
    touchgfx::Bitmap::dynamicBitmapDelete(picture.bmpId);
    picture.bmpId = touchgfx::BITMAP_INVALID;
  }
}

void ScreenOverviewView::setPictureNumber(uint8_t slot) {
  if (slot >= SLOTS) return;
  PictureData& picture = pictures[slot];
  // The id is forgotten with its bitmap, so that no later delete can hit a bitmap another
  // slot has been given meanwhile.
  touchgfx::Bitmap::dynamicBitmapDelete(picture.bmpId);
  picture.bmpId = touchgfx::BITMAP_INVALID;
  const uint32_t size = FolderRoot::titlePictureSize[slot];
  if (size == 0) {
    folderpicture::hide(picture.textureMapperImage);
    return;
  }
  printf("Display picture size: %i\r\n", static_cast<int>(size));
  if (size > MAX_IMG_SIZE) {
    printf("Max image size overflow: %i\r\n", static_cast<int>(size));
    folderpicture::hide(picture.textureMapperImage);
    return;
  }
  if (folderpicture::show(picture.textureMapperImage, picture.bmpId,
                          FolderRoot::titlePictureBuffer[slot], size)) {
    picture.textureMapperImage.setAlpha(255);
    picture.textureMapperImage.setTouchable(false);
  }
}

void ScreenOverviewView::forceOverviewPictureUpdate() {
  for (uint8_t s = 0; s < SLOTS; ++s) setPictureNumber(s);
}

void ScreenOverviewView::buttonForwardClicked() { presenter->buttonForwardClicked(); }

void ScreenOverviewView::buttonBackClicked() { presenter->buttonBackClicked(); }

void ScreenOverviewView::buttonPressedFolder1() { presenter->buttonFolderPressed(0); }

void ScreenOverviewView::buttonPressedFolder2() { presenter->buttonFolderPressed(1); }

void ScreenOverviewView::buttonPressedFolder3() { presenter->buttonFolderPressed(2); }

void ScreenOverviewView::buttonPressedFolder4() { presenter->buttonFolderPressed(3); }

void ScreenOverviewView::buttonPressedFolder5() { presenter->buttonFolderPressed(4); }

void ScreenOverviewView::buttonPressedFolded6() { presenter->buttonFolderPressed(5); }

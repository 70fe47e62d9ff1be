// The main screen's widgets, as the designer laid them out: the background, the two arrows
// that step through the root folders, the track buttons, the 4 x 4 grid of shapes (rows
// green, yellow, red, blue; columns circle, square, triangle, star), the hidden navigation
// buttons and the invisible button over the folder picture that leads to the overview.
#pragma once

#include "gui/screenmain_screen/ScreenMainPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/Image.hpp"

class ScreenMainViewBase : public touchgfx::View<ScreenMainPresenter> {
 public:
  ScreenMainViewBase();
  ~ScreenMainViewBase() override = default;
  void setupScreen() override {}

  // The buttons' actions; the view gives each its meaning.
  virtual void buttonClickedVor() {}
  virtual void buttonClickedZurueck() {}
  virtual void buttonClickedOrdnerZurueck() {}
  virtual void buttonClickedOrdnerVor() {}
  virtual void buttonClickedPause() {}
  virtual void buttonClickedOrdner1() {}
  virtual void buttonClickedOrdner2() {}
  virtual void buttonClickedOrdner3() {}
  virtual void buttonClickedOrdner4() {}
  virtual void buttonClickedOrdner5() {}
  virtual void buttonClickedOrdner6() {}
  virtual void buttonClickedOrdner7() {}
  virtual void buttonClickedOrdner8() {}
  virtual void buttonClickedOrdner9() {}
  virtual void buttonClickedOrdner10() {}
  virtual void buttonClickedOrdner11() {}
  virtual void buttonClickedOrdner12() {}
  virtual void buttonClickedOrdner13() {}
  virtual void buttonClickedOrdner14() {}
  virtual void buttonClickedOrdner15() {}
  virtual void buttonClickedOrdner16() {}

 protected:
  touchgfx::Box boxBackground;
  touchgfx::Image image1;
  touchgfx::Button buttonVor;            // next track
  touchgfx::Button buttonZurueck;        // previous track
  touchgfx::Button buttonOrdnerZurueck;  // previous root folder
  touchgfx::Button buttonOrdnerVor;      // next root folder
  touchgfx::Button buttonPause;          // play / pause
  touchgfx::Button buttonOrdner1;
  touchgfx::Button buttonOrdner2;
  touchgfx::Button buttonOrdner3;
  touchgfx::Button buttonOrdner4;
  touchgfx::Button buttonOrdner5;
  touchgfx::Button buttonOrdner6;
  touchgfx::Button buttonOrdner7;
  touchgfx::Button buttonOrdner8;
  touchgfx::Button buttonOrdner9;
  touchgfx::Button buttonOrdner10;
  touchgfx::Button buttonOrdner11;
  touchgfx::Button buttonOrdner12;
  touchgfx::Button buttonOrdner13;
  touchgfx::Button buttonOrdner14;
  touchgfx::Button buttonOrdner15;
  touchgfx::Button buttonOrdner16;
  touchgfx::Button buttonHiddenGluecklich;  // invisible, 0 x 0: the designer's link to UsbDa
  touchgfx::Button buttonHiddenTraurig;     // invisible, 0 x 0: the designer's link to UsbWeg
  touchgfx::Button buttonPicture;           // no bitmap: the view places it over the folder picture

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenMainViewBase, const touchgfx::AbstractButton&> buttonCallback;
};

/* Graphics framework: a button that stays in the state of its last click. Its state is on
 * when it shows the bitmap given as the pressed one while released. */
#ifndef TOUCHGFX_WIDGETS_TOGGLEBUTTON_HPP
#define TOUCHGFX_WIDGETS_TOGGLEBUTTON_HPP

#include "touchgfx/widgets/Button.hpp"

namespace touchgfx {

class ToggleButton : public Button {
 public:
  ToggleButton() : Button(), originalPressed() {}

  void setBitmaps(const Bitmap& bmpReleased, const Bitmap& bmpPressed) override {
    originalPressed = bmpPressed;
    Button::setBitmaps(bmpReleased, bmpPressed);
  }
  /* Shows the state `activeState` (does not run the action). */
  void forceState(bool activeState);
  bool getState() const { return up == originalPressed; }

 protected:
  void clicked() override;

 private:
  Bitmap originalPressed;
};

}  // namespace touchgfx

#endif

/* Graphics framework: the touch behaviour of buttons. A press inside shows the button
 * pressed; moving the finger out shows it released again; lifting the finger inside after a
 * press is a click, which runs the action. */
#ifndef TOUCHGFX_WIDGETS_ABSTRACTBUTTON_HPP
#define TOUCHGFX_WIDGETS_ABSTRACTBUTTON_HPP

#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Widget.hpp"

namespace touchgfx {

class AbstractButton : public Widget {
 public:
  AbstractButton() : Widget(), action(nullptr), pressed(false) { setTouchable(true); }

  void setAction(GenericCallback<const AbstractButton&>& callback) { action = &callback; }
  virtual bool getPressedState() const { return pressed; }

  void handleClickEvent(const ClickEvent& event) override;
  void handleDragEvent(const DragEvent& event) override;

 protected:
  /* A release inside after a press: runs the action. */
  virtual void clicked();
  bool inside(int16_t x, int16_t y) const {
    return x >= 0 && y >= 0 && x < getWidth() && y < getHeight();
  }

  GenericCallback<const AbstractButton&>* action;
  bool pressed;
};

}  // namespace touchgfx

#endif

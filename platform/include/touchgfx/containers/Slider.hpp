/* Graphics framework: a slider of a background, its filled part and an indicator. The value
 * range maps onto the indicator's positions; vertically the top is the maximum, and the
 * filled part runs from the indicator's centre down to the background's bottom.
 *
 * A touch (press or release) or a drag puts the indicator's centre under the finger, as far
 * as its positions go, and reports the value there; setValue() clamps a value to the range
 * and reports it. Every report runs the new-value callback, whether or not the value
 * changed. */
#ifndef TOUCHGFX_CONTAINERS_SLIDER_HPP
#define TOUCHGFX_CONTAINERS_SLIDER_HPP

#include "touchgfx/Callback.hpp"
#include "touchgfx/containers/Container.hpp"
#include "touchgfx/widgets/Image.hpp"

namespace touchgfx {

class Slider : public Container {
 public:
  Slider();

  void setBitmaps(const Bitmap& sliderBackground, const Bitmap& sliderBackgroundSelected,
                  const Bitmap& indicator);
  void setBitmaps(BitmapId sliderBackground, BitmapId sliderBackgroundSelected,
                  BitmapId indicator) {
    setBitmaps(Bitmap(sliderBackground), Bitmap(sliderBackgroundSelected), Bitmap(indicator));
  }
  /* Backgrounds at (backgroundX, backgroundY), the indicator at x indicatorX moving from y
   * indicatorMinY (maximum value) to indicatorMaxY (minimum value). Sizes the slider. */
  virtual void setupVerticalSlider(uint16_t backgroundX, uint16_t backgroundY, uint16_t indicatorX,
                                   uint16_t indicatorMinY, uint16_t indicatorMaxY);
  virtual void setupHorizontalSlider(uint16_t backgroundX, uint16_t backgroundY,
                                     uint16_t indicatorY, uint16_t indicatorMinX,
                                     uint16_t indicatorMaxX);

  virtual void setValueRange(int minValue, int maxValue, int newValue);
  virtual void setValueRange(int minValue, int maxValue);
  int getMinValue() const { return valueRangeMin; }
  int getMaxValue() const { return valueRangeMax; }
  virtual void setValue(int value);
  int getValue() const { return currentValue; }

  void setStartValueCallback(GenericCallback<const Slider&, int>& callback) {
    startValueCallback = &callback;
  }
  void setStopValueCallback(GenericCallback<const Slider&, int>& callback) {
    stopValueCallback = &callback;
  }
  void setNewValueCallback(GenericCallback<const Slider&, int>& callback) {
    newValueCallback = &callback;
  }

  /* The indicator's position (y for a vertical slider, x for a horizontal one). */
  int16_t getIndicatorPosition() const;
  int16_t getIndicatorMin() const { return indicatorMinPosition; }
  int16_t getIndicatorMax() const { return indicatorMaxPosition; }

  void handleClickEvent(const ClickEvent& event) override;
  void handleDragEvent(const DragEvent& event) override;

 protected:
  enum SliderOrientation { HORIZONTAL, VERTICAL };

  int16_t getIndicatorRadius() const;
  int16_t positionFromValue(int value) const;
  int valueFromPosition(int16_t position) const;
  /* Moves the indicator to `position` (clamped) and the filled part with it. */
  void moveIndicator(int16_t position);
  void report();

  SliderOrientation sliderOrientation;
  int currentValue;
  int valueRangeMin;
  int valueRangeMax;
  Image background;
  Image backgroundSelected;
  Image indicator;
  Container backgroundSelectedViewPort;
  int16_t indicatorMinPosition;
  int16_t indicatorMaxPosition;
  GenericCallback<const Slider&, int>* startValueCallback;
  GenericCallback<const Slider&, int>* stopValueCallback;
  GenericCallback<const Slider&, int>* newValueCallback;
};

}  // namespace touchgfx

#endif

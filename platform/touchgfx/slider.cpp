// The slider: background, filled part in a view port, and the indicator; values map onto
// the indicator's positions with rounding, vertically with the maximum at the top.
#include "touchgfx/containers/Slider.hpp"

namespace touchgfx {

Slider::Slider()
    : Container(),
      sliderOrientation(HORIZONTAL),
      currentValue(0),
      valueRangeMin(0),
      valueRangeMax(100),
      background(),
      backgroundSelected(),
      indicator(),
      backgroundSelectedViewPort(),
      indicatorMinPosition(0),
      indicatorMaxPosition(1),
      startValueCallback(nullptr),
      stopValueCallback(nullptr),
      newValueCallback(nullptr) {
  setTouchable(true);
  backgroundSelectedViewPort.add(backgroundSelected);
  Container::add(background);
  Container::add(backgroundSelectedViewPort);
  Container::add(indicator);
}

void Slider::setBitmaps(const Bitmap& sliderBackground, const Bitmap& sliderBackgroundSelected,
                        const Bitmap& indicatorBitmap) {
  background.setBitmap(sliderBackground);
  backgroundSelected.setBitmap(sliderBackgroundSelected);
  indicator.setBitmap(indicatorBitmap);
}

void Slider::setupVerticalSlider(uint16_t backgroundX, uint16_t backgroundY, uint16_t indicatorX,
                                 uint16_t indicatorMinY, uint16_t indicatorMaxY) {
  sliderOrientation = VERTICAL;
  background.setXY(static_cast<int16_t>(backgroundX), static_cast<int16_t>(backgroundY));
  backgroundSelectedViewPort.setPosition(static_cast<int16_t>(backgroundX),
                                         static_cast<int16_t>(backgroundY), background.getWidth(),
                                         background.getHeight());
  backgroundSelected.setXY(0, 0);
  indicator.setX(static_cast<int16_t>(indicatorX));
  indicatorMinPosition = static_cast<int16_t>(indicatorMinY);
  indicatorMaxPosition = static_cast<int16_t>(indicatorMaxY);
  const int right = indicator.getRect().right() > background.getRect().right()
                        ? indicator.getRect().right()
                        : background.getRect().right();
  const int bottom = indicatorMaxPosition + indicator.getHeight() > background.getRect().bottom()
                         ? indicatorMaxPosition + indicator.getHeight()
                         : background.getRect().bottom();
  setWidthHeight(static_cast<int16_t>(right), static_cast<int16_t>(bottom));
  moveIndicator(positionFromValue(currentValue));
}

void Slider::setupHorizontalSlider(uint16_t backgroundX, uint16_t backgroundY, uint16_t indicatorY,
                                   uint16_t indicatorMinX, uint16_t indicatorMaxX) {
  sliderOrientation = HORIZONTAL;
  background.setXY(static_cast<int16_t>(backgroundX), static_cast<int16_t>(backgroundY));
  backgroundSelectedViewPort.setPosition(static_cast<int16_t>(backgroundX),
                                         static_cast<int16_t>(backgroundY), background.getWidth(),
                                         background.getHeight());
  backgroundSelected.setXY(0, 0);
  indicator.setY(static_cast<int16_t>(indicatorY));
  indicatorMinPosition = static_cast<int16_t>(indicatorMinX);
  indicatorMaxPosition = static_cast<int16_t>(indicatorMaxX);
  const int right = indicatorMaxPosition + indicator.getWidth() > background.getRect().right()
                        ? indicatorMaxPosition + indicator.getWidth()
                        : background.getRect().right();
  const int bottom = indicator.getRect().bottom() > background.getRect().bottom()
                         ? indicator.getRect().bottom()
                         : background.getRect().bottom();
  setWidthHeight(static_cast<int16_t>(right), static_cast<int16_t>(bottom));
  moveIndicator(positionFromValue(currentValue));
}

void Slider::setValueRange(int minValue, int maxValue, int newValue) {
  valueRangeMin = minValue;
  valueRangeMax = maxValue < minValue ? minValue : maxValue;
  setValue(newValue);
}

void Slider::setValueRange(int minValue, int maxValue) {
  setValueRange(minValue, maxValue, currentValue);
}

void Slider::setValue(int value) {
  if (value < valueRangeMin) value = valueRangeMin;
  if (value > valueRangeMax) value = valueRangeMax;
  currentValue = value;
  moveIndicator(positionFromValue(value));
  report();
}

int16_t Slider::getIndicatorPosition() const {
  return sliderOrientation == VERTICAL ? indicator.getY() : indicator.getX();
}

void Slider::handleClickEvent(const ClickEvent& event) {
  if (event.getType() != ClickEvent::PRESSED && event.getType() != ClickEvent::RELEASED) return;
  if (event.getType() == ClickEvent::PRESSED && startValueCallback != nullptr &&
      startValueCallback->isValid()) {
    startValueCallback->execute(*this, currentValue);
  }
  const int at = sliderOrientation == VERTICAL ? event.getY() : event.getX();
  const int position = at - getIndicatorRadius();
  moveIndicator(static_cast<int16_t>(position));
  currentValue = valueFromPosition(getIndicatorPosition());
  report();
  if (event.getType() == ClickEvent::RELEASED && stopValueCallback != nullptr &&
      stopValueCallback->isValid()) {
    stopValueCallback->execute(*this, currentValue);
  }
}

void Slider::handleDragEvent(const DragEvent& event) {
  const int at = sliderOrientation == VERTICAL ? event.getNewY() : event.getNewX();
  moveIndicator(static_cast<int16_t>(at - getIndicatorRadius()));
  currentValue = valueFromPosition(getIndicatorPosition());
  report();
}

int16_t Slider::getIndicatorRadius() const {
  return static_cast<int16_t>(
      (sliderOrientation == VERTICAL ? indicator.getHeight() : indicator.getWidth()) / 2);
}

int16_t Slider::positionFromValue(int value) const {
  const int range = valueRangeMax - valueRangeMin;
  const int positions = indicatorMaxPosition - indicatorMinPosition;
  if (range <= 0 || positions <= 0) return indicatorMinPosition;
  const long relative = (static_cast<long>(value - valueRangeMin) * positions + range / 2) / range;
  const long offset = sliderOrientation == VERTICAL ? positions - relative : relative;
  return static_cast<int16_t>(indicatorMinPosition + offset);
}

int Slider::valueFromPosition(int16_t position) const {
  if (position < indicatorMinPosition) position = indicatorMinPosition;
  if (position > indicatorMaxPosition) position = indicatorMaxPosition;
  const int range = valueRangeMax - valueRangeMin;
  const int positions = indicatorMaxPosition - indicatorMinPosition;
  if (range <= 0 || positions <= 0) return valueRangeMin;
  const long relative =
      (static_cast<long>(position - indicatorMinPosition) * range + positions / 2) / positions;
  return valueRangeMin +
         static_cast<int>(sliderOrientation == VERTICAL ? range - relative : relative);
}

void Slider::moveIndicator(int16_t position) {
  if (position < indicatorMinPosition) position = indicatorMinPosition;
  if (position > indicatorMaxPosition) position = indicatorMaxPosition;
  const int16_t radius = getIndicatorRadius();
  if (sliderOrientation == VERTICAL) {
    indicator.moveTo(indicator.getX(), position);
    // The filled part: from the indicator's centre down to the background's bottom.
    backgroundSelectedViewPort.invalidate();
    const int top = position + radius;
    int height = background.getRect().bottom() - top;
    if (height < 0) height = 0;
    backgroundSelectedViewPort.setPosition(
        backgroundSelectedViewPort.getX(), static_cast<int16_t>(top),
        backgroundSelectedViewPort.getWidth(), static_cast<int16_t>(height));
    backgroundSelected.setY(static_cast<int16_t>(height - backgroundSelected.getHeight()));
    backgroundSelectedViewPort.invalidate();
  } else {
    indicator.moveTo(position, indicator.getY());
    // The filled part: from the background's left end to the indicator's centre.
    backgroundSelectedViewPort.invalidate();
    int width = position + radius - backgroundSelectedViewPort.getX();
    if (width < 0) width = 0;
    backgroundSelectedViewPort.setWidth(static_cast<int16_t>(width));
    backgroundSelectedViewPort.invalidate();
  }
}

void Slider::report() {
  if (newValueCallback != nullptr && newValueCallback->isValid()) {
    newValueCallback->execute(*this, currentValue);
  }
}

}  // namespace touchgfx

#include "volume.h"

Volume::Volume() { timerHandle.Instance = TIM8; }

void Volume::setMax(int16_t max) {
  maxVal.store(max, std::memory_order_relaxed);
  const int16_t ceiling = max < 63 ? max : 63;
  if (currentVal.load(std::memory_order_relaxed) > ceiling) {
    currentVal.store(ceiling, std::memory_order_relaxed);
  }
}

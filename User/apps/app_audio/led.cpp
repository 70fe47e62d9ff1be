#include "led.h"

#include <cstdio>

#include "WS2811.h"
#include "singleton.h"

Led::Led() : Thread("LedThread", 4096, 6) {}

void Led::setStatus(uint8_t status) {
  const auto l = static_cast<uint8_t>(lum.load(std::memory_order_relaxed) / 4);
  color& led = Singleton<Ws2811>::Instance().LEDs[1];
  switch (status) {
    case STATUS_STICK_REMOVED: led.set(0, 0, l); break;
    case STATUS_STICK_MOUNTED: led.set(l, 0, 0); break;
    case STATUS_PLAYBACK: led.set(0, l, 0); break;
    default: led.set(0, 0, 0); break;
  }
  if (continueThread != nullptr) {
    BaseType_t woken = pdFALSE;
    (void)continueThread->GiveFromISR(&woken);
  }
}

void Led::Run() {
  Ws2811& ws = Singleton<Ws2811>::Instance();
  for (color& c : ws.LEDs) c.set(0, 0, 0);
  ws.updateLED();
  setStatus(STATUS_STICK_REMOVED);

  (void)dimBacklight.init();
  dimBacklight.setLevel(DIM_MAX);

  if (!ldr.init()) {
    puts("adc error");
    for (;;) __WFI();
  }
  ldr.start();

  for (;;) {
    if (continueThread != nullptr) {
      (void)continueThread->Take(REFRESH_TICKS);
    } else {
      Delay(REFRESH_TICKS);
    }
    ws.updateLED();
    const uint16_t l = ldr.measure();
    lum.store(l, std::memory_order_relaxed);
    dimBacklight.setLevel(l);
  }
}

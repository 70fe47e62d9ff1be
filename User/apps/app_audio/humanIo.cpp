#include "humanIo.h"

#include <cstdio>

#include "WS2811.h"
#include "audioSettings.h"
#include "gui/User/modelUserData.h"
#include "parentsSettings.h"
#include "singleton.h"
#include "usart1.h"
#include "volume.h"

namespace {

uint16_t settingValue(int32_t v) {
  return v < 0 ? 0 : v > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(v);
}

bool keyPressed() { return HAL_GPIO_ReadPin(GPIOG, GPIO_PIN_7) == GPIO_PIN_RESET; }

}  // namespace

HumanIO::HumanIO() : Thread("HumanInputTask", 8192, 4) {}

void HumanIO::Run() {
  __HAL_RCC_GPIOA_CLK_ENABLE();
  __HAL_RCC_GPIOF_CLK_ENABLE();
  __HAL_RCC_GPIOG_CLK_ENABLE();
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_6;  // mono switch
  gpio.Mode = GPIO_MODE_INPUT;
  gpio.Pull = GPIO_NOPULL;
  HAL_GPIO_Init(GPIOF, &gpio);
  gpio.Pin = GPIO_PIN_6 | GPIO_PIN_7;  // key function, key
  HAL_GPIO_Init(GPIOG, &gpio);
  gpio.Pin = GPIO_PIN_0;  // power latch: low keeps the supply on
  gpio.Mode = GPIO_MODE_OUTPUT_PP;
  HAL_GPIO_Init(GPIOA, &gpio);
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_0, GPIO_PIN_RESET);

  _AudioSettings& settings = Singleton<_AudioSettings>::Instance();
  Volume& volume = Singleton<Volume>::Instance();
  if (!volume.init()) puts("error init encoder");
  // The knob starts at the saved volume, so that the first pass reports no change.
  volume.seed(settings.getVolume());

  for (;;) {
    DelayUntil(LOOP_TICKS);
    const bool parentsFunction = HAL_GPIO_ReadPin(GPIOG, GPIO_PIN_6) == GPIO_PIN_SET;
    const bool monoOn = HAL_GPIO_ReadPin(GPIOF, GPIO_PIN_6) == GPIO_PIN_SET;

    settings.setMono(monoOn);

    // No debouncing: a held key repeats its request every pass.
    if (keyPressed()) {
      if (parentsFunction) {
        ModelUserEvent event;
        event.button = BTN_Parent;
        if (guiQueueModelUserEvent != nullptr) (void)guiQueueModelUserEvent->Enqueue(&event, 0);
      } else {
        powerOff();
      }
    }

    int16_t step = 0;
    if (volume.poll(step)) {
      printf("Vol: %i\n", step);
      settings.setVolume(static_cast<uint16_t>(step));
    }

    applyParentsSettings();

    // The switch-off comes once per idle stretch: if the supply stays on (the latch failed),
    // it is not repeated on every pass; a request or playback starts the count again.
    const uint32_t idle = busyWithStick.load(std::memory_order_relaxed)
                              ? 0
                              : powerOffTimer.fetch_add(1, std::memory_order_relaxed) + 1;
    if (idle == POWER_OFF_PASSES + 1) powerOff();

    showCountdown(idle);
  }
}

void HumanIO::powerOff() {
  _AudioSettings& settings = Singleton<_AudioSettings>::Instance();
  // Writes only when the record has changed since it was last stored.
  settings.triggerWrite();
  puts("power off");
  // The console sends in the background: what it holds goes out before the supply does,
  // unless that takes longer than a second (a long dump still on its way).
  (void)Usart1::flush(POWER_OFF_CONSOLE_TICKS);
  while (keyPressed()) vTaskDelay(LOOP_TICKS);
  // What changed while the key was held (a track change just before the tap) is kept too.
  settings.triggerWrite();
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_0, GPIO_PIN_SET);
}

void HumanIO::applyParentsSettings() {
  if (parentsSettings.changed.load(std::memory_order_relaxed) == 0) return;
  _AudioSettings& settings = Singleton<_AudioSettings>::Instance();
  const ParentsSettings& p = parentsSettings;
  settings.setSpkBoost(settingValue(p.spkBoost.current));
  settings.setMaxVolume(settingValue(p.maxVolume.current));
  settings.setEqualizer(settingValue(p.equalizer[0].current), settingValue(p.equalizer[1].current),
                        settingValue(p.equalizer[2].current), settingValue(p.equalizer[3].current),
                        settingValue(p.equalizer[4].current));
  settings.set3d(settingValue(p.effect3d.current));
  parentsSettings.changed.store(0, std::memory_order_relaxed);
}

void HumanIO::showCountdown(uint32_t idlePasses) {
  const auto l = static_cast<uint8_t>(led.lum.load(std::memory_order_relaxed) / 4);
  const uint16_t timer = static_cast<uint16_t>(idlePasses);
  const auto v = static_cast<uint8_t>(static_cast<int32_t>(timer / double{POWER_OFF_PASSES} * l));
  Singleton<Ws2811>::Instance().LEDs[0].set(static_cast<uint8_t>(l - v), 0, v);
}

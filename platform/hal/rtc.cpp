// Real-time clock: initialisation and the backup registers. The calendar is not used.
#include <string>

#include "simhal.h"

extern "C" {
RTC_TypeDef sim_RTC;

__attribute__((weak)) void HAL_RTC_MspInit(RTC_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_RTC_Init(RTC_HandleTypeDef* hrtc) {
  if (hrtc == nullptr) return HAL_ERROR;
  simhal::record("HAL_RTC_Init", "format=%u async=%u sync=%u output=%u", hrtc->Init.HourFormat,
                 hrtc->Init.AsynchPrediv, hrtc->Init.SynchPrediv, hrtc->Init.OutPut);
  if (hrtc->State == 0) HAL_RTC_MspInit(hrtc);
  hrtc->State = 1;
  return HAL_OK;
}

void HAL_RTCEx_BKUPWrite(RTC_HandleTypeDef*, uint32_t reg, uint32_t data) {
  if (reg <= RTC_BKP_DR1) (&sim_RTC.BKP0R)[reg] = data;
}

uint32_t HAL_RTCEx_BKUPRead(RTC_HandleTypeDef*, uint32_t reg) {
  return reg <= RTC_BKP_DR1 ? (&sim_RTC.BKP0R)[reg] : 0;
}
}

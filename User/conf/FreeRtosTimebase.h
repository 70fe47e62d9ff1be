// The kernel tick from basic timer TIM6 (2 ms) and the run-time statistics counter on TIM7.
#pragma once

#include "stm32f7xx_hal.h"

void freeRtosTimebaseInit();

extern TIM_HandleTypeDef htim6;
extern TIM_HandleTypeDef htim7;

// The chip's clock tree: 200 MHz core, APB1 at 50 MHz and APB2 at 100 MHz (timers at twice
// their bus clock), 48 MHz for USB. A unit that refuses its set-up ends in Error_Handler.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void SystemClock_Config(void);

#ifdef __cplusplus
}
#endif

// The firmware's clock tree on a board without the firmware's start-up: the firmware's own
// clock set-up (User/system_clock.cpp), 200 MHz, APB1 at 50 MHz, APB2 at 100 MHz (timers at
// 100 MHz). A test program that does not link the whole firmware builds that file itself and
// gives it an Error_Handler.
#pragma once

#include "system_clock.h"

namespace boardtest {

inline void firmwareClocks() { SystemClock_Config(); }

}  // namespace boardtest

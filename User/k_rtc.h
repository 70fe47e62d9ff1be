// The real-time clock: running from the 32.768 kHz crystal, not read by the player.
#pragma once

void k_CalendarBkupInit();

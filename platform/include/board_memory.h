/* Memories of the board beyond the internal SRAM, for the application's zero-initialised
 * statics: SDRAM_DATA places an object in the external SDRAM (section .SdRamData), DTCM_DATA
 * in the tightly coupled data RAM (section .DtcmRamData). Nothing is loaded into these
 * sections: the board's start-up code clears them, so they hold zero-initialised objects only.
 *
 * On the simulated board all memory is the host's: the objects stay ordinary zero-initialised
 * statics and take no room in the program file. */
#ifndef BOARD_MEMORY_H
#define BOARD_MEMORY_H

#if defined(__arm__) && !defined(__linux__)
#define SDRAM_DATA __attribute__((section(".SdRamData")))
#define DTCM_DATA __attribute__((section(".DtcmRamData")))
#else
#define SDRAM_DATA
#define DTCM_DATA
#endif

#endif

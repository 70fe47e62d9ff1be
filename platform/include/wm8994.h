/* Driver of the WM8994 audio codec: the operations the application calls, and the control-bus
 * link the driver needs from the board (16-bit register, 16-bit value, most significant byte
 * first). */
#ifndef WM8994_H
#define WM8994_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WM8994_ID 0x8994U
#define WM8994_CHIPID_ADDR 0x0000U

#define AUDIO_MUTE_ON 1U
#define AUDIO_MUTE_OFF 0U

/* Soft-mutes (AUDIO_MUTE_ON) or un-mutes (AUDIO_MUTE_OFF) the AIF1 playback path: registers
 * 0x0420 (DAC1) and 0x0422 (DAC2) get 0x0200 or 0x0010. Returns 0. */
uint32_t wm8994_SetMute(uint16_t DeviceAddr, uint32_t Cmd);
/* The chip id read from register 0 (0x8994). */
uint32_t wm8994_ReadID(uint16_t DeviceAddr);
/* Writes register 0, which resets every register. Returns 0. */
uint32_t wm8994_Reset(uint16_t DeviceAddr);

/* Control-bus link, provided by the board support. */
void AUDIO_IO_Write(uint8_t Addr, uint16_t Reg, uint16_t Value);
uint16_t AUDIO_IO_Read(uint8_t Addr, uint16_t Reg);

#ifdef __cplusplus
}
#endif

#endif

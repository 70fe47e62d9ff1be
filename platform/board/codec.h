// The WM8994 codec: its register file on the control bus, and its playback path from the
// audio interface to the speaker (codec_path.h).
#pragma once

#include <cstdint>

#include "stm32f7xx_hal.h"

namespace simcodec {

// The control bus's device address of the codec (8-bit write form).
inline constexpr std::uint8_t kAddress = 0x34;

// Puts the codec on I2C bus `bus` (at kAddress) and its audio interface on the data lines of
// `audioInterface`. Called once at power-on by the board's wiring.
void connect(int bus, const SAI_Block_TypeDef* audioInterface);

// ---- test backdoor: no bus traffic, no trace, no time
std::uint16_t reg(std::uint16_t index);  // register 0 reads the chip id 0x8994
bool muted();                            // soft mute of the AIF1 DAC1 path (0x0420 bit 9)
std::uint64_t writeCount();              // control-bus writes since power-on

}  // namespace simcodec

// The WM8994 codec's control side: its register file as the control bus (I2C, device address
// 0x34) writes it, and the soft-mute state of the playback path.
#pragma once

#include <cstdint>

namespace simcodec {

// The control bus's device address of the codec (8-bit write form).
inline constexpr std::uint8_t kAddress = 0x34;

// ---- test backdoor: no bus traffic, no trace, no time
std::uint16_t reg(std::uint16_t index);  // register 0 reads the chip id 0x8994
bool muted();                            // soft mute of the AIF1 DAC1 path (0x0420 bit 9)
std::uint64_t writeCount();              // control-bus writes since power-on

// Called before each register write takes effect (the audio path finishes the frames played
// with the old settings).
void setBeforeWrite(void (*listener)());

}  // namespace simcodec

// Driver of the WM8994 codec: what the application calls, as register writes over the
// board's control bus (AUDIO_IO_Write), so that the codec model sees exactly the traffic the
// real driver makes.
#include "wm8994.h"

namespace {
constexpr uint16_t kDac1Filters = 0x0420;  // AIF1 DAC1 filters 1: bit 9 soft mute
constexpr uint16_t kDac2Filters = 0x0422;  // AIF1 DAC2 filters 1
constexpr uint16_t kSoftMuteOn = 0x0200;
constexpr uint16_t kSoftMuteOff = 0x0010;  // un-muted: the value the vendor driver writes
}  // namespace

extern "C" {

uint32_t wm8994_SetMute(uint16_t DeviceAddr, uint32_t Cmd) {
  const uint16_t value = Cmd == AUDIO_MUTE_ON ? kSoftMuteOn : kSoftMuteOff;
  AUDIO_IO_Write(static_cast<uint8_t>(DeviceAddr), kDac1Filters, value);
  AUDIO_IO_Write(static_cast<uint8_t>(DeviceAddr), kDac2Filters, value);
  return 0;
}

uint32_t wm8994_ReadID(uint16_t DeviceAddr) {
  return AUDIO_IO_Read(static_cast<uint8_t>(DeviceAddr), WM8994_CHIPID_ADDR);
}

uint32_t wm8994_Reset(uint16_t DeviceAddr) {
  AUDIO_IO_Write(static_cast<uint8_t>(DeviceAddr), WM8994_CHIPID_ADDR, 0x0000);
  return 0;
}

}  // extern "C"

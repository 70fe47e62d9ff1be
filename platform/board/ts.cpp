// The board support's touch-screen driver (BSP_TS_*) for the FT5336 touch controller on the
// control bus, as the evaluation board's driver works it: the chip id is checked once, the
// controller is put in polling mode, and each poll reads the number of touch points and then,
// when a finger is down, the first point's four position registers in one transfer.
//
// Positions are the controller's, in the display's frame-buffer grid, held inside the size
// given to BSP_TS_Init. Only the first point is read (the panel is used with one finger).
#include <cstring>

#include "simhal.h"
#include "stm32746g_discovery_ts.h"

namespace {

constexpr uint8_t kRegTdStatus = 0x02;
constexpr uint8_t kRegP1XH = 0x03;
constexpr uint8_t kRegInterruptMode = 0xA4;
constexpr uint8_t kRegChipId = 0xA8;
constexpr uint8_t kChipId = 0x51;
constexpr uint8_t kPolling = 0x00;

bool ready = false;
uint16_t sizeX = 0;
uint16_t sizeY = 0;

uint16_t within(unsigned v, uint16_t size) {
  return static_cast<uint16_t>(size == 0 ? 0 : (v >= size ? size - 1U : v));
}

}  // namespace

extern "C" {

uint8_t BSP_TS_Init(uint16_t ts_SizeX, uint16_t ts_SizeY) {
  simhal::record("BSP_TS_Init", "size=%ux%u", ts_SizeX, ts_SizeY);
  TS_IO_Init();
  ready = false;
  sizeX = ts_SizeX;
  sizeY = ts_SizeY;
  if (TS_IO_Read(TS_I2C_ADDRESS, kRegChipId) != kChipId) return TS_DEVICE_NOT_FOUND;
  TS_IO_Write(TS_I2C_ADDRESS, kRegInterruptMode, kPolling);
  ready = true;
  return TS_OK;
}

uint8_t BSP_TS_GetState(TS_StateTypeDef* TS_State) {
  if (TS_State == nullptr) return TS_ERROR;
  std::memset(TS_State, 0, sizeof *TS_State);
  if (!ready) return TS_ERROR;
  const uint8_t points = TS_IO_Read(TS_I2C_ADDRESS, kRegTdStatus) & 0x0F;
  // 0xF (all ones) is what an unanswered read gives; more than five points the chip never has.
  if (points == 0 || points > TS_MAX_NB_TOUCH) return TS_OK;
  uint8_t p[4];
  if (TS_IO_ReadMultiple(TS_I2C_ADDRESS, kRegP1XH, p, sizeof p) != 0) return TS_ERROR;
  TS_State->touchDetected = 1;
  TS_State->touchEventId[0] = static_cast<uint8_t>(p[0] >> 6);
  TS_State->touchX[0] = within(((p[0] & 0x0FU) << 8) | p[1], sizeX);
  TS_State->touchY[0] = within(((p[2] & 0x0FU) << 8) | p[3], sizeY);
  return TS_OK;
}

}  // extern "C"

// The board support's bus functions for the devices on the control bus (I2C3): what the codec
// driver and the touch driver call to reach their chips. Each is one register transfer in the
// driver's polling mode: the caller busy-waits for it. A failed transfer (no answer) changes
// nothing; a failed read gives all ones.
//
// The two drivers run on different threads: the touch driver in the graphics frame loop
// ("Main_Thread", priority 3), the codec's writes in the audio, settings and input threads
// (priorities 4 to 6). A transfer keeps the bus for its bits, and a thread of higher priority
// made ready meanwhile (by an interrupt) pre-empts the one transferring; had that thread started
// a codec write then, the controller would have found the bus taken and the write would have
// been lost. So each transfer holds the bus's lock, a kernel mutex: a codec write that comes
// while a touch read is on the bus waits for it (lending the reader its priority), and a touch
// read never falls between the bytes of a codec write. The firmware's own codec-bus lock still
// keeps its groups of codec writes together; the touch read does not need that one, as reading
// the touch controller changes nothing in the codec. Before the scheduler runs, while it is
// suspended and in interrupt context, transfers go without the lock (no task can pre-empt them
// there, and none may wait).
#include "FreeRTOS.h"
#include "semphr.h"
#include "simi2c.h"
#include "simkernel.h"
#include "stm32746g_discovery_ts.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "wiring.h"
#include "wm8994.h"

namespace {

SemaphoreHandle_t busMutex = nullptr;

class BusTransfer {
 public:
  BusTransfer() {
    if (xTaskGetSchedulerState() != taskSCHEDULER_RUNNING || simk::inInterrupt()) return;
    if (busMutex == nullptr) busMutex = xSemaphoreCreateMutex();
    if (busMutex == nullptr) return;
    held_ = xSemaphoreTake(busMutex, portMAX_DELAY) == pdTRUE;
  }
  ~BusTransfer() {
    if (held_) xSemaphoreGive(busMutex);
  }
  BusTransfer(const BusTransfer&) = delete;
  BusTransfer& operator=(const BusTransfer&) = delete;

 private:
  bool held_ = false;
};

}  // namespace

extern "C" {

void AUDIO_IO_Write(uint8_t Addr, uint16_t Reg, uint16_t Value) {
  const uint8_t data[2] = {static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value)};
  BusTransfer bus;
  (void)simhal::i2cMemWrite(simboard::kControlBus, Addr, Reg, 2, data, sizeof data);
}

uint16_t AUDIO_IO_Read(uint8_t Addr, uint16_t Reg) {
  uint8_t data[2];
  BusTransfer bus;
  (void)simhal::i2cMemRead(simboard::kControlBus, Addr, Reg, 2, data, sizeof data);
  return static_cast<uint16_t>(data[0] << 8 | data[1]);
}

void TS_IO_Init(void) {}

void TS_IO_Write(uint8_t Addr, uint8_t Reg, uint8_t Value) {
  BusTransfer bus;
  (void)simhal::i2cMemWrite(simboard::kControlBus, Addr, Reg, 1, &Value, 1);
}

uint8_t TS_IO_Read(uint8_t Addr, uint8_t Reg) {
  uint8_t value = 0xFF;
  BusTransfer bus;
  (void)simhal::i2cMemRead(simboard::kControlBus, Addr, Reg, 1, &value, 1);
  return value;
}

uint16_t TS_IO_ReadMultiple(uint8_t Addr, uint8_t Reg, uint8_t* Buffer, uint16_t Length) {
  BusTransfer bus;
  return simhal::i2cMemRead(simboard::kControlBus, Addr, Reg, 1, Buffer, Length) ==
                 simhal::I2cResult::Ok
             ? 0
             : 1;
}

void TS_IO_Delay(uint32_t Delay) { HAL_Delay(Delay); }

}  // extern "C"

// The graphics framework's board adaptation: LTDC and DMA2D set-up, the vertical-sync
// interrupt (one frame every 1/60 s), the frame-buffer semaphore and vertical-sync queue of
// its kernel adaptation, and the frame loop that runs one frame of the framework (touch,
// keys, the application's tick, the drawing of what was invalidated) after each vsync.
#include "FreeRTOS.h"
#include "queue.h"
#include "semphr.h"
#include "simgfx.h"
#include "simhal.h"
#include "simkernel.h"
#include "touchgfx_board.h"

extern "C" {
LTDC_HandleTypeDef hltdc = {LTDC, 0, 0};
DMA2D_HandleTypeDef hdma2d = {DMA2D, 0, 0};
}

namespace {

constexpr simk::Time kFramePeriod = simk::kS / 60;
constexpr uint32_t kDisplayIrqPriority = 9;

QueueHandle_t vsyncQueue = nullptr;
SemaphoreHandle_t frameBufferSemaphore = nullptr;
simk::Periodic& vsync() {
  static simk::Periodic p;
  return p;
}

}  // namespace

extern "C" {

void GRAPHICS_HW_Init(void) {
  simhal::record("GRAPHICS_HW_Init", "ltdc=480x272 rgb888");
  hltdc.State = 1;
  hdma2d.State = 1;
  HAL_NVIC_SetPriority(LTDC_IRQn, kDisplayIrqPriority, 0);
  HAL_NVIC_EnableIRQ(LTDC_IRQn);
  HAL_NVIC_SetPriority(DMA2D_IRQn, kDisplayIrqPriority, 0);
  HAL_NVIC_EnableIRQ(DMA2D_IRQn);
  HAL_LTDC_ProgramLineEvent(&hltdc, 0);
  vsync().start(simk::now() + kFramePeriod, kFramePeriod, simhal::irqPriority(LTDC_IRQn), true, [] {
    sim_LTDC.ISR |= 1U;
    simhal::raiseIrq(LTDC_IRQn);
  });
}

void GRAPHICS_Init(void) {
  simhal::record("GRAPHICS_Init");
  frameBufferSemaphore = xSemaphoreCreateBinary();
  configASSERT(frameBufferSemaphore != nullptr);
  xSemaphoreGive(frameBufferSemaphore);
  vsyncQueue = xQueueGenericCreate(1, 1, queueQUEUE_TYPE_BASE);
  configASSERT(vsyncQueue != nullptr);
  touchgfx_init();
}

void HAL_LTDC_LineEventCallback(LTDC_HandleTypeDef* h) {
  HAL_LTDC_ProgramLineEvent(h, 0);
  if (vsyncQueue == nullptr) return;
  const uint8_t dummy = 0;
  BaseType_t woken = pdFALSE;
  xQueueGenericSendFromISR(vsyncQueue, &dummy, &woken, queueOVERWRITE);
  portYIELD_FROM_ISR(woken);
}

void GRAPHICS_MainTask(void) {
  for (;;) {
    uint8_t dummy = 0;
    xQueueReceive(vsyncQueue, &dummy, portMAX_DELAY);
    xSemaphoreTake(frameBufferSemaphore, portMAX_DELAY);
    simgfx::frame();
    xSemaphoreGive(frameBufferSemaphore);
  }
}

}  // extern "C"

// The graphics framework's board adaptation: LTDC and DMA2D set-up, the frame-buffer semaphore
// and vertical-sync queue of its kernel adaptation, the touch controller (the board support's
// touch driver), the screens' key source, and the frame loop that runs one frame of the
// framework (touch, keys, the application's tick, the drawing of what was invalidated) after
// each vertical sync.
//
// The LTDC model (platform/board/panel.cpp) scans the frame buffer at each vertical sync and
// then raises the line interrupt, whose callback wakes the frame loop through the queue. The
// frame loop holds the frame-buffer semaphore while it draws; a sync that comes meanwhile (the
// frame loop was pre-empted in the middle of a frame) leaves the panel showing the previous
// picture.
//
// Touch: the panel is bonded to the display, which is mounted turned by 180 degrees; the
// touch controller counts in the frame buffer's grid. The screens draw their portrait layout
// and their Mirror turns the finished frame, so a point (X, Y) of the controller lies on the
// layout's point (271 - X, 479 - Y): that is what the framework gets. A finger put where a
// button appears on the panel (or in a screenshot) thus hits that button on every screen with
// a Mirror; on the power-off screen, which shows its layout unturned, the two disagree, as on
// the device.
#include "FreeRTOS.h"
#include "panel.h"
#include "queue.h"
#include "semphr.h"
#include "simgfx.h"
#include "simhal.h"
#include "simkernel.h"
#include "stm32746g_discovery_ts.h"
#include "touchgfx/hal/HAL.hpp"
#include "touchgfx_board.h"
#include "trace.h"

extern "C" {
LTDC_HandleTypeDef hltdc = {LTDC, 0, 0};
DMA2D_HandleTypeDef hdma2d = {DMA2D, 0, 0};
}

namespace {

constexpr uint32_t kDisplayIrqPriority = 9;

QueueHandle_t vsyncQueue = nullptr;
SemaphoreHandle_t frameBufferSemaphore = nullptr;
bool frameInProgress = false;

// The touch controller as the framework samples it, once a frame.
class BoardTouchController : public touchgfx::TouchController {
 public:
  void init() override { ready_ = BSP_TS_Init(simgfx::kWidth, simgfx::kHeight) == TS_OK; }
  bool sampleTouch(int32_t& x, int32_t& y) override {
    if (!ready_) return false;
    TS_StateTypeDef state;
    if (BSP_TS_GetState(&state) != TS_OK || state.touchDetected == 0) return false;
    x = simgfx::kWidth - 1 - static_cast<int32_t>(state.touchX[0]);
    y = simgfx::kHeight - 1 - static_cast<int32_t>(state.touchY[0]);
    return true;
  }

 private:
  bool ready_ = false;
};

// Key codes for the screens (the simulator's keyboard: the scenario's `keycode`, the window's
// keys), handed to the framework one a frame in the order they came.
class KeySource : public touchgfx::ButtonController {
 public:
  bool sample(uint8_t& key) override {
    if (count_ == 0) return false;
    key = keys_[first_];
    first_ = (first_ + 1) % kDepth;
    --count_;
    return true;
  }
  bool put(uint8_t key) {
    if (count_ == kDepth) return false;
    keys_[(first_ + count_) % kDepth] = key;
    ++count_;
    return true;
  }

 private:
  static constexpr unsigned kDepth = 16;
  uint8_t keys_[kDepth] = {};
  unsigned first_ = 0;
  unsigned count_ = 0;
};

BoardTouchController touchController;
KeySource keySource;
char currentScreen[64] = "";

void screenShown(const char* name) {
  std::size_t n = 0;
  while (name[n] != '\0' && n + 1 < sizeof currentScreen) {
    currentScreen[n] = name[n];
    ++n;
  }
  currentScreen[n] = '\0';
  simtrace::Event("screen").str("name", currentScreen);
}

}  // namespace

namespace simgfx {

bool sendKey(std::uint8_t key) { return keySource.put(key); }

const char* screenName() { return currentScreen; }

}  // namespace simgfx

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
  simdisplay::Layer layer;
  layer.frameBuffer = simgfx::frameBuffer();
  layer.generation = &simgfx::frameBufferGeneration;
  layer.complete = [] { return !frameInProgress; };
  simdisplay::start(std::move(layer));
}

void GRAPHICS_Init(void) {
  simhal::record("GRAPHICS_Init");
  frameBufferSemaphore = xSemaphoreCreateBinary();
  configASSERT(frameBufferSemaphore != nullptr);
  xSemaphoreGive(frameBufferSemaphore);
  vsyncQueue = xQueueGenericCreate(1, 1, queueQUEUE_TYPE_BASE);
  configASSERT(vsyncQueue != nullptr);
  currentScreen[0] = '\0';
  simgfx::setScreenHook(&screenShown);
  touchController.init();
  simgfx::setTouchController(&touchController);
  simgfx::setButtonController(&keySource);
  touchgfx_init();
  // The frame-buffer memory the application handed to the framework, in the trace; the
  // simulated framework keeps its own buffers.
  const simgfx::FrameBufferMemory m = simgfx::frameBufferMemory();
  if (m.address != nullptr) {
    simhal::record("HAL::setFrameBufferStartAddress", "depth=%u double=%d animation=%d",
                   static_cast<unsigned>(m.depth), m.doubleBuffering ? 1 : 0,
                   m.animationStorage ? 1 : 0);
  }
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
    frameInProgress = true;
    simgfx::frame();
    frameInProgress = false;
    xSemaphoreGive(frameBufferSemaphore);
  }
}

}  // extern "C"

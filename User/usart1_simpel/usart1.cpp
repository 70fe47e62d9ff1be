#include "usart1.h"

#include <atomic>
#include <cstring>

#include "FreeRTOS.h"
#include "board_memory.h"
#include "irq_prio.h"
#include "task.h"

bool Usart1::initialized = false;
UART_HandleTypeDef Usart1::huart;

namespace {

// The queue holds a long settings dump (4,096 slot lines of a record with 256 folders, about
// 300 KB) with room to spare, so that the start-up does not wait for the line.
constexpr uint32_t QUEUE_BYTES = 384 * 1024;
// Room for one thread's unfinished line; a longer line goes out in pieces.
constexpr uint32_t LINE_BYTES = 1024;
// Threads with an unfinished line at the same time; more print unbuffered.
constexpr uint32_t LINE_SLOTS = 8;

struct LineSlot {
  TaskHandle_t owner;
  uint32_t length;  // 0: free
  char text[LINE_BYTES];
};

// Both in the SDRAM; the start-up code clears them.
SDRAM_DATA uint8_t queue[QUEUE_BYTES];
SDRAM_DATA LineSlot lineSlots[LINE_SLOTS];

// Free-running counts of bytes: put into the queue (by the printing threads, inside a
// critical section) and sent (by the transmit interrupt). The bytes in between are queued;
// `inFlight` of them, from `sent` on, are in the transfer the interrupt runs now.
std::atomic<uint32_t> queued{0};
std::atomic<uint32_t> sent{0};
std::atomic<uint32_t> inFlight{0};
// After a fault: every byte goes out at once by polling.
std::atomic<bool> polled{false};

bool inInterrupt() { return __get_IPSR() != 0; }

// Holds off the console's interrupt (and every other one under the kernel's ceiling), from a
// thread or from an interrupt handler.
class Critical {
 public:
  Critical() : isr(inInterrupt()) {
    if (isr) {
      mask = portSET_INTERRUPT_MASK_FROM_ISR();
    } else {
      taskENTER_CRITICAL();
    }
  }
  ~Critical() {
    if (isr) {
      portCLEAR_INTERRUPT_MASK_FROM_ISR(mask);
    } else {
      taskEXIT_CRITICAL();
    }
  }
  Critical(const Critical&) = delete;
  Critical& operator=(const Critical&) = delete;

 private:
  bool isr;
  UBaseType_t mask = 0;
};

// A printing thread may wait for room only while the scheduler runs.
bool mayWait() { return !inInterrupt() && xTaskGetSchedulerState() == taskSCHEDULER_RUNNING; }

// Starts sending what is queued unless a transfer runs. Called with the console's interrupt
// held off (a critical section) or from that interrupt.
void sendNext() {
  if (inFlight.load(std::memory_order_relaxed) != 0) return;
  const uint32_t from = sent.load(std::memory_order_relaxed);
  const uint32_t waiting = queued.load(std::memory_order_relaxed) - from;
  if (waiting == 0) return;
  const uint32_t at = from % QUEUE_BYTES;
  uint32_t n = QUEUE_BYTES - at;  // up to the end of the queue's memory
  if (n > waiting) n = waiting;
  if (n > 0xFFFF) n = 0xFFFF;
  if (HAL_UART_Transmit_IT(&Usart1::huart, queue + at, static_cast<uint16_t>(n)) == HAL_OK) {
    inFlight.store(n, std::memory_order_relaxed);
  }
}

void transmitPolled(const uint8_t* data, uint32_t length) {
  while (length > 0) {
    const uint16_t n = static_cast<uint16_t>(length > 0xFFFF ? 0xFFFF : length);
    (void)HAL_UART_Transmit(&Usart1::huart, data, n, HAL_MAX_DELAY);
    data += n;
    length -= n;
  }
}

// Puts `length` bytes into the queue as one piece if there is room for them now. With the
// console's interrupt held off.
bool put(const char* text, uint32_t length) {
  const uint32_t head = queued.load(std::memory_order_relaxed);
  if (QUEUE_BYTES - (head - sent.load(std::memory_order_relaxed)) < length) return false;
  const uint32_t at = head % QUEUE_BYTES;
  const uint32_t first = length < QUEUE_BYTES - at ? length : QUEUE_BYTES - at;
  std::memcpy(queue + at, text, first);
  std::memcpy(queue, text + first, length - first);
  queued.store(head + length, std::memory_order_relaxed);
  sendNext();
  return true;
}

// Waits for room in the queue: a thread sleeps a tick, or with the scheduler suspended spins
// a millisecond while the interrupt sends; where the interrupt cannot run (in an interrupt,
// before the scheduler), what is queued goes out by polling.
void waitForRoom() {
  if (mayWait()) {
    vTaskDelay(1);
  } else if (!inInterrupt() && xTaskGetSchedulerState() == taskSCHEDULER_SUSPENDED) {
    HAL_Delay(1);
  } else {
    Usart1::flushPolled();
  }
}

// Puts `length` bytes into the queue as one piece: nothing another thread prints comes in
// between. A full queue is waited for.
void enqueue(const char* text, uint32_t length) {
  for (;;) {
    if (polled.load(std::memory_order_relaxed)) {
      transmitPolled(reinterpret_cast<const uint8_t*>(text), length);
      return;
    }
    {
      Critical guard;
      if (put(text, length)) return;
    }
    waitForRoom();
  }
}

// Queues what a slot holds and frees it, if there is room now.
bool putSlot(LineSlot& slot) {
  Critical guard;
  if (slot.length == 0) return true;
  if (!put(slot.text, slot.length)) return false;
  slot.length = 0;
  return true;
}

// Unfinished lines of other threads that wait (they printed no line end before they stopped
// for now, as the settings store's "w") go out before the next line, where they would stand
// if every byte went out at once. A thread that is only pre-empted keeps its line.
void putWaitingLines(TaskHandle_t self) {
  for (LineSlot& slot : lineSlots) {
    if (slot.length == 0 || slot.owner == self || slot.owner == nullptr) continue;
    const eTaskState state = eTaskGetState(slot.owner);
    if (state == eBlocked || state == eSuspended) (void)putSlot(slot);
  }
}

// The slot of the running thread's unfinished line; a free one when it has none; nullptr when
// all are taken by other threads.
LineSlot* slotOf(TaskHandle_t owner) {
  LineSlot* free = nullptr;
  for (LineSlot& s : lineSlots) {
    if (s.length != 0 && s.owner == owner) return &s;
    if (s.length == 0 && free == nullptr) free = &s;
  }
  if (free != nullptr) free->owner = owner;
  return free;
}

}  // namespace

void Usart1::initUsart() {
  huart.Instance = USART1;
  huart.Init.BaudRate = 256000;
  huart.Init.WordLength = UART_WORDLENGTH_8B;
  huart.Init.StopBits = UART_STOPBITS_1;
  huart.Init.Parity = UART_PARITY_NONE;
  huart.Init.Mode = UART_MODE_TX_RX;
  huart.Init.HwFlowCtl = UART_HWCONTROL_NONE;
  huart.Init.OverSampling = UART_OVERSAMPLING_16;
  huart.Init.OneBitSampling = UART_ONE_BIT_SAMPLE_DISABLE;
  huart.AdvancedInit.AdvFeatureInit = UART_ADVFEATURE_NO_INIT;
  if (HAL_UART_Init(&huart) != HAL_OK) {
    for (;;) __WFI();
  }
  // Drop whatever byte may be waiting from before.
  (void)huart.Instance->RDR;
  HAL_NVIC_SetPriority(USART1_IRQn, irq_prio::CONSOLE, 0);
  HAL_NVIC_EnableIRQ(USART1_IRQn);
  __HAL_UART_ENABLE_IT(&huart, UART_IT_RXNE);
}

void Usart1::flushPolled() {
  if (!initialized) return;
  Critical guard;
  if (!polled.exchange(true)) {
    // Stop the interrupt's transfer where it is: the bytes it handed to the line go out by
    // themselves, the rest of the queue follows by polling.
    const uint32_t running = inFlight.load(std::memory_order_relaxed);
    const uint32_t handed = running > huart.TxXferCount ? running - huart.TxXferCount : 0;
    (void)HAL_UART_AbortTransmit(&huart);
    sent.store(sent.load(std::memory_order_relaxed) + handed, std::memory_order_relaxed);
    inFlight.store(0, std::memory_order_relaxed);
    const uint32_t head = queued.load(std::memory_order_relaxed);
    for (uint32_t from = sent.load(std::memory_order_relaxed); from != head;) {
      const uint32_t at = from % QUEUE_BYTES;
      uint32_t n = QUEUE_BYTES - at;
      if (n > head - from) n = head - from;
      transmitPolled(queue + at, n);
      from += n;
    }
    sent.store(head, std::memory_order_relaxed);
    // The running thread's unfinished line comes before what it prints next.
    LineSlot* slot = inInterrupt() ? nullptr : slotOf(xTaskGetCurrentTaskHandle());
    if (slot != nullptr && slot->length != 0) {
      transmitPolled(reinterpret_cast<const uint8_t*>(slot->text), slot->length);
      slot->length = 0;
    }
  }
}

bool Usart1::flush(TickType_t maxTicks) {
  if (!initialized || polled.load(std::memory_order_relaxed)) return true;
  if (!mayWait()) {
    flushPolled();
    return true;
  }
  TickType_t waited = 0;
  for (LineSlot& slot : lineSlots) {
    while (!putSlot(slot)) {
      if (waited++ >= maxTicks) return false;
      vTaskDelay(1);
    }
  }
  while (queued.load(std::memory_order_relaxed) != sent.load(std::memory_order_relaxed)) {
    if (waited++ >= maxTicks) return false;
    vTaskDelay(1);
  }
  return true;
}

// Transmit on PA9, receive on PB7, both alternate function 7 with pull-up at very high speed.
extern "C" void HAL_UART_MspInit(UART_HandleTypeDef* huart) {
  if (huart->Instance != USART1) return;
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_9;
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_PULLUP;
  gpio.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
  gpio.Alternate = GPIO_AF7_USART1;
  HAL_GPIO_Init(GPIOA, &gpio);
  gpio.Pin = GPIO_PIN_7;
  gpio.Mode = GPIO_MODE_AF_OD;
  HAL_GPIO_Init(GPIOB, &gpio);
}

// The transmit interrupt has sent the last transfer: the next part of the queue follows.
extern "C" void HAL_UART_TxCpltCallback(UART_HandleTypeDef* h) {
  if (h != &Usart1::huart) return;
  sent.store(sent.load(std::memory_order_relaxed) + inFlight.load(std::memory_order_relaxed),
             std::memory_order_relaxed);
  inFlight.store(0, std::memory_order_relaxed);
  if (!polled.load(std::memory_order_relaxed)) sendNext();
}

// Every byte of printf, puts and the output stream ends here. A thread's bytes are gathered
// up to its line end and the line is queued whole.
extern "C" int __io_putchar(int ch) {
  if (!Usart1::initialized) return ch;
  const char c = static_cast<char>(ch);
  if (polled.load(std::memory_order_relaxed) || inInterrupt()) {
    enqueue(&c, 1);
    return ch;
  }
  // Before the scheduler runs, main is the only one printing.
  const TaskHandle_t self =
      xTaskGetSchedulerState() == taskSCHEDULER_NOT_STARTED ? nullptr : xTaskGetCurrentTaskHandle();
  LineSlot* slot = nullptr;
  {
    Critical guard;
    slot = slotOf(self);
    if (slot != nullptr) slot->text[slot->length++] = c;
  }
  if (slot == nullptr) {
    enqueue(&c, 1);  // every slot holds another thread's unfinished line
  } else if (c == '\n' || slot->length == LINE_BYTES) {
    if (self != nullptr) putWaitingLines(self);
    // The slot stays the thread's while its line waits for room.
    while (!putSlot(*slot)) waitForRoom();
  }
  return ch;
}

extern "C" int _write(int file, char* ptr, int len) {
  (void)file;
  for (int i = 0; i < len; ++i) __io_putchar(ptr[i]);
  return len;
}

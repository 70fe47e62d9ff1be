/* C++ wrapper of an RTOS queue of fixed-size items copied by value. */
#ifndef CPP_FREERTOS_QUEUE_HPP_
#define CPP_FREERTOS_QUEUE_HPP_

#include "FreeRTOS.h"
#include "queue.h"

namespace cpp_freertos {

class Queue {
 public:
  /* A queue that cannot be created is a kernel assertion. */
  Queue(UBaseType_t maxItems, UBaseType_t itemSize);
  virtual ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  /* Waits without limit while the queue is full. */
  virtual bool Enqueue(void* item);
  virtual bool Enqueue(void* item, TickType_t Timeout);
  bool Dequeue(void* item, TickType_t Timeout = portMAX_DELAY);
  bool Peek(void* item, TickType_t Timeout = portMAX_DELAY);
  virtual bool EnqueueFromISR(void* item, BaseType_t* pxHigherPriorityTaskWoken);
  bool DequeueFromISR(void* item, BaseType_t* pxHigherPriorityTaskWoken);

  bool IsEmpty();
  bool IsFull();
  void Flush();
  UBaseType_t NumItems();
  UBaseType_t NumSpacesLeft();

 protected:
  QueueHandle_t handle;
};

}  // namespace cpp_freertos

#endif

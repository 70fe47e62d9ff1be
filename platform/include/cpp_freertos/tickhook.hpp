/* Functions run from the kernel tick: derive, override Run(), Register(). */
#ifndef CPP_FREERTOS_TICKHOOK_HPP_
#define CPP_FREERTOS_TICKHOOK_HPP_

#include "FreeRTOS.h"

namespace cpp_freertos {

class TickHook {
 public:
  TickHook() = default;
  virtual ~TickHook();
  TickHook(const TickHook&) = delete;
  TickHook& operator=(const TickHook&) = delete;

  void Register();
  void Disable() { Enabled = false; }
  void Enable() { Enabled = true; }

  /* Runs every hook in registration order; called in interrupt context on every tick. */
  static void RunAll();

 protected:
  /* Interrupt context: only ...FromISR operations are allowed. */
  virtual void Run() = 0;

 private:
  void Unregister();
  TickHook* next = nullptr;
  bool Registered = false;
  bool Enabled = true;
  static TickHook* first;
};

}  // namespace cpp_freertos

#endif

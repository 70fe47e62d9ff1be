// The port layer: the tick from the application's timer interrupt, switches requested from
// interrupts (performed when the interrupt ends, as PendSV does) and from tasks, and critical
// sections, which only count here (interrupts run only at scheduling points).
#include "kernel_state.h"

using namespace simk::detail;

extern "C" {

void xPortSysTickHandler(void) {
  Kernel& k = K();
  if (!k.running) return;
  if (incrementTick()) k.pendSV = true;
}

void vPortYieldFromIsr(BaseType_t switchRequired) {
  Kernel& k = K();
  if (switchRequired == pdFALSE) return;
  if (k.isrDepth > 0) {
    k.pendSV = true;
  } else {
    yieldWithinApi();
  }
}

void vPortYield(void) {
  Kernel& k = K();
  if (k.isrDepth > 0) {
    k.pendSV = true;
    return;
  }
  yieldWithinApi();
}

void vPortRaiseBasePri(void) {}
void vPortClearBasePri(void) {}
void vPortEnterCritical(void) { ++K().criticalNesting; }
void vPortExitCritical(void) {
  Kernel& k = K();
  if (k.criticalNesting > 0) --k.criticalNesting;
}

}  // extern "C"

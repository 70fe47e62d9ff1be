// The kernel heap's array for a board without the application. The application defines
// ucHeap itself (configAPPLICATION_ALLOCATED_HEAP) and places it; this definition is taken
// from the library only when nothing else defines it, as in a board test that runs without
// the application.
#include <cstdint>

#include "FreeRTOS.h"

#if configAPPLICATION_ALLOCATED_HEAP
extern "C" {
alignas(8) std::uint8_t ucHeap[configTOTAL_HEAP_SIZE];
}
#endif

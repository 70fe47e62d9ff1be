// Start of the user interface: the application object and the model (whose construction
// creates the queues to and from the core).
#include "gui/common/FrontendHeap.hpp"
#include "touchgfx_board.h"

extern "C" void touchgfx_init(void) { (void)FrontendHeap::getInstance(); }

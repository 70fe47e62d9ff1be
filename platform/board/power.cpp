// The power latch. PA0 high cuts the supply: the `power` event goes to the trace and the
// board's life ends (what survives, the serial SRAM's file, is written by its end hook).
// A firmware that says "power off" but leaves PA0 low has a failed latch: the board simply
// stays on, as a real one would.
#include "power.h"

#include "simhal.h"
#include "simkernel.h"
#include "trace.h"

namespace simpower {

void watchLatch() {
  simhal::onOutputChange(0, 0, [](bool high) {
    if (!high) return;
    simtrace::Event("power").str("state", "off");
    simk::endRun(kPoweredOff, "");
  });
}

}  // namespace simpower

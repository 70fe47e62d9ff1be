// The power latch (PA0 on this board). The line driven high cuts the supply: the `power` event
// goes to the trace and the board's life ends (what survives, the serial SRAM's content, is
// saved by the simulator's end hook). A cut of the supply (cut()) ends the life the same way at
// any instant, without asking the firmware. A firmware that says "power off" but leaves the line
// low has a failed latch: the board simply stays on, as a real one would.
#include "power.h"

#include "simkernel.h"
#include "trace.h"

namespace simpower {

void watchLatch(simhal::Line line) {
  simhal::onOutputChange(line.port, line.pin, [](bool high) {
    if (!high) return;
    simtrace::Event("power").str("state", "off");
    simk::endRun(kPoweredOff, "");
  });
}

void cut() {
  simtrace::Event("power").str("state", "cut");
  simk::endRun(kPoweredOff, "");
}

}  // namespace simpower

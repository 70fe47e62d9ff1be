// The record of set-up calls: every configuration call of the chip support library and
// the board support goes to the trace in the order the firmware makes it.
#include "simhal.h"
#include "trace.h"

namespace simhal {

void record(const char* call, const std::string& args) {
  if (!simtrace::enabled()) return;
  simtrace::Event e("hal");
  e.str("call", call);
  if (!args.empty()) e.str("args", args);
}

}  // namespace simhal

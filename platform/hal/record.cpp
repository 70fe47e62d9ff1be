// The record of set-up calls: every configuration call of the chip support library and
// the board support goes to the trace in the order the firmware makes it. Once the threads
// run, a call that repeats a set-up already recorded (a driver that sets its timer and pins
// up again for every transfer) is not written again.
#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>

#include "runtime_heap.h"
#include "simhal.h"
#include "simkernel.h"
#include "trace.h"

namespace simhal {

void record(const char* call, const char* argsFormat, ...) {
  if (!simtrace::enabled()) return;
  char args[256] = "";
  if (argsFormat != nullptr) {
    va_list ap;
    va_start(ap, argsFormat);
    // The analyzer does not see va_start through the format attribute.
    std::vsnprintf(args, sizeof args, argsFormat,
                   ap);  // NOLINT(clang-analyzer-valist.Uninitialized)
    va_end(ap);
  }
  if (simk::schedulerRunning()) {
    simruntime::HostScope host;
    static std::set<std::string> seen;
    if (!seen.insert(std::string(call) + '\0' + args).second) return;
  }
  simtrace::Event e("hal");
  e.str("call", call);
  if (argsFormat != nullptr) e.str("args", args);
}

}  // namespace simhal

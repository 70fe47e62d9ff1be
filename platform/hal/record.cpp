// The record of set-up calls: every configuration call of the chip support library and
// the board support goes to the trace in the order the firmware makes it.
#include <cstdarg>
#include <cstdio>

#include "simhal.h"
#include "trace.h"

namespace simhal {

void record(const char* call, const char* argsFormat, ...) {
  if (!simtrace::enabled()) return;
  simtrace::Event e("hal");
  e.str("call", call);
  if (argsFormat == nullptr) return;
  char args[256];
  va_list ap;
  va_start(ap, argsFormat);
  std::vsnprintf(args, sizeof args, argsFormat, ap);
  va_end(ap);
  e.str("args", args);
}

}  // namespace simhal

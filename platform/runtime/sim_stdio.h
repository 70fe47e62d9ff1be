// The runtime library's output path as on the board: printf, puts and the standard output
// stream end in the application's _write, one call per formatted piece, unbuffered.
#pragma once

namespace simruntime {
void routeStdoutToFirmware();
}

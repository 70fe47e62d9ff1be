// The runtime library's output path as on the board: printf, puts and the standard output
// stream end in the application's _write, one call per formatted piece, unbuffered.
#pragma once

#include <cstddef>
#include <functional>

namespace simruntime {
void routeStdoutToFirmware();
// Sees every piece the firmware prints, in the printing context, before it reaches _write
// (which may queue it for the console): the board names a context that stops by it.
void observeFirmwareOutput(std::function<void(const char* data, size_t size)> observer);
}  // namespace simruntime

// The serial console as a person at the other end of USART1 sees it: bytes go to standard
// output and to the log file as they arrive; each line (up to its line feed, without the
// line end) goes to the trace as a `console` event.
#pragma once

#include <cstdint>
#include <string>

namespace simconsole {

// -1 switches an output off. The descriptors stay owned by the caller.
void setOutputs(int stdoutFd, int logFd);
void put(std::uint8_t byte);
// Writes what is buffered; a line not yet ended goes to the trace too when `final`.
void flush(bool final = false);
// The last text (line or unfinished line, without line ends) that the running context
// printed since it last blocked; empty if none.
std::string lastTextOf(const std::string& context);

}  // namespace simconsole

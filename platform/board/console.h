// The serial console as a person at the other end of USART1 sees it: the bytes go to the
// console's output (the simulator's standard output and log file) as they arrive; each line
// (up to its line feed, without the line end) goes to the trace as a `console` event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace simconsole {

// Where the bytes go, a line (or what is buffered) at a time; nothing is written without one.
void setOutput(std::function<void(std::string_view bytes)> output);
// A byte on the wire.
void put(std::uint8_t byte);
// What the running context prints, as it prints it (before the console sends it).
void printed(const char* data, std::size_t size);
// Writes what is buffered; a line not yet ended goes to the trace too when `final`.
void flush(bool final = false);
// The last text (line or unfinished line, without line ends) that the running context
// printed since it last blocked; empty if none.
std::string lastTextOf(const std::string& context);

}  // namespace simconsole

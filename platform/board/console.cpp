// The console: the bytes USART1 sends, in lines for the trace, and what each context printed
// last (the reason a context that stops for good is given), seen where the firmware prints
// it: the console may send it later, from its transmit interrupt. Writing the bytes somewhere is
// the output's business (the simulator's).
#include "console.h"

#include <map>

#include "runtime_heap.h"
#include "simkernel.h"
#include "trace.h"

namespace {

struct Console {
  std::function<void(std::string_view)> output;
  std::string pending;  // bytes not yet written to the output
  std::string line;     // the current line on the wire
  // What each context printed in its current burst of work (since it last blocked).
  struct Recent {
    std::uint64_t epoch = 0;
    std::string last;     // the last completed line
    std::string partial;  // the line it is printing
  };
  std::map<std::string, Recent> byContext;
};

Console& con() {
  static Console c;
  return c;
}

std::string trimLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

}  // namespace

namespace simconsole {

void setOutput(std::function<void(std::string_view)> output) {
  flush();
  con().output = std::move(output);
}

void put(std::uint8_t byte) {
  simruntime::HostScope host;
  Console& c = con();
  c.pending.push_back(static_cast<char>(byte));
  if (byte == '\n') {
    simtrace::Event("console").str("text", trimLineEnd(c.line));
    c.line.clear();
    flush();
  } else {
    c.line.push_back(static_cast<char>(byte));
  }
}

void printed(const char* data, std::size_t size) {
  simruntime::HostScope host;
  Console::Recent& recent = con().byContext[simk::contextName()];
  if (recent.epoch != simk::contextEpoch()) recent = Console::Recent{simk::contextEpoch(), {}, {}};
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      recent.last = trimLineEnd(recent.partial);
      recent.partial.clear();
    } else {
      recent.partial.push_back(data[i]);
    }
  }
}

void flush(bool final) {
  Console& c = con();
  if (!c.pending.empty()) {
    if (c.output) c.output(c.pending);
    c.pending.clear();
  }
  if (final && !c.line.empty()) {
    simtrace::Event("console").str("text", trimLineEnd(c.line));
    c.line.clear();
  }
}

std::string lastTextOf(const std::string& context) {
  Console& c = con();
  auto it = c.byContext.find(context);
  if (it == c.byContext.end() || it->second.epoch != simk::contextEpoch()) return {};
  std::string t = trimLineEnd(it->second.partial);
  return t.empty() ? it->second.last : t;
}

}  // namespace simconsole

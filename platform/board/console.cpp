#include "console.h"

#include <unistd.h>

#include <map>

#include "runtime_heap.h"
#include "simkernel.h"
#include "trace.h"

namespace {

struct Console {
  int out = -1;
  int log = -1;
  std::string pending;  // bytes not yet written to out/log
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

void writeAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string trimLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

}  // namespace

namespace simconsole {

void setOutputs(int stdoutFd, int logFd) {
  flush();
  con().out = stdoutFd;
  con().log = logFd;
}

void put(std::uint8_t byte) {
  simruntime::HostScope host;
  Console& c = con();
  c.pending.push_back(static_cast<char>(byte));
  Console::Recent& recent = c.byContext[simk::contextName()];
  if (recent.epoch != simk::contextEpoch()) recent = Console::Recent{simk::contextEpoch(), {}, {}};
  if (byte == '\n') {
    simtrace::Event("console").str("text", trimLineEnd(c.line));
    c.line.clear();
    recent.last = trimLineEnd(recent.partial);
    recent.partial.clear();
    flush();
  } else {
    c.line.push_back(static_cast<char>(byte));
    recent.partial.push_back(static_cast<char>(byte));
  }
}

void flush(bool final) {
  Console& c = con();
  if (!c.pending.empty()) {
    if (c.out >= 0) writeAll(c.out, c.pending);
    if (c.log >= 0) writeAll(c.log, c.pending);
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

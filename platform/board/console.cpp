#include "console.h"

#include <unistd.h>

#include <map>

#include "simkernel.h"
#include "trace.h"

namespace {

struct Console {
  int out = -1;
  int log = -1;
  std::string pending;  // bytes not yet written to out/log
  std::string line;     // the current line on the wire
  std::map<std::string, std::string> lastByContext;
  std::map<std::string, std::string> partialByContext;
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
  Console& c = con();
  c.pending.push_back(static_cast<char>(byte));
  std::string& partial = c.partialByContext[simk::contextName()];
  if (byte == '\n') {
    simtrace::Event("console").str("text", trimLineEnd(c.line));
    c.line.clear();
    c.lastByContext[simk::contextName()] = trimLineEnd(partial);
    partial.clear();
    flush();
  } else {
    c.line.push_back(static_cast<char>(byte));
    partial.push_back(static_cast<char>(byte));
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
  auto p = c.partialByContext.find(context);
  if (p != c.partialByContext.end()) {
    std::string t = trimLineEnd(p->second);
    if (!t.empty()) return t;
  }
  auto l = c.lastByContext.find(context);
  return l == c.lastByContext.end() ? std::string() : l->second;
}

}  // namespace simconsole

// JSON-lines trace of simulated events.
//
// Each event is one line holding one JSON object whose first members are "t" (virtual
// microseconds since power-on) and "ev" (the event's name):
//
//   simtrace::Event("thread").str("name", name).num("prio", prio).unum("stack", words);
//
// writes {"t":0,"ev":"thread","name":"USBH_Thread","prio":6,"stack":128} when the builder is
// destroyed. Lines are buffered and written with write(2) when the buffer fills and on flush().
// While tracing is off, building an event only tests a flag: it neither allocates nor formats.
//
// Not thread-safe; only one thread runs simulation code at a time. There are no locks, so the
// writer works in a child after fork(); call flush() before forking, or both processes would
// write the bytes buffered at that moment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime_heap.h"

namespace simtrace {

// Starts writing to an open file descriptor, which stays owned by the caller (it is not closed).
// -1 turns tracing off. Bytes buffered for a previous descriptor are flushed to it first.
void open(int fd);
bool enabled();

// Source of "t" in nanoseconds (written divided by 1000). Without one, "t" is 0.
void setClock(uint64_t (*nowNs)());

// Writes out the buffered lines, retrying interrupted and partial writes. After a write fails for
// any other reason tracing turns itself off and error() tells why.
void flush();

// errno of the write that turned tracing off; 0 if none failed since the last open().
int error();

class Event {
 public:
  explicit Event(const char* ev);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // A JSON string. Quotes and backslashes are escaped, control characters are written as
  // \u00XX, and so is each byte that is not part of a valid UTF-8 sequence (console text in
  // CP850 still gives valid JSON, readable as Latin-1).
  Event& str(const char* key, std::string_view v) {
    if (active_) addStr(key, v);
    return *this;
  }
  Event& num(const char* key, int64_t v) {
    if (active_) addNum(key, v);
    return *this;
  }
  Event& unum(const char* key, uint64_t v) {
    if (active_) addUnum(key, v);
    return *this;
  }
  Event& boolean(const char* key, bool v) {
    if (active_) addRaw(key, v ? "true" : "false");
    return *this;
  }
  // A value that is JSON already, e.g. "[[255,0,1],[0,0,0]]"; written as it is ("null" if empty).
  Event& raw(const char* key, std::string_view json) {
    if (active_) addRaw(key, json.empty() ? "null" : json);
    return *this;
  }

 private:
  void addKey(const char* key);
  void addStr(const char* key, std::string_view v);
  void addNum(const char* key, int64_t v);
  void addUnum(const char* key, uint64_t v);
  void addRaw(const char* key, std::string_view json);

  // Each event collects its line on its own and hands it over when complete, so an event built
  // while another one is still being built (say, inside an argument) cannot split its line.
  // The trace's own memory is the simulator's, not the firmware's runtime heap.
  simruntime::HostScope host_;
  bool active_;
  std::string line_;
};

// Appends v to out as the contents of a JSON string (without the surrounding quotes), escaped as
// described at Event::str.
void appendJsonString(std::string& out, std::string_view v);

}  // namespace simtrace

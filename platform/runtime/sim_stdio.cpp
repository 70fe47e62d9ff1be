#include "sim_stdio.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <streambuf>

// Provided by the application (the console driver); a board without one writes to fd 1.
extern "C" int _write(int file, char* ptr, int len) __attribute__((weak));

namespace {

std::function<void(const char*, size_t)>& observer() {
  static std::function<void(const char*, size_t)> o;
  return o;
}

int writeOut(const char* data, size_t size) {
  if (observer()) observer()(data, size);
  if (_write != nullptr) return _write(1, const_cast<char*>(data), static_cast<int>(size));
  return static_cast<int>(::write(1, data, size));
}

ssize_t cookieWrite(void*, const char* buf, size_t size) {
  const int n = writeOut(buf, size);
  return n < 0 ? 0 : n;
}

class FirmwareStreamBuf : public std::streambuf {
 protected:
  int_type overflow(int_type ch) override {
    if (ch == traits_type::eof()) return traits_type::not_eof(ch);
    const char c = static_cast<char>(ch);
    writeOut(&c, 1);
    return ch;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    writeOut(s, static_cast<size_t>(n));
    return n;
  }
};

}  // namespace

namespace simruntime {

void observeFirmwareOutput(std::function<void(const char* data, size_t size)> observer_) {
  observer() = std::move(observer_);
}

void routeStdoutToFirmware() {
  cookie_io_functions_t io = {nullptr, cookieWrite, nullptr, nullptr};
  FILE* f = fopencookie(nullptr, "w", io);
  if (f == nullptr) return;
  setvbuf(f, nullptr, _IONBF, 0);
  // No host lock around the stream: a task can be pre-empted inside printf (the console's
  // busy wait) by another task that prints, which would wait for the lock for ever while
  // holding the processor. The board runs one task at a time, as the device's C library
  // without stream locks does.
  __fsetlocking(f, FSETLOCKING_BYCALLER);
  stdout = f;
  static FirmwareStreamBuf buf;
  std::cout.rdbuf(&buf);
}

}  // namespace simruntime

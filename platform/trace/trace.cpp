#include "trace.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace simtrace {
namespace {

constexpr size_t kBufferSize = 64 * 1024;

// Plain globals without constructors: nothing to initialise in order, nothing to lock.
int gFd = -1;
int gError = 0;
uint64_t (*gClock)() = nullptr;
char gBuffer[kBufferSize];
size_t gUsed = 0;

// Writes all of [data, data + size) to gFd; on a hard error turns tracing off.
void writeAll(const char* data, size_t size) {
  while (size > 0 && gFd >= 0) {
    const ssize_t n = ::write(gFd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      gError = n < 0 ? errno : EIO;
      gFd = -1;
    }
  }
}

void append(const char* data, size_t size) {
  if (gUsed + size > kBufferSize) flush();
  if (gFd < 0) return;
  if (size > kBufferSize) {
    writeAll(data, size);  // larger than the whole buffer: straight through
    return;
  }
  std::memcpy(gBuffer + gUsed, data, size);
  gUsed += size;
}

// Length of the valid UTF-8 sequence starting at s[0], or 0 if there is none there
// (overlong forms, surrogates and code points above U+10FFFF are not valid).
size_t utf8Length(const unsigned char* s, size_t avail) {
  const unsigned char c = s[0];
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // UTF-16 surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;  // overlong
    if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (avail < len) return 0;
  if (s[1] < lo || s[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i) {
    if (s[i] < 0x80 || s[i] > 0xBF) return 0;
  }
  return len;
}

}  // namespace

void open(int fd) {
  flush();
  gFd = fd < 0 ? -1 : fd;
  gError = 0;
  gUsed = 0;
}

bool enabled() { return gFd >= 0; }

void setClock(uint64_t (*nowNs)()) { gClock = nowNs; }

void flush() {
  if (gUsed > 0) writeAll(gBuffer, gUsed);
  gUsed = 0;
}

int error() { return gError; }

void appendJsonString(std::string& out, std::string_view v) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto* s = reinterpret_cast<const unsigned char*>(v.data());
  const size_t n = v.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      // Copy the run of plain characters in one go.
      size_t j = i + 1;
      while (j < n && s[j] >= 0x20 && s[j] < 0x7F && s[j] != '"' && s[j] != '\\') ++j;
      out.append(v.data() + i, j - i);
      i = j;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c >= 0x80) {
      const size_t len = utf8Length(s + i, n - i);
      if (len > 0) {
        out.append(v.data() + i, len);
        i += len;
      } else {
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
        ++i;
      }
    } else {  // control characters, and DEL
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
      ++i;
    }
  }
}

Event::Event(const char* ev) : active_(gFd >= 0) {
  if (!active_) return;
  line_.reserve(128);
  line_ = "{\"t\":";
  const uint64_t t = gClock ? gClock() / 1000 : 0;
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, t);
  line_.append(digits, r.ptr);
  line_ += ",\"ev\":\"";
  appendJsonString(line_, ev ? ev : "");
  line_ += '"';
}

Event::~Event() {
  if (!active_ || gFd < 0) return;
  line_ += "}\n";
  append(line_.data(), line_.size());
}

void Event::addKey(const char* key) {
  line_ += ",\"";
  appendJsonString(line_, key ? key : "");
  line_ += "\":";
}

void Event::addStr(const char* key, std::string_view v) {
  addKey(key);
  line_ += '"';
  appendJsonString(line_, v);
  line_ += '"';
}

void Event::addNum(const char* key, int64_t v) {
  addKey(key);
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, v);
  line_.append(digits, r.ptr);
}

void Event::addUnum(const char* key, uint64_t v) {
  addKey(key);
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, v);
  line_.append(digits, r.ptr);
}

void Event::addRaw(const char* key, std::string_view json) {
  addKey(key);
  line_.append(json.data(), json.size());
}

}  // namespace simtrace

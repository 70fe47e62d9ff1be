// The stick identity file beside an image (IMAGE.usb: "vid 0x0781", "pid 0x5567",
// "serial \"TEXT\"", '#' comments). Input: the file's text. Whatever it holds, it is either
// taken whole or refused with the number of a line that exists and a reason; no line longer
// than the limit is ever taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "stick.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  simusb::Identity id;
  id.serial.clear();  // what a serial line gives, if any
  std::string reason;
  const bool ok = simusb::parseIdentity(text, "id.usb", &id, &reason);
  size_t lines = 0, longest = 0, length = 0;
  for (char c : text) {
    if (c == '\n') {
      ++lines;
      length = 0;
    } else {
      longest = ++length > longest ? length : longest;
    }
  }
  if (length > 0) ++lines;
  if (ok) {
    check(reason.empty());
    check(longest <= simusb::kMaxIdentityLine + 1);  // a '\r' before the line end is allowed
    check(id.serial.size() <= size);
  } else {
    check(reason.rfind("id.usb:", 0) == 0);
    const size_t line = std::stoul(reason.substr(7));
    check(line >= 1 && line <= lines);
  }
  return 0;
}

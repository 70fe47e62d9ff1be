// Fuzz target: the name rules of the media lists over arbitrary names from a stick. The
// extension must lie inside the name (or be the empty string), and the order must be a strict
// weak order that agrees with the three-way comparison, whatever bytes the names hold.
//
// Input: up to three names separated by '/' (a byte no long name contains).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fileNames.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

int sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string names[3];
  int n = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '/' && n < 2) {
      ++n;
    } else if (data[i] != 0) {  // names end at their terminator
      names[n] += static_cast<char>(data[i]);
    }
  }
  for (const std::string& name : names) {
    const char* ext = get_filename_ext(name.c_str());
    const bool inside = ext >= name.c_str() && ext <= name.c_str() + name.size();
    check(inside || *ext == '\0');
    if (inside && *ext != '\0') check(ext > name.c_str() + 1 && ext[-1] == '.');
    check(std::strchr(ext, '.') == nullptr);
    check(!nameSortsBefore(name, name));
    check(strcicmp(name.c_str(), name.c_str()) == 0);
  }
  const std::string &a = names[0], &b = names[1], &c = names[2];
  const bool ab = nameSortsBefore(a, b), ba = nameSortsBefore(b, a);
  check(!(ab && ba));
  check(ab == (strcicmp(a.c_str(), b.c_str()) < 0));
  check(sign(strcicmp(a.c_str(), b.c_str())) == -sign(strcicmp(b.c_str(), a.c_str())));
  // Transitivity, and of equivalence (neither before the other).
  if (ab && nameSortsBefore(b, c)) check(nameSortsBefore(a, c));
  if (!ab && !ba) {
    check(nameSortsBefore(a, c) == nameSortsBefore(b, c));
    check(nameSortsBefore(c, a) == nameSortsBefore(c, b));
  }
  return 0;
}

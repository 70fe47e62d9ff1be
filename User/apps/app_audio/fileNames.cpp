#include "fileNames.h"

#include <cstring>

namespace {

// Lower case for A-Z only, as tolower does in the "C" locale the firmware runs in.
inline int fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

}  // namespace

int strcicmp(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int d = fold(static_cast<unsigned char>(*a)) - fold(static_cast<unsigned char>(*b));
    // A byte of a past b's end differs from b's NUL, so b is never read beyond its end.
    if (d != 0 || *a == '\0') return d;
  }
}

const char* get_filename_ext(const char* filename) {
  if (filename == nullptr) return "";
  const char* dot = std::strrchr(filename, '.');
  if (dot == nullptr || dot == filename) return "";
  return dot + 1;
}

bool nameSortsBefore(const std::string& a, const std::string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = fold(static_cast<unsigned char>(a[i]));
    const int cb = fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool isNeverListed(const std::string& name) {
  return name.compare("Android") == 0 || name.compare("LOST.DIR") == 0;
}

bool isAudioFile(const char* filename) { return strcicmp("mp3", get_filename_ext(filename)) == 0; }

bool isPictureName(const char* filename) {
  if (filename == nullptr) return false;
  const std::size_t n = std::strlen(filename);
  return n >= 4 && strcicmp(filename + n - 4, ".bmp") == 0;
}

#include "images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

namespace testimg {
namespace {

int sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

void make(const std::string& image, const std::vector<File>& files, int megabytes,
          const std::string& mkfsArgs) {
  std::remove(image.c_str());
  ASSERT_EQ(
      sh("mkfs.fat -C " + mkfsArgs + " " + quote(image) + " " + std::to_string(megabytes * 1024)),
      0)
      << "mkfs.fat failed for " << image;
  std::set<std::string> folders;
  const std::string tmp = image + ".content";
  for (const File& f : files) {
    for (size_t slash = f.path.find('/'); slash != std::string::npos;
         slash = f.path.find('/', slash + 1)) {
      const std::string folder = f.path.substr(0, slash);
      if (folders.insert(folder).second) {
        ASSERT_EQ(sh("mmd -i " + quote(image) + " " + quote("::/" + folder)), 0) << folder;
      }
    }
    std::ofstream(tmp, std::ios::binary) << f.content;
    ASSERT_EQ(sh("mcopy -i " + quote(image) + " " + quote(tmp) + " " + quote("::/" + f.path)), 0)
        << f.path;
  }
  std::remove(tmp.c_str());
}

std::string pattern(size_t length, unsigned seed) {
  std::string s(length, '\0');
  std::uint32_t x = seed * 2654435761U + 1;
  for (size_t i = 0; i < length; ++i) {
    x = x * 1664525U + 1013904223U;
    s[i] = static_cast<char>(x >> 24);
  }
  return s;
}

}  // namespace testimg

#include "images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "process.h"

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

std::string mkstick(const std::string& manifest, const std::vector<std::string>& args,
                    const std::vector<File>& files) {
  const std::string dir = proc::tempDir();
  for (const File& f : files) proc::writeFile(dir + "/" + f.path, f.content);
  proc::writeFile(dir + "/stick.txt", manifest);
  std::vector<std::string> argv = {SHAPEPLAY_MKSTICK, "--manifest", dir + "/stick.txt", "--out",
                                   dir + "/stick.img"};
  argv.insert(argv.end(), args.begin(), args.end());
  const proc::Output o = proc::run(argv);
  EXPECT_EQ(o.status, 0) << o.err;
  return dir + "/stick.img";
}

std::string tone(double seconds, int hz, int rate, int channels, int kbps) {
  const std::string dir = proc::tempDir();
  const std::string cmd = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                          " -b 16 " + dir + "/t.wav synth " + std::to_string(seconds) + " sine " +
                          std::to_string(hz) + " && lame --quiet -b " + std::to_string(kbps) + " " +
                          dir + "/t.wav " + dir + "/t.mp3";
  EXPECT_EQ(sh(cmd), 0) << cmd;
  return dir + "/t.mp3";
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

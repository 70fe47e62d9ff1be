// Sticks for tests: FAT images made with the Debian tools (mkfs.fat, mtools) as an outside
// check of our own reader, images of our builder, and tracks made by sox and lame.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testimg {

struct File {
  std::string path;     // inside the image, '/' separated; folders are made as needed
  std::string content;  // bytes
};

// Makes a FAT image of `megabytes` with the given files (in this order) at `image`; extra
// arguments go to mkfs.fat (e.g. "-F 32 -S 4096"). Fails the calling test on errors.
void make(const std::string& image, const std::vector<File>& files, int megabytes = 4,
          const std::string& mkfsArgs = "");

// An image of shapeplay-mkstick from `manifest`, in a fresh folder where `files` are written
// first (their paths relative to it); `args` go to the builder. Fails the calling test when
// the builder does.
std::string mkstick(const std::string& manifest, const std::vector<std::string>& args = {},
                    const std::vector<File>& files = {});

// An MP3 of a sine tone at `hz`, `seconds` long, of `channels` at `rate` Hz and `kbps`.
std::string tone(double seconds, int hz, int rate = 44100, int channels = 2, int kbps = 128);

// Deterministic bytes of a given length, different for every seed.
std::string pattern(size_t length, unsigned seed);

}  // namespace testimg

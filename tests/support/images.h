// FAT images for tests, made with the Debian tools (mkfs.fat, mtools) as an outside check
// of our own reader.
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

// Deterministic bytes of a given length, different for every seed.
std::string pattern(size_t length, unsigned seed);

}  // namespace testimg

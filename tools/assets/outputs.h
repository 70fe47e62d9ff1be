// The files a tool run produces, written all together at its end: each goes to a temporary
// file beside its place and is renamed over it only when every one was written, so a run
// that fails leaves no file behind, half-written or not.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace assets {

class OutputFiles {
 public:
  void add(std::string path, std::string content) {
    files_.emplace_back(std::move(path), std::move(content));
  }
  void add(std::string path, const std::vector<std::uint8_t>& content) {
    files_.emplace_back(std::move(path), std::string(content.begin(), content.end()));
  }
  // Makes the folders and writes every file. Returns "" or the first failure, in which case
  // no file was put in place.
  std::string commit() const;

 private:
  std::vector<std::pair<std::string, std::string>> files_;
};

}  // namespace assets

#include "sram_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "runtime_heap.h"
#include "sram.h"

namespace simrun {
namespace {

using simsram::kSize;

std::string describe(const std::string& path, const char* what) {
  return path + ": " + what + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
}

bool writeWhole(const std::string& path, const std::uint8_t* data, std::string& error) {
  const std::string tmp = path + ".tmp" + std::to_string(::getpid());
  errno = 0;
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    error = describe(path, "cannot write the SRAM file");
    return false;
  }
  bool ok = std::fwrite(data, 1, kSize, f) == kSize;
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(::fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    error = describe(path, "cannot write the SRAM file");
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

// Reads the whole file into `out` after checking its size.
bool readWhole(const std::string& path, std::uint8_t* out, std::string& error) {
  errno = 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = describe(path, "cannot read the SRAM file");
    return false;
  }
  errno = 0;
  if (!S_ISREG(st.st_mode)) {
    error = describe(path, "the SRAM file is not a regular file");
    return false;
  }
  if (static_cast<std::size_t>(st.st_size) != kSize) {
    error =
        path + ": the SRAM file must be exactly 131072 bytes, not " + std::to_string(st.st_size);
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = describe(path, "cannot read the SRAM file");
    return false;
  }
  const bool ok = std::fread(out, 1, kSize, f) == kSize;
  std::fclose(f);
  if (!ok) error = describe(path, "cannot read the SRAM file");
  return ok;
}

}  // namespace

bool prepareSramFile(const std::string& path, std::string& error) {
  errno = 0;
  if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) {
    std::vector<std::uint8_t> blank(kSize, simsram::kBlank);
    return writeWhole(path, blank.data(), error);
  }
  std::vector<std::uint8_t> content(kSize);
  if (!readWhole(path, content.data(), error)) return false;
  // The write-back goes through a temporary file beside it and a rename.
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  errno = 0;
  if (::access(path.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0) {
    error = describe(path, "cannot write the SRAM file");
    return false;
  }
  return true;
}

// Both run in the board's process, perhaps on a firmware thread: their memory is the
// simulator's.
bool loadSramFile(const std::string& path, std::string& error) {
  simruntime::HostScope host;
  std::vector<std::uint8_t> content(kSize);
  if (!readWhole(path, content.data(), error)) return false;
  simsram::write(0, content.data(), kSize);
  return true;
}

bool saveSramFile(const std::string& path, std::string& error) {
  simruntime::HostScope host;
  std::vector<std::uint8_t> content(kSize);
  simsram::read(0, content.data(), kSize);
  return writeWhole(path, content.data(), error);
}

}  // namespace simrun

// Writing the tool's output files: temporary files first, renamed into place at the end.
#include "outputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace assets {

namespace {

std::string writeTemp(const std::string& path, const std::string& content, std::string* temp) {
  std::string name = path + ".tmp-XXXXXX";
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) return "cannot create " + path + ": " + std::strerror(errno);
  *temp = buf.data();
  // mkstemp makes the file private; give it the permissions a new file normally has.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string why = std::strerror(n < 0 ? errno : ENOSPC);
      close(fd);
      return "cannot write " + path + ": " += why;
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) return "cannot write " + path + ": " + std::strerror(errno);
  return "";
}

}  // namespace

std::string OutputFiles::commit() const {
  std::vector<std::string> temps;
  std::string error;
  for (const auto& [path, content] : files_) {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    if (ec) {
      error = "cannot make folder " + parent.string() + ": " + ec.message();
      break;
    }
    std::string temp;
    error = writeTemp(path, content, &temp);
    if (!temp.empty()) temps.push_back(temp);
    if (!error.empty()) break;
  }
  if (error.empty()) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (std::rename(temps[i].c_str(), files_[i].first.c_str()) != 0) {
        error = "cannot write " + files_[i].first + ": " + std::strerror(errno);
        for (std::size_t j = i; j < temps.size(); ++j) unlink(temps[j].c_str());
        return error;
      }
    }
    return "";
  }
  for (const std::string& temp : temps) unlink(temp.c_str());
  return error;
}

}  // namespace assets

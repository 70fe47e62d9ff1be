#include "source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace mkstick {
namespace {

namespace fs = std::filesystem;

// Checks that `path` is a file we can read and FAT can hold; notes its size.
std::string checkSourceFile(const fs::path& path, std::uint64_t* size) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) {
    return "cannot read " + path.string() + ": " +
           (ec ? ec.message() : std::string(std::strerror(ENOENT)));
  }
  if (fs::is_directory(st)) return path.string() + " is a folder, not a file";
  if (!fs::is_regular_file(st)) return path.string() + " is not a regular file";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "cannot read " + path.string() + ": " + std::strerror(errno);
  close(fd);
  *size = fs::file_size(path, ec);
  if (ec) return "cannot read " + path.string() + ": " + ec.message();
  if (*size > MAX_FILE_SIZE) {
    return path.string() + " is larger than a FAT file can be (4 GiB - 1)";
  }
  return "";
}

std::string scanInto(const fs::path& dir, int node, Tree* tree, std::vector<fs::path>* chain) {
  std::error_code ec;
  std::vector<std::pair<std::string, fs::path>> entries;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    entries.emplace_back(it->path().filename().string(), it->path());
  }
  if (ec) return "cannot read the folder " + dir.string() + ": " + ec.message();
  // A copy tool's order is arbitrary; name order (by bytes) is at least reproducible.
  std::sort(entries.begin(), entries.end());

  for (const auto& [name, path] : entries) {
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) {
      if (fs::is_symlink(fs::symlink_status(path))) return path.string() + " is a broken link";
      return "cannot read " + path.string() + ": " + ec.message();
    }
    std::string error;
    if (fs::is_directory(st)) {
      const fs::path real = fs::canonical(path, ec);
      if (ec) return "cannot read " + path.string() + ": " + ec.message();
      if (std::find(chain->begin(), chain->end(), real) != chain->end()) {
        return path.string() + " leads back into a folder above it (a link loop)";
      }
      const int child = tree->addChild(node, name, true, 0, Content{}, 0, &error);
      if (child < 0) return path.string() + ": " + error;
      chain->push_back(real);
      if (std::string e = scanInto(path, child, tree, chain); !e.empty()) return e;
      chain->pop_back();
    } else if (fs::is_regular_file(st)) {
      Content content;
      content.kind = Content::Kind::Source;
      content.source = path.string();
      if (std::string e = checkSourceFile(path, &content.size); !e.empty()) return e;
      if (tree->addChild(node, name, false, 0, std::move(content), 0, &error) < 0) {
        return path.string() + ": " + error;
      }
    } else {
      return path.string() + " is neither a file nor a folder";
    }
  }
  return "";
}

}  // namespace

std::string scanFolder(const std::string& dir, Tree* tree) {
  std::error_code ec;
  const fs::file_status st = fs::status(dir, ec);
  if (ec || !fs::exists(st)) {
    return "cannot read the folder " + dir + ": " +
           (ec ? ec.message() : std::string(std::strerror(ENOENT)));
  }
  if (!fs::is_directory(st)) return dir + " is not a folder";
  std::vector<fs::path> chain{fs::canonical(dir, ec)};
  return scanInto(dir, 0, tree, &chain);
}

std::string resolveSources(Tree* tree, const std::string& baseDir, int* line) {
  for (Node& n : tree->nodes()) {
    if (n.content.kind != Content::Kind::Source) continue;
    fs::path p(n.content.source);
    if (p.is_relative() && !baseDir.empty()) p = fs::path(baseDir) / p;
    n.content.source = p.string();
    if (std::string e = checkSourceFile(p, &n.content.size); !e.empty()) {
      *line = n.line;
      return e;
    }
  }
  return "";
}

bool isInside(const std::string& path, const std::string& dir) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(path, ec);
  if (ec) return false;
  const fs::path d = fs::weakly_canonical(dir, ec);
  if (ec) return false;
  auto pi = p.begin();
  for (auto di = d.begin(); di != d.end(); ++di, ++pi) {
    if (di->empty()) continue;  // a trailing separator
    if (pi == p.end() || *pi != *di) return false;
  }
  return true;
}

std::string scanFolderFor(const std::string& dir, const std::string& out, Tree* tree) {
  if (isInside(out, dir)) {
    return "the image " + out + " would be inside the folder " + dir +
           " that is copied; write it " + "elsewhere";
  }
  return scanFolder(dir, tree);
}

}  // namespace mkstick

// The folders and files that go onto a stick, in the order they appear in each folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mkstick {

// Where a file's bytes come from.
struct Content {
  enum class Kind { Empty, Source, Filler, Text };
  Kind kind = Kind::Empty;
  std::string source;      // Source: a host file (as written; the caller resolves it)
  std::uint64_t size = 0;  // Source: its size once looked at; Filler: the size asked for
  std::string text;        // Text: the bytes themselves
  std::uint64_t bytes() const;
};

// The largest file FAT can hold.
constexpr std::uint64_t MAX_FILE_SIZE = 0xFFFFFFFFu;

struct Node {
  std::string name;  // UTF-8, as the long name
  std::u32string wide;
  bool isDir = false;
  std::uint8_t attributes = 0;  // ATTR_READONLY / ATTR_HIDDEN / ATTR_SYSTEM
  int parent = -1;
  std::vector<int> children;            // in folder order
  std::map<std::u32string, int> byKey;  // children by foldKey(name)
  Content content;
  int line = 0;           // manifest line that listed it (or made it, when implicit)
  bool implicit = false;  // a folder made because a later path went through it
};

class Tree {
 public:
  Tree();
  const std::vector<Node>& nodes() const { return nodes_; }
  std::vector<Node>& nodes() { return nodes_; }
  std::size_t folderCount() const;
  std::size_t fileCount() const;

  // Adds `name` to folder `dir`. Returns the new node, or -1 with the reason in `error`.
  int addChild(int dir, std::string_view name, bool isDir, std::uint8_t attributes, Content content,
               int line, std::string* error);
  // Adds the entry at `path` (names from the root), making missing folders on the way in
  // the order they are first mentioned. Returns "" or the reason it cannot.
  std::string add(const std::vector<std::string>& path, bool isDir, std::uint8_t attributes,
                  Content content, int line);

  // "Tiere/Hund/b.mp3": the path on the stick, without a leading '/'.
  std::string path(int node) const;

 private:
  std::vector<Node> nodes_;
};

// The filler content of `size=N` manifest entries: bytes of a xorshift32 sequence seeded by
// the FNV-1a hash of the file's path on the stick, so that every file (and every cluster of
// it) differs and tests can recompute it.
class Filler {
 public:
  explicit Filler(std::string_view stickPath);
  void fill(std::uint8_t* out, std::size_t n);

 private:
  std::uint32_t state_;
};
std::string fillerContent(std::string_view stickPath, std::size_t size);

}  // namespace mkstick

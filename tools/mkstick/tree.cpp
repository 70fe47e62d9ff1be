#include "tree.h"

#include <vector>

#include "names.h"

namespace mkstick {

std::uint64_t Content::bytes() const {
  switch (kind) {
    case Kind::Empty: return 0;
    case Kind::Source:
    case Kind::Filler: return size;
    case Kind::Text: return text.size();
  }
  return 0;
}

Tree::Tree() {
  Node root;
  root.isDir = true;
  nodes_.push_back(std::move(root));
}

std::size_t Tree::folderCount() const {
  std::size_t n = 0;
  for (std::size_t i = 1; i < nodes_.size(); ++i) n += nodes_[i].isDir ? 1 : 0;
  return n;
}

std::size_t Tree::fileCount() const { return nodes_.size() - 1 - folderCount(); }

int Tree::addChild(int dir, std::string_view name, bool isDir, std::uint8_t attributes,
                   Content content, int line, std::string* error) {
  if (std::string why = checkLongName(name); !why.empty()) {
    *error = quoted(name) + ": " + why;
    return -1;
  }
  Node n;
  n.name = std::string(name);
  decodeUtf8(name, &n.wide);
  const std::u32string key = foldKey(n.wide);
  if (auto it = nodes_[dir].byKey.find(key); it != nodes_[dir].byKey.end()) {
    const Node& other = nodes_[it->second];
    const std::string where = dir == 0 ? "the root folder" : quoted(path(dir));
    std::string text = quoted(name) + " is already in " + where;
    if (other.name != n.name) text += " as " + quoted(other.name) + " (names ignore case on FAT)";
    if (other.line > 0) {
      text += other.implicit ? ", made for line " : ", listed on line ";
      text += std::to_string(other.line);
      if (other.implicit && isDir) text += " (list a folder before its contents)";
    }
    *error = text;
    return -1;
  }
  n.isDir = isDir;
  n.attributes = attributes;
  n.parent = dir;
  n.content = std::move(content);
  n.line = line;
  const int index = static_cast<int>(nodes_.size());
  nodes_[dir].byKey.emplace(key, index);
  nodes_[dir].children.push_back(index);
  nodes_.push_back(std::move(n));
  return index;
}

std::string Tree::add(const std::vector<std::string>& path, bool isDir, std::uint8_t attributes,
                      Content content, int line) {
  int dir = 0;
  std::string error;
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    if (std::string why = checkLongName(path[i]); !why.empty()) {
      return quoted(path[i]) + ": " + why;
    }
    std::u32string wide;
    decodeUtf8(path[i], &wide);
    auto it = nodes_[dir].byKey.find(foldKey(wide));
    if (it == nodes_[dir].byKey.end()) {
      const int made = addChild(dir, path[i], true, 0, Content{}, line, &error);
      if (made < 0) return error;
      nodes_[made].implicit = true;
      dir = made;
      continue;
    }
    if (!nodes_[it->second].isDir) {
      return quoted(this->path(it->second)) + " is a file, not a folder";
    }
    dir = it->second;
  }
  if (path.empty()) return "empty path";
  return addChild(dir, path.back(), isDir, attributes, std::move(content), line, &error) < 0 ? error
                                                                                             : "";
}

std::string Tree::path(int node) const {
  std::vector<const std::string*> names;
  for (int i = node; i > 0; i = nodes_[i].parent) names.push_back(&nodes_[i].name);
  std::string p;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!p.empty()) p += '/';
    p += **it;
  }
  return p;
}

Filler::Filler(std::string_view stickPath) {
  std::uint32_t h = 2166136261u;
  for (char c : stickPath) h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
  state_ = h == 0 ? 1 : h;
}

void Filler::fill(std::uint8_t* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    out[i] = static_cast<std::uint8_t>(state_ >> 24);
  }
}

std::string fillerContent(std::string_view stickPath, std::size_t size) {
  std::string s(size, '\0');
  Filler(stickPath).fill(reinterpret_cast<std::uint8_t*>(s.data()), size);
  return s;
}

}  // namespace mkstick

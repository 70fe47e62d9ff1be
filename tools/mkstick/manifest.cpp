#include "manifest.h"

#include <cstdio>
#include <vector>

#include "names.h"

namespace mkstick {
namespace {

struct Token {
  std::string key;  // before '=' ("" for a plain word or a quoted string)
  std::string value;
  bool hasKey = false;
  bool quoted = false;
};

bool isSpace(char c) { return c == ' ' || c == '\t'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after the closing quote.
bool readQuoted(std::string_view line, std::size_t& pos, std::string* out, std::string* error) {
  ++pos;
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (pos >= line.size()) break;
    const char e = line[pos++];
    switch (e) {
      case '"': out->push_back('"'); break;
      case '\\': out->push_back('\\'); break;
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case 'x': {
        const int hi = pos < line.size() ? hexValue(line[pos]) : -1;
        const int lo = pos + 1 < line.size() ? hexValue(line[pos + 1]) : -1;
        if (hi < 0 || lo < 0) {
          *error = "\\x needs two hex digits";
          return false;
        }
        out->push_back(static_cast<char>(hi * 16 + lo));
        pos += 2;
        break;
      }
      default: {
        char text[64];
        const auto b = static_cast<unsigned char>(e);
        if (b > 0x20 && b < 0x7F) {
          std::snprintf(text, sizeof text, "unknown escape \\%c", e);
        } else {
          std::snprintf(text, sizeof text, "unknown escape: \\ then byte 0x%02X", b);
        }
        *error = text;
        return false;
      }
    }
  }
  *error = "quoted text is not closed on its line";
  return false;
}

bool stopsBare(char c) { return isSpace(c) || c == '"' || c == '#' || c == '='; }

bool tokenize(std::string_view line, std::vector<Token>* tokens, std::string* error) {
  std::size_t pos = 0;
  for (;;) {
    while (pos < line.size() && isSpace(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] == '#') return true;
    Token t;
    if (line[pos] == '"') {
      t.quoted = true;
      if (!readQuoted(line, pos, &t.value, error)) return false;
    } else {
      const std::size_t start = pos;
      while (pos < line.size() && !stopsBare(line[pos])) ++pos;
      std::string word(line.substr(start, pos - start));
      if (pos < line.size() && line[pos] == '=') {
        if (word.empty()) {
          *error = "'=' without a name before it";
          return false;
        }
        t.key = word;
        t.hasKey = true;
        ++pos;
        if (pos < line.size() && line[pos] == '"') {
          t.quoted = true;
          if (!readQuoted(line, pos, &t.value, error)) return false;
        } else {
          const std::size_t vstart = pos;
          while (pos < line.size() && !stopsBare(line[pos])) ++pos;
          t.value = std::string(line.substr(vstart, pos - vstart));
          if (pos < line.size() && (line[pos] == '"' || line[pos] == '=')) {
            *error =
                "unexpected '" + std::string(1, line[pos]) + "' in the value of " + quoted(word);
            return false;
          }
        }
      } else {
        if (pos < line.size() && line[pos] == '"') {
          *error = "a quote must start a word (or follow '=')";
          return false;
        }
        t.value = word;
      }
    }
    if (pos < line.size() && !isSpace(line[pos]) && line[pos] != '#') {
      *error =
          "expected a space after " + (t.quoted ? std::string("the quoted text") : quoted(t.value));
      return false;
    }
    tokens->push_back(std::move(t));
  }
}

bool splitPath(const std::string& path, std::vector<std::string>* names, std::string* error) {
  std::string_view rest(path);
  if (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
  if (rest.empty()) {
    *error = "empty path";
    return false;
  }
  for (;;) {
    const std::size_t slash = rest.find('/');
    const std::string_view name = rest.substr(0, slash);
    if (name.empty()) {
      *error = "path " + quoted(path) + " has an empty name (\"//\" or a '/' at the end)";
      return false;
    }
    if (std::string why = checkLongName(name); !why.empty()) {
      *error =
          quoted(name) + (name.size() == path.size() ? "" : " in " + quoted(path)) + ": " + why;
      return false;
    }
    names->emplace_back(name);
    if (slash == std::string_view::npos) return true;
    rest.remove_prefix(slash + 1);
  }
}

// One entry line after its words are read; returns "" or the reason.
std::string parseEntry(const std::vector<Token>& tokens, int line, Tree* tree) {
  const Token& kind = tokens[0];
  if (kind.hasKey || kind.quoted || (kind.value != "dir" && kind.value != "file")) {
    return "expected \"dir\" or \"file\" at the start of the line, found " +
           quoted((kind.hasKey ? kind.key + "=" : "") + kind.value);
  }
  const bool isDir = kind.value == "dir";
  if (tokens.size() < 2 || tokens[1].hasKey) return kind.value + " needs a path";
  std::vector<std::string> names;
  std::string error;
  if (!splitPath(tokens[1].value, &names, &error)) return error;

  std::uint8_t attributes = 0;
  Content content;
  bool haveContent = false;
  for (std::size_t i = 2; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (!t.hasKey) {
      std::uint8_t bit = 0;
      if (!t.quoted && t.value == "hidden") bit = ATTR_HIDDEN;
      if (!t.quoted && t.value == "system") bit = ATTR_SYSTEM;
      if (!t.quoted && t.value == "readonly") bit = ATTR_READONLY;
      if (bit == 0) {
        return "unknown attribute " + quoted(t.value) + " (attributes: hidden, system, readonly)";
      }
      if (attributes & bit) return "attribute " + t.value + " given twice";
      attributes |= bit;
      continue;
    }
    if (isDir) return "a folder takes no " + quoted(t.key + "=") + " (only attributes)";
    if (t.key != "src" && t.key != "size" && t.key != "text") {
      return "unknown option " + quoted(t.key + "=") + " (options: src=, size=, text=)";
    }
    if (haveContent) return "a file takes one of src=, size= and text=";
    haveContent = true;
    if (t.key == "src") {
      if (t.value.empty()) return "src= needs a file name";
      content.kind = Content::Kind::Source;
      content.source = t.value;
    } else if (t.key == "size") {
      if (!parseSize(t.value, &content.size)) {
        return "size= needs a byte count such as 70000, 64K or 2M, not " + quoted(t.value);
      }
      if (content.size > MAX_FILE_SIZE) return "size= above 4 GiB - 1: FAT files are smaller";
      content.kind = Content::Kind::Filler;
    } else {
      content.kind = Content::Kind::Text;
      content.text = t.value;
    }
  }
  return tree->add(names, isDir, attributes, std::move(content), line);
}

}  // namespace

bool parseSize(std::string_view text, std::uint64_t* out) {
  std::size_t i = 0;
  std::uint64_t v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (v > (std::uint64_t{1} << 62)) return false;
    ++i;
  }
  if (i == 0) return false;
  const std::string_view unit = text.substr(i);
  int shift = 0;
  if (unit.empty()) {
    shift = 0;
  } else if (unit == "K" || unit == "k" || unit == "KiB") {
    shift = 10;
  } else if (unit == "M" || unit == "MiB") {
    shift = 20;
  } else if (unit == "G" || unit == "GiB") {
    shift = 30;
  } else {
    return false;
  }
  if (v > ((std::uint64_t{1} << 62) >> shift)) return false;
  *out = v << shift;
  return true;
}

bool parseManifest(std::string_view text, Tree* tree, ManifestError* error) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
  int lineNo = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    ++lineNo;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::vector<Token> tokens;
    std::string message;
    if (!tokenize(line, &tokens, &message)) {
      *error = {lineNo, message};
      return false;
    }
    if (tokens.empty()) continue;
    message = parseEntry(tokens, lineNo, tree);
    if (!message.empty()) {
      *error = {lineNo, message};
      return false;
    }
  }
  return true;
}

}  // namespace mkstick

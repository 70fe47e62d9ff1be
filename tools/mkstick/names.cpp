#include "names.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace mkstick {
namespace {

// Code page 850, bytes 0x80..0xFF.
constexpr char16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8
};

constexpr std::string_view kLongNameForbidden = "<>:\"/\\|?*";
constexpr std::string_view kShortNameSpecials = "!#$%&'()-@^_`{}~";
constexpr std::string_view kLabelForbidden = "\"*+,./:;<=>?[\\]|";

bool validShortByte(int b) {
  if (b >= 0x80) return true;
  if ((b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9')) return true;
  return b > 0 && kShortNameSpecials.find(static_cast<char>(b)) != std::string_view::npos;
}

// The short-name byte for one character: its upper case in code page 850, else the
// character itself when the page has it but not its upper case (like 'ÿ'); '_' otherwise.
std::uint8_t shortByte(char32_t c, bool* lossy) {
  int b = toCp850(toUpper(c));
  if (b < 0) b = toCp850(c);
  if (b < 0 || !validShortByte(b)) {
    *lossy = true;
    return '_';
  }
  return static_cast<std::uint8_t>(b);
}

using Bytes11 = std::array<std::uint8_t, 11>;

Bytes11 pack(const std::vector<std::uint8_t>& base, const std::vector<std::uint8_t>& ext) {
  Bytes11 out;
  out.fill(' ');
  std::copy_n(base.begin(), std::min<std::size_t>(base.size(), 8), out.begin());
  std::copy_n(ext.begin(), std::min<std::size_t>(ext.size(), 3), out.begin() + 8);
  if (out[0] == 0xE5) out[0] = 0x05;  // 0xE5 first would mark the entry deleted
  return out;
}

// What a reader shows for a short-name part, with the lower-case flag applied or not.
std::u32string readBack(const std::vector<std::uint8_t>& part, bool lower) {
  std::u32string s;
  for (std::uint8_t b : part) {
    char32_t c = fromCp850(b);
    if (lower && c >= 'A' && c <= 'Z') c += 0x20;
    s.push_back(c);
  }
  return s;
}

bool isAscii(std::u32string_view s) {
  return std::all_of(s.begin(), s.end(), [](char32_t c) { return c < 0x80; });
}

struct Analysis {
  bool fits = false;  // a valid 8.3 name after upper-casing, nothing lost
  std::vector<std::uint8_t> base, ext;
  std::uint8_t flags = 0;
  bool longEntries = true;
};

Analysis analyse(const std::u32string& name) {
  Analysis a;
  // The name as it would fit 8.3: one dot at most, not first, 1..8 + 0..3 characters.
  const std::size_t dot = name.rfind(U'.');
  const std::u32string base = name.substr(0, dot);
  const std::u32string ext = dot == std::u32string::npos ? U"" : name.substr(dot + 1);
  bool lossy = false;
  if (!base.empty() && base.size() <= 8 && ext.size() <= 3 &&
      (dot == std::u32string::npos || !ext.empty()) && base.find(U'.') == std::u32string::npos &&
      name.find(U' ') == std::u32string::npos) {
    std::vector<std::uint8_t> b, e;
    for (char32_t c : base) b.push_back(shortByte(c, &lossy));
    for (char32_t c : ext) e.push_back(shortByte(c, &lossy));
    if (!lossy) {
      a.fits = true;
      a.base = b;
      a.ext = e;
      a.longEntries = false;
      auto partFlag = [&](const std::u32string& orig, const std::vector<std::uint8_t>& part,
                          std::uint8_t flag) {
        if (readBack(part, false) == orig) return;
        if (isAscii(orig) && readBack(part, true) == orig) {
          a.flags |= flag;
          return;
        }
        a.longEntries = true;
      };
      partFlag(base, b, CASE_LOWER_BASE);
      partFlag(ext, e, CASE_LOWER_EXT);
      if (a.longEntries) a.flags = 0;
      return a;
    }
  }

  // The basis of a generated name: spaces dropped, leading dots dropped, the part after the
  // last dot is the extension, other dots dropped.
  std::vector<std::uint8_t> chars;  // '.' kept as a marker
  for (char32_t c : name) {
    if (c == U' ') continue;
    if (c == U'.') {
      if (!chars.empty()) chars.push_back('.');
      continue;
    }
    chars.push_back(shortByte(c, &lossy));
  }
  const auto lastDot = std::find(chars.rbegin(), chars.rend(), '.');
  const auto split = lastDot == chars.rend() ? chars.end() : lastDot.base() - 1;
  for (auto it = chars.begin(); it != split; ++it) {
    if (*it != '.' && a.base.size() < 8) a.base.push_back(*it);
  }
  if (split != chars.end()) {
    for (auto it = split + 1; it != chars.end() && a.ext.size() < 3; ++it) a.ext.push_back(*it);
  }
  if (a.base.empty()) a.base.push_back('_');
  return a;
}

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, static_cast<std::uint16_t>(v));
  put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

bool decodeUtf8(std::string_view text, std::u32string* out) {
  out->clear();
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<std::uint8_t>(text[i]);
    int extra;
    char32_t c, min;
    if (b0 < 0x80) {
      out->push_back(b0);
      ++i;
      continue;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<std::uint8_t>(text[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out->push_back(c);
    i += extra + 1;
  }
  return true;
}

std::string encodeUtf8(std::u32string_view text) {
  std::string s;
  for (char32_t c : text) {
    if (c < 0x80) {
      s.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      s.push_back(static_cast<char>(0xC0 | (c >> 6)));
      s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      s.push_back(static_cast<char>(0xE0 | (c >> 12)));
      s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      s.push_back(static_cast<char>(0xF0 | (c >> 18)));
      s.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return s;
}

std::u16string toUtf16(std::u32string_view text) {
  std::u16string s;
  for (char32_t c : text) {
    if (c < 0x10000) {
      s.push_back(static_cast<char16_t>(c));
    } else {
      const char32_t v = c - 0x10000;
      s.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      s.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
  }
  return s;
}

char32_t toUpper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xB5) return c;
  if (c == 0xB5) return 0x39C;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131) return c & ~char32_t{1};
  if (c == 0x131) return 'I';
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c : c - 1;
  if (c >= 0x14A && c <= 0x177) return c & ~char32_t{1};
  if (c == 0x17A || c == 0x17C || c == 0x17E) return c - 1;
  if (c == 0x17F) return 'S';
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3CB) return c - 0x20;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
  return c;
}

std::u32string foldKey(std::u32string_view name) {
  std::u32string key(name);
  for (char32_t& c : key) c = toUpper(c);
  return key;
}

int toCp850(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  for (int i = 0; i < 128; ++i) {
    if (kCp850High[i] == c) return 0x80 + i;
  }
  return -1;
}

char32_t fromCp850(std::uint8_t byte) { return byte < 0x80 ? byte : kCp850High[byte - 0x80]; }

std::string checkLongName(std::string_view utf8) {
  if (utf8.empty()) return "empty name";
  std::u32string name;
  if (!decodeUtf8(utf8, &name)) return "name is not valid UTF-8";
  if (name == U"." || name == U"..") return "the names \".\" and \"..\" are reserved";
  for (char32_t c : name) {
    if (c < 0x20 || c == 0x7F) {
      char text[64];
      std::snprintf(text, sizeof text, "name contains the control character U+%04X",
                    static_cast<unsigned>(c));
      return text;
    }
    if (c < 0x80 && kLongNameForbidden.find(static_cast<char>(c)) != std::string_view::npos) {
      return std::string("name contains the character '") + static_cast<char>(c) +
             "', which FAT names must not contain (< > : \" / \\ | ? *)";
    }
    if (c == 0xFFFE || c == 0xFFFF) return "name contains a non-character (U+FFFE or U+FFFF)";
  }
  if (name.back() == U'.' || name.back() == U' ') return "name must not end with a dot or a space";
  const std::size_t units = toUtf16(name).size();
  if (units > MAX_LONG_NAME) {
    return "name is " + std::to_string(units) + " UTF-16 units long; FAT names hold at most 255";
  }
  return "";
}

std::string makeLabel(std::string_view utf8, std::array<std::uint8_t, 11>* out) {
  out->fill(' ');
  std::u32string label;
  if (!decodeUtf8(utf8, &label)) return "label is not valid UTF-8";
  if (label.size() > 11) return "label has more than 11 characters";
  if (!label.empty() && label[0] == U' ') return "label must not start with a space";
  for (std::size_t i = 0; i < label.size(); ++i) {
    const char32_t c = label[i];
    int b = toCp850(toUpper(c));
    if (b < 0) b = toCp850(c);
    if (b < 0) {
      return "label character " + encodeUtf8(std::u32string(1, c)) + " is not in code page 850";
    }
    if (b < 0x20 || b == 0x7F ||
        (b < 0x80 && kLabelForbidden.find(static_cast<char>(b)) != std::string_view::npos)) {
      return std::string("label contains a character labels must not contain: ") +
             encodeUtf8(std::u32string(1, c));
    }
    (*out)[i] = static_cast<std::uint8_t>(b);
  }
  if ((*out)[0] == 0xE5) (*out)[0] = 0x05;
  return "";
}

std::string assignShortNames(const std::vector<std::u32string>& names,
                             std::vector<ShortName>* out) {
  out->assign(names.size(), ShortName{});
  std::vector<Analysis> analyses;
  analyses.reserve(names.size());
  for (const auto& n : names) analyses.push_back(analyse(n));

  // Names that fit 8.3 first claim their own short names, so that generated ones avoid them
  // whatever the order.
  std::set<Bytes11> used;
  std::vector<bool> needsTail(names.size(), false);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Analysis& a = analyses[i];
    if (!a.fits) {
      needsTail[i] = true;
      continue;
    }
    const Bytes11 bytes = pack(a.base, a.ext);
    if (!used.insert(bytes).second) {
      needsTail[i] = true;
      continue;
    }
    (*out)[i].bytes = bytes;
    (*out)[i].caseFlags = a.flags;
    (*out)[i].longEntries = a.longEntries;
  }

  // The rest get "~N" tails in entry order; a counter per basis keeps this linear.
  std::map<Bytes11, unsigned> nextTail;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!needsTail[i]) continue;
    const Analysis& a = analyses[i];
    const Bytes11 basis = pack(a.base, a.ext);
    unsigned& n = nextTail.emplace(basis, 1).first->second;
    for (;; ++n) {
      if (n > 999999) return "too many names in one folder share the short name basis";
      const std::string tail = "~" + std::to_string(n);
      std::vector<std::uint8_t> base(
          a.base.begin(),
          a.base.begin() + static_cast<std::ptrdiff_t>(std::min(a.base.size(), 8 - tail.size())));
      base.insert(base.end(), tail.begin(), tail.end());
      const Bytes11 bytes = pack(base, a.ext);
      if (used.insert(bytes).second) {
        (*out)[i].bytes = bytes;
        (*out)[i].caseFlags = 0;
        (*out)[i].longEntries = true;
        ++n;
        break;
      }
    }
  }
  return "";
}

std::uint8_t lfnChecksum(const std::array<std::uint8_t, 11>& shortName) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : shortName) {
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + b);
  }
  return sum;
}

std::size_t entrySlots(const std::u32string& name, const ShortName& sn) {
  if (!sn.longEntries) return 1;
  return (toUtf16(name).size() + 12) / 13 + 1;
}

void appendShortEntry(const std::array<std::uint8_t, 11>& name, std::uint8_t caseFlags,
                      const DirEntryData& data, std::vector<std::uint8_t>* out) {
  std::uint8_t e[DIR_ENTRY_SIZE] = {};
  std::copy(name.begin(), name.end(), e);
  e[11] = data.attributes;
  e[12] = caseFlags;
  put16(e + 14, FIXED_TIME);
  put16(e + 16, FIXED_DATE);
  put16(e + 18, FIXED_DATE);
  put16(e + 20, static_cast<std::uint16_t>(data.firstCluster >> 16));
  put16(e + 22, FIXED_TIME);
  put16(e + 24, FIXED_DATE);
  put16(e + 26, static_cast<std::uint16_t>(data.firstCluster));
  put32(e + 28, data.size);
  out->insert(out->end(), e, e + DIR_ENTRY_SIZE);
}

void appendEntries(const std::u32string& name, const ShortName& sn, const DirEntryData& data,
                   std::vector<std::uint8_t>* out) {
  if (sn.longEntries) {
    std::u16string units = toUtf16(name);
    const std::size_t parts = (units.size() + 12) / 13;
    if (units.size() % 13 != 0) units.push_back(0);
    units.resize(parts * 13, 0xFFFF);
    const std::uint8_t sum = lfnChecksum(sn.bytes);
    static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (std::size_t part = parts; part >= 1; --part) {
      std::uint8_t e[DIR_ENTRY_SIZE] = {};
      e[0] = static_cast<std::uint8_t>(part | (part == parts ? 0x40 : 0));
      e[11] = ATTR_LONG_NAME;
      e[13] = sum;
      for (int k = 0; k < 13; ++k) put16(e + kOffsets[k], units[(part - 1) * 13 + k]);
      out->insert(out->end(), e, e + DIR_ENTRY_SIZE);
    }
  }
  appendShortEntry(sn.bytes, sn.caseFlags, data, out);
}

std::string shortNameText(const std::array<std::uint8_t, 11>& bytes) {
  std::u32string s;
  for (int i = 0; i < 8 && bytes[i] != ' '; ++i) {
    s.push_back(fromCp850(i == 0 && bytes[i] == 0x05 ? 0xE5 : bytes[i]));
  }
  if (bytes[8] != ' ') {
    s.push_back(U'.');
    for (int i = 8; i < 11 && bytes[i] != ' '; ++i) s.push_back(fromCp850(bytes[i]));
  }
  return encodeUtf8(s);
}

std::string quoted(std::string_view text) {
  std::u32string wide;
  const bool utf8 = decodeUtf8(text, &wide);
  std::string out = "\"";
  for (char ch : text) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (b < 0x20 || b == 0x7F || (b >= 0x80 && !utf8)) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", b);
      out += esc;
    } else if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace mkstick

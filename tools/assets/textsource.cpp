// The text source's parser: one statement a line, words separated by blanks, quoted texts.
#include "textsource.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace assets {

namespace {

constexpr std::size_t kMaxTextLength = 4096;
constexpr std::size_t kMaxEntries = 1000;

bool isIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 64) return false;
  if (!std::isalpha(static_cast<unsigned char>(s[0])) && s[0] != '_') return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One line split into words; a quoted string is one word, kept decoded in `text`.
struct Word {
  std::string plain;
  std::u16string text;
  bool quoted = false;
};

// Decodes one UTF-8 character at s[*i]; returns -1 for a malformed sequence.
long decodeUtf8(std::string_view s, std::size_t* i) {
  const auto b0 = static_cast<unsigned char>(s[*i]);
  int extra = 0;
  long cp = 0;
  if (b0 < 0x80) {
    ++*i;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    return -1;
  }
  if (*i + extra >= s.size()) return -1;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[*i + k]);
    if ((b & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (b & 0x3F);
  }
  static const long kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  *i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

// Reads the quoted string that starts at line[*i] (the opening quote) into `text`.
std::string readQuoted(std::string_view line, std::size_t* i, std::u16string* text) {
  ++*i;
  while (*i < line.size()) {
    const char d = line[*i];
    if (d == '"') {
      ++*i;
      return "";
    }
    long cp = 0;
    if (d == '\\') {
      if (*i + 1 >= line.size()) return "unfinished escape";
      const char e = line[*i + 1];
      *i += 2;
      switch (e) {
        case 'n': cp = '\n'; break;
        case 't': cp = '\t'; break;
        case '"': cp = '"'; break;
        case '\\': cp = '\\'; break;
        case 'u':
          for (int k = 0; k < 4; ++k) {
            const int v = *i < line.size() ? hexValue(line[*i]) : -1;
            if (v < 0) return "\\u needs four hexadecimal digits";
            cp = cp * 16 + v;
            ++*i;
          }
          break;
        default: return std::string("unknown escape \\") + e;
      }
    } else {
      cp = decodeUtf8(line, i);
      if (cp < 0) return "text is not valid UTF-8";
    }
    if (cp == 0) return "a text cannot hold the character 0";
    if (cp > 0xFFFF) return "characters beyond U+FFFF are not supported";
    if (cp >= 0xD800 && cp <= 0xDFFF) return "a text cannot hold a lone surrogate";
    if (text->size() >= kMaxTextLength) return "text too long";
    text->push_back(static_cast<char16_t>(cp));
  }
  return "missing closing quote";
}

// Splits a line into words: plain words end at a blank; a quoted string is a word of its
// own, or the value of the plain word "key=" right before it.
std::string splitWords(std::string_view line, std::vector<Word>* words) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    Word w;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
           line[i] != '#' && line[i] != '"') {
      w.plain += line[i++];
    }
    if (i < line.size() && line[i] == '"') {
      if (!w.plain.empty() && w.plain.back() != '=') {
        return "a quoted text follows a blank or key=: " + w.plain;
      }
      w.quoted = true;
      std::string e = readQuoted(line, &i, &w.text);
      if (!e.empty()) return e;
    }
    words->push_back(std::move(w));
  }
  return "";
}

// A whole number in [lo, hi], or why not.
std::string number(const std::string& s, int lo, int hi, const char* what, int* out) {
  if (s.empty() || s.size() > 6 ||
      !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::string(what) + " must be a number: '" + s + "'";
  }
  const int v = std::stoi(s);
  if (v < lo || v > hi) {
    return std::string(what) + " must be " + std::to_string(lo) + " to " + std::to_string(hi);
  }
  *out = v;
  return "";
}

// Splits key=value words into their parts; quoted values come back in `text`.
struct Options {
  std::vector<std::pair<std::string, Word>> items;
  const Word* find(const std::string& key) const {
    for (const auto& [k, v] : items) {
      if (k == key) return &v;
    }
    return nullptr;
  }
};

std::string readOptions(const std::vector<Word>& words, std::size_t from,
                        const std::set<std::string>& allowed, Options* out) {
  for (std::size_t i = from; i < words.size(); ++i) {
    const Word& w = words[i];
    const std::size_t eq = w.plain.find('=');
    if (eq == std::string::npos) return "expected key=value, found '" + w.plain + "'";
    const std::string key = w.plain.substr(0, eq);
    if (allowed.count(key) == 0) return "unknown setting '" + key + "'";
    if (out->find(key) != nullptr) return "'" + key + "' given twice";
    Word value;
    value.quoted = w.quoted;
    value.text = w.text;
    value.plain = w.plain.substr(eq + 1);
    out->items.emplace_back(key, std::move(value));
  }
  for (const std::string& key : allowed) {
    if (out->find(key) == nullptr) return "missing " + key + "=";
  }
  return "";
}

std::string parseFont(const std::vector<Word>& words, TextSource* src) {
  if (words.size() < 4 || words[1].quoted || words[2].quoted || words[3].quoted) {
    return "expected: font INDEX NAME TYPOGRAPHY height=H below=B bpp=4 fallback=\"?\"";
  }
  FontWanted f;
  std::string e = number(words[1].plain, 0, 999, "font index", &f.index);
  if (!e.empty()) return e;
  if (f.index != static_cast<int>(src->fonts.size())) {
    return "font index " + words[1].plain + " out of order: expected " +
           std::to_string(src->fonts.size());
  }
  if (!isIdentifier(words[2].plain)) return "font name is not an identifier: " + words[2].plain;
  if (!isIdentifier(words[3].plain)) {
    return "typography is not an identifier: " + words[3].plain;
  }
  f.name = words[2].plain;
  f.typography = words[3].plain;
  for (const FontWanted& other : src->fonts) {
    if (other.name == f.name) return "font name used twice: " + f.name;
    if (other.typography == f.typography) return "typography used twice: " + f.typography;
  }
  Options o;
  e = readOptions(words, 4, {"height", "below", "bpp", "fallback"}, &o);
  if (!e.empty()) return e;
  if (o.find("height")->quoted || o.find("below")->quoted || o.find("bpp")->quoted) {
    return "height, below and bpp are numbers";
  }
  if (!(e = number(o.find("height")->plain, 1, 255, "height", &f.height)).empty()) return e;
  if (!(e = number(o.find("below")->plain, 0, f.height, "below", &f.below)).empty()) return e;
  if (!(e = number(o.find("bpp")->plain, 4, 4, "bpp", &f.bpp)).empty()) return e;
  const Word* fb = o.find("fallback");
  if (!fb->quoted || fb->text.size() != 1 || fb->text[0] < 0x20) {
    return "fallback must be one printable character in quotes";
  }
  f.fallback = fb->text[0];
  src->fonts.push_back(f);
  return "";
}

std::string parseText(const std::vector<Word>& words, TextSource* src) {
  if (words.size() < 3 || words[1].quoted || words[2].quoted) {
    return "expected: text ID KEY font=INDEX align=left|centre|right \"TEXT\"";
  }
  TextSpec t;
  std::string e = number(words[1].plain, 0, 0xFFFE, "text id", &t.id);
  if (!e.empty()) return e;
  if (t.id != static_cast<int>(src->texts.size())) {
    return "text id " + words[1].plain + " out of order: expected " +
           std::to_string(src->texts.size());
  }
  if (!isIdentifier(words[2].plain)) return "text key is not an identifier: " + words[2].plain;
  t.key = words[2].plain;
  for (const TextSpec& other : src->texts) {
    if (other.key == t.key) return "text key used twice: " + t.key;
  }
  std::vector<Word> settings;
  std::size_t i = 3;
  for (; i < words.size() && !(words[i].quoted && words[i].plain.empty()); ++i) {
    settings.push_back(words[i]);
  }
  Options o;
  e = readOptions(settings, 0, {"font", "align"}, &o);
  if (!e.empty()) return e;
  if (!(e = number(o.find("font")->plain, 0, 999, "font", &t.font)).empty()) return e;
  if (t.font >= static_cast<int>(src->fonts.size())) {
    return "font " + std::to_string(t.font) + " is not defined (fonts come before texts)";
  }
  const std::string& a = o.find("align")->plain;
  if (a == "left") {
    t.align = Align::LEFT;
  } else if (a == "centre" || a == "center") {
    t.align = Align::CENTRE;
  } else if (a == "right") {
    t.align = Align::RIGHT;
  } else {
    return "align must be left, centre or right: '" + a + "'";
  }
  for (; i < words.size(); ++i) {
    if (!words[i].quoted || !words[i].plain.empty()) {
      return "unexpected '" + words[i].plain + "' after the text";
    }
    t.text += words[i].text;
  }
  if (t.text.size() > kMaxTextLength) return "text too long";
  src->texts.push_back(std::move(t));
  return "";
}

}  // namespace

std::string parseTextSource(std::string_view source, TextSource* out) {
  TextSource src;
  std::size_t pos = 0;
  int lineNo = 0;
  bool canContinue = false;  // the previous statement was a text
  while (pos < source.size()) {
    std::size_t end = source.find('\n', pos);
    if (end == std::string_view::npos) end = source.size();
    const std::string_view line = source.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    auto fail = [&](const std::string& why) {
      return "line " + std::to_string(lineNo) + ": " + why;
    };
    std::vector<Word> words;
    const std::string e = splitWords(line, &words);
    if (!e.empty()) return fail(e);
    if (words.empty()) continue;
    std::string why;
    if (words[0].quoted && words[0].plain.empty()) {
      if (!canContinue) return fail("a quoted text continues only a text statement");
      for (const Word& w : words) {
        if (!w.quoted || !w.plain.empty())
          return fail("a continued text holds only quoted strings");
        src.texts.back().text += w.text;
      }
      if (src.texts.back().text.size() > kMaxTextLength) return fail("text too long");
      continue;
    }
    if (src.fonts.size() + src.texts.size() >= kMaxEntries) return fail("too many entries");
    if (words[0].plain == "font") {
      if (!src.texts.empty()) return fail("fonts come before texts");
      why = parseFont(words, &src);
      canContinue = false;
    } else if (words[0].plain == "text") {
      why = parseText(words, &src);
      canContinue = true;
    } else {
      why = "unknown statement '" + words[0].plain + "' (font or text)";
    }
    if (!why.empty()) return fail(why);
  }
  if (src.fonts.empty()) return "no font defined";
  if (src.texts.empty()) return "no text defined";
  *out = std::move(src);
  return "";
}

std::u16string fontCharacters(const TextSource& source, int fontIndex) {
  std::set<char16_t> chars;
  for (const TextSpec& t : source.texts) {
    if (t.font != fontIndex) continue;
    for (char16_t c : t.text) {
      if (c != u'\n') chars.insert(c);
    }
  }
  for (const FontWanted& f : source.fonts) {
    if (f.index == fontIndex) chars.insert(f.fallback);
  }
  return std::u16string(chars.begin(), chars.end());
}

}  // namespace assets

// Names on the stick: which names are allowed, the short names a copy tool would give them,
// and the long-name entries that carry them.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "names.h"

namespace {

using mkstick::ShortName;

std::u32string wide(const std::string& utf8) {
  std::u32string w;
  EXPECT_TRUE(mkstick::decodeUtf8(utf8, &w)) << utf8;
  return w;
}

std::vector<ShortName> shortNames(const std::vector<std::string>& names) {
  std::vector<std::u32string> w;
  w.reserve(names.size());
  for (const auto& n : names) w.push_back(wide(n));
  std::vector<ShortName> out;
  EXPECT_EQ(mkstick::assignShortNames(w, &out), "");
  return out;
}

struct Expected {
  const char* name;
  const char* shortName;
  int caseFlags;
  bool longEntries;
};

TEST(MkstickNames, ShortNamesAsWindowsGivesThem) {
  const Expected cases[] = {
      {"README.TXT", "README.TXT", 0, false},
      {"a.bmp", "A.BMP", 0x18, false},  // all lower case: case flags, no long entries
      {"b.BMP", "B.BMP", 0x08, false},
      {"NOTES.txt", "NOTES.TXT", 0x10, false},
      {"TRACK01", "TRACK01", 0, false},
      {"Readme.txt", "README.TXT", 0, true},  // mixed case: long entries, no tail
      {"ÜBER.MP3", "ÜBER.MP3", 0, false},     // fits code page 850 as it is
      {"über.mp3", "ÜBER.MP3", 0, true},      // only ASCII reads back through the flags
      {"ß.txt", "ß.TXT", 0x10, false},        // no upper case in the code page
      {"Long file name.mp3", "LONGFI~1.MP3", 0, true},
      {"a b.txt", "AB~1.TXT", 0, true},
      {"a+b,c;d=e[f].txt", "A_B_C_~1.TXT", 0, true},  // lossy: always a tail
      {".hidden", "HIDDEN~1", 0, true},
      {"x.tar.gz", "XTAR~1.GZ", 0, true},
      {"song.mpeg", "SONG~1.MPE", 0, true},
      {"日本.mp3", "__~1.MP3", 0, true},
      {"Ärger mit Öl.mp3", "ÄRGERM~1.MP3", 0, true},
  };
  for (const Expected& c : cases) {
    const ShortName sn = shortNames({c.name})[0];
    EXPECT_EQ(mkstick::shortNameText(sn.bytes), c.shortName) << c.name;
    EXPECT_EQ(sn.caseFlags, c.caseFlags) << c.name;
    EXPECT_EQ(sn.longEntries, c.longEntries) << c.name;
  }
  // A first byte 0xE5 ('Õ' in code page 850) would read as a deleted entry: stored as 0x05.
  EXPECT_EQ(shortNames({"Õl.txt"})[0].bytes[0], 0x05);
  EXPECT_EQ(mkstick::shortNameText(shortNames({"Õl.txt"})[0].bytes), "ÕL.TXT");
}

TEST(MkstickNames, TailsCountUpAndAvoidNamesThatFit) {
  // The literal "LONGFI~1.MP3" keeps its name although it comes last.
  const auto sn =
      shortNames({"Long file one.mp3", "Long file two.mp3", "LONGFI~1.MP3", "Long file three.mp3"});
  EXPECT_EQ(mkstick::shortNameText(sn[0].bytes), "LONGFI~2.MP3");
  EXPECT_EQ(mkstick::shortNameText(sn[1].bytes), "LONGFI~3.MP3");
  EXPECT_EQ(mkstick::shortNameText(sn[2].bytes), "LONGFI~1.MP3");
  EXPECT_FALSE(sn[2].longEntries);
  EXPECT_EQ(mkstick::shortNameText(sn[3].bytes), "LONGFI~4.MP3");

  // Past nine the tail takes a character more from the base.
  std::vector<std::string> many;
  many.reserve(12);
  for (int i = 0; i < 12; ++i) many.push_back("Kapitel nummer " + std::to_string(i) + ".mp3");
  const auto tails = shortNames(many);
  EXPECT_EQ(mkstick::shortNameText(tails[8].bytes), "KAPITE~9.MP3");
  EXPECT_EQ(mkstick::shortNameText(tails[9].bytes), "KAPIT~10.MP3");
}

// Reads back the UTF-16 units of the long entries that precede the short entry.
std::u16string longNameOf(const std::vector<std::uint8_t>& e, std::uint8_t* checksum) {
  static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  const std::size_t parts = e.size() / 32 - 1;
  std::u16string units;
  for (std::size_t p = 0; p < parts; ++p) {
    const std::uint8_t* entry = &e[(parts - 1 - p) * 32];  // last part first on disk
    EXPECT_EQ(entry[0], (p + 1) | (p + 1 == parts ? 0x40 : 0));
    EXPECT_EQ(entry[11], 0x0F);
    *checksum = entry[13];
    for (int off : kOffsets)
      units.push_back(static_cast<char16_t>(entry[off] | entry[off + 1] << 8));
  }
  return units;
}

TEST(MkstickNames, LongEntriesHoldUtf16WithTerminatorPaddingAndChecksum) {
  const std::u32string name = wide("emoji 😀 Straße.txt");  // 18 code points, 19 units
  const ShortName sn = shortNames({"emoji 😀 Straße.txt"})[0];
  std::vector<std::uint8_t> e;
  mkstick::appendEntries(name, sn, {mkstick::ATTR_ARCHIVE, 5, 1234}, &e);
  ASSERT_EQ(e.size(), 3 * 32u);
  std::uint8_t checksum = 0;
  const std::u16string units = longNameOf(e, &checksum);
  std::u16string expected = u"emoji \xD83D\xDE00 Straße.txt";
  expected.push_back(0);
  expected.resize(26, 0xFFFF);
  EXPECT_EQ(units, expected);
  EXPECT_EQ(checksum, mkstick::lfnChecksum(sn.bytes));
  const std::uint8_t* s = &e[64];
  EXPECT_EQ(mkstick::shortNameText(sn.bytes), "EMOJI_~1.TXT");
  EXPECT_EQ(s[11], mkstick::ATTR_ARCHIVE);
  EXPECT_EQ(s[26] | s[27] << 8, 5);
  EXPECT_EQ(s[28] | s[29] << 8, 1234);
  EXPECT_EQ(s[24] | s[25] << 8, mkstick::FIXED_DATE);

  // Exactly 13 units: no terminator and no padding.
  const ShortName sn13 = shortNames({"thirteen_.mp3"})[0];
  std::vector<std::uint8_t> e13;
  mkstick::appendEntries(wide("thirteen_.mp3"), sn13, {}, &e13);
  ASSERT_EQ(e13.size(), 2 * 32u);
  EXPECT_EQ(longNameOf(e13, &checksum), u"thirteen_.mp3");

  // The checksum of a known short name.
  std::array<std::uint8_t, 11> readme;
  std::memcpy(readme.data(), "README  TXT", 11);
  EXPECT_EQ(mkstick::lfnChecksum(readme), 0x73);
}

TEST(MkstickNames, LongNamesThatFatCannotHoldAreRefused) {
  EXPECT_EQ(mkstick::checkLongName("Über Äpfel 日本 😀.mp3"), "");
  EXPECT_EQ(mkstick::checkLongName(std::string(255, 'x')), "");
  EXPECT_NE(mkstick::checkLongName(std::string(256, 'x')).find("256 UTF-16 units"),
            std::string::npos);
  std::string emoji;
  for (int i = 0; i < 128; ++i) emoji += "😀";  // 128 characters, 256 units
  EXPECT_NE(mkstick::checkLongName(emoji).find("256 UTF-16 units"), std::string::npos);
  for (char c : std::string("<>:\"/\\|?*")) {
    EXPECT_NE(mkstick::checkLongName(std::string("a") + c + "b").find("must not contain"),
              std::string::npos)
        << c;
  }
  EXPECT_NE(mkstick::checkLongName("a\tb").find("control character U+0009"), std::string::npos);
  EXPECT_NE(mkstick::checkLongName("a\x7F").find("control"), std::string::npos);
  EXPECT_NE(mkstick::checkLongName("name.").find("end with a dot"), std::string::npos);
  EXPECT_NE(mkstick::checkLongName("name ").find("end with a dot or a space"), std::string::npos);
  EXPECT_NE(mkstick::checkLongName("..").find("reserved"), std::string::npos);
  EXPECT_NE(mkstick::checkLongName("").find("empty"), std::string::npos);
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"}) {
    EXPECT_NE(mkstick::checkLongName(bad).find("UTF-8"), std::string::npos);
  }
}

TEST(MkstickNames, CaseIsIgnoredWhenNamesAreCompared) {
  EXPECT_EQ(mkstick::foldKey(wide("Tiere")), mkstick::foldKey(wide("TIERE")));
  EXPECT_EQ(mkstick::foldKey(wide("über")), mkstick::foldKey(wide("ÜBER")));
  EXPECT_EQ(mkstick::foldKey(wide("ĳsselmeer")), mkstick::foldKey(wide("Ĳsselmeer")));
  EXPECT_EQ(mkstick::foldKey(wide("песня")), mkstick::foldKey(wide("ПЕСНЯ")));
  EXPECT_NE(mkstick::foldKey(wide("a")), mkstick::foldKey(wide("b")));
}

TEST(MkstickNames, LabelsAreUpperCaseCodePage850) {
  std::array<std::uint8_t, 11> label;
  EXPECT_EQ(mkstick::makeLabel("Kinder Mäx", &label), "");
  EXPECT_EQ(std::string(label.begin(), label.end()),
            "KINDER M\x8E"
            "X ");
  EXPECT_NE(mkstick::makeLabel("twelve chars", &label), "");
  EXPECT_NE(mkstick::makeLabel("a.b", &label), "");
  EXPECT_NE(mkstick::makeLabel("日本", &label), "");
}

}  // namespace

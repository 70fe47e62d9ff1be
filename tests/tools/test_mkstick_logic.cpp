// The image builder's logic: names on the stick (which names are allowed, the short names a
// copy tool would give them, the long-name entries that carry them), the manifest and the
// volume layout.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "image.h"
#include "manifest.h"
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

// ---- The manifest and the volume layout

using mkstick::Content;
using mkstick::Tree;

Tree parse(const std::string& text) {
  Tree tree;
  mkstick::ManifestError error;
  EXPECT_TRUE(mkstick::parseManifest(text, &tree, &error))
      << "line " << error.line << ": " << error.message;
  return tree;
}

std::string listing(const Tree& tree) {
  std::string out;
  for (std::size_t i = 1; i < tree.nodes().size(); ++i) {
    const auto& n = tree.nodes()[i];
    out += (n.isDir ? "d " : "f ") + tree.path(static_cast<int>(i)) + "\n";
  }
  return out;
}

TEST(MkstickManifest, EntriesKeepTheirOrderAttributesAndContent) {
  const Tree tree = parse(
      "\xEF\xBB\xBF# a stick\r\n"
      "dir  \"Tiere\"                 # a root folder\r\n"
      "dir  \"Tiere/Hund\" hidden system\n"
      "file \"Tiere/title.bmp\" src=\"my pictures/tiere #1.bmp\"\n"
      "\n"
      "file Tiere/Hund/b.BMP size=64K readonly\n"
      "file \"Tiere/Hund/a.bmp\" size=70000\n"
      "file /notes.txt text=\"say \\\"hi\\\"\\n\\x41\\\\\"\n"
      "file \"Musik/Kinder/Lieder/eins.mp3\"\n"
      "file \"Musik/zwei.mp3\"\n");
  EXPECT_EQ(listing(tree),
            "d Tiere\nd Tiere/Hund\nf Tiere/title.bmp\nf Tiere/Hund/b.BMP\n"
            "f Tiere/Hund/a.bmp\nf notes.txt\nd Musik\nd Musik/Kinder\nd Musik/Kinder/Lieder\n"
            "f Musik/Kinder/Lieder/eins.mp3\nf Musik/zwei.mp3\n");
  const auto& n = tree.nodes();
  EXPECT_EQ(n[2].attributes, mkstick::ATTR_HIDDEN | mkstick::ATTR_SYSTEM);
  EXPECT_EQ(n[3].content.kind, Content::Kind::Source);
  EXPECT_EQ(n[3].content.source, "my pictures/tiere #1.bmp");
  EXPECT_EQ(n[4].content.kind, Content::Kind::Filler);
  EXPECT_EQ(n[4].content.size, 65536u);
  EXPECT_EQ(n[4].attributes, mkstick::ATTR_READONLY);
  EXPECT_EQ(n[6].content.text, "say \"hi\"\nA\\");
  EXPECT_EQ(n[10].content.kind, Content::Kind::Empty);
  EXPECT_TRUE(n[7].implicit);
  EXPECT_EQ(n[7].line, 9);
}

TEST(MkstickManifest, MistakesNameTheLineAndTheProblem) {
  const struct {
    const char* text;
    int line;
    const char* message;
  } cases[] = {
      {"dir A\nfolder B\n", 2, "expected \"dir\" or \"file\""},
      {"file\n", 1, "needs a path"},
      {"file \"a.txt\" text=\"open\n", 1, "not closed"},
      {"file \"a\"b\n", 1, "expected a space after the quoted text"},
      {"file a\"b\"\n", 1, "a quote must start a word"},
      {"file a.txt text=\"\\q\"\n", 1, "unknown escape \\q"},
      {"file a.txt text=\"\\x4\"\n", 1, "two hex digits"},
      {"file a.txt size=12Q\n", 1, "byte count"},
      {"file a.txt size=5G\n", 1, "4 GiB"},
      {"file a.txt size=1 text=x\n", 1, "one of src=, size= and text="},
      {"file a.txt colour=red\n", 1, "unknown option \"colour=\""},
      {"file a.txt shiny\n", 1, "unknown attribute \"shiny\""},
      {"file a.txt hidden hidden\n", 1, "given twice"},
      {"dir a size=1\n", 1, "a folder takes no"},
      {"file a//b\n", 1, "empty name"},
      {"file a/\n", 1, "empty name"},
      {"file \"a/../b\"\n", 1, "reserved"},
      {"file \"a:b\"\n", 1, "':'"},
      {"file \"x\\x01\"\n", 1, "control character U+0001"},
      {"dir Musik\nfile musik\n", 2, "\"musik\" is already in the root folder as \"Musik\""},
      {"file a.txt\nfile a.txt/b\n", 2, "\"a.txt\" is a file, not a folder"},
      {"file A/x\ndir A hidden\n", 2, "made for line 1 (list a folder before its contents)"},
      {"file \"\\xFF\"\n", 1, "\"\\xFF\": name is not valid UTF-8"},
  };
  for (const auto& c : cases) {
    Tree tree;
    mkstick::ManifestError error;
    EXPECT_FALSE(mkstick::parseManifest(c.text, &tree, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos)
        << c.text << " -> " << error.message;
    EXPECT_EQ(error.message.find('\n'), std::string::npos) << error.message;
  }
}

TEST(MkstickManifest, SizesTakeBinaryUnits) {
  std::uint64_t v = 0;
  const std::pair<const char*, std::uint64_t> sizes[] = {
      {"70000", 70000}, {"1440K", 1440u * 1024}, {"8M", 8u << 20}, {"2GiB", 2ull << 30}};
  for (const auto& [text, bytes] : sizes) {
    EXPECT_TRUE(mkstick::parseSize(text, &v)) << text;
    EXPECT_EQ(v, bytes) << text;
  }
  for (const char* bad : {"", "M", "8 M", "-1", "1.5M", "99999999999999999999", "9999999999G"}) {
    EXPECT_FALSE(mkstick::parseSize(bad, &v)) << bad;
  }
}

// Layouts checked against what mkfs.fat 4.2 makes for the same sizes.
TEST(MkstickLayout, TypeAndClustersChosenBySizeAsMkfsDoes) {
  mkstick::Geometry g;
  ASSERT_EQ(mkstick::planGeometry(2048, 512, 0, &g), "");  // 1 MiB
  EXPECT_EQ(g.fatType, 12);
  EXPECT_EQ(g.sectorsPerCluster, 4u);
  EXPECT_EQ(g.clusterCount, 502u);
  ASSERT_EQ(mkstick::planGeometry(16384, 512, 0, &g), "");  // 8 MiB
  EXPECT_EQ(g.fatType, 12);
  EXPECT_EQ(g.reservedSectors, 4u);
  EXPECT_EQ(g.sectorsPerFat, 12u);
  EXPECT_EQ(g.clusterCount, 4081u);
  ASSERT_EQ(mkstick::planGeometry(32768, 512, 0, &g), "");  // 16 MiB
  EXPECT_EQ(g.fatType, 16);
  EXPECT_EQ(g.sectorsPerFat, 32u);
  EXPECT_EQ(g.clusterCount, 8167u);
  ASSERT_EQ(mkstick::planGeometry(1048576, 512, 0, &g), "");  // 512 MiB
  EXPECT_EQ(g.fatType, 32);
  EXPECT_EQ(g.sectorsPerCluster, 8u);
  EXPECT_EQ(g.reservedSectors % 8, 0u);
  ASSERT_EQ(mkstick::planGeometry(8 * 1024 * 1024, 512, 0, &g), "");  // 4 GiB
  EXPECT_EQ(g.fatType, 32);
  EXPECT_EQ(g.clusterBytes(), 4096u);
  ASSERT_EQ(mkstick::planGeometry(uint64_t{64} << 21, 512, 0, &g), "");  // 64 GiB
  EXPECT_EQ(g.clusterBytes(), 32768u);
}

TEST(MkstickLayout, EveryLayoutIsConsistent) {
  for (std::uint32_t sector : {512u, 1024u, 2048u, 4096u}) {
    for (int type : {0, 12, 16, 32}) {
      for (std::uint64_t mib : {1, 2, 3, 8, 17, 33, 100, 257, 300, 600, 5000}) {
        mkstick::Geometry g;
        const std::uint64_t sectors = (mib << 20) / sector;
        if (!mkstick::planGeometry(sectors, sector, type, &g).empty()) continue;
        SCOPED_TRACE(std::to_string(mib) + " MiB, FAT" + std::to_string(type) + ", sector " +
                     std::to_string(sector));
        if (type != 0) {
          EXPECT_EQ(g.fatType, type);
        }
        // The cluster count alone decides the type for every reader.
        const int byCount = g.clusterCount < 4085 ? 12 : g.clusterCount < 65525 ? 16 : 32;
        EXPECT_EQ(byCount, g.fatType);
        EXPECT_EQ(g.firstDataSector() % g.sectorsPerCluster, 0u);
        EXPECT_LE(g.firstDataSector() + std::uint64_t{g.clusterCount} * g.sectorsPerCluster,
                  sectors);
        const std::uint64_t entries = g.clusterCount + 2;
        const std::uint64_t need =
            g.fatType == 12 ? (entries * 3 + 1) / 2 : entries * g.fatType / 8;
        EXPECT_GE(std::uint64_t{g.sectorsPerFat} * sector, need);
        EXPECT_LE(g.clusterBytes(), 32768u);
      }
    }
  }
}

TEST(MkstickLayout, DefaultSizeIsTheSmallestStickThatHolds) {
  const Tree tree = parse("file a size=1500K\nfile b size=1M\n");
  mkstick::Plan plan;
  mkstick::ImageOptions options;
  ASSERT_EQ(mkstick::planImage(tree, options, &plan), "");
  EXPECT_EQ(plan.imageBytes, 4u << 20);
  options.mbr = true;
  ASSERT_EQ(mkstick::planImage(tree, options, &plan), "");
  EXPECT_EQ(plan.imageBytes, 4u << 20);
  options.fatType = 32;
  ASSERT_EQ(mkstick::planImage(tree, options, &plan), "");
  EXPECT_EQ(plan.imageBytes, 64u << 20);
  EXPECT_EQ(plan.firstCluster[0], 2u);  // FAT32 root folder in cluster 2
}

}  // namespace

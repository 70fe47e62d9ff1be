// The stick manifest and the volume layout, as pure logic.
#include <gtest/gtest.h>

#include <string>

#include "image.h"
#include "manifest.h"

namespace {

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
  EXPECT_TRUE(mkstick::parseSize("70000", &v));
  EXPECT_EQ(v, 70000u);
  EXPECT_TRUE(mkstick::parseSize("1440K", &v));
  EXPECT_EQ(v, 1440u * 1024);
  EXPECT_TRUE(mkstick::parseSize("8M", &v));
  EXPECT_EQ(v, 8u << 20);
  EXPECT_TRUE(mkstick::parseSize("2GiB", &v));
  EXPECT_EQ(v, 2ull << 30);
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

TEST(MkstickLayout, ImpossibleTypesForASizeAreRefused) {
  mkstick::Geometry g;
  EXPECT_NE(mkstick::planGeometry(409600, 512, 12, &g).find("FAT12 volume cannot be 200 MiB"),
            std::string::npos);
  EXPECT_NE(mkstick::planGeometry(16384, 512, 32, &g).find("FAT32 volume cannot be 8 MiB"),
            std::string::npos);
  EXPECT_NE(mkstick::planGeometry(2048, 512, 16, &g).find("FAT16 volume cannot be 1 MiB"),
            std::string::npos);
  EXPECT_NE(mkstick::planGeometry((uint64_t{4} << 30) / 512, 512, 16, &g).find("FAT16"),
            std::string::npos);
  EXPECT_NE(mkstick::planGeometry(uint64_t{1} << 32, 512, 0, &g).find("2^32"), std::string::npos);
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

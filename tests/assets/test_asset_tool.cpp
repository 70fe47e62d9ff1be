// The asset tool: solid rectangles and format conversion as pure logic, the text source's
// parser, and the programs refusing bad pictures, SVGs and text sources with a clear
// message while leaving no output behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "png_io.h"
#include "process.h"
#include "textsource.h"

namespace {

namespace fs = std::filesystem;

// A picture from rows of '#' (opaque), '+' (alpha 254) and '.' (transparent).
assets::Rgba mask(const std::vector<std::string>& rows) {
  assets::Rgba p;
  p.width = static_cast<uint32_t>(rows[0].size());
  p.height = static_cast<uint32_t>(rows.size());
  for (const std::string& r : rows) {
    for (char c : r) {
      const uint8_t a = c == '#' ? 255 : c == '+' ? 254 : 0;
      p.pixels.insert(p.pixels.end(), {10, 20, 30, a});
    }
  }
  return p;
}

TEST(SolidRect, LargestOpaqueRectangle) {
  struct Case {
    std::vector<std::string> rows;
    assets::SolidRect expected;
  };
  const Case cases[] = {
      {{"....", "...."}, {0, 0, 0, 0}},
      {{"###", "###"}, {0, 0, 3, 2}},
      {{"+##", "###"}, {1, 0, 2, 2}},  // nearly opaque is not opaque
      {{"#...", "####", "####", "#..."}, {0, 1, 4, 2}},
      {{".##.", ".##.", "####"}, {1, 0, 2, 3}},
      // Equal areas: the highest bottom edge, then the leftmost.
      {{"##.##", ".....", "##.##"}, {0, 0, 2, 1}},
      {{"#.#", "#.#"}, {0, 0, 1, 2}},
      {{"..#..", ".###.", "#####", ".###."}, {1, 1, 3, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(assets::largestOpaqueRect(mask(c.rows)), c.expected) << c.rows[0];
  }
}

TEST(Convert, ArgbIsBgraStraightAndRgb565IsLittleEndianOverBlack) {
  assets::Rgba p;
  p.width = 2;
  p.height = 1;
  p.pixels = {255, 128, 0, 255, 255, 255, 255, 128};
  const assets::Bitmap argb = assets::convertBitmap("x", p, assets::Format::ARGB8888);
  EXPECT_EQ(argb.data, (std::vector<uint8_t>{0, 128, 255, 255, 255, 255, 255, 128}));
  EXPECT_EQ(argb.solid, (assets::SolidRect{0, 0, 1, 1}));
  const assets::Bitmap rgb = assets::convertBitmap("x", p, assets::Format::RGB565);
  // Orange: 31, 32, 0; half-transparent white over black: 16, 32, 16.
  EXPECT_EQ(rgb.data, (std::vector<uint8_t>{0x00, 0xFC, 0x10, 0x84}));
  EXPECT_EQ(rgb.solid, (assets::SolidRect{0, 0, 2, 1}));
  EXPECT_EQ(assets::idConstant("blue_buttons_round_edge_small"),
            "BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_ID");
  for (const char* bad : {"", "9lives", "a-b", "a b", "ä"}) {
    EXPECT_NE(assets::checkBitmapName(bad), "") << bad;
  }
}

TEST(TextSource, ContinuationsEscapesAndUtf8) {
  const std::string s =
      "font 0 f0 DEFAULT height=20 below=4 bpp=4 fallback=\"?\"  # comment\n"
      "text 0 K0 font=0 align=right \"a\\\"b\\\\\"\n"
      "text 1 K1 font=0 align=centre\n"
      "  \"J\xC3\xB6rdis\\n\" \"\\u20AC\"\n";
  assets::TextSource src;
  ASSERT_EQ(assets::parseTextSource(s, &src), "");
  EXPECT_EQ(src.texts[0].text, u"a\"b\\");
  EXPECT_EQ(src.texts[0].align, assets::Align::RIGHT);
  EXPECT_EQ(src.texts[1].text, u"J\u00F6rdis\n\u20AC");
  EXPECT_EQ(assets::fontCharacters(src, 0), u"\"?J\\abdirs\u00F6\u20AC");
}

TEST(TextSource, RefusesBadSourcesNamingTheLine) {
  const std::string font = "font 0 f0 DEFAULT height=20 below=4 bpp=4 fallback=\"?\"\n";
  struct Case {
    std::string source;
    std::string message;
  };
  const Case cases[] = {
      {"", "no font defined"},
      {font, "no text defined"},
      {"font 1 f0 DEFAULT height=20 below=4 bpp=4 fallback=\"?\"\n",
       "line 1: font index 1 out of order"},
      {"font 0 f0 D height=20 below=21 bpp=4 fallback=\"?\"\n", "line 1: below must be 0 to 20"},
      {"font 0 f0 D height=20 below=4 bpp=8 fallback=\"?\"\n", "line 1: bpp must be 4 to 4"},
      {"font 0 f0 D height=20 below=4 bpp=4 fallback=\"??\"\n", "line 1: fallback must be one"},
      {"font 0 f0 D height=20 below=4 bpp=4\n", "line 1: missing fallback="},
      {"font 0 f0 D height=x below=4 bpp=4 fallback=\"?\"\n", "line 1: height must be a number"},
      {font + "text 0 K font=1 align=left \"x\"\n", "line 2: font 1 is not defined"},
      {font + "text 0 K font=0 align=middle \"x\"\n", "line 2: align must be left"},
      {font + "text 1 K font=0 align=left \"x\"\n", "line 2: text id 1 out of order"},
      {font + "text 0 K font=0 align=left \"x\n", "line 2: missing closing quote"},
      {font + "text 0 K font=0 align=left \"\\q\"\n", "line 2: unknown escape"},
      {font + "text 0 K font=0 align=left \"\\u12\"\n", "line 2: \\u needs four"},
      {font + "text 0 K font=0 align=left \"\\u0000\"\n",
       "line 2: a text cannot hold the character 0"},
      {font + "text 0 K font=0 align=left \"\xF0\x9F\x98\x80\"\n",
       "line 2: characters beyond U+FFFF"},
      {font + "text 0 K font=0 align=left \"\xC3\"\n", "line 2: text is not valid UTF-8"},
      {font + "text 0 K font=0 align=left \"\xED\xA0\x80\"\n", "line 2: text is not valid UTF-8"},
      {font + "text 0 K font=0 align=left \"x\" y\n", "line 2: unexpected 'y'"},
      {font + "text 0 K-1 font=0 align=left \"x\"\n", "line 2: text key is not an identifier"},
      {font + "text 0 K font=0 align=left \"x\"\ntext 1 K font=0 align=left \"y\"\n",
       "line 3: text key used twice"},
      {font + "\"x\"\n", "line 2: a quoted text continues only a text"},
      {font + "text 0 K font=0 align=left \"x\"\n" + font, "line 3: fonts come before texts"},
      {font + "glyph 0\n", "line 2: unknown statement 'glyph'"},
  };
  for (const Case& c : cases) {
    assets::TextSource src;
    const std::string e = assets::parseTextSource(c.source, &src);
    EXPECT_EQ(e.rfind(c.message, 0), 0U) << "got: " << e << "\nwanted: " << c.message;
  }
}

// Every regular file under `dir`.
std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) out.push_back(e.path().string());
  }
  return out;
}

const std::string kGoodPng = std::string(SHAPEPLAY_ASSET_PNG_DIR) + "/Kreisrot.png";

TEST(AssetTool, ABadPictureIsRefusedAndNothingIsWritten) {
  const std::string dir = proc::tempDir();
  const std::string good = proc::readFile(kGoodPng);
  struct Case {
    std::string content;
    std::string message;
  };
  const Case cases[] = {
      {"GIF89a", "not a PNG file"},
      {good.substr(0, good.size() / 2), "damaged PNG file"},
      {good.substr(0, 40), "damaged PNG file"},
  };
  for (const Case& c : cases) {
    proc::writeFile(dir + "/broken.png", c.content);
    const proc::Output r = proc::run(
        {SHAPEPLAY_ASSETS, "bitmaps", "--out", dir + "/out", kGoodPng, dir + "/broken.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("broken.png: " + c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/out"));
  }
  // A good run writes the table and the pixels, and leaves no temporary file.
  const proc::Output ok = proc::run(
      {SHAPEPLAY_ASSETS, "bitmaps", "--out", dir + "/out", "--rgb565", "Kreisrot", kGoodPng});
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(filesIn(dir + "/out").size(), 3U);
  EXPECT_EQ(fs::file_size(dir + "/out/images/Kreisrot.bin"), 68U * 68 * 2);
  // A failing run afterwards leaves the earlier output as it was.
  const auto before = fs::last_write_time(dir + "/out/BitmapDatabase.cpp");
  const proc::Output bad = proc::run(
      {SHAPEPLAY_ASSETS, "bitmaps", "--out", dir + "/out", "--rgb565", "nothing", kGoodPng});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("--rgb565 nothing: no picture of that name"), std::string::npos);
  EXPECT_EQ(fs::last_write_time(dir + "/out/BitmapDatabase.cpp"), before);
  EXPECT_EQ(filesIn(dir + "/out").size(), 3U);
}

TEST(AssetTool, ABadTextSourceOrFaceIsRefusedAndNothingIsWritten) {
  const std::string dir = proc::tempDir();
  proc::writeFile(dir + "/texts.txt", "font 0 f0 DEFAULT height=20 below=4 bpp=4\n");
  proc::Output r =
      proc::run({SHAPEPLAY_ASSETS, "texts", "--source", dir + "/texts.txt", "--face",
                 "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "--out", dir + "/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("texts.txt: line 1: missing fallback="), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/out"));

  proc::writeFile(dir + "/face.ttf", "not a font");
  r = proc::run({SHAPEPLAY_ASSETS, "texts", "--source", SHAPEPLAY_TEXT_SOURCE, "--face",
                 dir + "/face.ttf", "--out", dir + "/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read the font face"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/out"));

  r = proc::run({SHAPEPLAY_ASSETS, "texts", "--source", dir + "/texts.txt"});
  EXPECT_EQ(r.status, 2);
}

TEST(AssetTool, ABadSvgIsRefusedAndNoPictureIsLeft) {
  const std::string dir = proc::tempDir();
  for (const std::string svg : {"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"",
                                "<svg xmlns=\"http://www.w3.org/2000/svg\"/>", "plain text"}) {
    proc::writeFile(dir + "/bad.svg", svg);
    const proc::Output r = proc::run(
        {SHAPEPLAY_RENDER_SVG, SHAPEPLAY_RSVG_CONVERT, dir + "/bad.svg", dir + "/bad.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.svg: cannot be drawn"), std::string::npos) << r.err;
    EXPECT_EQ(filesIn(dir).size(), 1U);  // the SVG alone
  }
}

}  // namespace

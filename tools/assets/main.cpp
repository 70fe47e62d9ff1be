// shapeplay-assets: turns the user interface's assets into the firmware's generated tables.
//   bitmaps: PNG pictures (rendered from assets/images/*.svg) into the bitmap table;
//   texts:   the text source and a font face into the font, text and typed-text tables.
// Everything is read and converted first; the output files are written only when all went
// well, each through a temporary file, so a bad input leaves nothing behind.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "font_tables.h"
#include "outputs.h"
#include "png_io.h"
#include "textsource.h"

namespace {

constexpr const char* kUsage =
    R"(Usage: shapeplay-assets bitmaps --out DIR [--rgb565 NAME]... PICTURE.png...
       shapeplay-assets texts --source FILE --face FONT.ttf --out DIR

bitmaps  writes DIR/BitmapDatabase.hpp, DIR/BitmapDatabase.cpp and DIR/images/*.bin:
         one bitmap per picture, named after the file, ids in the byte order of the
         names; ARGB8888, or RGB565 for each NAME given with --rgb565.
texts    writes DIR/fonts/* and DIR/texts/*: the fonts and texts of the text source,
         each font rasterised from FONT.ttf with exactly the characters of its texts.

Exit status: 0 written, 1 an input is bad (the reason is printed; nothing is
written), 2 bad arguments.
)";

[[noreturn]] void fail(int status, const std::string& message) {
  std::fprintf(stderr, "shapeplay-assets: %s\n", message.c_str());
  if (status == 2) std::fprintf(stderr, "Try 'shapeplay-assets --help'.\n");
  std::exit(status);
}

// The whole file, or fails.
std::string readFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(1, path + ": cannot be read");
  std::string data;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    data.append(buf, static_cast<std::size_t>(in.gcount()));
    if (data.size() > limit) fail(1, path + ": larger than " + std::to_string(limit) + " bytes");
  }
  if (in.bad()) fail(1, path + ": cannot be read");
  return data;
}

void commit(const assets::OutputFiles& files) {
  const std::string e = files.commit();
  if (!e.empty()) fail(1, e);
}

int runBitmaps(const std::vector<std::string>& args) {
  std::string out;
  std::set<std::string> rgb565;
  std::vector<std::string> inputs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--out" || args[i] == "--rgb565") {
      if (i + 1 >= args.size()) fail(2, args[i] + " needs a value");
      if (args[i] == "--out") {
        out = args[++i];
      } else {
        rgb565.insert(args[++i]);
      }
    } else if (args[i].rfind("--", 0) == 0) {
      fail(2, "unknown option " + args[i]);
    } else {
      inputs.push_back(args[i]);
    }
  }
  if (out.empty()) fail(2, "bitmaps needs --out DIR");
  if (inputs.empty()) fail(2, "bitmaps needs at least one picture");

  std::vector<assets::Bitmap> bitmaps;
  std::set<std::string> names;
  for (const std::string& path : inputs) {
    const std::string name = std::filesystem::path(path).stem().string();
    std::string e = assets::checkBitmapName(name);
    if (!e.empty()) fail(1, path + ": " += e);
    if (!names.insert(name).second) fail(1, path + ": a second picture named " += name);
    const std::string data = readFile(path, 64U << 20);
    assets::Rgba picture;
    e = assets::decodePng(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(),
                          &picture);
    if (!e.empty()) fail(1, path + ": " += e);
    const auto format = rgb565.count(name) ? assets::Format::RGB565 : assets::Format::ARGB8888;
    bitmaps.push_back(assets::convertBitmap(name, picture, format));
  }
  for (const std::string& n : rgb565) {
    if (names.count(n) == 0) fail(1, "--rgb565 " + n + ": no picture of that name");
  }
  std::sort(bitmaps.begin(), bitmaps.end(),
            [](const assets::Bitmap& a, const assets::Bitmap& b) { return a.name < b.name; });
  assets::OutputFiles files;
  assets::emitBitmapTable(bitmaps, out, &files);
  commit(files);
  return 0;
}

int runTexts(const std::vector<std::string>& args) {
  std::string source, face, out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string* target = args[i] == "--source" ? &source
                          : args[i] == "--face" ? &face
                          : args[i] == "--out"  ? &out
                                                : nullptr;
    if (target == nullptr) fail(2, "unknown argument " + args[i]);
    if (i + 1 >= args.size()) fail(2, args[i] + " needs a value");
    *target = args[++i];
  }
  if (source.empty() || face.empty() || out.empty()) {
    fail(2, "texts needs --source FILE, --face FONT.ttf and --out DIR");
  }
  assets::TextSource src;
  std::string e = assets::parseTextSource(readFile(source, 1U << 20), &src);
  if (!e.empty()) fail(1, source + ": " + e);
  std::vector<assets::RasterFont> fonts;
  for (const assets::FontWanted& font : src.fonts) {
    assets::RasterFont f;
    e = assets::rasteriseFont(face, font, assets::fontCharacters(src, font.index), &f);
    if (!e.empty()) fail(1, e);
    fonts.push_back(std::move(f));
  }
  assets::OutputFiles files;
  assets::emitTextTables(src, fonts, out, &files);
  commit(files);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) fail(2, "what to make: bitmaps or texts");
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string what = args[0];
  args.erase(args.begin());
  if (what == "bitmaps") return runBitmaps(args);
  if (what == "texts") return runTexts(args);
  fail(2, "unknown command " + what + " (bitmaps or texts)");
}

// shapeplay-mkstick: makes the disk image of a USB stick, from a folder tree or a manifest,
// for the simulator (shapeplay-sim --stick IMAGE), the tests and the demo content.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "image.h"
#include "manifest.h"
#include "names.h"
#include "source.h"
#include "tree.h"

namespace {

constexpr const char* kUsage =
    R"(Usage: shapeplay-mkstick (--from DIR | --manifest FILE) --out IMAGE [options]

Makes the FAT disk image of a USB stick for shapeplay-sim --stick IMAGE.

  --from DIR          copy the tree under DIR into the stick's root folder; each
                      folder's entries in the order of their names
  --manifest FILE     build from a manifest (below), in the order it lists
  --out IMAGE         the image to write; replaced only when everything went well
  --size SIZE         image size in bytes, or with K, M, G (binary units); default:
                      the smallest of 1, 2, 4, 8 ... MiB that holds the content
  --fat 12|16|32      FAT type; default: chosen by size as mkfs.fat does (FAT12
                      below 4085 clusters, FAT16 below 512 MiB, FAT32 above)
  --sector-size N     512 (default), 1024, 2048 or 4096 bytes
  --label NAME        volume label, up to 11 characters
  --mbr               put a partition table in front, with one partition 1 MiB
                      into the image, as sticks come from the shop
  --vid ID --pid ID   the stick's USB vendor and product id (0x0781 or decimal)
  --serial TEXT       the stick's USB serial number; these three go into
                      IMAGE.usb beside the image
  --help              show this text

Manifest: one entry a line; '#' starts a comment; paths use '/' and start at
the stick's root; quote names with spaces ("My Music/a b.mp3").
  dir  PATH [hidden] [system] [readonly]
  file PATH [hidden] [system] [readonly] [src=FILE | size=BYTES | text="TEXT"]
    src=FILE     the bytes of FILE (relative to the manifest's folder)
    size=BYTES   filler bytes, the same on every run (e.g. size=70000, size=2M)
    text="TEXT"  the text itself (escapes \" \\ \n \r \t \xHH)
    (none)       an empty file
Entries appear in each folder in the order they are listed. Folders on a path
that are not listed yet are made where first mentioned; list a folder before
its contents to give it attributes.

Exit status: 0 image written, 1 the content cannot become an image (the
reason is printed, with the manifest line), 2 bad arguments.
)";

constexpr const char* kSidecarHeader = "# USB identity of the stick image ";

struct Args {
  std::string from, manifest, out, size, fat, sectorSize, label, vid, pid, serial;
  bool mbr = false, help = false;
};

[[noreturn]] void fail(int status, const std::string& message) {
  std::fprintf(stderr, "shapeplay-mkstick: %s\n", message.c_str());
  if (status == 2) std::fprintf(stderr, "Try 'shapeplay-mkstick --help'.\n");
  std::exit(status);
}

Args parseArgs(int argc, char** argv) {
  Args a;
  const std::map<std::string, std::string Args::*> valued = {
      {"--from", &Args::from},   {"--manifest", &Args::manifest},
      {"--out", &Args::out},     {"--size", &Args::size},
      {"--fat", &Args::fat},     {"--sector-size", &Args::sectorSize},
      {"--label", &Args::label}, {"--vid", &Args::vid},
      {"--pid", &Args::pid},     {"--serial", &Args::serial}};
  std::map<std::string, bool> seen;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    }
    if (seen[arg]) fail(2, arg + " given twice");
    seen[arg] = true;
    if (arg == "--help" || arg == "-h") {
      a.help = true;
      continue;
    }
    if (arg == "--mbr") {
      if (value) fail(2, "--mbr takes no value");
      a.mbr = true;
      continue;
    }
    const auto it = valued.find(arg);
    if (it == valued.end()) fail(2, "unknown option " + arg);
    if (!value) {
      if (i + 1 >= argc) fail(2, arg + " needs a value");
      value = argv[++i];
    }
    a.*(it->second) = *value;
  }
  return a;
}

std::optional<unsigned> parseId(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const bool hex = text.size() > 2 && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0);
  const std::string digits = hex ? text.substr(2) : text;
  unsigned long v = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<unsigned>(d);
    if (v > 0xFFFF) return std::nullopt;
  }
  return static_cast<unsigned>(v);
}

std::string readAll(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  *ok = in.good() || in.eof();
  return ss.str();
}

std::string sizeText(std::uint64_t bytes) {
  char text[32];
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
    std::snprintf(text, sizeof text, "%llu MiB", static_cast<unsigned long long>(bytes >> 20));
  } else if (bytes >= 1024 && bytes % 1024 == 0) {
    std::snprintf(text, sizeof text, "%llu KiB", static_cast<unsigned long long>(bytes >> 10));
  } else if (bytes >= 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
  } else {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const Args a = parseArgs(argc, argv);
  if (a.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (a.from.empty() == a.manifest.empty()) fail(2, "give either --from DIR or --manifest FILE");
  if (a.out.empty()) fail(2, "--out IMAGE is missing");

  mkstick::ImageOptions options;
  if (!a.size.empty() &&
      (!mkstick::parseSize(a.size, &options.imageBytes) || options.imageBytes == 0)) {
    fail(2, "--size needs a size such as 8M, 1440K, 2G or 1048576, not " + a.size);
  }
  if (!a.fat.empty()) {
    if (a.fat != "12" && a.fat != "16" && a.fat != "32") fail(2, "--fat must be 12, 16 or 32");
    options.fatType = std::stoi(a.fat);
  }
  if (!a.sectorSize.empty()) {
    if (a.sectorSize != "512" && a.sectorSize != "1024" && a.sectorSize != "2048" &&
        a.sectorSize != "4096") {
      fail(2, "--sector-size must be 512, 1024, 2048 or 4096");
    }
    options.sectorSize = static_cast<std::uint32_t>(std::stoul(a.sectorSize));
  }
  options.mbr = a.mbr;
  if (!a.label.empty()) {
    if (std::string e = mkstick::makeLabel(a.label, &options.label); !e.empty()) {
      fail(2, "--label: " + e);
    }
    options.hasLabel = true;
  }
  std::string sidecar;
  if (!a.vid.empty() || !a.pid.empty() || !a.serial.empty()) {
    sidecar = kSidecarHeader + std::filesystem::path(a.out).filename().string() +
              " (shapeplay-mkstick)\n";
    char line[32];
    for (const auto& [name, text] : {std::pair{"vid", a.vid}, std::pair{"pid", a.pid}}) {
      if (text.empty()) continue;
      const auto id = parseId(text);
      if (!id) fail(2, std::string("--") + name + " needs a 16-bit id such as 0x0781, not " + text);
      std::snprintf(line, sizeof line, "%s 0x%04X\n", name, *id);
      sidecar += line;
    }
    if (!a.serial.empty()) {
      if (a.serial.size() > 126) fail(2, "--serial: a USB string holds at most 126 characters");
      for (char c : a.serial) {
        if (c < 0x20 || c > 0x7E) fail(2, "--serial: only printable ASCII characters");
      }
      sidecar += "serial " + mkstick::quoted(a.serial) + "\n";
    }
  }

  mkstick::Tree tree;
  if (!a.from.empty()) {
    if (std::string e = mkstick::scanFolderFor(a.from, a.out, &tree); !e.empty()) fail(1, e);
  } else {
    bool ok = false;
    const std::string text = readAll(a.manifest, &ok);
    if (!ok || !std::filesystem::is_regular_file(a.manifest)) {
      fail(1, "cannot read the manifest " + a.manifest + ": " +
                  (std::filesystem::exists(a.manifest) ? "not a readable file"
                                                       : "No such file or directory"));
    }
    mkstick::ManifestError error;
    if (!mkstick::parseManifest(text, &tree, &error)) {
      fail(1, a.manifest + ":" + std::to_string(error.line) + ": " + error.message);
    }
    const std::string base = std::filesystem::path(a.manifest).parent_path().string();
    int line = 0;
    if (std::string e = mkstick::resolveSources(&tree, base, &line); !e.empty()) {
      fail(1, a.manifest + ":" + std::to_string(line) + ": " + e);
    }
  }

  // The image must not replace one of its own inputs.
  std::error_code ec;
  if (std::filesystem::exists(a.out, ec)) {
    if (!a.manifest.empty() && std::filesystem::equivalent(a.out, a.manifest, ec)) {
      fail(1, "the image " + a.out + " would replace the manifest");
    }
    for (const mkstick::Node& n : tree.nodes()) {
      if (n.content.kind == mkstick::Content::Kind::Source &&
          std::filesystem::equivalent(a.out, n.content.source, ec)) {
        fail(1, "the image " + a.out + " would replace its own source file " + n.content.source);
      }
    }
  }

  mkstick::Summary summary;
  if (std::string e = mkstick::buildImage(tree, options, a.out, &summary); !e.empty()) {
    fail(1, e);
  }

  const std::string sidecarPath = a.out + ".usb";
  if (!sidecar.empty()) {
    if (std::string e = mkstick::writeFileAtomically(sidecarPath, sidecar); !e.empty()) {
      std::remove(a.out.c_str());
      fail(1, e);
    }
  } else {
    // An identity file left by an earlier run would describe another stick.
    bool ok = false;
    if (readAll(sidecarPath, &ok).rfind(kSidecarHeader, 0) == 0) std::remove(sidecarPath.c_str());
  }

  const mkstick::Geometry& g = summary.plan.geometry;
  const std::uint64_t used = std::uint64_t{summary.plan.nextFree - 2} * g.clusterBytes();
  std::printf(
      "%s: %s, FAT%d, %u-byte sectors, %s clusters, %zu folders, %zu files, %s used, "
      "serial %04X-%04X\n",
      a.out.c_str(), sizeText(summary.plan.imageBytes).c_str(), g.fatType, g.bytesPerSector,
      sizeText(g.clusterBytes()).c_str(), tree.folderCount(), tree.fileCount(),
      sizeText(used).c_str(), summary.serial >> 16, summary.serial & 0xFFFF);
  return 0;
}

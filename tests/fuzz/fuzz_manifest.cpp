// Feeds arbitrary bytes to the stick-manifest parser. Besides crashes and hangs it checks
// what every accepted manifest must give: valid names, no two alike in a folder (case
// ignored), distinct short names whose long entries spell the name again, and a layout whose
// clusters do not overlap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "image.h"
#include "manifest.h"
#include "names.h"
#include "tree.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The UTF-16 name spelled by the long entries in front of the short entry.
std::u16string spelled(const std::vector<std::uint8_t>& e) {
  static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  const std::size_t parts = e.size() / 32 - 1;
  std::u16string units;
  for (std::size_t p = 0; p < parts; ++p) {
    const std::uint8_t* entry = &e[(parts - 1 - p) * 32];
    check(entry[0] == ((p + 1) | (p + 1 == parts ? 0x40 : 0)));
    check(entry[11] == mkstick::ATTR_LONG_NAME);
    for (int off : kOffsets) {
      const auto u = static_cast<char16_t>(entry[off] | entry[off + 1] << 8);
      if (u == 0) return units;
      units.push_back(u);
    }
  }
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mkstick::Tree tree;
  mkstick::ManifestError error;
  if (!mkstick::parseManifest(text, &tree, &error)) {
    check(error.line >= 1);
    check(!error.message.empty());
    check(error.message.find('\n') == std::string::npos);
    return 0;
  }

  const auto& nodes = tree.nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const mkstick::Node& dir = nodes[i];
    if (i > 0) {
      check(mkstick::checkLongName(dir.name).empty());
      check(nodes[dir.parent].isDir);
    }
    if (!dir.isDir) {
      check(dir.children.empty());
      continue;
    }
    std::set<std::u32string> keys;
    std::vector<std::u32string> names;
    for (int c : dir.children) {
      check(nodes[c].parent == static_cast<int>(i));
      check(keys.insert(mkstick::foldKey(nodes[c].wide)).second);
      names.push_back(nodes[c].wide);
    }
    std::vector<mkstick::ShortName> shortNames;
    check(mkstick::assignShortNames(names, &shortNames).empty());
    std::set<std::array<std::uint8_t, 11>> seen;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const mkstick::ShortName& sn = shortNames[k];
      check(seen.insert(sn.bytes).second);
      check(sn.bytes[0] != ' ' && sn.bytes[0] != 0xE5 && sn.bytes[0] != 0);
      std::vector<std::uint8_t> entries;
      mkstick::appendEntries(names[k], sn, {}, &entries);
      check(entries.size() == mkstick::entrySlots(names[k], sn) * 32);
      if (sn.longEntries) check(spelled(entries) == mkstick::toUtf16(names[k]));
    }
  }

  mkstick::Plan plan;
  mkstick::ImageOptions options;
  if (mkstick::planImage(tree, options, &plan).empty()) {
    std::uint32_t next = 2;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (plan.clusters[i] == 0) continue;
      check(plan.firstCluster[i] == next);
      next += plan.clusters[i];
    }
    check(next == plan.nextFree);
    check(plan.nextFree - 2 <= plan.geometry.clusterCount);
  }
  return 0;
}

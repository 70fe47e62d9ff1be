#include "image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

namespace mkstick {
namespace {

constexpr std::uint32_t kMaxClusterBytes = 32768;
constexpr std::uint64_t kMiB = 1 << 20;

std::uint32_t minClusters(int type) { return type == 12 ? 1 : type == 16 ? 4085 : 65525; }
std::uint32_t maxClusters(int type) { return type == 12 ? 4084 : type == 16 ? 65524 : 0x0FFFFFF5; }

std::uint64_t fatBytes(int type, std::uint64_t entries) {
  return type == 12 ? (entries * 3 + 1) / 2 : entries * static_cast<std::uint64_t>(type) / 8;
}

std::uint64_t divUp(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

std::string sizeText(std::uint64_t bytes) {
  char text[48];
  const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    return text;
  }
  double v = static_cast<double>(bytes) / 1024;
  int u = 0;
  while (v >= 1024 && u < 3) v /= 1024, ++u;
  if (v == static_cast<double>(static_cast<std::uint64_t>(v))) {
    std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(v), units[u]);
  } else {
    std::snprintf(text, sizeof text, "%.1f %s", v, units[u]);
  }
  return text;
}

std::uint32_t defaultClusterBytes(int type, std::uint64_t volumeBytes) {
  if (type == 32) {
    if (volumeBytes <= 260 * kMiB) return 512;
    if (volumeBytes <= 8192 * kMiB) return 4096;
    if (volumeBytes <= 16384 * kMiB) return 8192;
    if (volumeBytes <= 32768 * kMiB) return 16384;
    return 32768;
  }
  if (volumeBytes <= 128 * kMiB) return 2048;
  if (volumeBytes <= 256 * kMiB) return 4096;
  if (volumeBytes <= 512 * kMiB) return 8192;
  if (volumeBytes <= 1024 * kMiB) return 16384;
  return 32768;
}

// The volume with `spc` sectors a cluster; false if nothing fits. The FATs are sized for
// the most clusters the volume could have, the reserved area is then grown to put the data
// area on a cluster boundary.
bool layout(int type, std::uint64_t total, std::uint32_t sectorSize, std::uint32_t spc,
            Geometry* g) {
  std::uint64_t reserved = type == 32 ? 32 : 1;
  const std::uint32_t rootEntries = type == 32 ? 0 : 512;
  const std::uint64_t rootSectors = rootEntries * 32 / sectorSize;
  if (total <= reserved + rootSectors + spc) return false;
  const std::uint64_t most = (total - reserved - rootSectors) / spc;
  const std::uint64_t fat = divUp(fatBytes(type, most + 2), sectorSize);
  std::uint64_t data = reserved + 2 * fat + rootSectors;
  const std::uint64_t pad = (spc - data % spc) % spc;
  reserved += pad;
  data += pad;
  if (data + spc > total || reserved > 0xFFFF) return false;
  g->fatType = type;
  g->bytesPerSector = sectorSize;
  g->sectorsPerCluster = spc;
  g->reservedSectors = static_cast<std::uint32_t>(reserved);
  g->rootEntries = rootEntries;
  g->sectorsPerFat = static_cast<std::uint32_t>(fat);
  g->totalSectors = static_cast<std::uint32_t>(total);
  g->clusterCount = static_cast<std::uint32_t>((total - data) / spc);
  return true;
}

// Finds a cluster size that gives `type` a cluster count in its range, starting from the
// usual size and halving or doubling from there.
std::string solve(int type, std::uint64_t total, std::uint32_t sectorSize, Geometry* g) {
  std::uint32_t c = std::max(sectorSize, defaultClusterBytes(type, total * sectorSize));
  int direction = 0;
  for (;;) {
    Geometry t;
    const bool ok = layout(type, total, sectorSize, c / sectorSize, &t);
    if (ok && t.clusterCount >= minClusters(type) && t.clusterCount <= maxClusters(type)) {
      *g = t;
      return "";
    }
    const bool tooFew = !ok || t.clusterCount < minClusters(type);
    if (tooFew && direction <= 0 && c > sectorSize) {
      c /= 2;
      direction = -1;
    } else if (!tooFew && direction >= 0 && c < kMaxClusterBytes) {
      c *= 2;
      direction = 1;
    } else {
      char text[256];
      std::snprintf(text, sizeof text,
                    "a FAT%d volume cannot be %s: FAT%d needs %u to %u clusters, and no "
                    "cluster size from %u bytes to 32 KiB gives that",
                    type, sizeText(total * sectorSize).c_str(), type, minClusters(type),
                    maxClusters(type), sectorSize);
      return text;
    }
  }
}

// ---- Writing.

struct Hash {
  std::uint64_t h = 1469598103934665603ull;
  void add(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  }
  void add64(std::uint64_t v) { add(&v, sizeof v); }
};

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

// The temporary file being written; removed again if the program is interrupted.
char g_tempPath[4096];
volatile std::sig_atomic_t g_tempActive = 0;

void onSignal(int sig) {
  if (g_tempActive) unlink(g_tempPath);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

class TempFile {
 public:
  // Creates "<path>.tmp-XXXXXX" beside `path`.
  std::string create(const std::string& path) {
    std::string name = path + ".tmp-XXXXXX";
    if (name.size() >= sizeof g_tempPath) return "path too long: " + path;
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    fd_ = mkstemp(buf.data());
    if (fd_ < 0) return "cannot create " + path + ": " + std::strerror(errno);
    name_ = buf.data();
    std::memcpy(g_tempPath, buf.data(), buf.size());
    g_tempActive = 1;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, onSignal);
    // mkstemp makes the file private; give it the permissions a new file normally has.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    return "";
  }
  int fd() const { return fd_; }
  std::string commit(const std::string& path) {
    if (fdatasync(fd_) != 0 || close(fd_) != 0) {
      fd_ = -1;
      return "cannot write " + path + ": " + std::strerror(errno);
    }
    fd_ = -1;
    if (std::rename(name_.c_str(), path.c_str()) != 0) {
      return "cannot write " + path + ": " + std::strerror(errno);
    }
    name_.clear();
    g_tempActive = 0;
    return "";
  }
  ~TempFile() {
    if (fd_ >= 0) close(fd_);
    if (!name_.empty()) unlink(name_.c_str());
    g_tempActive = 0;
  }

 private:
  int fd_ = -1;
  std::string name_;
};

class Writer {
 public:
  Writer(int fd, const std::string& path) : fd_(fd), path_(path) {}
  bool write(std::uint64_t offset, const void* data, std::size_t n, std::string* error) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
      const ssize_t w = pwrite(fd_, p, n, static_cast<off_t>(offset));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        *error = "cannot write " + path_ + ": " + std::strerror(w < 0 ? errno : ENOSPC);
        return false;
      }
      p += w;
      n -= static_cast<std::size_t>(w);
      offset += static_cast<std::uint64_t>(w);
    }
    return true;
  }

 private:
  int fd_;
  std::string path_;
};

// The files' bytes written so far, told to the caller's progress function.
class Progress {
 public:
  Progress(const Tree& tree, const ImageOptions& options) : report_(options.progress) {
    for (const Node& n : tree.nodes()) {
      if (!n.isDir) total_ += n.content.bytes();
    }
    if (report_) report_(0, total_);
  }
  void add(std::uint64_t n) {
    done_ += n;
    if (report_) report_(done_, total_);
  }

 private:
  const std::function<void(std::uint64_t, std::uint64_t)>& report_;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
};

std::string writeFileData(const Tree& tree, int index, std::uint64_t offset, Writer& out,
                          Hash& hash, Progress& progress) {
  const Node& node = tree.nodes()[index];
  const Content& c = node.content;
  std::string error;
  switch (c.kind) {
    case Content::Kind::Empty: return "";
    case Content::Kind::Text:
      hash.add(c.text.data(), c.text.size());
      if (!out.write(offset, c.text.data(), c.text.size(), &error)) return error;
      progress.add(c.text.size());
      return "";
    case Content::Kind::Filler: {
      Filler filler(tree.path(index));
      std::vector<std::uint8_t> buf(1 << 20);
      for (std::uint64_t done = 0; done < c.size;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), c.size - done));
        filler.fill(buf.data(), n);
        hash.add(buf.data(), n);
        if (!out.write(offset + done, buf.data(), n, &error)) return error;
        done += n;
        progress.add(n);
      }
      return "";
    }
    case Content::Kind::Source: {
      const int fd = open(c.source.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) return "cannot read " + c.source + ": " + std::strerror(errno);
      std::vector<std::uint8_t> buf(1 << 20);
      std::uint64_t done = 0;
      for (;;) {
        const ssize_t r = read(fd, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
          error = "cannot read " + c.source + ": " + std::strerror(errno);
          break;
        }
        if (r == 0) break;
        if (done + static_cast<std::uint64_t>(r) > c.size) break;
        hash.add(buf.data(), static_cast<std::size_t>(r));
        if (!out.write(offset + done, buf.data(), static_cast<std::size_t>(r), &error)) break;
        done += static_cast<std::uint64_t>(r);
        progress.add(static_cast<std::uint64_t>(r));
      }
      close(fd);
      if (error.empty() && done != c.size) error = c.source + " changed while it was copied";
      return error;
    }
  }
  return "";
}

std::vector<std::uint8_t> directoryBytes(const Tree& tree, const Plan& plan,
                                         const ImageOptions& options, int index) {
  const Node& dir = tree.nodes()[index];
  std::vector<std::uint8_t> out;
  if (index == 0) {
    if (options.hasLabel) appendShortEntry(options.label, 0, {ATTR_VOLUME, 0, 0}, &out);
  } else {
    std::array<std::uint8_t, 11> dot;
    dot.fill(' ');
    dot[0] = '.';
    appendShortEntry(dot, 0, {ATTR_DIRECTORY, plan.firstCluster[index], 0}, &out);
    dot[1] = '.';
    // ".." of a folder in the root points at cluster 0, also on FAT32.
    const std::uint32_t parent = dir.parent == 0 ? 0 : plan.firstCluster[dir.parent];
    appendShortEntry(dot, 0, {ATTR_DIRECTORY, parent, 0}, &out);
  }
  for (std::size_t k = 0; k < dir.children.size(); ++k) {
    const int child = dir.children[k];
    const Node& n = tree.nodes()[child];
    DirEntryData d;
    d.attributes =
        static_cast<std::uint8_t>(n.attributes | (n.isDir ? ATTR_DIRECTORY : ATTR_ARCHIVE));
    d.firstCluster = plan.firstCluster[child];
    d.size = n.isDir ? 0 : static_cast<std::uint32_t>(n.content.bytes());
    appendEntries(n.wide, plan.shortNames[index][k], d, &out);
  }
  return out;
}

std::vector<std::uint8_t> fatBytesFor(const Tree& tree, const Plan& plan) {
  const Geometry& g = plan.geometry;
  const int type = g.fatType;
  std::vector<std::uint32_t> entries(plan.nextFree, 0);
  const std::uint32_t eoc = type == 12 ? 0xFFF : type == 16 ? 0xFFFF : 0x0FFFFFFF;
  entries[0] = (eoc & ~0xFFu) | 0xF8;
  entries[1] = eoc;
  for (std::size_t i = 0; i < tree.nodes().size(); ++i) {
    const std::uint32_t first = plan.firstCluster[i];
    for (std::uint32_t k = 0; k < plan.clusters[i]; ++k) {
      entries[first + k] = k + 1 < plan.clusters[i] ? first + k + 1 : eoc;
    }
  }
  std::vector<std::uint8_t> bytes(divUp(fatBytes(type, entries.size()), g.bytesPerSector) *
                                  g.bytesPerSector);
  for (std::size_t n = 0; n < entries.size(); ++n) {
    const std::uint32_t v = entries[n];
    if (type == 12) {
      std::uint8_t* p = &bytes[n * 3 / 2];
      if (n % 2 == 0) {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>((p[1] & 0xF0) | (v >> 8));
      } else {
        p[0] = static_cast<std::uint8_t>((p[0] & 0x0F) | (v << 4));
        p[1] = static_cast<std::uint8_t>(v >> 4);
      }
    } else if (type == 16) {
      put16(&bytes[n * 2], v);
    } else {
      put32(&bytes[n * 4], v);
    }
  }
  return bytes;
}

// A boot sector of a volume that does not boot: the jump leads to "int 18h" (the BIOS tries
// the next device) and a halt.
std::vector<std::uint8_t> bootSector(const Plan& plan, const ImageOptions& options,
                                     std::uint32_t serial) {
  const Geometry& g = plan.geometry;
  std::vector<std::uint8_t> s(g.bytesPerSector, 0);
  const bool fat32 = g.fatType == 32;
  s[0] = 0xEB;
  s[1] = fat32 ? 0x58 : 0x3C;
  s[2] = 0x90;
  std::memcpy(&s[3], "MSWIN4.1", 8);
  put16(&s[11], g.bytesPerSector);
  s[13] = static_cast<std::uint8_t>(g.sectorsPerCluster);
  put16(&s[14], g.reservedSectors);
  s[16] = 2;
  put16(&s[17], g.rootEntries);
  const bool small = !fat32 && g.totalSectors < 0x10000;
  put16(&s[19], small ? g.totalSectors : 0);
  s[21] = 0xF8;
  put16(&s[22], fat32 ? 0 : g.sectorsPerFat);
  put16(&s[24], 63);
  put16(&s[26], 255);
  put32(&s[28], static_cast<std::uint32_t>(plan.volumeOffset / g.bytesPerSector));
  put32(&s[32], small ? 0 : g.totalSectors);
  std::size_t ext = 36;
  if (fat32) {
    put32(&s[36], g.sectorsPerFat);
    put16(&s[40], 0);  // both FATs mirrored
    put16(&s[42], 0);  // version 0.0
    put32(&s[44], 2);  // root folder cluster
    put16(&s[48], 1);  // FSInfo sector
    put16(&s[50], 6);  // boot sector copy
    ext = 64;
  }
  s[ext] = 0x80;  // drive number
  s[ext + 2] = 0x29;
  put32(&s[ext + 3], serial);
  if (options.hasLabel) {
    std::copy(options.label.begin(), options.label.end(), &s[ext + 7]);
    if (s[ext + 7] == 0x05) s[ext + 7] = 0xE5;
  } else {
    std::memcpy(&s[ext + 7], "NO NAME    ", 11);
  }
  std::memcpy(&s[ext + 18],
              g.fatType == 12   ? "FAT12   "
              : g.fatType == 16 ? "FAT16   "
                                : "FAT32   ",
              8);
  static constexpr std::uint8_t kCode[] = {0xCD, 0x18, 0xF4, 0xEB, 0xFD};
  std::memcpy(&s[ext + 26], kCode, sizeof kCode);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

std::vector<std::uint8_t> fsInfoSector(const Plan& plan) {
  const Geometry& g = plan.geometry;
  std::vector<std::uint8_t> s(g.bytesPerSector, 0);
  put32(&s[0], 0x41615252);
  put32(&s[484], 0x61417272);
  const std::uint32_t used = plan.nextFree - 2;
  put32(&s[488], g.clusterCount - used);
  put32(&s[492], plan.nextFree <= g.clusterCount + 1 ? plan.nextFree : 0xFFFFFFFF);
  put32(&s[508], 0xAA550000);
  return s;
}

void chs(std::uint64_t lba, std::uint8_t* p) {
  std::uint64_t c = lba / (255 * 63), h = (lba / 63) % 255, s = lba % 63 + 1;
  if (c > 1023) c = 1023, h = 254, s = 63;
  p[0] = static_cast<std::uint8_t>(h);
  p[1] = static_cast<std::uint8_t>(s | ((c >> 2) & 0xC0));
  p[2] = static_cast<std::uint8_t>(c);
}

std::vector<std::uint8_t> mbrSector(const Plan& plan, std::uint32_t serial) {
  const Geometry& g = plan.geometry;
  std::vector<std::uint8_t> s(g.bytesPerSector, 0);
  static constexpr std::uint8_t kCode[] = {0xCD, 0x18, 0xF4, 0xEB, 0xFD};
  std::memcpy(&s[0], kCode, sizeof kCode);
  put32(&s[440], serial);  // disk signature
  std::uint8_t* e = &s[446];
  const std::uint64_t start = plan.volumeOffset / g.bytesPerSector;
  const std::uint64_t count = g.totalSectors;
  e[0] = 0x00;
  chs(start, e + 1);
  if (g.fatType == 12) {
    e[4] = 0x01;
  } else if (g.fatType == 16) {
    e[4] = count * g.bytesPerSector < 32 * kMiB ? 0x04 : 0x06;
  } else {
    e[4] = 0x0C;
  }
  chs(start + count - 1, e + 5);
  put32(e + 8, static_cast<std::uint32_t>(start));
  put32(e + 12, static_cast<std::uint32_t>(count));
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

}  // namespace

std::string planGeometry(std::uint64_t totalSectors, std::uint32_t sectorSize, int fatType,
                         Geometry* out) {
  if (totalSectors > 0xFFFFFFFFu) {
    return "a FAT volume has at most 2^32 - 1 sectors (" +
           sizeText((std::uint64_t{1} << 32) * sectorSize - sectorSize) + " with " +
           std::to_string(sectorSize) + "-byte sectors)";
  }
  if (fatType != 0) return solve(fatType, totalSectors, sectorSize, out);
  const std::uint64_t bytes = totalSectors * sectorSize;
  if (bytes >= 512 * kMiB) return solve(32, totalSectors, sectorSize, out);
  Geometry g;
  const std::uint32_t c = std::max(sectorSize, defaultClusterBytes(12, bytes));
  if (layout(12, totalSectors, sectorSize, c / sectorSize, &g) && g.clusterCount <= 4084) {
    *out = g;
    return "";
  }
  if (solve(16, totalSectors, sectorSize, out).empty()) return "";
  return solve(12, totalSectors, sectorSize, out);
}

std::string planImage(const Tree& tree, const ImageOptions& options, Plan* plan) {
  const auto& nodes = tree.nodes();
  const std::uint32_t sectorSize = options.sectorSize;
  if (sectorSize != 512 && sectorSize != 1024 && sectorSize != 2048 && sectorSize != 4096) {
    return "the sector size must be 512, 1024, 2048 or 4096 bytes";
  }
  plan->shortNames.assign(nodes.size(), {});
  plan->dirBytes.assign(nodes.size(), 0);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const Node& n = nodes[i];
    const std::string where = i == 0 ? "the root folder" : quoted(tree.path(static_cast<int>(i)));
    if (!n.isDir) {
      if (n.content.bytes() > MAX_FILE_SIZE) {
        return quoted(tree.path(static_cast<int>(i))) +
               " is larger than a FAT file can be (4 GiB - 1)";
      }
      continue;
    }
    std::vector<std::u32string> names;
    for (int c : n.children) names.push_back(nodes[c].wide);
    if (std::string e = assignShortNames(names, &plan->shortNames[i]); !e.empty()) {
      return where + ": " + std::move(e);
    }
    std::uint64_t slots = i == 0 ? (options.hasLabel ? 1 : 0) : 2;
    for (std::size_t k = 0; k < names.size(); ++k) {
      slots += entrySlots(names[k], plan->shortNames[i][k]);
    }
    if (slots > 65536) {
      return where + " needs " + std::to_string(slots) +
             " entries (a long name takes one per 13 characters, plus one); a FAT folder "
             "holds at most 65536";
    }
    plan->dirBytes[i] = slots * DIR_ENTRY_SIZE;
  }

  const std::uint64_t offset = options.mbr ? MBR_OFFSET : 0;
  auto clustersFor = [&](std::size_t i, std::uint32_t cb, bool fat32) -> std::uint64_t {
    if (nodes[i].isDir)
      return i == 0 && !fat32 ? 0 : std::max<std::uint64_t>(1, divUp(plan->dirBytes[i], cb));
    return divUp(nodes[i].content.bytes(), cb);
  };
  auto needed = [&](const Geometry& g) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i)
      sum += clustersFor(i, g.clusterBytes(), g.fatType == 32);
    return sum;
  };
  auto geometryFor = [&](std::uint64_t imageBytes, Geometry* g) -> std::string {
    if (imageBytes % sectorSize != 0) {
      return "the image size must be a whole number of " + std::to_string(sectorSize) +
             "-byte sectors";
    }
    if (imageBytes <= offset)
      return "the image must be larger than 1 MiB to hold an MBR and a volume";
    return planGeometry((imageBytes - offset) / sectorSize, sectorSize, options.fatType, g);
  };

  Geometry g;
  std::uint64_t imageBytes = options.imageBytes;
  if (imageBytes != 0) {
    if (std::string e = geometryFor(imageBytes, &g); !e.empty()) return e;
    const std::uint64_t need = needed(g);
    if (need > g.clusterCount) {
      return "the image is too small: the content needs " + std::to_string(need) + " clusters of " +
             sizeText(g.clusterBytes()) + " (" + sizeText(need * g.clusterBytes()) + ") but a " +
             sizeText(imageBytes) + " FAT" + std::to_string(g.fatType) + " image has " +
             std::to_string(g.clusterCount) + " (" +
             sizeText(std::uint64_t{g.clusterCount} * g.clusterBytes()) + "); use a larger --size";
    }
  } else {
    bool found = false;
    for (std::uint64_t size = kMiB; size <= (std::uint64_t{1} << 44) && !found; size *= 2) {
      if (geometryFor(size, &g).empty() && needed(g) <= g.clusterCount) {
        imageBytes = size;
        found = true;
      }
    }
    if (!found) return "the content does not fit on any FAT volume";
  }

  if (g.fatType != 32) {
    const std::uint64_t rootSlots = plan->dirBytes[0] / DIR_ENTRY_SIZE;
    if (rootSlots > g.rootEntries) {
      return "the root folder needs " + std::to_string(rootSlots) +
             " entries (a long name takes one per 13 characters, plus one) but a FAT" +
             std::to_string(g.fatType) + " root folder holds " + std::to_string(g.rootEntries) +
             " (FAT32 has no such limit: --fat 32)";
    }
  }

  plan->geometry = g;
  plan->imageBytes = imageBytes;
  plan->volumeOffset = offset;
  plan->firstCluster.assign(nodes.size(), 0);
  plan->clusters.assign(nodes.size(), 0);
  std::uint32_t next = 2;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const auto n = static_cast<std::uint32_t>(clustersFor(i, g.clusterBytes(), g.fatType == 32));
    if (n == 0) continue;
    plan->firstCluster[i] = next;
    plan->clusters[i] = n;
    next += n;
  }
  plan->nextFree = next;
  return "";
}

std::string buildImage(const Tree& tree, const ImageOptions& options, const std::string& outPath,
                       Summary* summary) {
  Plan& plan = summary->plan;
  if (std::string e = planImage(tree, options, &plan); !e.empty()) return e;
  const Geometry& g = plan.geometry;
  struct stat st;
  if (stat(outPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return outPath + " is a folder";

  TempFile temp;
  if (std::string e = temp.create(outPath); !e.empty()) return e;
  if (ftruncate(temp.fd(), static_cast<off_t>(plan.imageBytes)) != 0) {
    return "cannot make " + outPath + " " + sizeText(plan.imageBytes) +
           " large: " + std::strerror(errno);
  }
  Writer out(temp.fd(), outPath);
  Hash hash;
  for (std::uint64_t v :
       {std::uint64_t{g.bytesPerSector}, std::uint64_t{g.sectorsPerCluster},
        std::uint64_t{g.totalSectors}, static_cast<std::uint64_t>(g.fatType), plan.volumeOffset}) {
    hash.add64(v);
  }

  const std::uint64_t volume = plan.volumeOffset;
  const std::uint64_t sector = g.bytesPerSector;
  const std::uint64_t fatStart = volume + g.reservedSectors * sector;
  const std::uint64_t rootStart = fatStart + 2ull * g.sectorsPerFat * sector;
  const std::uint64_t dataStart = volume + std::uint64_t{g.firstDataSector()} * sector;
  auto clusterOffset = [&](std::uint32_t cluster) {
    return dataStart + std::uint64_t{cluster - 2} * g.clusterBytes();
  };

  std::string error;
  Progress progress(tree, options);
  const auto& nodes = tree.nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const int index = static_cast<int>(i);
    if (nodes[i].isDir) {
      std::vector<std::uint8_t> bytes = directoryBytes(tree, plan, options, index);
      hash.add(bytes.data(), bytes.size());
      const std::uint64_t at =
          plan.clusters[i] == 0 ? rootStart : clusterOffset(plan.firstCluster[i]);
      if (!out.write(at, bytes.data(), bytes.size(), &error)) return error;
    } else if (plan.clusters[i] != 0) {
      if (std::string e =
              writeFileData(tree, index, clusterOffset(plan.firstCluster[i]), out, hash, progress);
          !e.empty()) {
        return e;
      }
    }
  }

  const std::vector<std::uint8_t> fat = fatBytesFor(tree, plan);
  hash.add(fat.data(), fat.size());
  for (int copy = 0; copy < 2; ++copy) {
    if (!out.write(fatStart + static_cast<std::uint64_t>(copy) * g.sectorsPerFat * sector,
                   fat.data(), fat.size(), &error)) {
      return error;
    }
  }

  summary->serial = static_cast<std::uint32_t>(hash.h ^ (hash.h >> 32));
  const std::vector<std::uint8_t> boot = bootSector(plan, options, summary->serial);
  if (!out.write(volume, boot.data(), boot.size(), &error)) return error;
  if (g.fatType == 32) {
    const std::vector<std::uint8_t> info = fsInfoSector(plan);
    if (!out.write(volume + sector, info.data(), info.size(), &error) ||
        !out.write(volume + 6 * sector, boot.data(), boot.size(), &error) ||
        !out.write(volume + 7 * sector, info.data(), info.size(), &error)) {
      return error;
    }
  }
  if (options.mbr) {
    const std::vector<std::uint8_t> mbr = mbrSector(plan, summary->serial);
    if (!out.write(0, mbr.data(), mbr.size(), &error)) return error;
  }
  return temp.commit(outPath);
}

std::string writeFileAtomically(const std::string& path, const std::string& bytes) {
  TempFile temp;
  if (std::string e = temp.create(path); !e.empty()) return e;
  Writer out(temp.fd(), path);
  std::string error;
  if (!out.write(0, bytes.data(), bytes.size(), &error)) return error;
  return temp.commit(path);
}

}  // namespace mkstick

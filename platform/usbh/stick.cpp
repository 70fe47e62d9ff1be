// The stick and the OTG full-speed controller in host mode.
//
// Model: the image file is mapped read-only; its block size is taken from the file system's
// boot sector (FAT: bytes per sector; exFAT: the sector-size shift; after an MBR, the first
// partition's), 512 otherwise. The controller raises its interrupt for connection and
// disconnection of the port, and for "port enabled" a short while after a port reset. VBUS
// follows the board's power switch, an active-low line of the chip (connectVbusSwitch; off
// until the firmware drives the line low). Transfers are not modelled at the packet level: the host
// library asks the stick directly and the time of the transfer passes in the caller.
// Faults (the board's backdoor, `stick fault` in a scenario): blocks that cannot be read fail
// the whole command that touches them, after the command's time, as a stick's own read error;
// a stalled command is not answered at all, so the host waits out its time-out; a slow stick
// takes a multiple of the time for every command. They belong to the stick in the slot and go
// with it; the trace shows each failed command as a `stick` event.
// Simplification: start-of-frame interrupts are not raised; writes are refused.
#include "stick.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "simhal.h"
#include "trace.h"

namespace simusb {
namespace {

constexpr simk::Time kPortResetTime = 10 * simk::kMs;

struct Image {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::uint32_t blockSize = 512;
};

struct Port {
  Image image;
  bool present = false;
  std::uint64_t generation = 0;
  bool vbusOn = false;
  bool controllerRunning = false;
  bool connected = false;  // as the controller reported it
  bool enabled = false;
  // Interrupt causes waiting for the handler.
  bool pendingConnect = false;
  bool pendingDisconnect = false;
  bool pendingEnabled = false;
  Identity identity;
  Faults faults;
  std::uint64_t readCommands = 0;
};

Port& port() {
  static Port p;
  return p;
}

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | std::uint32_t{p[3]} << 24;
}

std::uint32_t sectorSizeAt(const std::uint8_t* boot) {
  if (std::memcmp(boot + 3, "EXFAT   ", 8) == 0) {
    const unsigned shift = boot[108];
    return (shift >= 9 && shift <= 12) ? 1U << shift : 0;
  }
  const std::uint16_t bps = le16(boot + 11);
  if (bps == 512 || bps == 1024 || bps == 2048 || bps == 4096) return bps;
  return 0;
}

std::uint32_t blockSizeOf(const std::uint8_t* data, std::size_t size) {
  if (size < 512) return 512;
  if (data[510] == 0x55 && data[511] == 0xAA) {
    if (std::uint32_t s = sectorSizeAt(data)) return s;
    // A partition table: the first partition's boot sector, in 512-byte units first.
    const std::uint32_t start = le32(data + 446 + 8);
    for (std::uint32_t unit : {512U, 4096U}) {
      const std::uint64_t off = std::uint64_t{start} * unit;
      if (start != 0 && off + 512 <= size) {
        if (std::uint32_t s = sectorSizeAt(data + off)) return s;
      }
    }
  }
  return 512;
}

bool mapImage(const std::string& path, Image* image, std::string* reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 512) {
    ::close(fd);
    if (reason != nullptr) *reason = "not a disk image (a file of at least 512 bytes)";
    return false;
  }
  void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return false;
  }
  if (image == nullptr) {
    munmap(p, static_cast<std::size_t>(st.st_size));
    return true;
  }
  image->data = static_cast<const std::uint8_t*>(p);
  image->size = static_cast<std::size_t>(st.st_size);
  image->blockSize = blockSizeOf(image->data, image->size);
  return true;
}

void unmapImage(Image& image) {
  if (image.data != nullptr) munmap(const_cast<std::uint8_t*>(image.data), image.size);
  image = Image{};
}

// Looks at the port after any change and raises the controller's interrupt when the host
// should hear of a connection or disconnection.
void updatePort() {
  Port& p = port();
  const bool shouldConnect = p.present && p.vbusOn && p.controllerRunning;
  if (shouldConnect == p.connected) return;
  p.connected = shouldConnect;
  if (shouldConnect) {
    p.pendingConnect = true;
  } else {
    p.pendingDisconnect = true;
    p.enabled = false;
  }
  if (simk::inInterrupt()) {
    simhal::raiseIrq(OTG_FS_IRQn);
  } else {
    simhal::scheduleIrq(simk::now(), OTG_FS_IRQn);
  }
}

}  // namespace

Timing& timing() {
  static Timing t;
  return t;
}

bool parseIdentity(std::string_view text, const std::string& name, Identity* identity,
                   std::string* reason) {
  int lineNo = 0;
  auto fail = [&](const std::string& what) {
    if (reason != nullptr) *reason = name + ":" + std::to_string(lineNo) + ": " + what;
    return false;
  };
  while (!text.empty()) {
    ++lineNo;
    const size_t eol = text.find('\n');
    std::string_view raw = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.size() > kMaxIdentityLine) {
      return fail("line too long (more than " + std::to_string(kMaxIdentityLine) + " characters)");
    }
    const std::string line(raw);
    if (line.find('\0') != std::string::npos) return fail("a NUL character");
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const size_t space = line.find_first_of(" \t", start);
    const std::string key = line.substr(start, space - start);
    std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    if (key == "vid" || key == "pid") {
      char* end = nullptr;
      errno = 0;
      const unsigned long v = std::strtoul(value.c_str(), &end, 0);
      if (value.empty() || *end != 0 || v > 0xFFFF || errno != 0 || value[0] == '-' ||
          value[0] == '+') {
        return fail("'" + key + "' needs a number from 0 to 0xFFFF");
      }
      if (identity != nullptr) {
        (key == "vid" ? identity->vid : identity->pid) = static_cast<std::uint16_t>(v);
      }
    } else if (key == "serial") {
      std::string serial;
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        for (size_t i = 1; i + 1 < value.size(); ++i) {
          if (value[i] == '\\' && i + 2 < value.size()) ++i;
          serial += value[i];
        }
      } else {
        serial = value;
      }
      if (identity != nullptr) identity->serial = serial;
    } else {
      return fail("unknown key '" + key + "' (vid, pid or serial)");
    }
  }
  return true;
}

bool readIdentity(const std::string& path, Identity* identity, std::string* reason) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return true;  // no identity file: the defaults
  std::string text;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
    if (text.size() > kMaxIdentityFile) break;
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    if (reason != nullptr) *reason = path + ": cannot read";
    return false;
  }
  if (text.size() > kMaxIdentityFile) {
    if (reason != nullptr) {
      *reason = path + ": too big for an identity file (more than " +
                std::to_string(kMaxIdentityFile) + " bytes)";
    }
    return false;
  }
  return parseIdentity(text, path, identity, reason);
}

bool checkImage(const std::string& path, std::string* reason) {
  return mapImage(path, nullptr, reason) && readIdentity(path + ".usb", nullptr, reason);
}

void insert(const std::string& path) {
  Port& p = port();
  if (p.present) remove();
  std::string reason;
  if (!mapImage(path, &p.image, &reason)) {
    simk::endRun(2, "cannot read stick image " + path + ": " + reason);
  }
  p.identity = Identity{};
  if (!readIdentity(path + ".usb", &p.identity, &reason)) simk::endRun(2, reason);
  p.faults = Faults{};
  p.present = true;
  ++p.generation;
  simtrace::Event("stick").str("state", "inserted").str("image", path);
  updatePort();
}

void remove() {
  Port& p = port();
  if (!p.present) return;
  p.present = false;
  p.faults = Faults{};
  unmapImage(p.image);
  simtrace::Event("stick").str("state", "removed");
  updatePort();
}

bool present() { return port().present; }

bool connected(Medium* medium) {
  const Port& p = port();
  if (!p.connected || !p.present) return false;
  if (medium != nullptr) {
    medium->generation = p.generation;
    medium->blockSize = p.image.blockSize;
    medium->blockCount = static_cast<std::uint32_t>(p.image.size / p.image.blockSize);
    medium->identity = p.identity;
  }
  return true;
}

void setFaults(const Faults& faults) {
  if (port().present) port().faults = faults;
}

const Faults& faults() { return port().faults; }

ReadResult readBlocks(std::uint64_t generation, std::uint32_t lba, std::uint32_t count,
                      std::uint8_t* out, simk::Time timeout) {
  ++port().readCommands;
  Faults& f = port().faults;
  if (f.stalls > 0 && port().generation == generation) {
    --f.stalls;
    simtrace::Event("stick").str("state", "no answer");
    simk::busyWait(timeout);
    return ReadResult::NoAnswer;
  }
  const std::uint64_t bytes = std::uint64_t{count} * port().image.blockSize;
  simk::busyWait((timing().perCommand + bytes * timing().perByte) * f.slowFactor);
  const Port& p = port();
  if (!p.connected || !p.present || p.generation != generation) return ReadResult::Gone;
  const std::uint64_t offset = std::uint64_t{lba} * p.image.blockSize;
  if (offset + bytes > p.image.size) return ReadResult::Gone;
  for (const BlockRange& bad : p.faults.unreadable) {
    const std::uint64_t first = bad.first > lba ? bad.first : lba;
    if (first < bad.first + bad.count && first < std::uint64_t{lba} + count) {
      simtrace::Event("stick").str("state", "read error").unum("sector", first);
      return ReadResult::MediumError;
    }
  }
  std::memcpy(out, p.image.data + offset, bytes);
  return ReadResult::Ok;
}

std::uint64_t readCommands() { return port().readCommands; }

void connectVbusSwitch(simhal::Line line) {
  simhal::onOutputChange(line.port, line.pin, [](bool high) {
    port().vbusOn = !high;
    updatePort();
  });
}

}  // namespace simusb

// ---- The controller, as the chip support library presents it.

extern "C" {

USB_OTG_GlobalTypeDef sim_USB_OTG_FS;

__attribute__((weak)) void HAL_HCD_MspInit(HCD_HandleTypeDef*) {}
__attribute__((weak)) void HAL_HCD_SOF_Callback(HCD_HandleTypeDef*) {}
__attribute__((weak)) void HAL_HCD_Connect_Callback(HCD_HandleTypeDef*) {}
__attribute__((weak)) void HAL_HCD_Disconnect_Callback(HCD_HandleTypeDef*) {}
__attribute__((weak)) void HAL_HCD_PortEnabled_Callback(HCD_HandleTypeDef*) {}
__attribute__((weak)) void HAL_HCD_PortDisabled_Callback(HCD_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_HCD_Init(HCD_HandleTypeDef* hhcd) {
  if (hhcd == nullptr) return HAL_ERROR;
  simhal::record("HAL_HCD_Init", "channels=%u speed=%u dma=%u phy=%u sof=%u vbus-sensing=%u",
                 hhcd->Init.Host_channels, hhcd->Init.speed, hhcd->Init.dma_enable,
                 hhcd->Init.phy_itface, hhcd->Init.Sof_enable, hhcd->Init.vbus_sensing_enable);
  if (hhcd->State == HAL_HCD_STATE_RESET) {
    hhcd->Lock = HAL_UNLOCKED;
    HAL_HCD_MspInit(hhcd);
  }
  hhcd->State = HAL_HCD_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_HCD_Start(HCD_HandleTypeDef* hhcd) {
  simhal::record("HAL_HCD_Start");
  (void)hhcd;
  simusb::port().controllerRunning = true;
  simusb::updatePort();
  return HAL_OK;
}

HAL_StatusTypeDef HAL_HCD_Stop(HCD_HandleTypeDef* hhcd) {
  (void)hhcd;
  simusb::port().controllerRunning = false;
  simusb::updatePort();
  return HAL_OK;
}

HAL_StatusTypeDef HAL_HCD_ResetPort(HCD_HandleTypeDef* hhcd) {
  (void)hhcd;
  const std::uint64_t generation = simusb::port().generation;
  simk::schedule(simk::now() + simusb::kPortResetTime, simhal::irqPriority(OTG_FS_IRQn),
                 [generation] {
                   simusb::Port& p = simusb::port();
                   if (!p.connected || p.generation != generation) return;
                   p.enabled = true;
                   p.pendingEnabled = true;
                   simhal::raiseIrq(OTG_FS_IRQn);
                 });
  return HAL_OK;
}

uint32_t HAL_HCD_GetCurrentSpeed(HCD_HandleTypeDef*) { return HCD_SPEED_FULL; }

void HAL_HCD_IRQHandler(HCD_HandleTypeDef* hhcd) {
  simusb::Port& p = simusb::port();
  if (p.pendingDisconnect) {
    p.pendingDisconnect = false;
    p.pendingEnabled = false;
    HAL_HCD_PortDisabled_Callback(hhcd);
    HAL_HCD_Disconnect_Callback(hhcd);
  }
  if (p.pendingConnect) {
    p.pendingConnect = false;
    HAL_HCD_Connect_Callback(hhcd);
  }
  if (p.pendingEnabled) {
    p.pendingEnabled = false;
    HAL_HCD_PortEnabled_Callback(hhcd);
  }
}

}  // extern "C"

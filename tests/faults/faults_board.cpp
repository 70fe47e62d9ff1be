#include "faults_board.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <regex>

#include "process.h"
#include "runner.h"
#include "scenario.h"
#include "simkernel.h"
#include "sram.h"
#include "sram/sram_data.h"

namespace faulttest {
namespace {

uint32_t le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
  return v;
}

}  // namespace

const std::string& dir() {
  static const std::string d = proc::tempDir();
  return d;
}

uint64_t firstSector(const std::string& image, const std::string& path) {
  const std::string boot = proc::readFile(image).substr(0, 512);
  const uint32_t reserved = le(boot, 14, 2), fats = static_cast<uint8_t>(boot[16]);
  const uint32_t rootEntries = le(boot, 17, 2), fatSize = le(boot, 22, 2);
  const uint32_t perCluster = static_cast<uint8_t>(boot[13]), sectorSize = le(boot, 11, 2);
  const uint64_t root = reserved + uint64_t{fats} * fatSize;
  if (path == "/") return root;
  const uint64_t data = root + (uint64_t{rootEntries} * 32 + sectorSize - 1) / sectorSize;
  const auto shown = proc::run({"/usr/bin/mshowfat", "-i", image, "::" + path});
  std::smatch m;
  static const std::regex cluster(R"(<(\d+))");
  EXPECT_TRUE(std::regex_search(shown.out, m, cluster)) << path << ": " << shown.out << shown.err;
  if (m.empty()) return 0;
  return data + (std::stoull(m[1]) - 2) * perCluster;
}

BoardRun run(const std::string& script, const std::string& stickImage, const std::string& sram) {
  auto parsed = simscn::parseScript(script, "life.scn", dir());
  BoardRun r;
  if (auto* e = std::get_if<simscn::ParseError>(&parsed)) {
    ADD_FAILURE() << e->text();
    return r;
  }
  simrun::RunConfig config;
  config.options.headless = true;
  config.options.stick = stickImage;
  config.options.sram = sram;
  config.script = std::get<simscn::Script>(std::move(parsed));
  config.hasScript = true;
  const int console = memfd_create("console", 0);
  const int trace = memfd_create("trace", 0);
  const int chips = memfd_create("chips", 0);
  config.consoleFd = console;
  config.traceFd = trace;
  // In the board's process: both copies after each write, behind the time it ended.
  simsram::onWriteEnd([chips](uint32_t first, uint32_t bytes) {
    char both[2 * sizeof(StoredRecord)];
    simsram::read(SRAM_COPY_A, both, sizeof(StoredRecord));
    simsram::read(SRAM_COPY_B, both + sizeof(StoredRecord), sizeof(StoredRecord));
    const uint64_t head[3] = {simk::now(), first, bytes};
    (void)!write(chips, head, sizeof head);
    (void)!write(chips, both, sizeof both);
  });
  r.status = simrun::run(config);
  simsram::onWriteEnd({});
  r.console = proc::readAll(console);
  r.trace = proc::readAll(trace);
  const std::string all = proc::readAll(chips);
  constexpr size_t kEntry = 24 + 2 * sizeof(StoredRecord);
  for (size_t at = 0; at + kEntry <= all.size(); at += kEntry) {
    ChipAfterWrite w;
    uint64_t head[3];
    std::memcpy(head, all.data() + at, sizeof head);
    w.endNs = head[0];
    w.address = static_cast<uint32_t>(head[1]);
    w.bytes = static_cast<uint32_t>(head[2]);
    w.copyA = all.substr(at + 24, sizeof(StoredRecord));
    w.copyB = all.substr(at + 24 + sizeof(StoredRecord), sizeof(StoredRecord));
    r.writes.push_back(std::move(w));
  }
  close(console);
  close(trace);
  close(chips);
  return r;
}

}  // namespace faulttest

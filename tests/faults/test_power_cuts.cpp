// Power cuts at any instant, on the whole firmware: the supply goes between two bytes of a
// settings write, in a codec write, in a stick read, or anywhere else, and the next power-on
// finds a complete record, the one before the write or the one it was writing, and resumes
// where that record says.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "faults_board.h"
#include "process.h"
#include "sram/sram_data.h"

namespace {

using namespace faulttest;

constexpr uint64_t kMs = 1000000;
constexpr uint64_t kByteNs = 640;  // one byte on the SRAM's bus at 12.5 MHz
#if defined(SHAPEPLAY_SANITIZE)
// The sanitizer build runs the firmware some eight times slower: the same cuts, fewer of them.
constexpr int kCutsEachWay = 30;
#else
constexpr int kCutsEachWay = 100;
#endif

// Root folder "A" with playback folders F0 and F1 of three long tracks each.
const std::string& cutStick() {
  static const std::string image = [] {
    std::string m;
    for (int f = 0; f < 2; ++f) {
      for (int t = 0; t < 3; ++t) {
        m += "file \"A/F" + std::to_string(f) + "/T" + std::to_string(t) + ".mp3\" src=\"" +
             track(300 + 150 * (3 * f + t), 80) + "\"\n";
      }
    }
    return stick(m);
  }();
  return image;
}

// The record the next power-on takes from a chip's two copies.
std::string chosen(const std::string& copyA, const std::string& copyB) {
  StoredRecord a, b;
  std::memcpy(&a, copyA.data(), sizeof a);
  std::memcpy(&b, copyB.data(), sizeof b);
  switch (chooseCopy(describeCopy(a.record, a.check), describeCopy(b.record, b.check))) {
    case RecordSource::CopyB: return copyB.substr(0, sizeof(SramDataStruct));
    case RecordSource::None: return "";
    default: return copyA.substr(0, sizeof(SramDataStruct));
  }
}

std::string copyOf(const std::string& chip, uint32_t at) { return chip.substr(at, 16668); }

SramDataStruct recordOf(const std::string& bytes) {
  SramDataStruct r;
  std::memcpy(&r, bytes.data(), sizeof r);
  return r;
}

// The lines of the start-up dump that a record gives (root folder 0's slots included, as its
// folder count is 1).
std::string dumpOf(const SramDataStruct& r) {
  std::string d = "currentRootFolderNumber: " + std::to_string(r.currentRootFolderNumber) + "\n" +
                  "usbIdentifier.vid: 0\nusbIdentifier.pid: 0\n" +
                  "currentVolume:" + std::to_string(r.currentVolume) + "\n" +
                  "spkBoost:" + std::to_string(r.spkBoost) + "\n" +
                  "maxVolume:" + std::to_string(r.maxVolume) + "\n" +
                  "effect3d:" + std::to_string(r.effect3d) + "\n";
  for (int band = 0; band < 5; ++band) {
    d += "equalizer[" + std::to_string(band) + "]:" + std::to_string(r.equalizer[band]) + "\n";
  }
  for (int a = 0; a < 16; ++a) {
    d += "root: 0,  audio: " + std::to_string(a) +
         ",  currentFileNumber: " + std::to_string(r.audioFolder[0][a].currentFileNumber) +
         ",  positionInFile: " + std::to_string(r.audioFolder[0][a].positionInFile) + "\n";
  }
  return d;
}

// One power-on: the child picks playback folder `folder` of root folder 0 (resume is on), the
// parents change their settings, maybe the next track, maybe the other folder.
struct Life {
  int folder = 0;
  uint64_t settingsAt = 0;  // when the parents' settings change (the record is written)
  std::vector<std::pair<uint64_t, std::string>> commands;  // at virtual ns
  uint64_t end = 0;
};

Life makeLife(std::mt19937& rng) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Life life;
  life.folder = pick(0, 1);
  uint64_t t = 1300 * kMs;
  life.commands.push_back(
      {t, "event BTN_PlaybackFolder main=0 playback=" + std::to_string(life.folder)});
  t += static_cast<uint64_t>(pick(2200, 3000)) * kMs;
  std::string settings =
      "event BTN_ParentSettingsChanged resume=1 maxvol=" + std::to_string(pick(20, 63)) +
      " boost=" + std::to_string(pick(0, 7)) + " effect3d=" + std::to_string(pick(0, 31));
  for (int band = 1; band <= 5; ++band) {
    settings += " eq" + std::to_string(band) + "=" + std::to_string(pick(0, 24));
  }
  life.commands.push_back({t, settings});
  life.settingsAt = t;
  t += static_cast<uint64_t>(pick(100, 900)) * kMs;
  if (pick(0, 1) == 1) life.commands.push_back({t, "event BTN_Forward"});
  t += static_cast<uint64_t>(pick(300, 900)) * kMs;
  if (pick(0, 1) == 1) {
    life.commands.push_back(
        {t, "event BTN_PlaybackFolder main=0 playback=" + std::to_string(1 - life.folder)});
  }
  life.end = t + static_cast<uint64_t>(pick(200, 800)) * kMs;
  return life;
}

std::string script(const Life& life, uint64_t cutAt = 0) {
  auto commands = life.commands;
  if (cutAt != 0) {
    commands.push_back({cutAt, "power cut"});
    std::stable_sort(commands.begin(), commands.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  std::string s;
  uint64_t now = 0;
  for (const auto& [at, line] : commands) {
    if (at > now) s += "wait " + std::to_string(at - now) + "ns\n";
    now = std::max(now, at);
    s += line + "\n";
  }
  if (cutAt == 0 && life.end > now) s += "wait " + std::to_string(life.end - now) + "ns\n";
  return s;
}

// A chip written before the second copy existed: the record at address 0 alone. Folder count
// 1 (the start-up dump shows root folder 0's slots), resume on.
std::string olderChip() {
  SramDataStruct r;
  setDefaultRecord(r);
  r.folderCount = 1;
  r.positionResume = 1;
  r.currentVolume = 40;
  std::string chip(SRAM_SIZE, '\0');
  std::memcpy(chip.data(), &r, sizeof r);
  return chip;
}

TEST(PowerCuts, AHundredInsideRecordWritesAndAHundredElsewhereLoseNothing) {
  const std::string sram = dir() + "/cuts.bin";
  std::mt19937 rng(19);
  std::string chip = olderChip();
  std::string loaded = chip.substr(0, sizeof(SramDataStruct));  // what the next power-on takes
  int inside = 0, elsewhere = 0, firstCopy = 0;
  for (int i = 0; i < 2 * kCutsEachWay && !HasFailure(); ++i) {
    const Life life = makeLife(rng);
    proc::writeFile(sram, chip);
    const BoardRun probe = run(script(life), cutStick(), sram);
    ASSERT_EQ(probe.status, 0) << probe.console;
    // The power-on after the last cut took the record it should have, and resumed there.
    const SramDataStruct before = recordOf(loaded);
    ASSERT_NE(probe.console.find("Conf read\nSRAM:\n"), std::string::npos) << i;
    EXPECT_NE(probe.console.find(dumpOf(before)), std::string::npos) << i << "\n" << probe.console;
    const AudioFolder from = before.audioFolder[0][life.folder];
    const std::string selected = "selected " + std::to_string(from.currentFileNumber) +
                                 ", 0:\\A\\F" + std::to_string(life.folder) + "\\T" +
                                 std::to_string(from.currentFileNumber) + ".mp3";
    EXPECT_NE(probe.console.find(selected), std::string::npos) << i << ": " << selected;
    ASSERT_EQ(probe.writes.size() % 2, 0u) << "each record write stores both copies";
    // The record written for the parents' settings, two seconds into the track.
    size_t settingsWrite = 1;
    while (settingsWrite < probe.writes.size() &&
           probe.writes[settingsWrite].endNs < life.settingsAt) {
      settingsWrite += 2;
    }
    ASSERT_LT(settingsWrite, probe.writes.size()) << i;
    const AudioFolder after =
        recordOf(chosen(probe.writes[settingsWrite].copyA, probe.writes[settingsWrite].copyB))
            .audioFolder[0][life.folder];
    EXPECT_TRUE(after.currentFileNumber > from.currentFileNumber ||
                (after.currentFileNumber == from.currentFileNumber &&
                 after.positionInFile >= from.positionInFile))
        << i << ": resumed from track " << from.currentFileNumber << " at " << from.positionInFile
        << ", stored track " << after.currentFileNumber << " at " << after.positionInFile;

    // The complete records of this life: before it, and after each write.
    std::vector<std::string> records = {loaded};
    std::vector<std::string> states = {chip};  // the chip's copies after each transfer
    for (const ChipAfterWrite& w : probe.writes) {
      std::string s = chip;
      s.replace(SRAM_COPY_A, w.copyA.size(), w.copyA);
      s.replace(SRAM_COPY_B, w.copyB.size(), w.copyB);
      states.push_back(s);
    }
    for (size_t k = 1; k < probe.writes.size(); k += 2) {
      records.push_back(chosen(probe.writes[k].copyA, probe.writes[k].copyB));
    }

    uint64_t cutAt = 0;
    std::string expected;
    size_t torn = SIZE_MAX;  // the transfer the cut falls into
    if (i % 2 == 0) {
      torn = std::uniform_int_distribution<size_t>(0, probe.writes.size() - 1)(rng);
      const ChipAfterWrite& w = probe.writes[torn];
      const uint64_t from = w.endNs - (w.bytes + 4) * kByteNs;
      cutAt = std::uniform_int_distribution<uint64_t>(from + 1, w.endNs - 1)(rng);
      // The first copy of a write cut: the record before; the second: the new one.
      expected = records[torn / 2 + torn % 2];
      ++inside;
      firstCopy += torn % 2 == 0;
    } else {
      do {
        cutAt = std::uniform_int_distribution<uint64_t>(1, life.end - 1)(rng);
      } while (std::any_of(probe.writes.begin(), probe.writes.end(), [&](const auto& w) {
        return cutAt > w.endNs - (w.bytes + 4) * kByteNs && cutAt <= w.endNs;
      }));
      size_t done = 0;
      while (done < probe.writes.size() && probe.writes[done].endNs < cutAt) ++done;
      expected = records[done / 2];
      ++elsewhere;
    }
    proc::writeFile(sram, chip);
    const BoardRun cut = run(script(life, cutAt), cutStick(), sram);
    ASSERT_EQ(cut.status, 0) << cut.console;
    ASSERT_EQ(events(cut.trace, "power").size(), 1u);
    EXPECT_NE(cut.trace.find(R"("ev":"power","state":"cut")"), std::string::npos);
    const std::string now = proc::readFile(sram);
    const std::string took = chosen(copyOf(now, SRAM_COPY_A), copyOf(now, SRAM_COPY_B));
    EXPECT_TRUE(took == expected) << "cut " << i << " at " << cutAt << " ns"
                                  << (torn != SIZE_MAX ? " inside a write" : " elsewhere");
    if (torn != SIZE_MAX) {
      // The copy being written holds the new bytes up to the cut and the old ones after it:
      // every byte went to the chip at its own instant.
      const ChipAfterWrite& w = probe.writes[torn];
      // Byte n (from 0) went to the chip at endNs - (bytes - 1 - n) * kByteNs.
      const uint64_t late = (w.endNs - cutAt) / kByteNs;
      const uint64_t applied = late + 1 >= w.bytes ? 0 : w.bytes - 1 - late;
      const std::string newBytes = copyOf(states[torn + 1], w.address);
      const std::string oldBytes = copyOf(states[torn], w.address);
      const std::string expectBytes = newBytes.substr(0, applied) + oldBytes.substr(applied);
      EXPECT_TRUE(copyOf(now, w.address) == expectBytes)
          << "cut " << i << ": " << applied << " bytes of the copy at " << w.address;
    }
    chip = now;
    loaded = took;
  }
  EXPECT_EQ(inside, kCutsEachWay);
  EXPECT_EQ(elsewhere, kCutsEachWay);
  EXPECT_GT(firstCopy, kCutsEachWay * 3 / 10)
      << "cuts in the first copy of a write and in the second";
  EXPECT_LT(firstCopy, kCutsEachWay * 7 / 10);
}

// The console lines of a trace from virtual time `fromUs` on.
std::string consoleFrom(const std::string& trace, long long fromUs) {
  std::string out;
  for (const std::string& e : events(trace, "console")) {
    if (field(e, "t") < fromUs) continue;
    const size_t at = e.find("\"text\":\"");
    out += e.substr(at + 8, e.size() - at - 10) + "\n";
  }
  return out;
}

TEST(PowerCuts, InACodecWriteOrAStickReadTheBoardStopsThereAndStartsAgainFromNothing) {
  const std::string sram = dir() + "/instants.bin";
  proc::writeFile(sram, olderChip());
  const BoardRun probe = run("wait 2s\n", SHAPEPLAY_DEMO_STICK, sram);
  const std::vector<std::string> codec = events(probe.trace, "codec");
  ASSERT_GT(codec.size(), 3u);
  // Inside the third codec write (a control-bus write takes 470 us), and inside the first read
  // of the root folder on a stick made a thousand times slower (a read takes seconds).
  const uint64_t inCodecWrite = static_cast<uint64_t>(field(codec[2], "t")) * 1000 - 200000;
  struct Case {
    const char* where;
    std::string script;
    long long cutUs;
  };
  const Case cases[] = {
      {"a codec write",
       "wait " + std::to_string(inCodecWrite) + "ns\npower cut\nwait 1s\npower on\nwait 2s\n",
       static_cast<long long>(inCodecWrite / 1000)},
      {"a stick read",
       "stick fault slow 1000\nwait 1500ms\npower cut\nstick fault clear\nwait 1s\npower on\n"
       "wait 2s\n",
       1500000},
  };
  for (const Case& c : cases) {
    proc::writeFile(sram, olderChip());
    const BoardRun r = run(c.script, SHAPEPLAY_DEMO_STICK, sram);
    ASSERT_EQ(r.status, 0) << c.where;
    const std::vector<std::string> power = events(r.trace, "power");
    ASSERT_EQ(power.size(), 2u) << c.where;
    EXPECT_NE(power[0].find("\"state\":\"cut\""), std::string::npos) << power[0];
    EXPECT_EQ(field(power[0], "t"), c.cutUs) << c.where;
    EXPECT_NE(power[1].find("\"state\":\"on\""), std::string::npos) << power[1];
    const long long onUs = field(power[1], "t");
    // Nothing after the cut until the supply is back; then the firmware starts from nothing.
    for (const char* ev : {"codec", "console", "sram"}) {
      for (const std::string& e : events(r.trace, ev)) {
        EXPECT_TRUE(field(e, "t") <= c.cutUs || field(e, "t") >= onUs) << c.where << ": " << e;
      }
    }
    const std::string all = consoleFrom(r.trace, 0);
    const std::string after = consoleFrom(r.trace, onUs);
    const std::string before = all.substr(0, all.size() - after.size());
    EXPECT_EQ(after.rfind("Hello World\n", 0), 0u) << c.where << ":\n" << after;
    EXPECT_NE(after.find("Folder: Animals\n"), std::string::npos) << c.where << ":\n" << after;
    EXPECT_NE(after.find("Conf read\n"), std::string::npos) << c.where << ":\n" << after;
    if (std::string(c.where) == "a codec write") {
      // The write under way when the supply went never reached the codec.
      size_t reached = 0;
      for (const std::string& e : events(r.trace, "codec")) reached += field(e, "t") <= c.cutUs;
      EXPECT_EQ(reached, 2u);
    } else {
      // The root folder's first read never ended: nothing was listed before the cut.
      EXPECT_NE(before.find("mount ok\n"), std::string::npos) << before;
      EXPECT_EQ(before.find("Folder:"), std::string::npos) << before;
    }
  }
}

}  // namespace

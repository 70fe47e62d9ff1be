// The check of a record read from the chip, at the edges of each field's range: the highest
// value the firmware uses is kept, one above it is repaired (and reported) with its fallback.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "sram/sram_data.h"

namespace {

struct Edge {
  const char* field;
  uint32_t bit;  // 0: a slot, counted in repairedSlots
  std::function<void(SramDataStruct&, unsigned)> set;
  std::function<unsigned(const SramDataStruct&)> get;
  unsigned highest;
  unsigned fallback;
};

TEST(RecordCheck, EachFieldKeepsItsHighestValueAndRepairsTheNextOne) {
  const Edge edges[] = {
      {"folderCount", FIELD_FOLDER_COUNT, [](auto& r, unsigned v) { r.folderCount = v; },
       [](const auto& r) { return r.folderCount; }, 256, 0},
      {"currentRootFolderNumber", FIELD_ROOT_FOLDER,
       [](auto& r, unsigned v) { r.currentRootFolderNumber = v; },
       [](const auto& r) { return r.currentRootFolderNumber; }, 255, 0},
      {"currentVolume", FIELD_VOLUME, [](auto& r, unsigned v) { r.currentVolume = v; },
       [](const auto& r) { return r.currentVolume; }, 63, 40},
      {"spkBoost", FIELD_SPK_BOOST, [](auto& r, unsigned v) { r.spkBoost = v; },
       [](const auto& r) { return r.spkBoost; }, 7, 7},
      {"equalizer", FIELD_EQUALIZER, [](auto& r, unsigned v) { r.equalizer[4] = v; },
       [](const auto& r) { return r.equalizer[4]; }, 24, 12},
      {"maxVolume", FIELD_MAX_VOLUME, [](auto& r, unsigned v) { r.maxVolume = v; },
       [](const auto& r) { return r.maxVolume; }, 63, 63},
      {"effect3d", FIELD_EFFECT3D, [](auto& r, unsigned v) { r.effect3d = v; },
       [](const auto& r) { return r.effect3d; }, 31, 0},
      {"positionResume", FIELD_POSITION_RESUME, [](auto& r, unsigned v) { r.positionResume = v; },
       [](const auto& r) { return r.positionResume; }, 1, 0},
      {"slot track", 0,
       [](auto& r, unsigned v) {
         r.audioFolder[255][15] = {uint16_t(v), 9};
       },
       [](const auto& r) { return r.audioFolder[255][15].currentFileNumber; }, 100, 0},
  };
  for (const Edge& e : edges) {
    for (unsigned value : {e.highest, e.highest + 1}) {
      SramDataStruct record;
      setDefaultRecord(record);
      e.set(record, value);
      const RecordCheck check = checkRecord(record);
      const bool repaired = value > e.highest;
      ASSERT_TRUE(check.valid) << e.field;
      EXPECT_EQ(check.repairedFields, repaired ? e.bit : 0u) << e.field << " " << value;
      EXPECT_EQ(check.repairedSlots, repaired && e.bit == 0 ? 1u : 0u) << e.field << " " << value;
      EXPECT_EQ(e.get(record), repaired ? e.fallback : value) << e.field << " " << value;
    }
  }
}

}  // namespace

// Fuzz target: the check of a settings record read from the serial SRAM. Whatever the chip
// holds, a record that is taken must have every field in range (so that no slot access or
// codec write can go out of range), must not need a second repair, and an unknown record must
// be left alone.
//
// Input: one selector byte (0: the version word as given, 1: the current version, 2: the
// older version), then the record's bytes (missing ones are 0).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sram_data.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SramDataStruct record;
  std::memset(&record, 0, sizeof record);
  std::memcpy(&record, data + 1, size - 1 < sizeof record ? size - 1 : sizeof record);
  if (data[0] % 3 == 1) record.versionOfConfiguation = SRAM_VERSION;
  if (data[0] % 3 == 2) record.versionOfConfiguation = SRAM_VERSION_BYTE_POSITIONS;

  SramDataStruct before;
  std::memcpy(&before, &record, sizeof record);
  const RecordCheck result = checkRecord(record);
  if (!result.valid) {
    check(std::memcmp(&before, &record, sizeof record) == 0);
    return 0;
  }
  check(record.versionOfConfiguation == SRAM_VERSION);
  check(record.folderCount <= ROOT_FOLDERS);
  check(record.currentRootFolderNumber < ROOT_FOLDERS);
  check(std::memchr(record.usbIdentifier.serial, 0, sizeof record.usbIdentifier.serial) != nullptr);
  check(record.currentVolume <= MAX_VOLUME);
  check(record.spkBoost <= MAX_SPK_BOOST);
  for (uint8_t band : record.equalizer) check(band <= MAX_EQUALIZER);
  check(record.maxVolume <= MAX_VOLUME);
  check(record.effect3d <= MAX_EFFECT3D);
  check(record.positionResume <= 1);
  for (int root = 0; root < record.folderCount; ++root) {
    for (const AudioFolder& slot : record.audioFolder[root]) {
      check(slot.currentFileNumber < MAX_TRACKS_IN_FOLDER);
      check(positionFromField(slot.positionInFile) <= MAX_POSITION);
    }
  }
  // Repaired once is repaired for good.
  SramDataStruct again;
  std::memcpy(&again, &record, sizeof record);
  const RecordCheck second = checkRecord(again);
  check(second.valid && !second.upgraded && second.repairedFields == 0 &&
        second.repairedSlots == 0);
  check(std::memcmp(&again, &record, sizeof record) == 0);
  return 0;
}

// The settings record's format: defaults, the check of a record read from the chip, and the
// resume position's unit. No hardware here, so that the check can be fuzzed on its own.
#include <cstring>

#include "sram_data.h"

const char* recordFieldName(uint32_t field) {
  switch (field) {
    case FIELD_FOLDER_COUNT: return "folderCount";
    case FIELD_ROOT_FOLDER: return "currentRootFolderNumber";
    case FIELD_SERIAL: return "usbIdentifier.serial";
    case FIELD_VOLUME: return "currentVolume";
    case FIELD_SPK_BOOST: return "spkBoost";
    case FIELD_EQUALIZER: return "equalizer";
    case FIELD_MAX_VOLUME: return "maxVolume";
    case FIELD_EFFECT3D: return "effect3d";
    case FIELD_POSITION_RESUME: return "positionResume";
    default: return "?";
  }
}

void setDefaultRecord(SramDataStruct& record) {
  std::memset(&record, 0, sizeof record);
  record.versionOfConfiguation = SRAM_VERSION;
  for (uint8_t& band : record.equalizer) band = FLAT_EQUALIZER;
  record.maxVolume = MAX_VOLUME;
}

uint16_t positionToField(uint32_t byteOffset) {
  const uint32_t units = byteOffset / POSITION_UNIT;
  return units > 0xFFFFu ? 0xFFFFu : static_cast<uint16_t>(units);
}

uint32_t positionFromField(uint16_t field) { return field * POSITION_UNIT; }

namespace {

// The CRC of every byte value, worked out when the firmware is compiled.
struct CrcTable {
  uint32_t entry[256];
  constexpr CrcTable() : entry() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[n] = c;
    }
  }
};
constexpr CrcTable CRC_TABLE;

}  // namespace

uint32_t crc32(const void* data, size_t length, uint32_t crc) {
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t i = 0; i < length; ++i) crc = CRC_TABLE.entry[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t recordCrc(const SramDataStruct& record, uint32_t sequence) {
  const uint8_t seq[4] = {static_cast<uint8_t>(sequence), static_cast<uint8_t>(sequence >> 8),
                          static_cast<uint8_t>(sequence >> 16),
                          static_cast<uint8_t>(sequence >> 24)};
  return crc32(seq, sizeof seq, crc32(&record, sizeof record));
}

CopyState describeCopy(const SramDataStruct& record, const RecordCheckWord& check) {
  CopyState state;
  state.versionKnown = record.versionOfConfiguation == SRAM_VERSION ||
                       record.versionOfConfiguation == SRAM_VERSION_BYTE_POSITIONS;
  state.complete = record.versionOfConfiguation == SRAM_VERSION &&
                   check.crc == recordCrc(record, check.sequence);
  state.sequence = check.sequence;
  return state;
}

RecordSource chooseCopy(const CopyState& a, const CopyState& b) {
  if (a.complete && b.complete) {
    return newerSequence(b.sequence, a.sequence) ? RecordSource::CopyB : RecordSource::CopyA;
  }
  if (a.complete) return RecordSource::CopyA;
  if (b.complete) {
    return a.versionKnown && a.sequence == b.sequence ? RecordSource::CopyAUnsure
                                                      : RecordSource::CopyB;
  }
  return a.versionKnown ? RecordSource::CopyAUnsure : RecordSource::None;
}

namespace {

// Puts `field` back to `fallback` when it is above `max`; records the repair.
template <class T>
void limit(T& field, unsigned max, T fallback, uint32_t bit, RecordCheck& check) {
  if (field > max) {
    field = fallback;
    check.repairedFields |= bit;
  }
}

}  // namespace

RecordCheck checkRecord(SramDataStruct& record) {
  RecordCheck check;
  if (record.versionOfConfiguation == SRAM_VERSION_BYTE_POSITIONS) {
    // The older record kept byte offsets cut to 16 bits.
    for (auto& root : record.audioFolder) {
      for (AudioFolder& slot : root) slot.positionInFile = positionToField(slot.positionInFile);
    }
    record.versionOfConfiguation = SRAM_VERSION;
    check.upgraded = true;
  } else if (record.versionOfConfiguation != SRAM_VERSION) {
    return check;
  }
  check.valid = true;

  limit<uint16_t>(record.folderCount, ROOT_FOLDERS, 0, FIELD_FOLDER_COUNT, check);
  limit<uint16_t>(record.currentRootFolderNumber, ROOT_FOLDERS - 1, 0, FIELD_ROOT_FOLDER, check);
  char& last = record.usbIdentifier.serial[sizeof record.usbIdentifier.serial - 1];
  if (std::memchr(record.usbIdentifier.serial, 0, sizeof record.usbIdentifier.serial) == nullptr) {
    last = 0;
    check.repairedFields |= FIELD_SERIAL;
  }
  limit<uint8_t>(record.currentVolume, MAX_VOLUME, DEFAULT_VOLUME, FIELD_VOLUME, check);
  limit<uint8_t>(record.spkBoost, MAX_SPK_BOOST, DEFAULT_SPK_BOOST, FIELD_SPK_BOOST, check);
  for (uint8_t& band : record.equalizer) {
    limit<uint8_t>(band, MAX_EQUALIZER, FLAT_EQUALIZER, FIELD_EQUALIZER, check);
  }
  limit<uint8_t>(record.maxVolume, MAX_VOLUME, MAX_VOLUME, FIELD_MAX_VOLUME, check);
  limit<uint8_t>(record.effect3d, MAX_EFFECT3D, 0, FIELD_EFFECT3D, check);
  limit<uint8_t>(record.positionResume, 1, 0, FIELD_POSITION_RESUME, check);

  for (auto& root : record.audioFolder) {
    for (AudioFolder& slot : root) {
      if (slot.currentFileNumber >= MAX_TRACKS_IN_FOLDER) {
        slot = AudioFolder{0, 0};
        ++check.repairedSlots;
      }
    }
  }
  return check;
}

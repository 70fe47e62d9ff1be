#include "sram_data.h"

#include <cstdio>

#include "board_memory.h"

// The record's RAM image lies in the tightly coupled data RAM.
DTCM_DATA SramDataStruct SramData::data;

bool SramData::init() {
  sram.init();
  read();
  const RecordCheck check = checkRecord(data);
  if (!check.valid) {
    printf("Conf default; size: %i kb\n", static_cast<int>(sizeof(SramDataStruct) / 1024));
    setDefaultRecord(data);
    changed.store(false, std::memory_order_relaxed);
    return false;
  }
  if (check.upgraded) puts("Conf upgraded");
  for (uint32_t bit = 0; bit < FIELD_COUNT; ++bit) {
    if ((check.repairedFields & (1u << bit)) != 0) {
      printf("Conf repaired: %s\n", recordFieldName(1u << bit));
    }
  }
  if (check.repairedSlots != 0) printf("Conf repaired: %i slots\n", check.repairedSlots);
  // A converted or repaired record goes back to the chip with the next write.
  changed.store(check.upgraded || check.repairedFields != 0 || check.repairedSlots != 0,
                std::memory_order_relaxed);
  return true;
}

void SramData::read() {
  cpp_freertos::LockGuard guard(busLock);
  sram.readBlock(0, reinterpret_cast<uint8_t*>(&data), sizeof data);
  changed.store(false, std::memory_order_relaxed);
}

void SramData::write() {
  cpp_freertos::LockGuard guard(busLock);
  // Cleared before the transfer: a change made while it runs marks the record again.
  if (!changed.exchange(false, std::memory_order_relaxed)) return;
  sram.writeBlock(0, reinterpret_cast<uint8_t*>(&data), sizeof data);
  printf("w");
}

void SramData::changeRootFolder(uint16_t n) {
  data.currentRootFolderNumber = n < ROOT_FOLDERS ? n : 0;
  currentAudioFolder.store(0, std::memory_order_relaxed);
  setChanged();
}

void SramData::changeAudioFolder(uint8_t n) {
  currentAudioFolder.store(n < AUDIO_FOLDERS ? n : 0, std::memory_order_relaxed);
  setChanged();
}

AudioFolder& SramData::slot() {
  const uint16_t root = data.currentRootFolderNumber;
  const uint8_t audio = currentAudioFolder.load(std::memory_order_relaxed);
  return data.audioFolder[root < ROOT_FOLDERS ? root : 0][audio < AUDIO_FOLDERS ? audio : 0];
}

void SramData::setFilenumber(uint16_t n) {
  slot().currentFileNumber = n;
  setChanged();
}

uint16_t SramData::getFilenumber() { return slot().currentFileNumber; }

void SramData::setPositionInFile(uint32_t byteOffset) {
  // A new position marks the record: whatever wrote it meanwhile (a parents' settings change),
  // the next write point (stop, folder end, stick pull, power-off) stores where the track is.
  // Writes happen only at those points, so this adds none.
  AudioFolder& s = slot();
  const uint16_t field = positionToField(byteOffset);
  if (s.positionInFile == field) return;
  s.positionInFile = field;
  setChanged();
}

uint32_t SramData::getPositionInFile() { return positionFromField(slot().positionInFile); }

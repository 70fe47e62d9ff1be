#include "sram_data.h"

#include <cstdio>
#include <cstring>

#include "FreeRTOS.h"
#include "board_memory.h"
#include "task.h"

// The record's RAM image lies in the tightly coupled data RAM.
DTCM_DATA SramDataStruct SramData::data;

namespace {

// One copy as it goes to the chip or comes from it: the record as it stood when the write
// began, with its check word. Both copies of a write are sent from here, so they are equal
// whatever changes in the RAM image meanwhile.
StoredRecord stored;

uint8_t* bytesOf(void* p) { return static_cast<uint8_t*>(p); }

}  // namespace

bool SramData::init() {
  sram.init();
  const RecordSource source = read();
  if (source == RecordSource::CopyB) puts("Conf second copy");
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

RecordSource SramData::read() {
  cpp_freertos::LockGuard guard(busLock);
  sram.readBlock(SRAM_COPY_A, bytesOf(&stored), sizeof stored);
  const CopyState a = describeCopy(stored.record, stored.check);
  RecordCheckWord checkB = {};
  sram.readBlock(SRAM_COPY_B + sizeof(SramDataStruct), bytesOf(&checkB), sizeof checkB);
  CopyState b;
  b.sequence = checkB.sequence;
  // Copy B is read whole only when it may be the one to take.
  if (!a.complete || newerSequence(checkB.sequence, a.sequence)) {
    sram.readBlock(SRAM_COPY_B, bytesOf(&data), sizeof data);
    b = describeCopy(data, checkB);
  }
  const RecordSource source = chooseCopy(a, b);
  if (source != RecordSource::CopyB) std::memcpy(&data, &stored.record, sizeof data);
  // The next sequence number differs from both check words found, so that a write of copy A
  // that is cut off never looks like one that was complete.
  nextSequence = (newerSequence(a.sequence, b.sequence) ? a.sequence : b.sequence) + 1;
  copyAFirst = source == RecordSource::CopyB;
  changed.store(false, std::memory_order_relaxed);
  return source;
}

void SramData::write() {
  cpp_freertos::LockGuard guard(busLock);
  // Cleared before the transfer: a change made while it runs marks the record again.
  if (!changed.exchange(false, std::memory_order_relaxed)) return;
  // The record as it stands now, taken while no other thread can change a field.
  vTaskSuspendAll();
  std::memcpy(&stored.record, &data, sizeof data);
  (void)xTaskResumeAll();
  stored.check.sequence = nextSequence;
  stored.check.crc = recordCrc(stored.record, nextSequence);
  // While the first copy is written the other one holds the complete record before; while the
  // second is written the first holds the new one.
  writeCopy(copyAFirst ? SRAM_COPY_A : SRAM_COPY_B);
  writeCopy(copyAFirst ? SRAM_COPY_B : SRAM_COPY_A);
  ++nextSequence;
  copyAFirst = false;
  printf("w");
}

void SramData::writeCopy(uint32_t address) {
  sram.writeBlock(address, bytesOf(&stored), sizeof stored);
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

// The settings record kept in the serial SRAM and its store.
//
// The record is one fixed-size block, mirrored byte for byte at address 0 of the chip and kept
// in RAM as the single static SramData::data. It is read once at start-up, changed in RAM
// through small accessors by several threads, and written back whole when it is marked
// changed and somebody asks for a write.
//
// Resume positions: a slot's 16-bit `positionInFile` holds the position in units of
// POSITION_UNIT (8 KiB) bytes, rounded down, which reaches 512 MiB. The accessors take and
// give byte offsets. Records of the older format (version SRAM_VERSION_BYTE_POSITIONS) kept
// the byte offset itself, cut to 16 bits; they are converted on load (each position becomes the
// unit at or before it) and stored again in the current format.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "cpp_freertos/mutex.hpp"
#include "spi_sram.h"

// One subfolder's place: the last track played and the position in it.
struct AudioFolder {
  uint16_t currentFileNumber;
  uint16_t positionInFile;  // in units of POSITION_UNIT bytes
};

// The stick the record belongs to (kept empty).
struct UsbIdentifier {
  uint16_t vid;
  uint16_t pid;
  char serial[256];  // zero-terminated
};

constexpr uint16_t SRAM_VERSION = 0xA505;                 // positions in POSITION_UNIT units
constexpr uint16_t SRAM_VERSION_BYTE_POSITIONS = 0xA504;  // older: positions as byte offsets
constexpr uint32_t POSITION_UNIT = 8192;
constexpr uint32_t MAX_POSITION = 0xFFFFu * POSITION_UNIT;
static_assert(MAX_POSITION >= 512u * 1024 * 1024 - POSITION_UNIT,
              "a 16-bit field of POSITION_UNIT units reaches 512 MiB");

constexpr uint16_t ROOT_FOLDERS = 256;  // slots per record: root folders ...
constexpr uint8_t AUDIO_FOLDERS = 16;   // ... times subfolders
// A folder lists at most 101 tracks, so a stored track number is below this.
constexpr uint16_t MAX_TRACKS_IN_FOLDER = 101;

// Ranges of the sound settings, and the values a field gets when it is found out of range.
constexpr uint8_t MAX_VOLUME = 63;
constexpr uint8_t MAX_SPK_BOOST = 7;
constexpr uint8_t MAX_EQUALIZER = 24;
constexpr uint8_t MAX_EFFECT3D = 31;
constexpr uint8_t DEFAULT_VOLUME = 40;
constexpr uint8_t DEFAULT_SPK_BOOST = 7;
constexpr uint8_t FLAT_EQUALIZER = 12;

struct SramDataStruct {
  uint16_t versionOfConfiguation;
  uint16_t folderCount;  // limits the slot lines of the start-up dump; kept 0
  uint16_t currentRootFolderNumber;
  UsbIdentifier usbIdentifier;
  uint8_t currentVolume;
  uint8_t spkBoost;
  uint8_t equalizer[5];
  uint8_t maxVolume;
  uint8_t effect3d;
  uint8_t positionResume;
  AudioFolder audioFolder[ROOT_FOLDERS][AUDIO_FOLDERS];
};

// The stored format: little-endian, these offsets, 16,660 bytes.
static_assert(offsetof(SramDataStruct, versionOfConfiguation) == 0);
static_assert(offsetof(SramDataStruct, folderCount) == 2);
static_assert(offsetof(SramDataStruct, currentRootFolderNumber) == 4);
static_assert(offsetof(SramDataStruct, usbIdentifier) + offsetof(UsbIdentifier, vid) == 6);
static_assert(offsetof(SramDataStruct, usbIdentifier) + offsetof(UsbIdentifier, pid) == 8);
static_assert(offsetof(SramDataStruct, usbIdentifier) + offsetof(UsbIdentifier, serial) == 10);
static_assert(offsetof(SramDataStruct, currentVolume) == 266);
static_assert(offsetof(SramDataStruct, spkBoost) == 267);
static_assert(offsetof(SramDataStruct, equalizer) == 268);
static_assert(offsetof(SramDataStruct, maxVolume) == 273);
static_assert(offsetof(SramDataStruct, effect3d) == 274);
static_assert(offsetof(SramDataStruct, positionResume) == 275);
static_assert(offsetof(SramDataStruct, audioFolder) == 276);
static_assert(sizeof(AudioFolder) == 4);
static_assert(offsetof(AudioFolder, positionInFile) == 2);
static_assert(sizeof(SramDataStruct) == 16660);

// The check word after each copy of the record, and a copy as it lies on the chip.
struct RecordCheckWord {
  uint32_t sequence;  // one more with every write of the record
  uint32_t crc;       // CRC-32 of the record and `sequence`
};
struct StoredRecord {
  SramDataStruct record;
  RecordCheckWord check;
};
static_assert(sizeof(StoredRecord) == 16668);
static_assert(offsetof(StoredRecord, check) == sizeof(SramDataStruct));

constexpr uint32_t SRAM_COPY_A = 0;       // the record's own place
constexpr uint32_t SRAM_COPY_B = 0x8000;  // the second copy, in space nothing else uses
constexpr uint32_t SRAM_SIZE = 0x20000;
static_assert(SRAM_COPY_A + sizeof(StoredRecord) <= SRAM_COPY_B);
static_assert(SRAM_COPY_B + sizeof(StoredRecord) <= SRAM_SIZE);

// CRC-32 (the Ethernet polynomial, reflected, as zlib computes it); `crc` continues an earlier
// part (0 to start).
uint32_t crc32(const void* data, size_t length, uint32_t crc = 0);
// The CRC a copy's check word must hold.
uint32_t recordCrc(const SramDataStruct& record, uint32_t sequence);
// Whether sequence number a was written after b (numbers wrap around).
inline bool newerSequence(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

// What a copy on the chip holds.
struct CopyState {
  bool versionKnown = false;  // its version word is one this firmware reads
  bool complete = false;      // its check word matches: written whole by this firmware
  uint32_t sequence = 0;      // its check word's sequence number, as found
};
CopyState describeCopy(const SramDataStruct& record, const RecordCheckWord& check);

// Which copy the start-up load takes.
enum class RecordSource : uint8_t {
  None,         // neither holds a record: the defaults
  CopyA,        // copy A, complete
  CopyB,        // copy B, complete
  CopyAUnsure,  // copy A by its version word alone: a chip written by older firmware
};
// The newest complete copy. A copy A without a matching check word is taken by its version word
// when copy B is not complete either (a chip from before the second copy), or when copy A's
// sequence number is still that of copy B: then both were last written whole together, and copy
// A was written again since by firmware that writes the record alone (a write that is cut off
// by the power never reaches the check word, which then still holds the sequence number before
// the one of copy B).
RecordSource chooseCopy(const CopyState& a, const CopyState& b);

// Fields that checkRecord may have to repair.
enum RecordField : uint32_t {
  FIELD_FOLDER_COUNT = 1u << 0,
  FIELD_ROOT_FOLDER = 1u << 1,
  FIELD_SERIAL = 1u << 2,
  FIELD_VOLUME = 1u << 3,
  FIELD_SPK_BOOST = 1u << 4,
  FIELD_EQUALIZER = 1u << 5,
  FIELD_MAX_VOLUME = 1u << 6,
  FIELD_EFFECT3D = 1u << 7,
  FIELD_POSITION_RESUME = 1u << 8,
  FIELD_COUNT = 9,
};
// The record's name of one RecordField bit.
const char* recordFieldName(uint32_t field);

// What checkRecord found in a record read from the chip.
struct RecordCheck {
  bool valid = false;           // the version word is one this firmware reads
  bool upgraded = false;        // an older record, converted to the current format
  uint32_t repairedFields = 0;  // RecordField bits of fields put back in range
  uint16_t repairedSlots = 0;   // slots whose track number was beyond any folder
};

// The record of a fresh chip.
void setDefaultRecord(SramDataStruct& record);
// Converts an older record and puts every out-of-range field back to its default, so that no
// field can index outside an array or drive the codec out of range. Leaves an unknown record
// (valid false) untouched.
RecordCheck checkRecord(SramDataStruct& record);
// A byte offset as a slot stores it (rounded down to a unit, at most MAX_POSITION), and back.
uint16_t positionToField(uint32_t byteOffset);
uint32_t positionFromField(uint16_t field);

class SramData {
 public:
  // Sets up the chip's bus and loads the record (the copy chooseCopy picks); false (and the
  // default record) when the chip holds none. `changed` is false afterwards unless the record had
  // to be converted or repaired, which is then due to be written.
  bool init();
  // Loads the record; the copy it came from (RecordSource::None: the chip holds none, and
  // `data` is whatever copy A held).
  RecordSource read();
  // Writes the whole record, both copies, if it is marked changed, then prints "w"; otherwise
  // does nothing. Writers from several threads take turns.
  void write();
  void setChanged() { changed.store(true, std::memory_order_relaxed); }
  bool isChanged() const { return changed.load(std::memory_order_relaxed); }

  void changeRootFolder(uint16_t n);
  void changeAudioFolder(uint8_t n);
  uint8_t getAudioFolder() const { return currentAudioFolder.load(std::memory_order_relaxed); }
  // The slot of the current root folder and subfolder.
  void setFilenumber(uint16_t n);
  uint16_t getFilenumber();
  // Marks the record changed when the stored position changes. Byte offsets; see the note at
  // the top.
  void setPositionInFile(uint32_t byteOffset);
  uint32_t getPositionInFile();

  static SramDataStruct data;

 private:
  AudioFolder& slot();

  void writeCopy(uint32_t address);

  std::atomic<bool> changed{true};
  SpiSram sram;
  // The next write's sequence number, and whether it must store copy A first (copy A was found
  // cut off, so copy B holds the only complete record until A is whole again).
  uint32_t nextSequence = 1;
  bool copyAFirst = false;
  std::atomic<uint8_t> currentAudioFolder{0};
  cpp_freertos::MutexStandard busLock;  // one transfer at a time
};

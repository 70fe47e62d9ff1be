// The player's settings: the persistent record (through SramData) and the codec's sound
// settings, applied in the codec's hardware. One instance, Singleton<_AudioSettings>.
//
// Each codec setter keeps its value in the record, marks the record changed and writes the
// codec registers at once. The setters run on several threads; the codec's control bus is
// taken for each setter's group of writes, so that the writes of a register pair
// (0x0026/0x0027, 0x0480/0x0481, the driver's mute pair) never interleave with another
// thread's.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpp_freertos/mutex.hpp"
#include "gui/User/modelUserData.h"
#include "sram/sram_data.h"

class _AudioSettings {
 public:
  _AudioSettings() = default;

  // Start-up load (once, by the main loop before its first turn): the parents' settings, the
  // record from the chip or the defaults, the console dump, the encoder's seed.
  void init();

  // ---- the record
  uint16_t getRootFolder() { return SramData::data.currentRootFolderNumber; }
  void changeRootFolder(uint16_t n) { sramData.changeRootFolder(n); }
  void changeAudioFolder(uint16_t n) { sramData.changeAudioFolder(static_cast<uint8_t>(n)); }
  uint16_t getAudioTrackNumber() { return sramData.getFilenumber(); }
  void playbackNewTrack(uint16_t n) { sramData.setFilenumber(n); }
  // The track's byte offset; kept in 8 KiB units (rounded down), so a resume starts at most
  // 8 KiB before the point that was stored. Marks the record changed when the unit changes.
  void playbackFilePosition(uint32_t byteOffset) { sramData.setPositionInFile(byteOffset); }
  uint32_t getFilePosition() { return sramData.getPositionInFile(); }
  bool getPositionResume() { return SramData::data.positionResume != 0; }
  void setPositionResume(bool b);
  // The stored parents' settings for the parents' screen, with `changed` set.
  ModelParentsSettings getModelParentsSettings();
  uint8_t getVolume() { return SramData::data.currentVolume; }
  // Writes the record to the chip if it is marked changed.
  void triggerWrite() { sramData.write(); }

  // ---- the codec (values above a setting's range are taken as its maximum)
  // 0 mutes; 1..63 is the speaker level (57 = 0 dB); stored.
  void setVolume(uint16_t volume);
  // Re-applies the stored volume (at a track's start): mutes at 0, otherwise writes the level
  // (and un-mutes while the output is open). Stores nothing.
  void setVolume();
  // The PCM output opens (it plays and is not paused) or closes. The codec's soft mute is off
  // only while the output is open and the volume is above 0, so that neither the knob nor the
  // parents' settings can make the speaker play a paused or stopped output's buffer.
  void openOutput(bool open);
  // The parents' limit 0..63; pulls the volume and the encoder's range under it.
  void setMaxVolume(uint16_t maxVolume);
  // Five band gains 0..24 (12 = 0 dB), lowest band first; switches the equaliser on.
  void setEqualizer(uint16_t g1, uint16_t g2, uint16_t g3, uint16_t g4, uint16_t g5);
  void set3d(uint16_t value);        // 3D depth 0..31
  void setSpkBoost(uint16_t value);  // speaker boost 0..7: +1.5 dB a step to 9 dB, 7 = +12 dB

  bool isMono() { return mono.load(std::memory_order_relaxed); }
  void setMono(bool on) { mono.store(on, std::memory_order_relaxed); }

  // Held around every group of codec writes that belong together. Other users of the codec's
  // control bus take it too.
  cpp_freertos::MutexStandard& codecBus() { return codecBusLock; }

  std::atomic<bool> mono{true};
  std::atomic<bool> outputOpen{false};
  const uint8_t defaultVolume = DEFAULT_VOLUME;
  const uint8_t defaultMaxVolume = 100;
  SramData sramData;

 private:
  cpp_freertos::MutexStandard codecBusLock;
};

#include "audioSettings.h"

#include <cstdio>

#include "FreeRTOS.h"
#include "parentsSettings.h"
#include "singleton.h"
#include "stm32746g_discovery_audio.h"
#include "task.h"
#include "volume.h"

namespace {

constexpr uint16_t REG_SPK_BOOST = 0x0025;
constexpr uint16_t REG_SPK_VOLUME_LEFT = 0x0026;
constexpr uint16_t REG_SPK_VOLUME_RIGHT = 0x0027;
constexpr uint16_t REG_DAC1_3D = 0x0421;
constexpr uint16_t REG_EQ_1 = 0x0480;
constexpr uint16_t REG_EQ_2 = 0x0481;
// Speaker volume: update (bit 8) and un-mute (bit 6) with the level in bits 5..0.
constexpr uint16_t SPK_VOLUME_UPDATE = 0x0140;

void writeCodec(uint16_t reg, uint16_t value) {
  AUDIO_IO_Write(static_cast<uint8_t>(AUDIO_I2C_ADDRESS), reg, value);
}

void mute(bool on) { wm8994_SetMute(AUDIO_I2C_ADDRESS, on ? AUDIO_MUTE_ON : AUDIO_MUTE_OFF); }

uint8_t atMost(uint16_t value, uint8_t max) {
  return value > max ? max : static_cast<uint8_t>(value);
}

void writeVolume(uint8_t v) {
  writeCodec(REG_SPK_VOLUME_LEFT, v | SPK_VOLUME_UPDATE);
  writeCodec(REG_SPK_VOLUME_RIGHT, v | SPK_VOLUME_UPDATE);
}

}  // namespace

void _AudioSettings::init() {
  const bool valid = sramData.init();
  SramDataStruct& d = SramData::data;

  // The human-input thread (same priority, time-sliced) applies `parentsSettings` as soon as
  // `changed` is set: it must find the stored values there, never the defaults. The record
  // is read first, then the defaults and the stored values go in with no task switch between.
  vTaskSuspendAll();
  setParentsDefaults();
  if (valid) {
    parentsSettings.effect3d.current = d.effect3d;
    parentsSettings.spkBoost.current = d.spkBoost;
    for (int band = 0; band < 5; ++band)
      parentsSettings.equalizer[band].current = d.equalizer[band];
    parentsSettings.maxVolume.current = d.maxVolume;
    parentsSettings.positionResume = d.positionResume;
  }
  (void)xTaskResumeAll();

  if (valid) {
    puts("Conf read");
    puts("SRAM:");
    printf("versionOfConfiguation: %i\n", d.versionOfConfiguation);
    printf("folderCount: %i\n", d.folderCount);
    printf("currentRootFolderNumber: %i\n", d.currentRootFolderNumber);
    printf("usbIdentifier.vid: %i\n", d.usbIdentifier.vid);
    printf("usbIdentifier.pid: %i\n", d.usbIdentifier.pid);
    printf("currentVolume:%i\n", d.currentVolume);
    printf("spkBoost:%i\n", d.spkBoost);
    printf("maxVolume:%i\n", d.maxVolume);
    printf("effect3d:%i\n", d.effect3d);
    for (int band = 0; band < 5; ++band) printf("equalizer[%i]:%i\n", band, d.equalizer[band]);
    for (int root = 0; root < d.folderCount && root < ROOT_FOLDERS; ++root) {
      for (int audio = 0; audio < AUDIO_FOLDERS; ++audio) {
        const AudioFolder& slot = d.audioFolder[root][audio];
        printf("root: %i,  audio: %i,  currentFileNumber: %i,  positionInFile: %i\n", root, audio,
               slot.currentFileNumber, slot.positionInFile);
      }
    }
  } else {
    puts("Conf default");
    d.currentVolume = defaultVolume;
  }

  // The knob starts where the volume is, within the parents' limit: the stored volume, or the
  // default one of a fresh record (else its first detent would jump from 40 to 1).
  Volume& volume = Singleton<Volume>::Instance();
  __HAL_TIM_SET_COUNTER(&volume.timerHandle, d.currentVolume * 4u);
  volume.maxVal.store(d.maxVolume, std::memory_order_relaxed);
  const uint8_t ceiling = d.maxVolume < MAX_VOLUME ? d.maxVolume : MAX_VOLUME;
  volume.currentVal.store(d.currentVolume < ceiling ? d.currentVolume : ceiling,
                          std::memory_order_relaxed);
  // Sends nothing for a fresh record (it reaches the chip once something marks it changed);
  // a converted or repaired one is stored at once.
  triggerWrite();
}

void _AudioSettings::setPositionResume(bool b) {
  SramData::data.positionResume = b ? 1 : 0;
  sramData.setChanged();
}

ModelParentsSettings _AudioSettings::getModelParentsSettings() {
  const SramDataStruct& d = SramData::data;
  ModelParentsSettings s;
  s.spkBoost = d.spkBoost;
  for (int band = 0; band < 5; ++band) s.equalizer[band] = d.equalizer[band];
  s.maxVolume = d.maxVolume;
  s.effect3d = d.effect3d;
  s.positionResume = d.positionResume != 0;
  s.changed = true;
  return s;
}

void _AudioSettings::setVolume(uint16_t volume) {
  cpp_freertos::LockGuard bus(codecBusLock);
  SramDataStruct& d = SramData::data;
  if (volume == 0) {
    mute(true);
    d.currentVolume = 0;
    sramData.setChanged();
    return;
  }
  const uint8_t v = atMost(volume, MAX_VOLUME);
  // Muted by an earlier setVolume(0): un-muted again, unless the output has nothing to be
  // heard (paused or stopped); it un-mutes when it opens.
  if (d.currentVolume == 0 && outputOpen.load(std::memory_order_relaxed)) mute(false);
  writeVolume(v);
  d.currentVolume = v;
  sramData.setChanged();
}

void _AudioSettings::setVolume() {
  cpp_freertos::LockGuard bus(codecBusLock);
  const uint8_t v = atMost(SramData::data.currentVolume, MAX_VOLUME);
  if (v == 0) {
    mute(true);
    return;
  }
  if (outputOpen.load(std::memory_order_relaxed)) mute(false);
  writeVolume(v);
}

void _AudioSettings::openOutput(bool open) {
  cpp_freertos::LockGuard bus(codecBusLock);
  outputOpen.store(open, std::memory_order_relaxed);
  mute(!open || SramData::data.currentVolume == 0);
}

void _AudioSettings::setMaxVolume(uint16_t maxVolume) {
  const uint8_t m = atMost(maxVolume, MAX_VOLUME);
  if (SramData::data.currentVolume > m) setVolume(m);
  SramData::data.maxVolume = m;
  sramData.setChanged();
  Singleton<Volume>::Instance().setMax(m);
}

void _AudioSettings::setEqualizer(uint16_t g1, uint16_t g2, uint16_t g3, uint16_t g4, uint16_t g5) {
  SramDataStruct& d = SramData::data;
  const uint8_t g[5] = {atMost(g1, MAX_EQUALIZER), atMost(g2, MAX_EQUALIZER),
                        atMost(g3, MAX_EQUALIZER), atMost(g4, MAX_EQUALIZER),
                        atMost(g5, MAX_EQUALIZER)};
  for (int band = 0; band < 5; ++band) d.equalizer[band] = g[band];
  sramData.setChanged();
  // Gains in bits 15..11, 10..6 and 5..1 of the first register (bit 0 switches the equaliser
  // on), bits 15..11 and 10..6 of the second.
  const uint16_t eq1 = static_cast<uint16_t>((g[0] << 11) | ((g[1] << 6) & 0x07C0) |
                                             ((g[2] << 1) & 0x003E) | 0x0001);
  const uint16_t eq2 = static_cast<uint16_t>((g[3] << 11) | ((g[4] << 6) & 0x07C0));
  cpp_freertos::LockGuard bus(codecBusLock);
  writeCodec(REG_EQ_1, eq1);
  writeCodec(REG_EQ_2, eq2);
}

void _AudioSettings::set3d(uint16_t value) {
  const uint8_t depth = atMost(value, MAX_EFFECT3D);
  SramData::data.effect3d = depth;
  sramData.setChanged();
  // Depth in bits 13..9, with the enable bit 8 and bit 4 as after reset.
  cpp_freertos::LockGuard bus(codecBusLock);
  writeCodec(REG_DAC1_3D, static_cast<uint16_t>(((depth << 9) & 0x3E00) | 0x0110));
}

void _AudioSettings::setSpkBoost(uint16_t value) {
  // The boost code is the setting itself, 7 included: each step of the parents' slider is a
  // gain of its own (codes 0..6 rise by 1.5 dB to 9 dB, code 7 is the codec's top, +12 dB).
  const uint8_t b = atMost(value, MAX_SPK_BOOST);
  SramData::data.spkBoost = b;
  sramData.setChanged();
  cpp_freertos::LockGuard bus(codecBusLock);
  writeCodec(REG_SPK_BOOST, static_cast<uint16_t>(0x0140 | (b << 3) | b));
}

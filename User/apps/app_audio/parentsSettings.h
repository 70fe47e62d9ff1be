// The parents' settings as the human-input thread applies them to the codec: each setting's
// range and current value, and a flag that asks for them to be applied.
#pragma once

#include <atomic>
#include <cstdint>

struct ParentsParameter {
  int32_t max;
  int32_t min;
  int32_t current;
};

struct ParentsSettings {
  ParentsParameter spkBoost;
  ParentsParameter equalizer[5];
  ParentsParameter maxVolume;
  ParentsParameter effect3d;
  std::atomic<uint8_t> changed;  // set by the settings code, cleared by the human-input thread
  uint8_t positionResume;
};

// Written at start-up by the settings code only (setParentsDefaults, then the stored values,
// in one step that the human-input thread cannot see half done); afterwards read by the
// human-input thread alone.
extern ParentsSettings parentsSettings;

// Ranges and defaults: boost 0..7 (7), equaliser bands 0..24 (12), maximum volume 0..63 (63),
// 3D 0..31 (0); resume off; `changed` set.
void setParentsDefaults();

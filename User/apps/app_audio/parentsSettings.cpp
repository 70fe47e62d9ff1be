#include "parentsSettings.h"

ParentsSettings parentsSettings;

void setParentsDefaults() {
  parentsSettings.spkBoost = {7, 0, 7};
  for (ParentsParameter& band : parentsSettings.equalizer) band = {24, 0, 12};
  parentsSettings.maxVolume = {63, 0, 63};
  parentsSettings.effect3d = {31, 0, 0};
  parentsSettings.positionResume = 0;
  parentsSettings.changed.store(1, std::memory_order_relaxed);
}

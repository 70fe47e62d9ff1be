/* Board support of the evaluation board's audio: the codec on the shared I2C bus. */
#ifndef STM32746G_DISCOVERY_AUDIO_H
#define STM32746G_DISCOVERY_AUDIO_H

#include "wm8994.h"

/* The codec's device address on the control bus, in the 8-bit (write) form. */
#define AUDIO_I2C_ADDRESS ((uint16_t)0x34)

#endif

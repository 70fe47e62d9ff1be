/* Board support of the evaluation board's audio: the WM8994 codec on the shared I2C bus and
 * the playback path to it, SAI2 block A fed by DMA2 stream 4. */
#ifndef STM32746G_DISCOVERY_AUDIO_H
#define STM32746G_DISCOVERY_AUDIO_H

#include "stm32f7xx_hal.h"
#include "wm8994.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The codec's device address on the control bus, in the 8-bit (write) form. */
#define AUDIO_I2C_ADDRESS ((uint16_t)0x34)

/* Outputs the codec drives. */
#define OUTPUT_DEVICE_SPEAKER ((uint16_t)0x0001)
#define OUTPUT_DEVICE_HEADPHONE ((uint16_t)0x0002)
#define OUTPUT_DEVICE_BOTH ((uint16_t)0x0003)
#define OUTPUT_DEVICE_AUTO ((uint16_t)0x0004)

#define AUDIO_FREQUENCY_192K ((uint32_t)192000)
#define AUDIO_FREQUENCY_96K ((uint32_t)96000)
#define AUDIO_FREQUENCY_48K ((uint32_t)48000)
#define AUDIO_FREQUENCY_44K ((uint32_t)44100)
#define AUDIO_FREQUENCY_32K ((uint32_t)32000)
#define AUDIO_FREQUENCY_22K ((uint32_t)22050)
#define AUDIO_FREQUENCY_16K ((uint32_t)16000)
#define AUDIO_FREQUENCY_11K ((uint32_t)11025)
#define AUDIO_FREQUENCY_8K ((uint32_t)8000)

/* BSP_AUDIO_OUT_Stop: keep the codec powered (soft mute only) or power its outputs down. */
#define CODEC_PDWN_HW ((uint32_t)0x00000001)
#define CODEC_PDWN_SW ((uint32_t)0x00000002)

/* The audio-frame slots the SAI sends (a frame has four 16-bit slots). */
#define CODEC_AUDIOFRAME_SLOT_0123 \
  (SAI_SLOTACTIVE_0 | SAI_SLOTACTIVE_1 | SAI_SLOTACTIVE_2 | SAI_SLOTACTIVE_3)
#define CODEC_AUDIOFRAME_SLOT_02 (SAI_SLOTACTIVE_0 | SAI_SLOTACTIVE_2)
#define CODEC_AUDIOFRAME_SLOT_13 (SAI_SLOTACTIVE_1 | SAI_SLOTACTIVE_3)

#define AUDIO_OK ((uint8_t)0)
#define AUDIO_ERROR ((uint8_t)1)
#define AUDIO_TIMEOUT ((uint8_t)2)

/* Pre-emption priority of the playback DMA interrupt: the highest from which its callbacks may
 * still use the kernel (the kernel's system-call ceiling). */
#define AUDIO_OUT_IRQ_PREPRIO ((uint32_t)4)

/* Resets the codec and sets up SAI2 block A with its DMA (DMA2 stream 4, circular, half-word
 * transfers, half and complete interrupts) and the codec's playback path to OutputDevice
 * (the headphone output is driven as well). Volume is a percentage of the codec's range for
 * both outputs. The playback path comes up soft-muted. AUDIO_ERROR when the codec does not
 * answer with its identity. */
uint8_t BSP_AUDIO_OUT_Init(uint16_t OutputDevice, uint8_t Volume, uint32_t AudioFreq);
/* Starts the circular DMA over the whole buffer; Size in bytes. */
uint8_t BSP_AUDIO_OUT_Play(uint16_t* pBuffer, uint32_t Size);
/* Stops the DMA and mutes the codec (CODEC_PDWN_HW also powers its outputs down). */
uint8_t BSP_AUDIO_OUT_Stop(uint32_t Option);
/* AUDIO_MUTE_ON or AUDIO_MUTE_OFF: the codec's soft mute of the playback path. */
uint8_t BSP_AUDIO_OUT_SetMute(uint32_t Cmd);
/* Volume as a percentage of the speaker and headphone range. */
uint8_t BSP_AUDIO_OUT_SetVolume(uint8_t Volume);
/* The audio clock and the SAI for AudioFreq; may be called while the DMA runs. */
void BSP_AUDIO_OUT_SetFrequency(uint32_t AudioFreq);
/* The slots of each audio frame that carry data (CODEC_AUDIOFRAME_SLOT_...). */
void BSP_AUDIO_OUT_SetAudioFrameSlot(uint32_t AudioFrameSlot);

/* Called from the DMA interrupt; the application defines them (empty by default). */
void BSP_AUDIO_OUT_TransferComplete_CallBack(void);
void BSP_AUDIO_OUT_HalfTransfer_CallBack(void);
void BSP_AUDIO_OUT_Error_CallBack(void);

/* The SAI blocks of the audio output and (unused here) input, for the interrupt handlers. */
extern SAI_HandleTypeDef haudio_out_sai;
extern SAI_HandleTypeDef haudio_in_sai;

#ifdef __cplusplus
}
#endif

#endif

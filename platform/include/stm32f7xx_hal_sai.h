/* Serial audio interface (SAI) of the simulated STM32F746: the block handle, its set-up, and
 * transmission by DMA, with the vendor library's names and values. The audio blocks send
 * 16-bit slots; what a block sends, and when, is the business of its model (platform/hal/sai.cpp).
 */
#ifndef STM32F7XX_HAL_SAI_H
#define STM32F7XX_HAL_SAI_H

#include "stm32f7xx_hal.h"
#include "stm32f7xx_hal_dma.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SAI_MODEMASTER_TX 0x00000000U
#define SAI_MODEMASTER_RX 0x00000001U
#define SAI_MODESLAVE_TX 0x00000002U
#define SAI_MODESLAVE_RX 0x00000003U
#define SAI_ASYNCHRONOUS 0U
#define SAI_SYNCHRONOUS 1U
#define SAI_SYNCEXT_DISABLE 0U
#define SAI_OUTPUTDRIVE_DISABLE 0x00000000U
#define SAI_OUTPUTDRIVE_ENABLE 0x00002000U
#define SAI_MASTERDIVIDER_ENABLE 0x00000000U
#define SAI_MASTERDIVIDER_DISABLE 0x00080000U
#define SAI_FIFOTHRESHOLD_EMPTY 0x00000000U
#define SAI_FIFOTHRESHOLD_1QF 0x00000001U
#define SAI_FIFOTHRESHOLD_HF 0x00000002U
#define SAI_FIFOTHRESHOLD_3QF 0x00000003U
#define SAI_FIFOTHRESHOLD_FULL 0x00000004U
#define SAI_STEREOMODE 0x00000000U
#define SAI_MONOMODE 0x00001000U
#define SAI_NOCOMPANDING 0x00000000U
#define SAI_OUTPUT_NOTRELEASED 0x00000000U
#define SAI_FREE_PROTOCOL 0x00000000U
#define SAI_DATASIZE_8 0x00000040U
#define SAI_DATASIZE_16 0x00000080U
#define SAI_DATASIZE_24 0x000000C0U
#define SAI_DATASIZE_32 0x000000E0U
#define SAI_FIRSTBIT_MSB 0x00000000U
#define SAI_CLOCKSTROBING_FALLINGEDGE 0x00000000U
#define SAI_CLOCKSTROBING_RISINGEDGE 0x00000200U
#define SAI_FS_STARTFRAME 0x00000000U
#define SAI_FS_CHANNEL_IDENTIFICATION 0x00010000U
#define SAI_FS_ACTIVE_LOW 0x00000000U
#define SAI_FS_ACTIVE_HIGH 0x00020000U
#define SAI_FS_FIRSTBIT 0x00000000U
#define SAI_FS_BEFOREFIRSTBIT 0x00040000U
#define SAI_SLOTSIZE_DATASIZE 0x00000000U
#define SAI_SLOTSIZE_16B 0x00000040U
#define SAI_SLOTSIZE_32B 0x00000080U
#define SAI_SLOTACTIVE_0 0x00000001U
#define SAI_SLOTACTIVE_1 0x00000002U
#define SAI_SLOTACTIVE_2 0x00000004U
#define SAI_SLOTACTIVE_3 0x00000008U
#define SAI_SLOTACTIVE_ALL 0x0000FFFFU

#define SAI_AUDIO_FREQUENCY_192K 192000U
#define SAI_AUDIO_FREQUENCY_96K 96000U
#define SAI_AUDIO_FREQUENCY_48K 48000U
#define SAI_AUDIO_FREQUENCY_44K 44100U
#define SAI_AUDIO_FREQUENCY_32K 32000U
#define SAI_AUDIO_FREQUENCY_22K 22050U
#define SAI_AUDIO_FREQUENCY_16K 16000U
#define SAI_AUDIO_FREQUENCY_11K 11025U
#define SAI_AUDIO_FREQUENCY_8K 8000U
#define SAI_AUDIO_FREQUENCY_MCKDIV 0U

#define HAL_SAI_ERROR_NONE 0x00000000U
#define HAL_SAI_ERROR_DMA 0x00000080U

typedef struct {
  uint32_t AudioMode, Synchro, SynchroExt, OutputDrive, NoDivider, FIFOThreshold, AudioFrequency,
      Mckdiv, MonoStereoMode, CompandingMode, TriState, Protocol, DataSize, FirstBit, ClockStrobing;
} SAI_InitTypeDef;

typedef struct {
  uint32_t FrameLength, ActiveFrameLength, FSDefinition, FSPolarity, FSOffset;
} SAI_FrameInitTypeDef;

typedef struct {
  uint32_t FirstBitOffset, SlotSize, SlotNumber, SlotActive;
} SAI_SlotInitTypeDef;

typedef enum {
  HAL_SAI_STATE_RESET = 0x00U,
  HAL_SAI_STATE_READY = 0x01U,
  HAL_SAI_STATE_BUSY = 0x02U,
  HAL_SAI_STATE_BUSY_TX = 0x12U,
  HAL_SAI_STATE_BUSY_RX = 0x22U
} HAL_SAI_StateTypeDef;

typedef struct __SAI_HandleTypeDef {
  SAI_Block_TypeDef* Instance;
  SAI_InitTypeDef Init;
  SAI_FrameInitTypeDef FrameInit;
  SAI_SlotInitTypeDef SlotInit;
  uint8_t* pBuffPtr;
  uint16_t XferSize;
  uint16_t XferCount;
  DMA_HandleTypeDef* hdmatx;
  DMA_HandleTypeDef* hdmarx;
  HAL_LockTypeDef Lock;
  volatile HAL_SAI_StateTypeDef State;
  volatile uint32_t ErrorCode;
} SAI_HandleTypeDef;

/* Sets the block up (mode, data size, frame and slots, the audio frequency its clock gives).
 * Called again while a DMA transmission runs, the block carries on at the new frequency. */
HAL_StatusTypeDef HAL_SAI_Init(SAI_HandleTypeDef* hsai);
HAL_StatusTypeDef HAL_SAI_DeInit(SAI_HandleTypeDef* hsai);
void HAL_SAI_MspInit(SAI_HandleTypeDef* hsai);
void HAL_SAI_MspDeInit(SAI_HandleTypeDef* hsai);
/* Sends Size 16-bit slots from pData through the block's transmit DMA (hdmatx); in circular
 * DMA mode the transmission runs until HAL_SAI_DMAStop. */
HAL_StatusTypeDef HAL_SAI_Transmit_DMA(SAI_HandleTypeDef* hsai, uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_SAI_DMAStop(SAI_HandleTypeDef* hsai);
HAL_SAI_StateTypeDef HAL_SAI_GetState(SAI_HandleTypeDef* hsai);
void HAL_SAI_IRQHandler(SAI_HandleTypeDef* hsai);
/* Called from the DMA interrupt; the board support defines them. */
void HAL_SAI_TxHalfCpltCallback(SAI_HandleTypeDef* hsai);
void HAL_SAI_TxCpltCallback(SAI_HandleTypeDef* hsai);
void HAL_SAI_ErrorCallback(SAI_HandleTypeDef* hsai);

#define __HAL_SAI_ENABLE(h) ((h)->Instance->CR1 |= SAI_xCR1_SAIEN)
#define __HAL_SAI_DISABLE(h) ((h)->Instance->CR1 &= ~SAI_xCR1_SAIEN)

#ifdef __cplusplus
}
#endif

#endif

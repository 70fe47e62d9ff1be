/* DMA streams of the simulated STM32F746: the stream handle, its set-up and its interrupt
 * entry, with the vendor library's names and values. Which peripheral paces a stream's
 * transfers is the business of that peripheral's model. */
#ifndef STM32F7XX_HAL_DMA_H
#define STM32F7XX_HAL_DMA_H

#include "stm32f7xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DMA_CHANNEL_0 0x00000000U
#define DMA_CHANNEL_1 0x02000000U
#define DMA_CHANNEL_2 0x04000000U
#define DMA_CHANNEL_3 0x06000000U
#define DMA_CHANNEL_4 0x08000000U
#define DMA_CHANNEL_5 0x0A000000U
#define DMA_CHANNEL_6 0x0C000000U
#define DMA_CHANNEL_7 0x0E000000U
#define DMA_PERIPH_TO_MEMORY 0x00000000U
#define DMA_MEMORY_TO_PERIPH 0x00000040U
#define DMA_MEMORY_TO_MEMORY 0x00000080U
#define DMA_PINC_DISABLE 0x00000000U
#define DMA_PINC_ENABLE 0x00000200U
#define DMA_MINC_DISABLE 0x00000000U
#define DMA_MINC_ENABLE 0x00000400U
#define DMA_PDATAALIGN_BYTE 0x00000000U
#define DMA_PDATAALIGN_HALFWORD 0x00000800U
#define DMA_PDATAALIGN_WORD 0x00001000U
#define DMA_MDATAALIGN_BYTE 0x00000000U
#define DMA_MDATAALIGN_HALFWORD 0x00002000U
#define DMA_MDATAALIGN_WORD 0x00004000U
#define DMA_NORMAL 0x00000000U
#define DMA_CIRCULAR 0x00000100U
#define DMA_PRIORITY_LOW 0x00000000U
#define DMA_PRIORITY_MEDIUM 0x00010000U
#define DMA_PRIORITY_HIGH 0x00020000U
#define DMA_PRIORITY_VERY_HIGH 0x00030000U
#define DMA_FIFOMODE_DISABLE 0x00000000U
#define DMA_FIFOMODE_ENABLE 0x00000004U
#define DMA_FIFO_THRESHOLD_1QUARTERFULL 0x00000000U
#define DMA_FIFO_THRESHOLD_HALFFULL 0x00000001U
#define DMA_FIFO_THRESHOLD_3QUARTERSFULL 0x00000002U
#define DMA_FIFO_THRESHOLD_FULL 0x00000003U
#define DMA_MBURST_SINGLE 0x00000000U
#define DMA_PBURST_SINGLE 0x00000000U

/* Flags of a stream, for the streams in the first place of their status register (0 and 4);
 * the flag macros find the stream's own place. */
#define DMA_FLAG_FEIF0_4 0x00000001U
#define DMA_FLAG_DMEIF0_4 0x00000004U
#define DMA_FLAG_TEIF0_4 0x00000008U
#define DMA_FLAG_HTIF0_4 0x00000010U
#define DMA_FLAG_TCIF0_4 0x00000020U

#define HAL_DMA_ERROR_NONE 0x00000000U
#define HAL_DMA_ERROR_TE 0x00000001U

typedef struct {
  uint32_t Channel, Direction, PeriphInc, MemInc, PeriphDataAlignment, MemDataAlignment, Mode,
      Priority, FIFOMode, FIFOThreshold, MemBurst, PeriphBurst;
} DMA_InitTypeDef;

typedef enum {
  HAL_DMA_STATE_RESET = 0x00U,
  HAL_DMA_STATE_READY = 0x01U,
  HAL_DMA_STATE_BUSY = 0x02U,
  HAL_DMA_STATE_TIMEOUT = 0x03U,
  HAL_DMA_STATE_ERROR = 0x04U,
  HAL_DMA_STATE_ABORT = 0x05U
} HAL_DMA_StateTypeDef;

struct __DMA_HandleTypeDef {
  DMA_Stream_TypeDef* Instance;
  DMA_InitTypeDef Init;
  HAL_LockTypeDef Lock;
  volatile HAL_DMA_StateTypeDef State;
  void* Parent;
  void (*XferCpltCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferHalfCpltCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferErrorCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferAbortCallback)(struct __DMA_HandleTypeDef* hdma);
  volatile uint32_t ErrorCode;
  uint32_t StreamBaseAddress;
  uint32_t StreamIndex;
};

HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma);
HAL_StatusTypeDef HAL_DMA_DeInit(DMA_HandleTypeDef* hdma);
/* Programs and enables the stream with its transfer-complete interrupt (and the half-transfer
 * interrupt when a half-transfer callback is set). The addresses are those of this host. */
HAL_StatusTypeDef HAL_DMA_Start_IT(DMA_HandleTypeDef* hdma, const void* SrcAddress,
                                   const void* DstAddress, uint32_t DataLength);
HAL_StatusTypeDef HAL_DMA_Abort(DMA_HandleTypeDef* hdma);
void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma);
uint32_t HAL_DMA_GetError(DMA_HandleTypeDef* hdma);

/* A flag of the handle's stream (one of DMA_FLAG_..0_4), and its clearing. */
uint32_t sim_dma_get_flag(const DMA_HandleTypeDef* hdma, uint32_t flag);
void sim_dma_clear_flag(const DMA_HandleTypeDef* hdma, uint32_t flag);
#define __HAL_DMA_GET_FLAG(h, flag) sim_dma_get_flag((h), (flag))
#define __HAL_DMA_CLEAR_FLAG(h, flag) sim_dma_clear_flag((h), (flag))

#define __HAL_LINKDMA(handle, field, dmaHandle) \
  do {                                          \
    (handle)->field = &(dmaHandle);             \
    (dmaHandle).Parent = (handle);              \
  } while (0)

#ifdef __cplusplus
}
#endif

#endif

/* Board support: the quad-SPI flash that holds the graphics assets. */
#ifndef STM32746G_DISCOVERY_QSPI_H
#define STM32746G_DISCOVERY_QSPI_H

#include <stdint.h>

#include "stm32f7xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

#define QSPI_OK ((uint8_t)0x00)
#define QSPI_ERROR ((uint8_t)0x01)
#define QSPI_BUSY ((uint8_t)0x02)
#define QSPI_NOT_SUPPORTED ((uint8_t)0x04)

extern QSPI_HandleTypeDef QSPIHandle;
uint8_t BSP_QSPI_Init(void);
uint8_t BSP_QSPI_EnableMemoryMappedMode(void);

#ifdef __cplusplus
}
#endif

#endif

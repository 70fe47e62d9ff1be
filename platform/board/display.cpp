// The display side of the board: the quad-SPI flash start-up, the LCD start-up and clear,
// the LTDC controller and the DMA2D accelerator's interrupt entries.
//
// Simplification: the LCD keeps only the colour it was last cleared to until the graphics
// framework's frame buffer takes over the panel.
#include <cstdio>

#include "simhal.h"
#include "stm32746g_discovery_lcd.h"
#include "stm32746g_discovery_qspi.h"

extern "C" {

LTDC_TypeDef sim_LTDC;
DMA2D_TypeDef sim_DMA2D;
QUADSPI_TypeDef sim_QUADSPI;

QSPI_HandleTypeDef QSPIHandle = {QUADSPI, 0, 0};

static bool qspiReady = false;
static bool lcdReady = false;
static uint32_t lcdColour = 0;

uint8_t BSP_QSPI_Init(void) {
  simhal::record("BSP_QSPI_Init");
  qspiReady = true;
  QSPIHandle.State = 1;
  return QSPI_OK;
}

uint8_t BSP_QSPI_EnableMemoryMappedMode(void) {
  simhal::record("BSP_QSPI_EnableMemoryMappedMode");
  return qspiReady ? QSPI_OK : QSPI_ERROR;
}

void HAL_QSPI_IRQHandler(QSPI_HandleTypeDef*) {}

uint8_t BSP_LCD_Init(void) {
  simhal::record("BSP_LCD_Init");
  lcdReady = true;
  return LCD_OK;
}

void BSP_LCD_Clear(uint32_t colour) {
  simhal::record("BSP_LCD_Clear", "colour=0x%08X", colour);
  if (lcdReady) lcdColour = colour;
}

uint32_t BSP_LCD_GetXSize(void) { return 480; }
uint32_t BSP_LCD_GetYSize(void) { return 272; }

void HAL_LTDC_IRQHandler(LTDC_HandleTypeDef* hltdc) {
  // The line interrupt is the only one the model raises.
  sim_LTDC.ISR &= ~1U;
  HAL_LTDC_LineEventCallback(hltdc);
}

__attribute__((weak)) void HAL_LTDC_LineEventCallback(LTDC_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_LTDC_ProgramLineEvent(LTDC_HandleTypeDef*, uint32_t line) {
  sim_LTDC.LIPCR = line;
  sim_LTDC.IER |= 1U;
  return HAL_OK;
}

void HAL_DMA2D_IRQHandler(DMA2D_HandleTypeDef*) {}

}  // extern "C"

/* Board support: the 480 x 272 display. */
#ifndef STM32746G_DISCOVERY_LCD_H
#define STM32746G_DISCOVERY_LCD_H

#include <stdint.h>

#include "stm32f7xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LCD_OK ((uint8_t)0x00)
#define LCD_ERROR ((uint8_t)0x01)
#define LCD_COLOR_GREEN ((uint32_t)0xFF00FF00)
#define LCD_COLOR_BLACK ((uint32_t)0xFF000000)
/* The backlight's on/off line: high = on. */
#define LCD_BL_CTRL_PIN GPIO_PIN_3
#define LCD_BL_CTRL_GPIO_PORT GPIOK

uint8_t BSP_LCD_Init(void);
void BSP_LCD_Clear(uint32_t Color);
uint32_t BSP_LCD_GetXSize(void);
uint32_t BSP_LCD_GetYSize(void);

#ifdef __cplusplus
}
#endif

#endif

/* Board support of the evaluation board's touch panel: the FT5336 touch controller on the
 * shared I2C bus (the codec's control bus), polled for the touch points. */
#ifndef STM32746G_DISCOVERY_TS_H
#define STM32746G_DISCOVERY_TS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The controller's device address on the bus, in the 8-bit (write) form. */
#define TS_I2C_ADDRESS ((uint16_t)0x70)

#define TS_MAX_NB_TOUCH ((uint32_t)5)

#define TS_OK ((uint8_t)0x00)
#define TS_ERROR ((uint8_t)0x01)
#define TS_TIMEOUT ((uint8_t)0x02)
#define TS_DEVICE_NOT_FOUND ((uint8_t)0x03)

/* What BSP_TS_GetState found: the number of touch points and each one's position in the
 * controller's coordinates (those of the display's frame buffer), its event (0 put down,
 * 1 put up, 2 contact, 3 none), weight and area. */
typedef struct {
  uint8_t touchDetected;
  uint16_t touchX[TS_MAX_NB_TOUCH];
  uint16_t touchY[TS_MAX_NB_TOUCH];
  uint8_t touchWeight[TS_MAX_NB_TOUCH];
  uint8_t touchEventId[TS_MAX_NB_TOUCH];
  uint8_t touchArea[TS_MAX_NB_TOUCH];
  uint32_t gestureId;
} TS_StateTypeDef;

/* Checks the controller's chip id and sets it to polling mode; ts_SizeX and ts_SizeY bound
 * the coordinates reported. TS_DEVICE_NOT_FOUND when nothing answers as the chip. */
uint8_t BSP_TS_Init(uint16_t ts_SizeX, uint16_t ts_SizeY);
/* Reads the touch points (one bus read of the number of points, one of each point). */
uint8_t BSP_TS_GetState(TS_StateTypeDef* TS_State);

/* The bus functions the touch driver uses (one register transfer each on the shared bus). */
void TS_IO_Init(void);
void TS_IO_Write(uint8_t Addr, uint8_t Reg, uint8_t Value);
uint8_t TS_IO_Read(uint8_t Addr, uint8_t Reg);
uint16_t TS_IO_ReadMultiple(uint8_t Addr, uint8_t Reg, uint8_t* Buffer, uint16_t Length);
void TS_IO_Delay(uint32_t Delay);

#ifdef __cplusplus
}
#endif

#endif

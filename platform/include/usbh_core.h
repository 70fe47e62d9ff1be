/* USB host stack: core. */
#ifndef USBH_CORE_H
#define USBH_CORE_H

#include "usbh_def.h"

#ifdef __cplusplus
extern "C" {
#endif

USBH_StatusTypeDef USBH_Init(USBH_HandleTypeDef* phost,
                             void (*pUsrFunc)(USBH_HandleTypeDef* phost, uint8_t id), uint8_t id);
USBH_StatusTypeDef USBH_RegisterClass(USBH_HandleTypeDef* phost, USBH_ClassTypeDef* pclass);
USBH_StatusTypeDef USBH_Start(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef USBH_Stop(USBH_HandleTypeDef* phost);

#ifdef __cplusplus
}
#endif

#endif

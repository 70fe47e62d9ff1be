/* USB host stack: core, and the low-level glue the application provides. */
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
USBH_StatusTypeDef USBH_Process(USBH_HandleTypeDef* phost);

/* Called by the glue from the controller's interrupt callbacks. */
void USBH_LL_Connect(USBH_HandleTypeDef* phost);
void USBH_LL_Disconnect(USBH_HandleTypeDef* phost);
void USBH_LL_PortEnabled(USBH_HandleTypeDef* phost);
void USBH_LL_PortDisabled(USBH_HandleTypeDef* phost);
void USBH_LL_IncTimer(USBH_HandleTypeDef* phost);

/* Provided by the application's glue. */
USBH_StatusTypeDef USBH_LL_Init(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef USBH_LL_Start(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef USBH_LL_Stop(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef USBH_LL_ResetPort(USBH_HandleTypeDef* phost);
uint8_t USBH_LL_GetSpeed(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef USBH_LL_DriverVBUS(USBH_HandleTypeDef* phost, uint8_t state);
void USBH_Delay(uint32_t Delay);

#ifdef __cplusplus
}
#endif

#endif

/* USB host stack: shared definitions. */
#ifndef USBH_DEF_H
#define USBH_DEF_H

#include <stdint.h>

#include "cmsis_os.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  USBH_OK = 0,
  USBH_BUSY,
  USBH_FAIL,
  USBH_NOT_SUPPORTED,
  USBH_UNRECOVERED_ERROR,
  USBH_ERROR_SPEED_UNKNOWN
} USBH_StatusTypeDef;

/* Notices the stack gives the application's user process. */
#define HOST_USER_SELECT_CONFIGURATION 0x01U
#define HOST_USER_CLASS_ACTIVE 0x02U
#define HOST_USER_CLASS_SELECTED 0x03U
#define HOST_USER_CONNECTION 0x04U
#define HOST_USER_DISCONNECTION 0x05U
#define HOST_USER_UNRECOVERED_ERROR 0x06U

struct _USBH_HandleTypeDef;

typedef struct {
  const char* Name;
  uint8_t ClassCode;
} USBH_ClassTypeDef;

typedef struct _USBH_HandleTypeDef {
  uint8_t id;
  uint8_t gState;
  USBH_ClassTypeDef* pClass[1];
  USBH_ClassTypeDef* pActiveClass;
  uint32_t ClassNumber;
  void (*pUser)(struct _USBH_HandleTypeDef* pHandle, uint8_t id);
  osMessageQId os_event;
  osThreadId thread;
  void* pData;
} USBH_HandleTypeDef;

#ifdef __cplusplus
}
#endif

#endif

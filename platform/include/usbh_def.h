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

#define USBH_SPEED_HIGH 0U
#define USBH_SPEED_FULL 1U
#define USBH_SPEED_LOW 2U

/* States of the host's process. */
typedef enum {
  HOST_IDLE = 0U,
  HOST_DEV_WAIT_FOR_ATTACHMENT,
  HOST_DEV_ATTACHED,
  HOST_DEV_DISCONNECTED,
  HOST_DETECT_DEVICE_SPEED,
  HOST_ENUMERATION,
  HOST_CLASS_REQUEST,
  HOST_INPUT,
  HOST_SET_CONFIGURATION,
  HOST_SET_WAKEUP_FEATURE,
  HOST_CHECK_CLASS,
  HOST_CLASS,
  HOST_SUSPENDED,
  HOST_ABORT_STATE
} HOST_StateTypeDef;

/* Messages to the host thread. */
typedef enum {
  USBH_PORT_EVENT = 1U,
  USBH_URB_EVENT,
  USBH_CONTROL_EVENT,
  USBH_CLASS_EVENT,
  USBH_STATE_CHANGED_EVENT
} USBH_OSEventTypeDef;

typedef struct {
  uint16_t idVendor;
  uint16_t idProduct;
  uint8_t iSerialNumber;
  uint8_t bDeviceClass;
} USBH_DevDescTypeDef;

typedef struct {
  uint8_t is_connected;
  uint8_t is_disconnected;
  uint8_t PortEnabled;
  uint8_t speed;
  uint8_t address;
  USBH_DevDescTypeDef DevDesc;
} USBH_DeviceTypeDef;

struct _USBH_HandleTypeDef;

typedef struct {
  const char* Name;
  uint8_t ClassCode;
  USBH_StatusTypeDef (*Init)(struct _USBH_HandleTypeDef* phost);
  USBH_StatusTypeDef (*DeInit)(struct _USBH_HandleTypeDef* phost);
  USBH_StatusTypeDef (*Requests)(struct _USBH_HandleTypeDef* phost);
  USBH_StatusTypeDef (*BgndProcess)(struct _USBH_HandleTypeDef* phost);
  void* pData;
} USBH_ClassTypeDef;

typedef struct _USBH_HandleTypeDef {
  volatile HOST_StateTypeDef gState;
  uint8_t id;
  USBH_DeviceTypeDef device;
  USBH_ClassTypeDef* pClass[1];
  USBH_ClassTypeDef* pActiveClass;
  uint32_t ClassNumber;
  volatile uint32_t Timer;
  void (*pUser)(struct _USBH_HandleTypeDef* pHandle, uint8_t id);
  osMessageQId os_event;
  osThreadId thread;
  void* pData; /* the controller handle of the application's glue */
} USBH_HandleTypeDef;

#ifdef __cplusplus
}
#endif

#endif

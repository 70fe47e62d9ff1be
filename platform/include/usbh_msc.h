/* USB host stack: mass-storage class (bulk-only transport, SCSI commands). */
#ifndef USBH_MSC_H
#define USBH_MSC_H

#include "usbh_core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Additional sense codes the disk adapter tells apart. */
#define SCSI_ASC_LOGICAL_UNIT_NOT_READY 0x04U
#define SCSI_ASC_WRITE_PROTECTED 0x27U
#define SCSI_ASC_NOT_READY_TO_READY_CHANGE 0x28U
#define SCSI_ASC_MEDIUM_NOT_PRESENT 0x3AU

typedef struct {
  uint32_t block_nbr;
  uint16_t block_size;
} SCSI_CapacityTypeDef;

typedef struct {
  uint8_t key;
  uint8_t asc;
  uint8_t ascq;
} SCSI_SenseTypeDef;

typedef enum { MSC_OK, MSC_NOT_READY, MSC_ERROR } MSC_ErrorTypeDef;

typedef struct {
  MSC_ErrorTypeDef error;
  SCSI_CapacityTypeDef capacity;
  SCSI_SenseTypeDef sense;
} MSC_LUNTypeDef;

extern USBH_ClassTypeDef USBH_msc;
#define USBH_MSC_CLASS (&USBH_msc)

uint8_t USBH_MSC_IsReady(USBH_HandleTypeDef* phost);
uint8_t USBH_MSC_GetMaxLUN(USBH_HandleTypeDef* phost);
uint8_t USBH_MSC_UnitIsReady(USBH_HandleTypeDef* phost, uint8_t lun);
USBH_StatusTypeDef USBH_MSC_GetLUNInfo(USBH_HandleTypeDef* phost, uint8_t lun,
                                       MSC_LUNTypeDef* info);
USBH_StatusTypeDef USBH_MSC_Read(USBH_HandleTypeDef* phost, uint8_t lun, uint32_t address,
                                 uint8_t* pbuf, uint32_t length);
USBH_StatusTypeDef USBH_MSC_Write(USBH_HandleTypeDef* phost, uint8_t lun, uint32_t address,
                                  uint8_t* pbuf, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif

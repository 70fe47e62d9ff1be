/* USB host stack: mass-storage class. */
#ifndef USBH_MSC_H
#define USBH_MSC_H

#include "usbh_core.h"

#ifdef __cplusplus
extern "C" {
#endif

extern USBH_ClassTypeDef USBH_msc;
#define USBH_MSC_CLASS (&USBH_msc)

#ifdef __cplusplus
}
#endif

#endif

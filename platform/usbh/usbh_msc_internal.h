// The mass-storage class's entries for the host core.
#pragma once

#include "usbh_def.h"

namespace simusbh {
USBH_StatusTypeDef mscInit(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef mscDeInit(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef mscRequests(USBH_HandleTypeDef* phost);
USBH_StatusTypeDef mscBackground(USBH_HandleTypeDef* phost);
}  // namespace simusbh

// The file system's disk driver for the mass-storage unit of the USB host.
#pragma once

#include "ff_gen_drv.h"

extern const Diskio_drvTypeDef USBH_Driver;

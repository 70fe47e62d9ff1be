// The file system's disk driver for the mass-storage unit of the USB host.
#pragma once

#include "ff_gen_drv.h"

extern const Diskio_drvTypeDef USBH_Driver;

// The driver keeps recently read sectors (see sector_cache.h). The stick service forgets them
// whenever a stick goes or comes, so that a new stick is never served an old one's sectors.
void USBH_DiskCacheInvalidate();
// With the cache off every read goes to the stick as one command (for comparisons).
void USBH_DiskCacheEnable(bool on);

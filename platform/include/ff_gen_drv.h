/* Links disk drivers to logical drives: drive N of the file system reaches its medium through
 * the driver linked at N. */
#ifndef FF_GEN_DRV_H
#define FF_GEN_DRV_H

#include <stdint.h>

#include "diskio.h"
#include "ff.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  DSTATUS (*disk_initialize)(BYTE lun);
  DSTATUS (*disk_status)(BYTE lun);
  DRESULT (*disk_read)(BYTE lun, BYTE* buff, DWORD sector, UINT count);
  DRESULT (*disk_write)(BYTE lun, const BYTE* buff, DWORD sector, UINT count);
  DRESULT (*disk_ioctl)(BYTE lun, BYTE cmd, void* buff);
} Diskio_drvTypeDef;

typedef struct {
  uint8_t is_initialized[FF_VOLUMES];
  const Diskio_drvTypeDef* drv[FF_VOLUMES];
  uint8_t lun[FF_VOLUMES];
  volatile uint8_t nbr;
} Disk_drvTypeDef;

/* Links drv to the first free logical drive and writes "N:/" to path (4 bytes). 0 on success,
 * 1 when every drive is taken. */
uint8_t FATFS_LinkDriver(const Diskio_drvTypeDef* drv, char* path);
uint8_t FATFS_LinkDriverEx(const Diskio_drvTypeDef* drv, char* path, BYTE lun);
/* Unlinks the driver of the drive that path names. 0 on success. */
uint8_t FATFS_UnLinkDriver(char* path);
uint8_t FATFS_UnLinkDriverEx(char* path, BYTE lun);
uint8_t FATFS_GetAttachedDriversNbr(void);

#ifdef __cplusplus
}
#endif

#endif

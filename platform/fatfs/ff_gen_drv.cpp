// Links disk drivers to the file system's logical drives and routes the disk interface of
// drive N to the driver linked there (with its logical unit), as the board's vendor glue does.
// A drive without a driver reports "not initialised" and refuses every transfer.
#include "ff_gen_drv.h"

Disk_drvTypeDef disk = {};

extern "C" {

uint8_t FATFS_LinkDriverEx(const Diskio_drvTypeDef* drv, char* path, BYTE lun) {
  if (drv == nullptr || path == nullptr) return 1;
  for (uint8_t n = 0; n < FF_VOLUMES; ++n) {
    if (disk.drv[n] != nullptr) continue;
    disk.is_initialized[n] = 0;
    disk.drv[n] = drv;
    disk.lun[n] = lun;
    disk.nbr = static_cast<uint8_t>(disk.nbr + 1);
    path[0] = static_cast<char>('0' + n);
    path[1] = ':';
    path[2] = '/';
    path[3] = 0;
    return 0;
  }
  return 1;
}

uint8_t FATFS_LinkDriver(const Diskio_drvTypeDef* drv, char* path) {
  return FATFS_LinkDriverEx(drv, path, 0);
}

uint8_t FATFS_UnLinkDriverEx(char* path, BYTE lun) {
  (void)lun;
  if (path == nullptr) return 1;
  const int n = path[0] - '0';
  if (n < 0 || n >= FF_VOLUMES || disk.drv[n] == nullptr) return 1;
  disk.drv[n] = nullptr;
  disk.lun[n] = 0;
  disk.is_initialized[n] = 0;
  disk.nbr = static_cast<uint8_t>(disk.nbr - 1);
  return 0;
}

uint8_t FATFS_UnLinkDriver(char* path) { return FATFS_UnLinkDriverEx(path, 0); }

uint8_t FATFS_GetAttachedDriversNbr(void) { return disk.nbr; }

DSTATUS disk_status(BYTE pdrv) {
  if (pdrv >= FF_VOLUMES || disk.drv[pdrv] == nullptr) return STA_NOINIT | STA_NODISK;
  return disk.drv[pdrv]->disk_status(disk.lun[pdrv]);
}

DSTATUS disk_initialize(BYTE pdrv) {
  if (pdrv >= FF_VOLUMES || disk.drv[pdrv] == nullptr) return STA_NOINIT | STA_NODISK;
  const DSTATUS stat = disk.drv[pdrv]->disk_initialize(disk.lun[pdrv]);
  disk.is_initialized[pdrv] = (stat & STA_NOINIT) ? 0 : 1;
  return stat;
}

DRESULT disk_read(BYTE pdrv, BYTE* buff, DWORD sector, UINT count) {
  if (pdrv >= FF_VOLUMES || disk.drv[pdrv] == nullptr) return RES_NOTRDY;
  return disk.drv[pdrv]->disk_read(disk.lun[pdrv], buff, sector, count);
}

DRESULT disk_write(BYTE pdrv, const BYTE* buff, DWORD sector, UINT count) {
  if (pdrv >= FF_VOLUMES || disk.drv[pdrv] == nullptr) return RES_NOTRDY;
  if (disk.drv[pdrv]->disk_write == nullptr) return RES_WRPRT;
  return disk.drv[pdrv]->disk_write(disk.lun[pdrv], buff, sector, count);
}

DRESULT disk_ioctl(BYTE pdrv, BYTE cmd, void* buff) {
  if (pdrv >= FF_VOLUMES || disk.drv[pdrv] == nullptr) return RES_NOTRDY;
  return disk.drv[pdrv]->disk_ioctl(disk.lun[pdrv], cmd, buff);
}

}  // extern "C"

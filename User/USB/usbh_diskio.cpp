#include "usbh_diskio.h"

#include "board_memory.h"
#include "k_storage.h"
#include "sector_cache.h"
#include "usbh_msc.h"

namespace {

// In the external SDRAM: 512 KiB of sectors and the read-ahead buffer.
SDRAM_DATA SectorCache sectorCache;

DSTATUS USBH_initialize(BYTE lun) {
  (void)lun;
  return RES_OK;
}

DSTATUS USBH_status(BYTE lun) {
  return USBH_MSC_UnitIsReady(&hUSB_Host, lun) != 0 ? 0 : STA_NOINIT;
}

// A failed transfer is told apart by the unit's additional sense code.
DRESULT resultOf(BYTE lun, bool writing) {
  MSC_LUNTypeDef info;
  if (USBH_MSC_GetLUNInfo(&hUSB_Host, lun, &info) != USBH_OK) return RES_ERROR;
  switch (info.sense.asc) {
    case SCSI_ASC_LOGICAL_UNIT_NOT_READY:
    case SCSI_ASC_MEDIUM_NOT_PRESENT:
    case SCSI_ASC_NOT_READY_TO_READY_CHANGE: return RES_NOTRDY;
    case SCSI_ASC_WRITE_PROTECTED: return writing ? RES_WRPRT : RES_ERROR;
    default: return RES_ERROR;
  }
}

// The controller runs without DMA, so every buffer is transferred directly. The file system's
// drive has logical unit 0.
bool readUnit(uint8_t* buff, uint32_t sector, uint32_t count) {
  return USBH_MSC_Read(&hUSB_Host, 0, sector, buff, count) == USBH_OK;
}

DRESULT USBH_read(BYTE lun, BYTE* buff, DWORD sector, UINT count) {
  MSC_LUNTypeDef info;
  if (lun != 0 || USBH_MSC_GetLUNInfo(&hUSB_Host, lun, &info) != USBH_OK) {
    if (USBH_MSC_Read(&hUSB_Host, lun, sector, buff, count) == USBH_OK) return RES_OK;
    return resultOf(lun, false);
  }
  if (sectorCache.read(buff, sector, count, info.capacity.block_size, info.capacity.block_nbr,
                       readUnit)) {
    return RES_OK;
  }
  return resultOf(lun, false);
}

DRESULT USBH_write(BYTE lun, const BYTE* buff, DWORD sector, UINT count) {
  if (USBH_MSC_Write(&hUSB_Host, lun, sector, const_cast<BYTE*>(buff), count) == USBH_OK) {
    return RES_OK;
  }
  return resultOf(lun, true);
}

DRESULT USBH_ioctl(BYTE lun, BYTE cmd, void* buff) {
  MSC_LUNTypeDef info;
  switch (cmd) {
    case CTRL_SYNC: return RES_OK;
    case GET_SECTOR_COUNT:
      if (USBH_MSC_GetLUNInfo(&hUSB_Host, lun, &info) != USBH_OK) return RES_ERROR;
      *static_cast<DWORD*>(buff) = info.capacity.block_nbr;
      return RES_OK;
    case GET_SECTOR_SIZE:
      if (USBH_MSC_GetLUNInfo(&hUSB_Host, lun, &info) != USBH_OK) return RES_ERROR;
      *static_cast<WORD*>(buff) = info.capacity.block_size;
      return RES_OK;
    case GET_BLOCK_SIZE:
      if (USBH_MSC_GetLUNInfo(&hUSB_Host, lun, &info) != USBH_OK) return RES_ERROR;
      *static_cast<DWORD*>(buff) = info.capacity.block_size;
      return RES_OK;
    default: return RES_PARERR;
  }
}

}  // namespace

void USBH_DiskCacheInvalidate() { sectorCache.invalidate(); }

void USBH_DiskCacheEnable(bool on) { sectorCache.setEnabled(on); }

const Diskio_drvTypeDef USBH_Driver = {USBH_initialize, USBH_status, USBH_read, USBH_write,
                                       USBH_ioctl};

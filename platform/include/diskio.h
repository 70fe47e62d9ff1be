/* The disk interface the file system reads its media through. */
#ifndef DISKIO_DEFINED
#define DISKIO_DEFINED

#include "ff.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef BYTE DSTATUS;

typedef enum { RES_OK = 0, RES_ERROR = 1, RES_WRPRT = 2, RES_NOTRDY = 3, RES_PARERR = 4 } DRESULT;

DSTATUS disk_initialize(BYTE pdrv);
DSTATUS disk_status(BYTE pdrv);
DRESULT disk_read(BYTE pdrv, BYTE* buff, DWORD sector, UINT count);
DRESULT disk_write(BYTE pdrv, const BYTE* buff, DWORD sector, UINT count);
DRESULT disk_ioctl(BYTE pdrv, BYTE cmd, void* buff);

/* Drive status bits */
#define STA_NOINIT 0x01
#define STA_NODISK 0x02
#define STA_PROTECT 0x04

/* disk_ioctl commands; GET_SECTOR_SIZE answers a WORD, GET_SECTOR_COUNT and GET_BLOCK_SIZE
 * a DWORD. */
#define CTRL_SYNC 0
#define GET_SECTOR_COUNT 1
#define GET_SECTOR_SIZE 2
#define GET_BLOCK_SIZE 3

#ifdef __cplusplus
}
#endif

#endif

// The file system's volume lock: one kernel mutex per drive, created when the drive is first
// mounted, taken with a time-out of FF_FS_TIMEOUT ticks around every operation on the volume.
#include "ff.h"

extern "C" {

int ff_cre_syncobj(BYTE vol, FF_SYNC_t* sobj) {
  (void)vol;
  *sobj = xSemaphoreCreateMutex();
  return *sobj != nullptr;
}

int ff_req_grant(FF_SYNC_t sobj) { return xSemaphoreTake(sobj, FF_FS_TIMEOUT) == pdTRUE; }

void ff_rel_grant(FF_SYNC_t sobj) { xSemaphoreGive(sobj); }

int ff_del_syncobj(FF_SYNC_t sobj) {
  vSemaphoreDelete(sobj);
  return 1;
}

}  // extern "C"

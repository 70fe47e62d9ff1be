/* File system configuration of the player: a read-only FAT/exFAT reader for the USB stick,
 * long names in code page 850, relative paths, directory search, re-entrant with one kernel
 * mutex per volume. Every option of FatFs R0.13c, the revision whose interface the file
 * system follows, is set here. */
#ifndef FFCONF_H
#define FFCONF_H

#include "FreeRTOS.h"
#include "semphr.h"

#define FFCONF_DEF 86604 /* revision R0.13c */

#define FF_FS_READONLY 1 /* nothing on the stick is ever written */
#define FF_FS_MINIMIZE 0
#define FF_USE_STRFUNC 0
#define FF_USE_FIND 1 /* f_findfirst/f_findnext match the long name only */
#define FF_USE_MKFS 0
#define FF_USE_FASTSEEK 0
#define FF_USE_EXPAND 0
#define FF_USE_CHMOD 0
#define FF_USE_LABEL 0
#define FF_USE_FORWARD 0

#define FF_CODE_PAGE 850
#define FF_USE_LFN 2 /* long names; the name buffers are never shared between volumes */
#define FF_MAX_LFN 255
#define FF_LFN_UNICODE 0 /* names in the OEM code page */
#define FF_LFN_BUF 255
#define FF_SFN_BUF 12
#define FF_STRF_ENCODE 3
#define FF_FS_RPATH 2 /* relative paths, f_chdir and f_getcwd */

#define FF_VOLUMES 2
#define FF_STR_VOLUME_ID 0
#define FF_MULTI_PARTITION 0
#define FF_MIN_SS 512
#define FF_MAX_SS 4096
#define FF_USE_TRIM 0
#define FF_FS_NOFSINFO 0

#define FF_FS_EXFAT 1
#define FF_FS_TINY 0  /* every file has its own sector buffer */
#define FF_FS_NORTC 1 /* no clock: the fixed date below (nothing is written anyway) */
#define FF_NORTC_MON 1
#define FF_NORTC_MDAY 1
#define FF_NORTC_YEAR 2018
#define FF_FS_LOCK 10 /* files and directories open at once */

#define FF_FS_REENTRANT 1
#define FF_FS_TIMEOUT 1000 /* kernel ticks */
#define FF_SYNC_t SemaphoreHandle_t

#endif

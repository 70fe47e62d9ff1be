/* FAT file system API (FatFs-compatible names and results), read-only: FAT12, FAT16, FAT32 and
 * exFAT volumes reached through the disk driver linked to each logical drive. Configured by
 * the application's ffconf.h. */
#ifndef FF_DEFINED
#define FF_DEFINED 86604 /* the interface of revision R0.13c */

#include <stdint.h>

#include "ffconf.h"
#if FF_DEFINED != FFCONF_DEF
#error Wrong configuration file (ffconf.h).
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int UINT;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef WORD WCHAR;
typedef char TCHAR;
#if FF_FS_EXFAT
typedef QWORD FSIZE_t;
#else
typedef DWORD FSIZE_t;
#endif

/* Depth of the parent chain kept for ".." on exFAT, which has no dot entries. */
#define FF_XDIR_DEPTH 16

typedef struct {
  DWORD sclust;  /* first cluster (0: root) */
  DWORD objsize; /* size of an exFAT directory */
  BYTE stat;     /* exFAT: 2 = contiguous, no FAT chain */
} FF_DIRREF;

/* The work area of one volume. */
typedef struct {
  BYTE fs_type; /* 0: not mounted, FS_FAT12/16/32/EXFAT */
  BYTE pdrv;    /* physical drive (= logical drive here) */
  BYTE n_fats;
  BYTE wflag;
  WORD id; /* changes at every mount; open objects of an older mount are invalid */
  WORD n_rootdir;
  WORD csize; /* sectors per cluster */
  WORD ssize; /* bytes per sector */
#if FF_FS_REENTRANT
  FF_SYNC_t sobj;
#endif
  DWORD n_fatent; /* number of clusters + 2 */
  DWORD fsize;    /* sectors per FAT */
  DWORD volbase;
  DWORD fatbase;
  DWORD dirbase; /* root directory: first sector (FAT12/16) or cluster (FAT32/exFAT) */
  DWORD database;
  DWORD n_sectors; /* sectors of the medium: nothing at or beyond it is read */
  DWORD winsect;
#if FF_FS_RPATH
  FF_DIRREF cdir;                /* current directory */
  FF_DIRREF xpar[FF_XDIR_DEPTH]; /* exFAT: its parents, innermost last */
  BYTE n_xpar;
  BYTE x_lost; /* outer parents beyond FF_XDIR_DEPTH that were forgotten */
#endif
  WCHAR lfnbuf[FF_MAX_LFN + 1]; /* long name being assembled */
  BYTE dirbuf[608];             /* exFAT: the entry set being read */
  BYTE win[FF_MAX_SS];          /* sector window for directories and the FAT */
} FATFS;

/* What files and directories share. */
typedef struct {
  FATFS* fs;
  WORD id;
  BYTE attr;
  BYTE stat; /* exFAT: 2 = contiguous, no FAT chain */
  DWORD sclust;
  FSIZE_t objsize;
  UINT lockid;
} FFOBJID;

typedef struct {
  FFOBJID obj;
  BYTE flag;
  BYTE err; /* a failed access makes the file unusable until it is closed */
  FSIZE_t fptr;
  DWORD clust;
  DWORD sect; /* sector held in buf */
  BYTE buf[FF_MAX_SS];
} FIL;

typedef struct {
  FFOBJID obj;
  DWORD dptr; /* offset of the current entry */
  DWORD clust;
  DWORD sect; /* 0: end of the directory */
  BYTE* dir;
  BYTE fn[12];
  DWORD blk_ofs; /* start of the current entry's name entries, 0xFFFFFFFF: none */
  DWORD n_clust; /* clusters of the chain before it loops; 0: not checked, 0xFFFFFFFF: no loop */
#if FF_USE_FIND
  const TCHAR* pat;
#endif
} DIR;

typedef struct {
  FSIZE_t fsize;
  WORD fdate;
  WORD ftime;
  BYTE fattrib;
  TCHAR altname[FF_SFN_BUF + 1];
  TCHAR fname[FF_LFN_BUF + 1];
} FILINFO;

typedef enum {
  FR_OK = 0,
  FR_DISK_ERR,
  FR_INT_ERR,
  FR_NOT_READY,
  FR_NO_FILE,
  FR_NO_PATH,
  FR_INVALID_NAME,
  FR_DENIED,
  FR_EXIST,
  FR_INVALID_OBJECT,
  FR_WRITE_PROTECTED,
  FR_INVALID_DRIVE,
  FR_NOT_ENABLED,
  FR_NO_FILESYSTEM,
  FR_MKFS_ABORTED,
  FR_TIMEOUT,
  FR_LOCKED,
  FR_NOT_ENOUGH_CORE,
  FR_TOO_MANY_OPEN_FILES,
  FR_INVALID_PARAMETER
} FRESULT;

FRESULT f_mount(FATFS* fs, const TCHAR* path, BYTE opt);
FRESULT f_open(FIL* fp, const TCHAR* path, BYTE mode);
FRESULT f_close(FIL* fp);
FRESULT f_read(FIL* fp, void* buff, UINT btr, UINT* br);
FRESULT f_lseek(FIL* fp, FSIZE_t ofs);
FRESULT f_opendir(DIR* dp, const TCHAR* path);
FRESULT f_closedir(DIR* dp);
FRESULT f_readdir(DIR* dp, FILINFO* fno);
FRESULT f_findfirst(DIR* dp, FILINFO* fno, const TCHAR* path, const TCHAR* pattern);
FRESULT f_findnext(DIR* dp, FILINFO* fno);
FRESULT f_stat(const TCHAR* path, FILINFO* fno);
FRESULT f_chdir(const TCHAR* path);
FRESULT f_chdrive(const TCHAR* path);
FRESULT f_getcwd(TCHAR* buff, UINT len);

#define f_eof(fp) ((int)((fp)->fptr == (fp)->obj.objsize))
#define f_error(fp) ((fp)->err)
#define f_tell(fp) ((fp)->fptr)
#define f_size(fp) ((fp)->obj.objsize)
#define f_rewind(fp) f_lseek((fp), 0)
#define f_rewinddir(dp) f_readdir((dp), 0)

/* Operating-system hooks (ffsystem): the volume lock. */
#if FF_FS_REENTRANT
int ff_cre_syncobj(BYTE vol, FF_SYNC_t* sobj);
int ff_req_grant(FF_SYNC_t sobj);
void ff_rel_grant(FF_SYNC_t sobj);
int ff_del_syncobj(FF_SYNC_t sobj);
#endif

/* Code conversion between the OEM code page and Unicode (ffunicode). */
WCHAR ff_uni2oem(DWORD uni, WORD cp);
WCHAR ff_oem2uni(WCHAR oem, WORD cp);
DWORD ff_wtoupper(DWORD uni);

/* File access modes */
#define FA_READ 0x01
#define FA_WRITE 0x02
#define FA_OPEN_EXISTING 0x00
#define FA_CREATE_NEW 0x04
#define FA_CREATE_ALWAYS 0x08
#define FA_OPEN_ALWAYS 0x10
#define FA_OPEN_APPEND 0x30

/* File system types */
#define FS_FAT12 1
#define FS_FAT16 2
#define FS_FAT32 3
#define FS_EXFAT 4

/* File attributes */
#define AM_RDO 0x01
#define AM_HID 0x02
#define AM_SYS 0x04
#define AM_DIR 0x10
#define AM_ARC 0x20

#ifdef __cplusplus
}
#endif

#endif

// The file system's internals shared by its parts: the volume and its mount (ff_volume.cpp),
// directories and names (ff_dir.cpp), and the file and directory calls (ff.cpp).
#pragma once

#include <atomic>
#include <cstring>

#include "diskio.h"
#include "ff.h"

namespace fatfs {

constexpr UINT SZDIRE = 32;
constexpr DWORD MAX_DIR = 0x200000;
constexpr DWORD MAX_DIR_EX = 0x10000000;
constexpr DWORD MAX_FAT12 = 0xFF5;
constexpr DWORD MAX_FAT16 = 0xFFF5;
constexpr DWORD MAX_FAT32 = 0x0FFFFFF5;
constexpr DWORD MAX_EXFAT = 0x7FFFFFFD;
constexpr BYTE AM_VOL = 0x08;
constexpr BYTE AM_LFN = 0x0F;
constexpr BYTE AM_MASK = 0x3F;
constexpr BYTE AM_MASKX = 0x37;
constexpr BYTE DDEM = 0xE5;
constexpr BYTE RDDEM = 0x05;
constexpr BYTE LLEF = 0x40;
constexpr BYTE NS_NONAME = 0x80;
constexpr BYTE NSFLAG = 11;
constexpr BYTE NS_BODY = 0x08;
constexpr BYTE NS_EXT = 0x10;
constexpr DWORD NO_LFN = 0xFFFFFFFF;

// FAT directory entry
constexpr UINT DIR_Attr = 11, DIR_NTres = 12, DIR_FstClusHI = 20, DIR_ModTime = 22,
               DIR_FstClusLO = 26, DIR_FileSize = 28;
// exFAT entry set (file entry, then stream extension at +32, then names at +64)
constexpr BYTE ET_FILEDIR = 0x85, ET_STREAM = 0xC0, ET_FILENAME = 0xC1;
constexpr UINT XDIR_NumSec = 1, XDIR_SetSum = 2, XDIR_Attr = 4, XDIR_ModTime = 12,
               XDIR_GenFlags = 33, XDIR_NumName = 35, XDIR_FstClus = 52, XDIR_FileSize = 56;
constexpr UINT kSetBytes = 608;  // 19 entries: the longest name needs 17 name entries

constexpr UINT maxDirBytes(UINT nameChars) { return (nameChars + 44U) / 15 * SZDIRE; }

// The volumes registered with f_mount, the mount counter, the current drive.
extern std::atomic<FATFS*> FatFs[FF_VOLUMES];
extern std::atomic<WORD> Fsid;
extern std::atomic<BYTE> CurrVol;
// Each drive's lock, made at its first mount and kept.
extern FF_SYNC_t Sync[FF_VOLUMES];

inline WORD ld_word(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
inline DWORD ld_dword(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}
inline QWORD ld_qword(const BYTE* p) {
  return static_cast<QWORD>(ld_dword(p)) | static_cast<QWORD>(ld_dword(p + 4)) << 32;
}

// A volume as an operation holds it.
struct Grant {
  FATFS* fs = nullptr;
  int vol = -1;
  bool locked = false;
};

// ---- volume (ff_volume.cpp)
// Takes the lock of drive `vol`; false on a time-out or before the drive's first mount.
bool lock_vol(Grant& g, int vol);
// Leaves the lock the operation holds (if it holds it) and returns `res`.
FRESULT leave(Grant& g, FRESULT res);
// The open-object table (FF_FS_LOCK): may the object under dp be opened; count it in; count
// it out; forget every object of a volume.
FRESULT chk_lock(const DIR* dp);
UINT inc_lock(const DIR* dp);
FRESULT dec_lock(UINT i);
void clear_lock(const FATFS* fs);
// Reads from the medium, refusing anything at or past its last sector.
DRESULT read_sectors(FATFS* fs, BYTE* buff, DWORD sector, UINT count);
// Brings `sector` into the volume's window.
FRESULT move_window(FATFS* fs, DWORD sector);
// First sector of a cluster; 0 when the cluster is not on the volume.
DWORD clst2sect(const FATFS* fs, DWORD clst);
// Next cluster of an object's chain: 1 for a cluster that is not on the volume (a broken
// chain), 0xFFFFFFFF for a disk error, a value >= n_fatent at the end of the chain.
DWORD get_fat(const FFOBJID* obj, DWORD clst);
// The first cluster a FAT directory entry names.
DWORD ld_clust(const FATFS* fs, const BYTE* dir);
// The drive a path names (its "N:" prefix is taken off), else the current drive; -1 for a
// drive that does not exist.
int get_ldnumber(const TCHAR** path);
// Finds the volume of the drive the path names, takes its lock and reads the medium if it is
// not mounted or was changed. g.locked tells whether the caller must leave the lock.
FRESULT mount_volume(const TCHAR** path, Grant& g);
// Checks that an open object belongs to the volume as mounted now, and takes the lock.
FRESULT validate(FFOBJID* obj, Grant& g);

// ---- directories and names (ff_dir.cpp)
struct Segment {
  WCHAR name[FF_MAX_LFN + 1];
  UINT len = 0;
  int dot = 0;  // 1: ".", 2: ".."
  bool last = false;
};

// Directories above the one a walk stands in, kept for ".." on exFAT (which has no dot
// entries). Deeper than FF_XDIR_DEPTH the outermost are forgotten; `lost` counts them.
struct Parents {
  FF_DIRREF ref[FF_XDIR_DEPTH];
  BYTE n = 0;
  BYTE lost = 0;
  void push(const FF_DIRREF& r) {
    if (n == FF_XDIR_DEPTH) {
      std::memmove(ref, ref + 1, sizeof(FF_DIRREF) * (FF_XDIR_DEPTH - 1));
      --n;
      if (lost < 255) ++lost;
    }
    ref[n++] = r;
  }
};

FRESULT dir_sdi(DIR* dp, DWORD ofs);
// Moves to the next entry; FR_NO_FILE (and sect 0) at the end of the directory.
FRESULT dir_next(DIR* dp);
// The entry under dp in the volume's window.
BYTE* entry(DIR* dp);
// Reads the entry under dp or the next valid one. `find`: the lookup's view (dot entries
// included, anything with the volume bit passed over); otherwise the listing's view (no dot
// entries, no volume label). FR_NO_FILE and sect 0 at the end.
FRESULT dir_read(DIR* dp, bool find);
// Fills fno from the entry dir_read stopped at.
void get_fileinfo(DIR* dp, FILINFO* fno);
FF_DIRREF ref_of(const FFOBJID& obj);
void enter(FFOBJID& obj, const FF_DIRREF& r);
// The directory an entry found by dir_find stands for (the entry must be a directory).
FF_DIRREF child_ref(DIR* dp);
// Follows a path from the current or the root directory. On FR_OK either dp stands on the
// entry of the last segment, or (fn[NSFLAG] = NS_NONAME) dp->obj is the directory the path
// names. `par` receives the parents of dp's directory (exFAT).
FRESULT follow_path(DIR* dp, const TCHAR* path, Parents* par);
// What every call that names a path does first: mounts the volume the path names (taking its
// lock; g.locked tells whether the caller must leave it, also on failure), then follows the
// rest of the path with dp, as follow_path does.
FRESULT find_path(const TCHAR* path, Grant& g, DIR* dp, Parents* par = nullptr);
// Case-insensitive wildcard match of a name against a pattern ('?' one character, '*' any
// run), both in the OEM code page.
bool pattern_matching(const TCHAR* pat, const TCHAR* nam);

}  // namespace fatfs

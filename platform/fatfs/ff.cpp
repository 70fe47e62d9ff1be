// The FAT file system of the simulated board: a read-only reader of FAT12, FAT16, FAT32 and
// exFAT volumes with the API, results and rules of the FatFs library as the firmware is
// configured (ffconf.h): long names in code page 850, relative paths with a current directory
// per volume, directory search, at most FF_FS_LOCK open objects, one kernel mutex per volume.
//
// What it models: volume discovery (a boot sector at sector 0 or in the first FAT partition
// of an MBR), the FAT type by cluster count, sector sizes 512..4096, long-name assembly with
// checksum checks, NT lower-case flags, exFAT entry sets with their checksum and contiguous
// (NoFatChain) files, lazy mounting and re-mounting after a media change, the sector window
// for directories and FATs, and each file's own sector buffer with direct multi-sector reads
// of aligned data, so that the driver sees the same transfers as under the real library.
//
// Simplified: nothing is ever written (FF_FS_READONLY); exFAT names compare through a simple
// upper-case mapping instead of the volume's up-case table; the allocation bitmap is not read.
// Robustness beyond the library: no sector at or past the medium's sector count is ever
// requested, directory walks stop after as many entries as the volume can hold, and a seek
// that needs more cluster steps than the volume has clusters fails as a broken chain. A
// drive's mutex is made at its first mount and kept, and unregistering a volume waits for the
// operation in progress: a stick pulled during a read ends that read with an error instead of
// leaving the reading task with a deleted lock and a cleared work area.
#include "ff.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "diskio.h"

namespace {

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

std::atomic<FATFS*> FatFs[FF_VOLUMES];
std::atomic<WORD> Fsid{0};
std::atomic<BYTE> CurrVol{0};

struct FileSem {
  FATFS* fs;
  DWORD clu;
  DWORD ofs;
  WORD ctr;
};
FileSem Files[FF_FS_LOCK];
std::mutex filesLock;

WORD ld_word(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
DWORD ld_dword(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}
QWORD ld_qword(const BYTE* p) {
  return static_cast<QWORD>(ld_dword(p)) | static_cast<QWORD>(ld_dword(p + 4)) << 32;
}

// ---- Volume lock
//
// One kernel mutex per drive, made at the drive's first mount and kept for later ones: a task
// may still wait for it, or hold it during a transfer, when the volume is unregistered (a stick
// pulled during a read), so it is never deleted under that task. The handle is also left in
// FATFS.sobj.

FF_SYNC_t Sync[FF_VOLUMES];

// A volume as an operation holds it.
struct Grant {
  FATFS* fs = nullptr;
  int vol = -1;
  bool locked = false;
};

bool lock_vol(Grant& g, int vol) {
  if (Sync[vol] == nullptr || !ff_req_grant(Sync[vol])) return false;
  g.vol = vol;
  g.locked = true;
  return true;
}

FRESULT leave(Grant& g, FRESULT res) {
  if (g.locked) ff_rel_grant(Sync[g.vol]);
  g.locked = false;
  return res;
}

// ---- Open-object table (FF_FS_LOCK)

FRESULT chk_lock(const DIR* dp) {
  std::lock_guard<std::mutex> guard(filesLock);
  bool free = false;
  for (auto& f : Files) {
    if (f.fs == nullptr) {
      free = true;
    } else if (f.fs == dp->obj.fs && f.clu == dp->obj.sclust && f.ofs == dp->dptr) {
      return f.ctr == 0x100 ? FR_LOCKED : FR_OK;
    }
  }
  return free ? FR_OK : FR_TOO_MANY_OPEN_FILES;
}

UINT inc_lock(const DIR* dp) {
  std::lock_guard<std::mutex> guard(filesLock);
  UINT i = 0;
  for (; i < FF_FS_LOCK; ++i) {
    const auto& f = Files[i];
    if (f.fs == dp->obj.fs && f.clu == dp->obj.sclust && f.ofs == dp->dptr) break;
  }
  if (i == FF_FS_LOCK) {
    for (i = 0; i < FF_FS_LOCK && Files[i].fs != nullptr; ++i) {
    }
    if (i == FF_FS_LOCK) return 0;
    Files[i] = FileSem{dp->obj.fs, dp->obj.sclust, dp->dptr, 0};
  }
  if (Files[i].ctr == 0x100) return 0;
  ++Files[i].ctr;
  return i + 1;
}

FRESULT dec_lock(UINT i) {
  std::lock_guard<std::mutex> guard(filesLock);
  if (i == 0 || i > FF_FS_LOCK) return FR_INT_ERR;
  FileSem& f = Files[i - 1];
  WORD n = f.ctr;
  if (n == 0x100) n = 0;
  if (n > 0) --n;
  f.ctr = n;
  if (n == 0) f.fs = nullptr;
  return FR_OK;
}

void clear_lock(const FATFS* fs) {
  std::lock_guard<std::mutex> guard(filesLock);
  for (auto& f : Files) {
    if (f.fs == fs) f.fs = nullptr;
  }
}

// ---- Sector access

// Reads from the medium, refusing anything at or past its last sector.
DRESULT read_sectors(FATFS* fs, BYTE* buff, DWORD sector, UINT count) {
  if (static_cast<QWORD>(sector) + count > fs->n_sectors) return RES_ERROR;
  return disk_read(fs->pdrv, buff, sector, count);
}

FRESULT move_window(FATFS* fs, DWORD sector) {
  if (sector == fs->winsect) return FR_OK;
  if (read_sectors(fs, fs->win, sector, 1) != RES_OK) {
    fs->winsect = 0xFFFFFFFF;
    return FR_DISK_ERR;
  }
  fs->winsect = sector;
  return FR_OK;
}

// First sector of a cluster; 0 when the cluster is not on the volume.
DWORD clst2sect(const FATFS* fs, DWORD clst) {
  clst -= 2;
  if (clst >= fs->n_fatent - 2) return 0;
  const QWORD s = fs->database + static_cast<QWORD>(fs->csize) * clst;
  return s > 0xFFFFFFFFULL ? 0 : static_cast<DWORD>(s);
}

// Next cluster of an object's chain: 1 for a cluster that is not on the volume (a broken
// chain), 0xFFFFFFFF for a disk error, a value >= n_fatent at the end of the chain.
DWORD get_fat(const FFOBJID* obj, DWORD clst) {
  FATFS* fs = obj->fs;
  if (clst < 2 || clst >= fs->n_fatent) return 1;
  const UINT ss = fs->ssize;
  switch (fs->fs_type) {
    case FS_FAT12: {
      UINT bc = clst + clst / 2;
      if (move_window(fs, fs->fatbase + bc / ss) != FR_OK) break;
      UINT wc = fs->win[bc++ % ss];
      if (move_window(fs, fs->fatbase + bc / ss) != FR_OK) break;
      wc |= static_cast<UINT>(fs->win[bc % ss]) << 8;
      return (clst & 1) ? (wc >> 4) : (wc & 0xFFF);
    }
    case FS_FAT16:
      if (move_window(fs, fs->fatbase + clst / (ss / 2)) != FR_OK) break;
      return ld_word(fs->win + clst * 2 % ss);
    case FS_FAT32:
      if (move_window(fs, fs->fatbase + clst / (ss / 4)) != FR_OK) break;
      return ld_dword(fs->win + clst * 4 % ss) & 0x0FFFFFFF;
    case FS_EXFAT:
      if (obj->stat == 2) {
        // Contiguous object: no FAT chain, the size tells where it ends.
        if (obj->objsize == 0 || obj->sclust == 0) return 1;
        const DWORD cofs = clst - obj->sclust;
        const QWORD clen = (obj->objsize - 1) / ss / fs->csize;
        if (cofs > clen) return 1;
        return cofs == clen ? 0x7FFFFFFF : clst + 1;
      }
      if (move_window(fs, fs->fatbase + clst / (ss / 4)) != FR_OK) break;
      return ld_dword(fs->win + clst * 4 % ss) & 0x7FFFFFFF;
    default: return 1;
  }
  return 0xFFFFFFFF;
}

DWORD ld_clust(const FATFS* fs, const BYTE* dir) {
  DWORD cl = ld_word(dir + DIR_FstClusLO);
  if (fs->fs_type == FS_FAT32) cl |= static_cast<DWORD>(ld_word(dir + DIR_FstClusHI)) << 16;
  return cl;
}

BYTE sum_sfn(const BYTE* dir) {
  BYTE sum = 0;
  for (UINT n = 0; n < 11; ++n) sum = static_cast<BYTE>((sum >> 1) + (sum << 7) + dir[n]);
  return sum;
}

WORD xdir_sum(const BYTE* dir) {
  const UINT szblk = (dir[XDIR_NumSec] + 1U) * SZDIRE;
  WORD sum = 0;
  for (UINT i = 0; i < szblk; ++i) {
    if (i == XDIR_SetSum || i == XDIR_SetSum + 1) continue;
    sum = static_cast<WORD>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + dir[i]);
  }
  return sum;
}

// ---- Directory positioning

// Byte offset at which a directory walk gives up: the library's limit, or the room of the
// whole volume, whichever is smaller, so that a looping chain ends.
DWORD dir_limit(const FATFS* fs) {
  const QWORD room = static_cast<QWORD>(fs->n_fatent - 2) * fs->csize * fs->ssize;
  const DWORD lib = fs->fs_type == FS_EXFAT ? MAX_DIR_EX : MAX_DIR;
  return room < lib ? static_cast<DWORD>(room) : lib;
}

FRESULT dir_sdi(DIR* dp, DWORD ofs) {
  FATFS* fs = dp->obj.fs;
  if (ofs >= (fs->fs_type == FS_EXFAT ? MAX_DIR_EX : MAX_DIR) || ofs % SZDIRE) return FR_INT_ERR;
  dp->dptr = ofs;
  DWORD clst = dp->obj.sclust;
  if (clst == 0 && fs->fs_type >= FS_FAT32) clst = fs->dirbase;
  dp->sect = 0;
  if (clst == 0) {  // the fixed root region of FAT12/16
    if (ofs / SZDIRE >= fs->n_rootdir) return FR_INT_ERR;
    dp->sect = fs->dirbase;
  } else {
    const DWORD csz = static_cast<DWORD>(fs->csize) * fs->ssize;
    while (ofs >= csz) {
      clst = get_fat(&dp->obj, clst);
      if (clst == 0xFFFFFFFF) return FR_DISK_ERR;
      if (clst < 2 || clst >= fs->n_fatent) return FR_INT_ERR;
      ofs -= csz;
    }
    dp->sect = clst2sect(fs, clst);
  }
  dp->clust = clst;
  if (dp->sect == 0) return FR_INT_ERR;
  dp->sect += ofs / fs->ssize;
  dp->dir = fs->win + ofs % fs->ssize;
  return FR_OK;
}

// Moves to the next entry; FR_NO_FILE (and sect 0) at the end of the directory.
FRESULT dir_next(DIR* dp) {
  FATFS* fs = dp->obj.fs;
  const DWORD ofs = dp->dptr + SZDIRE;
  if (dp->sect == 0) return FR_NO_FILE;
  if (ofs >= (dp->clust == 0 ? MAX_DIR : dir_limit(fs))) {
    dp->sect = 0;
    return FR_NO_FILE;
  }
  if (ofs % fs->ssize == 0) {
    ++dp->sect;
    if (dp->clust == 0) {
      if (ofs / SZDIRE >= fs->n_rootdir) {
        dp->sect = 0;
        return FR_NO_FILE;
      }
    } else if ((ofs / fs->ssize & (fs->csize - 1U)) == 0) {
      const DWORD clst = get_fat(&dp->obj, dp->clust);
      if (clst <= 1) return FR_INT_ERR;
      if (clst == 0xFFFFFFFF) return FR_DISK_ERR;
      if (clst >= fs->n_fatent) {
        dp->sect = 0;
        return FR_NO_FILE;
      }
      dp->clust = clst;
      dp->sect = clst2sect(fs, clst);
      if (dp->sect == 0) return FR_INT_ERR;
    }
  }
  dp->dptr = ofs;
  dp->dir = fs->win + ofs % fs->ssize;
  return FR_OK;
}

BYTE* entry(DIR* dp) { return dp->obj.fs->win + dp->dptr % dp->obj.fs->ssize; }

// Collects the characters of one long-name entry into the name buffer.
bool pick_lfn(WCHAR* lfnbuf, const BYTE* dir) {
  static constexpr BYTE kLfnOfs[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  if (ld_word(dir + DIR_FstClusLO) != 0) return false;
  UINT i = ((dir[0] & ~LLEF) - 1U) * 13U;
  WCHAR wc = 1;
  for (UINT s = 0; s < 13; ++s) {
    const WCHAR uc = ld_word(dir + kLfnOfs[s]);
    if (wc != 0) {
      if (i >= FF_MAX_LFN + 1) return false;
      lfnbuf[i++] = wc = uc;
    } else if (uc != 0xFFFF) {
      return false;
    }
  }
  if ((dir[0] & LLEF) && wc != 0) {
    if (i >= FF_MAX_LFN + 1) return false;
    lfnbuf[i] = 0;
  }
  return true;
}

// Reads an exFAT entry set, starting at the file entry under dp, into fs->dirbuf; dp ends on
// its last entry.
FRESULT load_xdir(DIR* dp) {
  FATFS* fs = dp->obj.fs;
  BYTE* dirb = fs->dirbuf;
  FRESULT res = move_window(fs, dp->sect);
  if (res != FR_OK) return res;
  if (entry(dp)[0] != ET_FILEDIR) return FR_INT_ERR;
  std::memcpy(dirb, entry(dp), SZDIRE);
  const UINT sz_ent = (dirb[XDIR_NumSec] + 1U) * SZDIRE;
  if (sz_ent < 3 * SZDIRE || sz_ent > 19 * SZDIRE) return FR_INT_ERR;
  res = dir_next(dp);
  if (res == FR_NO_FILE) res = FR_INT_ERR;
  if (res != FR_OK) return res;
  res = move_window(fs, dp->sect);
  if (res != FR_OK) return res;
  if (entry(dp)[0] != ET_STREAM) return FR_INT_ERR;
  std::memcpy(dirb + SZDIRE, entry(dp), SZDIRE);
  if (maxDirBytes(dirb[XDIR_NumName]) > sz_ent) return FR_INT_ERR;
  UINT i = 2 * SZDIRE;
  do {
    res = dir_next(dp);
    if (res == FR_NO_FILE) res = FR_INT_ERR;
    if (res != FR_OK) return res;
    res = move_window(fs, dp->sect);
    if (res != FR_OK) return res;
    if (entry(dp)[0] != ET_FILENAME) return FR_INT_ERR;
    if (i < kSetBytes) std::memcpy(dirb + i, entry(dp), SZDIRE);
  } while ((i += SZDIRE) < sz_ent);
  if (xdir_sum(dirb) != ld_word(dirb + XDIR_SetSum)) return FR_INT_ERR;
  return FR_OK;
}

// Reads the entry under dp or the next valid one. `find`: the lookup's view (dot entries
// included, anything with the volume bit passed over); otherwise the listing's view (no dot
// entries, no volume label). FR_NO_FILE and sect 0 at the end.
FRESULT dir_read(DIR* dp, bool find) {
  FATFS* fs = dp->obj.fs;
  FRESULT res = FR_NO_FILE;
  BYTE ord = 0xFF, sum = 0xFF;
  while (dp->sect != 0) {
    res = move_window(fs, dp->sect);
    if (res != FR_OK) break;
    const BYTE* d = entry(dp);
    BYTE c = d[0];
    if (c == 0) {
      res = FR_NO_FILE;
      break;
    }
    if (fs->fs_type == FS_EXFAT) {
      if (c == ET_FILEDIR) {
        dp->blk_ofs = dp->dptr;
        res = load_xdir(dp);
        if (res == FR_OK) dp->obj.attr = fs->dirbuf[XDIR_Attr] & AM_MASK;
        break;
      }
    } else {
      const BYTE a = d[DIR_Attr] & AM_MASK;
      dp->obj.attr = a;
      const bool skip = find ? (c == DDEM || ((a & AM_VOL) && a != AM_LFN))
                             : (c == DDEM || c == '.' || (a & ~AM_ARC) == AM_VOL);
      if (skip) {
        ord = 0xFF;
      } else if (a == AM_LFN) {
        if (c & LLEF) {
          sum = d[13];
          c &= static_cast<BYTE>(~LLEF);
          ord = c;
          dp->blk_ofs = dp->dptr;
        }
        ord = (c == ord && sum == d[13] && pick_lfn(fs->lfnbuf, d)) ? static_cast<BYTE>(ord - 1)
                                                                    : 0xFF;
      } else {
        if (ord != 0 || sum != sum_sfn(d)) dp->blk_ofs = NO_LFN;
        res = FR_OK;
        break;
      }
    }
    res = dir_next(dp);
    if (res != FR_OK) break;
  }
  if (res != FR_OK) dp->sect = 0;
  return res;
}

// ---- File information

void get_xfileinfo(const BYTE* dirb, FILINFO* fno) {
  UINT di = 0;
  const UINT nc = dirb[XDIR_NumName];
  for (UINT k = 0; k < nc; ++k) {
    const UINT si = 2 * SZDIRE + k / 15 * SZDIRE + 2 + k % 15 * 2;
    const WCHAR oem = ff_uni2oem(ld_word(dirb + si), FF_CODE_PAGE);
    if (oem == 0 || oem >= 0x100 || di >= FF_LFN_BUF) {
      di = 0;
      break;
    }
    fno->fname[di++] = static_cast<TCHAR>(oem);
  }
  if (di == 0) fno->fname[di++] = '?';
  fno->fname[di] = 0;
  fno->altname[0] = 0;
  fno->fattrib = dirb[XDIR_Attr] & AM_MASKX;
  fno->fsize = (fno->fattrib & AM_DIR) ? 0 : ld_qword(dirb + XDIR_FileSize);
  fno->ftime = ld_word(dirb + XDIR_ModTime);
  fno->fdate = ld_word(dirb + XDIR_ModTime + 2);
}

// Fills fno from the entry dir_read stopped at: the long name in the OEM code page when there
// is one that converts, else the short name (lower-cased as its NT flags say).
void get_fileinfo(DIR* dp, FILINFO* fno) {
  FATFS* fs = dp->obj.fs;
  fno->fname[0] = 0;
  if (dp->sect == 0) return;
  if (fs->fs_type == FS_EXFAT) {
    get_xfileinfo(fs->dirbuf, fno);
    return;
  }
  const BYTE* d = entry(dp);
  if (dp->blk_ofs != NO_LFN) {
    UINT si = 0, di = 0;
    while (si < FF_MAX_LFN + 1 && fs->lfnbuf[si] != 0) {
      const WCHAR oem = ff_uni2oem(fs->lfnbuf[si++], FF_CODE_PAGE);
      if (oem == 0 || oem >= 0x100 || di >= FF_LFN_BUF) {
        di = 0;
        break;
      }
      fno->fname[di++] = static_cast<TCHAR>(oem);
    }
    fno->fname[di] = 0;
  }
  UINT di = 0;
  for (UINT si = 0; si < 11;) {
    BYTE c = d[si++];
    if (c == ' ') continue;
    if (c == RDDEM) c = DDEM;
    if (si == 9 && di < FF_SFN_BUF) fno->altname[di++] = '.';
    fno->altname[di++] = static_cast<TCHAR>(c);
  }
  fno->altname[di] = 0;
  if (fno->fname[0] == 0) {
    if (di == 0) {
      fno->fname[0] = '?';
      fno->fname[1] = 0;
    } else {
      BYTE lcf = NS_BODY;
      UINT k = 0;
      for (; fno->altname[k] != 0; ++k) {
        BYTE c = static_cast<BYTE>(fno->altname[k]);
        if (c == '.') lcf = NS_EXT;
        if (c >= 'A' && c <= 'Z' && (d[DIR_NTres] & lcf)) c = static_cast<BYTE>(c + 0x20);
        fno->fname[k] = static_cast<TCHAR>(c);
      }
      fno->fname[k] = 0;
    }
  }
  fno->fattrib = d[DIR_Attr] & AM_MASK;
  fno->fsize = ld_dword(d + DIR_FileSize);
  fno->ftime = ld_word(d + DIR_ModTime);
  fno->fdate = ld_word(d + DIR_ModTime + 2);
}

// ---- Names and paths

struct Segment {
  WCHAR name[FF_MAX_LFN + 1];
  UINT len = 0;
  int dot = 0;  // 1: ".", 2: ".."
  bool last = false;
};

WCHAR upcase(WCHAR c) { return static_cast<WCHAR>(ff_wtoupper(c)); }

// Takes the next path segment, in Unicode; separators after it are skipped.
FRESULT create_name(Segment& seg, const TCHAR** path) {
  const BYTE* p = reinterpret_cast<const BYTE*>(*path);
  UINT di = 0;
  for (;;) {
    const BYTE c = *p;
    if (c < ' ' || c == '/' || c == '\\') break;
    ++p;
    if (c < 0x80 && std::strchr("\"*:<>?|\x7F", c) != nullptr) return FR_INVALID_NAME;
    const WCHAR wc = ff_oem2uni(c, FF_CODE_PAGE);
    if (wc == 0 || di >= FF_MAX_LFN) return FR_INVALID_NAME;
    seg.name[di++] = wc;
  }
  if (*p < ' ') {
    seg.last = true;
  } else {
    while (*p == '/' || *p == '\\') ++p;
    seg.last = *p < ' ';  // a trailing separator changes nothing
  }
  *path = reinterpret_cast<const TCHAR*>(p);
  seg.dot = 0;
  if (di == 1 && seg.name[0] == '.') seg.dot = 1;
  if (di == 2 && seg.name[0] == '.' && seg.name[1] == '.') seg.dot = 2;
  if (seg.dot == 0) {
    while (di > 0 && (seg.name[di - 1] == ' ' || seg.name[di - 1] == '.')) --di;
    if (di == 0) return FR_INVALID_NAME;
  }
  seg.len = di;
  return FR_OK;
}

bool same_name(const WCHAR* a, UINT alen, const Segment& seg) {
  if (alen != seg.len) return false;
  for (UINT i = 0; i < alen; ++i) {
    if (upcase(a[i]) != upcase(seg.name[i])) return false;
  }
  return true;
}

// Does the entry dir_read stopped at carry the segment's name (long or short)?
bool entry_matches(DIR* dp, const Segment& seg) {
  FATFS* fs = dp->obj.fs;
  if (fs->fs_type == FS_EXFAT) {
    const UINT nc = fs->dirbuf[XDIR_NumName];
    if (nc != seg.len || seg.dot != 0) return false;
    for (UINT k = 0; k < nc; ++k) {
      const UINT si = 2 * SZDIRE + k / 15 * SZDIRE + 2 + k % 15 * 2;
      if (upcase(ld_word(fs->dirbuf + si)) != upcase(seg.name[k])) return false;
    }
    return true;
  }
  const BYTE* d = entry(dp);
  if (seg.dot != 0) {
    return std::memcmp(d, seg.dot == 1 ? ".          " : "..         ", 11) == 0;
  }
  if (dp->blk_ofs != NO_LFN) {
    UINT n = 0;
    while (n < FF_MAX_LFN && fs->lfnbuf[n] != 0) ++n;
    if (same_name(fs->lfnbuf, n, seg)) return true;
  }
  WCHAR sfn[12];
  UINT n = 0;
  for (UINT si = 0; si < 11;) {
    BYTE c = d[si++];
    if (c == ' ') continue;
    if (c == RDDEM) c = DDEM;
    if (si == 9) sfn[n++] = '.';
    sfn[n++] = ff_oem2uni(c, FF_CODE_PAGE);
  }
  return same_name(sfn, n, seg);
}

FRESULT dir_find(DIR* dp, const Segment& seg) {
  FRESULT res = dir_sdi(dp, 0);
  if (res != FR_OK) return res;
  for (;;) {
    res = dir_read(dp, true);
    if (res != FR_OK) return res;
    if (entry_matches(dp, seg)) return FR_OK;
    res = dir_next(dp);
    if (res != FR_OK) return res;
  }
}

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

FF_DIRREF ref_of(const FFOBJID& obj) {
  return FF_DIRREF{obj.sclust, static_cast<DWORD>(obj.objsize), obj.stat};
}

void enter(FFOBJID& obj, const FF_DIRREF& r) {
  obj.sclust = r.sclust;
  obj.objsize = r.objsize;
  obj.stat = r.stat;
}

// The directory an entry found by dir_find stands for (the entry must be a directory).
FF_DIRREF child_ref(DIR* dp) {
  FATFS* fs = dp->obj.fs;
  if (fs->fs_type == FS_EXFAT) {
    return FF_DIRREF{ld_dword(fs->dirbuf + XDIR_FstClus),
                     static_cast<DWORD>(ld_qword(fs->dirbuf + XDIR_FileSize)),
                     static_cast<BYTE>(fs->dirbuf[XDIR_GenFlags] & 2)};
  }
  DWORD cl = ld_clust(fs, entry(dp));
  if (fs->fs_type == FS_FAT32 && cl == fs->dirbase) cl = 0;  // ".." written as the root cluster
  return FF_DIRREF{cl, 0, 0};
}

// Follows a path from the current or the root directory. On FR_OK either dp stands on the
// entry of the last segment, or (fn[NSFLAG] = NS_NONAME) dp->obj is the directory the path
// names. `par` receives the parents of dp's directory (exFAT).
FRESULT follow_path(DIR* dp, const TCHAR* path, Parents* par) {
  FATFS* fs = dp->obj.fs;
  Parents local;
  Parents& up = par != nullptr ? *par : local;
  up = Parents{};
  dp->obj.attr = AM_DIR;
  if (*path != '/' && *path != '\\') {
    enter(dp->obj, fs->cdir);
    if (fs->fs_type == FS_EXFAT) {
      for (BYTE i = 0; i < fs->n_xpar && i < FF_XDIR_DEPTH; ++i) up.ref[i] = fs->xpar[i];
      up.n = fs->n_xpar;
      up.lost = fs->x_lost;
    }
  } else {
    while (*path == '/' || *path == '\\') ++path;
    enter(dp->obj, FF_DIRREF{0, 0, 0});
  }
  dp->fn[NSFLAG] = 0;
  if (static_cast<BYTE>(*path) < ' ') {
    dp->fn[NSFLAG] = NS_NONAME;
    return dir_sdi(dp, 0);
  }
  Segment seg;
  for (;;) {
    FRESULT res = create_name(seg, &path);
    if (res != FR_OK) return res;
    if (seg.dot == 1 || (seg.dot == 2 && fs->fs_type == FS_EXFAT)) {
      if (seg.dot == 2 && dp->obj.sclust != 0) {
        if (up.n > 0) {
          enter(dp->obj, up.ref[--up.n]);
        } else if (up.lost > 0) {
          return seg.last ? FR_NO_FILE : FR_NO_PATH;  // above what is remembered
        } else {
          enter(dp->obj, FF_DIRREF{0, 0, 0});
        }
      }
      if (seg.last) {
        dp->fn[NSFLAG] = NS_NONAME;
        dp->obj.attr = AM_DIR;
        return dir_sdi(dp, 0);
      }
      continue;
    }
    res = dir_find(dp, seg);
    if (res != FR_OK) {
      if (res == FR_NO_FILE) {
        if (seg.dot != 0) {  // no ".." in the root: stay there
          if (!seg.last) continue;
          dp->fn[NSFLAG] = NS_NONAME;
          dp->obj.attr = AM_DIR;
          return dir_sdi(dp, 0);
        }
        if (!seg.last) res = FR_NO_PATH;
      }
      return res;
    }
    if (seg.dot != 0 && seg.last) {
      enter(dp->obj, child_ref(dp));
      dp->fn[NSFLAG] = NS_NONAME;
      dp->obj.attr = AM_DIR;
      return dir_sdi(dp, 0);
    }
    if (seg.last) return FR_OK;
    if (!(dp->obj.attr & AM_DIR)) return FR_NO_PATH;
    const FF_DIRREF child = child_ref(dp);
    if (fs->fs_type == FS_EXFAT) up.push(ref_of(dp->obj));
    enter(dp->obj, child);
  }
}

int get_ldnumber(const TCHAR** path) {
  const TCHAR* tp = *path;
  if (tp == nullptr) return -1;
  const TCHAR* tt = tp;
  while (static_cast<BYTE>(*tt) >= ' ' && *tt != ':') ++tt;
  if (*tt == ':') {
    const int i = *tp - '0';
    if (tp + 1 == tt && i >= 0 && i < FF_VOLUMES) {
      *path = tt + 1;
      return i;
    }
    return -1;
  }
  return CurrVol.load(std::memory_order_relaxed);
}

// ---- Mounting

// 0: FAT boot sector, 1: exFAT boot sector, 2: a boot record of something else (an MBR),
// 3: no boot record, 4: disk error.
int check_fs(FATFS* fs, DWORD sect) {
  fs->winsect = 0xFFFFFFFF;
  if (move_window(fs, sect) != FR_OK) return 4;
  const BYTE* w = fs->win;
  const bool sig = ld_word(w + 510) == 0xAA55;
  if (sig && std::memcmp(w,
                         "\xEB\x76\x90"
                         "EXFAT   ",
                         11) == 0)
    return 1;
  const BYTE b = w[0];
  if (b == 0xEB || b == 0xE9 || b == 0xE8) {
    if (sig && std::memcmp(w + 82, "FAT32   ", 8) == 0) return 0;
    if (sig && std::memcmp(w + 54, "FAT", 3) == 0) return 0;
    const WORD bps = ld_word(w + 11);
    const BYTE spc = w[13];
    if ((bps & (bps - 1)) == 0 && bps >= FF_MIN_SS && bps <= FF_MAX_SS && spc != 0 &&
        (spc & (spc - 1)) == 0 && ld_word(w + 14) != 0 && static_cast<UINT>(w[16]) - 1 <= 1 &&
        ld_word(w + 17) != 0 && (ld_word(w + 19) >= 128 || ld_dword(w + 32) >= 0x10000) &&
        ld_word(w + 22) != 0) {
      return 0;
    }
  }
  return sig ? 2 : 3;
}

FRESULT parse_fat(FATFS* fs, DWORD bsect) {
  const BYTE* w = fs->win;
  const UINT ss = fs->ssize;
  if (ld_word(w + 11) != ss) return FR_NO_FILESYSTEM;
  DWORD fasize = ld_word(w + 22);
  if (fasize == 0) fasize = ld_dword(w + 36);
  fs->fsize = fasize;
  fs->n_fats = w[16];
  if (fs->n_fats != 1 && fs->n_fats != 2) return FR_NO_FILESYSTEM;
  const QWORD fatsects = static_cast<QWORD>(fasize) * fs->n_fats;
  fs->csize = w[13];
  if (fs->csize == 0 || (fs->csize & (fs->csize - 1))) return FR_NO_FILESYSTEM;
  fs->n_rootdir = ld_word(w + 17);
  if (fs->n_rootdir % (ss / SZDIRE)) return FR_NO_FILESYSTEM;
  DWORD tsect = ld_word(w + 19);
  if (tsect == 0) tsect = ld_dword(w + 32);
  const WORD nrsv = ld_word(w + 14);
  if (nrsv == 0) return FR_NO_FILESYSTEM;
  const QWORD sysect = nrsv + fatsects + fs->n_rootdir / (ss / SZDIRE);
  if (tsect < sysect) return FR_NO_FILESYSTEM;
  const DWORD nclst = static_cast<DWORD>((tsect - sysect) / fs->csize);
  if (nclst == 0) return FR_NO_FILESYSTEM;
  BYTE fmt = 0;
  if (nclst <= MAX_FAT32) fmt = FS_FAT32;
  if (nclst <= MAX_FAT16) fmt = FS_FAT16;
  if (nclst <= MAX_FAT12) fmt = FS_FAT12;
  if (fmt == 0) return FR_NO_FILESYSTEM;
  if (static_cast<QWORD>(bsect) + tsect > 0xFFFFFFFFULL) return FR_NO_FILESYSTEM;
  fs->n_fatent = nclst + 2;
  fs->volbase = bsect;
  fs->fatbase = bsect + nrsv;
  fs->database = static_cast<DWORD>(bsect + sysect);
  QWORD szbfat;
  if (fmt == FS_FAT32) {
    if (ld_word(w + 42) != 0) return FR_NO_FILESYSTEM;  // version
    if (fs->n_rootdir != 0) return FR_NO_FILESYSTEM;
    fs->dirbase = ld_dword(w + 44);
    szbfat = static_cast<QWORD>(fs->n_fatent) * 4;
  } else {
    if (fs->n_rootdir == 0) return FR_NO_FILESYSTEM;
    fs->dirbase = static_cast<DWORD>(fs->fatbase + fatsects);
    szbfat = fmt == FS_FAT16 ? fs->n_fatent * 2ULL : fs->n_fatent * 3ULL / 2 + (fs->n_fatent & 1);
  }
  if (fs->fsize < (szbfat + ss - 1) / ss) return FR_NO_FILESYSTEM;
  fs->fs_type = fmt;
  return FR_OK;
}

FRESULT parse_exfat(FATFS* fs, DWORD bsect) {
  const BYTE* w = fs->win;
  for (UINT i = 11; i < 64; ++i) {
    if (w[i] != 0) return FR_NO_FILESYSTEM;
  }
  if (ld_word(w + 104) != 0x100) return FR_NO_FILESYSTEM;
  if (w[108] > 12 || (1U << w[108]) != fs->ssize) return FR_NO_FILESYSTEM;
  const QWORD maxlba = ld_qword(w + 72) + bsect;
  if (ld_qword(w + 72) >= 0x100000000ULL || maxlba >= 0x100000000ULL) return FR_NO_FILESYSTEM;
  fs->fsize = ld_dword(w + 84);
  fs->n_fats = w[110];
  if (fs->n_fats != 1) return FR_NO_FILESYSTEM;
  if (w[109] > 15) return FR_NO_FILESYSTEM;
  fs->csize = static_cast<WORD>(1U << w[109]);
  const DWORD nclst = ld_dword(w + 92);
  if (nclst == 0 || nclst > MAX_EXFAT) return FR_NO_FILESYSTEM;
  fs->n_fatent = nclst + 2;
  fs->volbase = bsect;
  const QWORD database = static_cast<QWORD>(bsect) + ld_dword(w + 88);
  const QWORD fatbase = static_cast<QWORD>(bsect) + ld_dword(w + 80);
  if (maxlba < database + static_cast<QWORD>(nclst) * fs->csize) return FR_NO_FILESYSTEM;
  if (fatbase + fs->fsize > maxlba) return FR_NO_FILESYSTEM;
  if (static_cast<QWORD>(fs->fsize) * fs->ssize < static_cast<QWORD>(fs->n_fatent) * 4) {
    return FR_NO_FILESYSTEM;
  }
  fs->database = static_cast<DWORD>(database);
  fs->fatbase = static_cast<DWORD>(fatbase);
  fs->dirbase = ld_dword(w + 96);
  if (fs->dirbase < 2 || fs->dirbase >= fs->n_fatent) return FR_NO_FILESYSTEM;
  fs->fs_type = FS_EXFAT;
  return FR_OK;
}

// Finds the volume of the drive the path names, takes its lock and reads the medium if it is
// not mounted or was changed. g.locked tells whether the caller must leave the lock.
FRESULT mount_volume(const TCHAR** path, Grant& g) {
  const int vol = get_ldnumber(path);
  if (vol < 0) return FR_INVALID_DRIVE;
  FATFS* fs = FatFs[vol].load(std::memory_order_relaxed);
  if (fs == nullptr) return FR_NOT_ENABLED;
  if (!lock_vol(g, vol)) return FR_TIMEOUT;
  if (FatFs[vol].load(std::memory_order_relaxed) != fs)
    return FR_NOT_ENABLED;  // unmounted meanwhile
  g.fs = fs;
  if (fs->fs_type != 0) {
    if (!(disk_status(fs->pdrv) & STA_NOINIT)) return FR_OK;
  }
  fs->fs_type = 0;
  fs->pdrv = static_cast<BYTE>(vol);
  if (disk_initialize(fs->pdrv) & STA_NOINIT) return FR_NOT_READY;
  WORD ss = 0;
  if (disk_ioctl(fs->pdrv, GET_SECTOR_SIZE, &ss) != RES_OK) return FR_DISK_ERR;
  if (ss > FF_MAX_SS || ss < FF_MIN_SS || (ss & (ss - 1))) return FR_DISK_ERR;
  fs->ssize = ss;
  DWORD nsect = 0;
  if (disk_ioctl(fs->pdrv, GET_SECTOR_COUNT, &nsect) != RES_OK) nsect = 0xFFFFFFFF;
  fs->n_sectors = nsect;

  DWORD bsect = 0;
  int fmt = check_fs(fs, 0);
  if (fmt == 2) {  // an MBR: the first partition that holds a FAT volume
    DWORD start[4];
    for (UINT i = 0; i < 4; ++i) {
      const BYTE* pt = fs->win + 446 + i * 16;
      start[i] = pt[4] != 0 ? ld_dword(pt + 8) : 0;
    }
    for (UINT i = 0; i < 4; ++i) {
      bsect = start[i];
      fmt = bsect != 0 ? check_fs(fs, bsect) : 3;
      if (fmt < 2) break;
    }
  }
  if (fmt == 4) return FR_DISK_ERR;
  if (fmt >= 2) return FR_NO_FILESYSTEM;
  const FRESULT res = fmt == 1 ? parse_exfat(fs, bsect) : parse_fat(fs, bsect);
  if (res != FR_OK) {
    fs->fs_type = 0;
    return res;
  }
  fs->id = static_cast<WORD>(Fsid.fetch_add(1, std::memory_order_relaxed) + 1);
  fs->cdir = FF_DIRREF{0, 0, 0};
  fs->n_xpar = 0;
  fs->x_lost = 0;
  return FR_OK;
}

// Checks that an open object belongs to the volume as mounted now, and takes the lock.
bool current(const FFOBJID* obj) {
  return obj->fs != nullptr && obj->fs->fs_type != 0 && obj->id == obj->fs->id &&
         obj->fs->pdrv < FF_VOLUMES;
}

FRESULT validate(FFOBJID* obj, Grant& g) {
  if (obj == nullptr || !current(obj)) return FR_INVALID_OBJECT;
  if (!lock_vol(g, obj->fs->pdrv)) return FR_TIMEOUT;
  // The volume may have been unmounted while the lock was awaited.
  if (!current(obj) || (disk_status(obj->fs->pdrv) & STA_NOINIT)) {
    return leave(g, FR_INVALID_OBJECT);
  }
  g.fs = obj->fs;
  return FR_OK;
}

FRESULT abort_file(FIL* fp, Grant& g, FRESULT res) {
  fp->err = static_cast<BYTE>(res);
  return leave(g, res);
}

// Case-insensitive wildcard match of a name against a pattern ('?' one character, '*' any
// run), both in the OEM code page.
bool pattern_matching(const TCHAR* pat, const TCHAR* nam) {
  auto key = [](TCHAR c) { return upcase(ff_oem2uni(static_cast<BYTE>(c), FF_CODE_PAGE)); };
  const TCHAR* p = pat;
  const TCHAR* n = nam;
  const TCHAR* star = nullptr;
  const TCHAR* resume = nullptr;
  while (*n != 0) {
    if (*p == '*') {
      while (*p == '*') ++p;
      star = p;
      resume = n;
    } else if (*p == '?' || (*p != 0 && key(*p) == key(*n))) {
      ++p;
      ++n;
    } else if (star != nullptr) {
      p = star;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

}  // namespace

extern "C" {

FRESULT f_mount(FATFS* fs, const TCHAR* path, BYTE opt) {
  const TCHAR* rp = path;
  const int vol = get_ldnumber(&rp);
  if (vol < 0) return FR_INVALID_DRIVE;
  // An operation in progress on the volume (a read waiting for its transfer) ends first.
  const bool held = Sync[vol] != nullptr && ff_req_grant(Sync[vol]);
  FATFS* cfs = FatFs[vol].load(std::memory_order_relaxed);
  if (cfs != nullptr) {
    clear_lock(cfs);
    cfs->fs_type = 0;
  }
  FRESULT res = FR_OK;
  if (fs != nullptr) {
    fs->fs_type = 0;
    if (Sync[vol] == nullptr && !ff_cre_syncobj(static_cast<BYTE>(vol), &Sync[vol])) {
      Sync[vol] = nullptr;
      res = FR_INT_ERR;
    }
    fs->sobj = Sync[vol];
  }
  FatFs[vol].store(res == FR_OK ? fs : nullptr, std::memory_order_relaxed);
  if (held) ff_rel_grant(Sync[vol]);
  if (res != FR_OK || fs == nullptr || opt != 1) return res;
  Grant g;
  res = mount_volume(&path, g);
  return leave(g, res);
}

FRESULT f_open(FIL* fp, const TCHAR* path, BYTE mode) {
  if (fp == nullptr) return FR_INVALID_OBJECT;
  mode &= FA_READ;  // read-only build: write modes open nothing for writing
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = mount_volume(&path, g);
  if (res == FR_OK) {
    DIR dj{};
    dj.obj.fs = fs;
    res = follow_path(&dj, path, nullptr);
    if (res == FR_OK) {
      res = (dj.fn[NSFLAG] & NS_NONAME) ? FR_INVALID_NAME : chk_lock(&dj);
    }
    if (res == FR_OK && (dj.obj.attr & AM_DIR)) res = FR_NO_FILE;
    if (res == FR_OK) {
      fp->obj.lockid = inc_lock(&dj);
      if (fp->obj.lockid == 0) res = FR_INT_ERR;
    }
    if (res == FR_OK) {
      if (fs->fs_type == FS_EXFAT) {
        fp->obj.sclust = ld_dword(fs->dirbuf + XDIR_FstClus);
        fp->obj.objsize = ld_qword(fs->dirbuf + XDIR_FileSize);
        fp->obj.stat = fs->dirbuf[XDIR_GenFlags] & 2;
      } else {
        fp->obj.sclust = ld_clust(fs, entry(&dj));
        fp->obj.objsize = ld_dword(entry(&dj) + DIR_FileSize);
        fp->obj.stat = 0;
      }
      fp->obj.fs = fs;
      fp->obj.id = fs->id;
      fp->obj.attr = dj.obj.attr;
      fp->flag = mode;
      fp->err = 0;
      fp->sect = 0;
      fp->fptr = 0;
      fp->clust = 0;
      std::memset(fp->buf, 0, sizeof fp->buf);
    }
  }
  if (res != FR_OK) fp->obj.fs = nullptr;
  return leave(g, res);
}

FRESULT f_close(FIL* fp) {
  Grant g;
  FRESULT res = validate(fp != nullptr ? &fp->obj : nullptr, g);
  if (res == FR_OK) {
    res = dec_lock(fp->obj.lockid);
    if (res == FR_OK) fp->obj.fs = nullptr;
    leave(g, FR_OK);
  }
  return res;
}

FRESULT f_read(FIL* fp, void* buff, UINT btr, UINT* br) {
  if (br != nullptr) *br = 0;
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = validate(fp != nullptr ? &fp->obj : nullptr, g);
  if (res != FR_OK || (res = static_cast<FRESULT>(fp->err)) != FR_OK) return leave(g, res);
  if (!(fp->flag & FA_READ)) return leave(g, FR_DENIED);
  if (buff == nullptr || br == nullptr) return leave(g, FR_INVALID_PARAMETER);
  BYTE* rbuff = static_cast<BYTE*>(buff);
  const UINT ss = fs->ssize;
  const FSIZE_t remain = fp->obj.objsize - fp->fptr;
  if (btr > remain) btr = static_cast<UINT>(remain);
  UINT rcnt = 0;
  for (; btr != 0; rbuff += rcnt, fp->fptr += rcnt, *br += rcnt, btr -= rcnt) {
    if (fp->fptr % ss == 0) {
      const UINT csect = static_cast<UINT>(fp->fptr / ss & (fs->csize - 1U));
      if (csect == 0) {
        DWORD clst;
        if (fp->fptr == 0) {
          clst = fp->obj.sclust;
        } else {
          clst = get_fat(&fp->obj, fp->clust);
        }
        if (clst < 2) return abort_file(fp, g, FR_INT_ERR);
        if (clst == 0xFFFFFFFF) return abort_file(fp, g, FR_DISK_ERR);
        fp->clust = clst;
      }
      DWORD sect = clst2sect(fs, fp->clust);
      if (sect == 0) return abort_file(fp, g, FR_INT_ERR);
      sect += csect;
      UINT cc = btr / ss;
      if (cc > 0) {  // whole sectors go straight into the caller's buffer
        if (csect + cc > fs->csize) cc = fs->csize - csect;
        if (read_sectors(fs, rbuff, sect, cc) != RES_OK) return abort_file(fp, g, FR_DISK_ERR);
        rcnt = ss * cc;
        continue;
      }
      if (fp->sect != sect) {
        if (read_sectors(fs, fp->buf, sect, 1) != RES_OK) {
          return abort_file(fp, g, FR_DISK_ERR);
        }
      }
      fp->sect = sect;
    }
    rcnt = ss - static_cast<UINT>(fp->fptr % ss);
    if (rcnt > btr) rcnt = btr;
    std::memcpy(rbuff, fp->buf + fp->fptr % ss, rcnt);
  }
  return leave(g, FR_OK);
}

FRESULT f_lseek(FIL* fp, FSIZE_t ofs) {
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = validate(fp != nullptr ? &fp->obj : nullptr, g);
  if (res == FR_OK) res = static_cast<FRESULT>(fp->err);
  if (res != FR_OK) return leave(g, res);
  const UINT ss = fs->ssize;
  if (ofs > fp->obj.objsize) ofs = fp->obj.objsize;  // read-only: never beyond the end
  const FSIZE_t ifptr = fp->fptr;
  fp->fptr = 0;
  DWORD nsect = 0;
  if (ofs != 0) {
    const DWORD bcs = static_cast<DWORD>(fs->csize) * ss;
    DWORD clst;
    if (ifptr > 0 && (ofs - 1) / bcs >= (ifptr - 1) / bcs) {  // forward within or past the cluster
      fp->fptr = (ifptr - 1) & ~static_cast<FSIZE_t>(bcs - 1);
      ofs -= fp->fptr;
      clst = fp->clust;
    } else {
      clst = fp->obj.sclust;
      fp->clust = clst;
    }
    if (clst != 0) {
      DWORD steps = 0;
      while (ofs > bcs) {
        ofs -= bcs;
        fp->fptr += bcs;
        clst = get_fat(&fp->obj, clst);
        if (clst == 0xFFFFFFFF) return abort_file(fp, g, FR_DISK_ERR);
        if (clst <= 1 || clst >= fs->n_fatent) return abort_file(fp, g, FR_INT_ERR);
        if (++steps >= fs->n_fatent) return abort_file(fp, g, FR_INT_ERR);  // a loop
        fp->clust = clst;
      }
      fp->fptr += ofs;
      if (ofs % ss) {
        nsect = clst2sect(fs, clst);
        if (nsect == 0) return abort_file(fp, g, FR_INT_ERR);
        nsect += static_cast<DWORD>(ofs / ss);
      }
    }
  }
  if (fp->fptr % ss && nsect != fp->sect) {
    if (read_sectors(fs, fp->buf, nsect, 1) != RES_OK) return abort_file(fp, g, FR_DISK_ERR);
    fp->sect = nsect;
  }
  return leave(g, FR_OK);
}

FRESULT f_opendir(DIR* dp, const TCHAR* path) {
  if (dp == nullptr) return FR_INVALID_OBJECT;
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = mount_volume(&path, g);
  if (res == FR_OK) {
    dp->obj.fs = fs;
    res = follow_path(dp, path, nullptr);
    if (res == FR_OK) {
      if (!(dp->fn[NSFLAG] & NS_NONAME)) {
        if (dp->obj.attr & AM_DIR) {
          enter(dp->obj, child_ref(dp));
        } else {
          res = FR_NO_PATH;
        }
      }
      if (res == FR_OK) {
        dp->obj.id = fs->id;
        res = dir_sdi(dp, 0);
        if (res == FR_OK) {
          if (dp->obj.sclust != 0) {
            dp->obj.lockid = inc_lock(dp);
            if (dp->obj.lockid == 0) res = FR_TOO_MANY_OPEN_FILES;
          } else {
            dp->obj.lockid = 0;  // the root needs no lock
          }
        }
      }
    }
    if (res == FR_NO_FILE) res = FR_NO_PATH;
  }
  if (res != FR_OK) dp->obj.fs = nullptr;
  return leave(g, res);
}

FRESULT f_closedir(DIR* dp) {
  Grant g;
  FRESULT res = validate(dp != nullptr ? &dp->obj : nullptr, g);
  if (res == FR_OK) {
    if (dp->obj.lockid != 0) res = dec_lock(dp->obj.lockid);
    if (res == FR_OK) dp->obj.fs = nullptr;
    leave(g, FR_OK);
  }
  return res;
}

FRESULT f_readdir(DIR* dp, FILINFO* fno) {
  Grant g;
  FRESULT res = validate(dp != nullptr ? &dp->obj : nullptr, g);
  if (res == FR_OK) {
    if (fno == nullptr) {
      res = dir_sdi(dp, 0);
    } else {
      res = dir_read(dp, false);
      if (res == FR_NO_FILE) res = FR_OK;
      if (res == FR_OK) {
        get_fileinfo(dp, fno);
        res = dir_next(dp);
        if (res == FR_NO_FILE) res = FR_OK;
      }
    }
  }
  return leave(g, res);
}

FRESULT f_findnext(DIR* dp, FILINFO* fno) {
  for (;;) {
    const FRESULT res = f_readdir(dp, fno);
    if (res != FR_OK || fno == nullptr || fno->fname[0] == 0) return res;
    if (dp->pat == nullptr || pattern_matching(dp->pat, fno->fname)) return res;
  }
}

FRESULT f_findfirst(DIR* dp, FILINFO* fno, const TCHAR* path, const TCHAR* pattern) {
  if (dp == nullptr) return FR_INVALID_OBJECT;
  dp->pat = pattern;
  FRESULT res = f_opendir(dp, path);
  if (res == FR_OK) res = f_findnext(dp, fno);
  return res;
}

FRESULT f_stat(const TCHAR* path, FILINFO* fno) {
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = mount_volume(&path, g);
  if (res == FR_OK) {
    DIR dj{};
    dj.obj.fs = fs;
    res = follow_path(&dj, path, nullptr);
    if (res == FR_OK) {
      if (dj.fn[NSFLAG] & NS_NONAME) {
        res = FR_INVALID_NAME;
      } else if (fno != nullptr) {
        get_fileinfo(&dj, fno);
      }
    }
  }
  return leave(g, res);
}

FRESULT f_chdrive(const TCHAR* path) {
  const int vol = get_ldnumber(&path);
  if (vol < 0) return FR_INVALID_DRIVE;
  CurrVol.store(static_cast<BYTE>(vol), std::memory_order_relaxed);
  return FR_OK;
}

FRESULT f_chdir(const TCHAR* path) {
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = mount_volume(&path, g);
  if (res == FR_OK) {
    DIR dj{};
    dj.obj.fs = fs;
    Parents up;
    res = follow_path(&dj, path, &up);
    if (res == FR_OK) {
      if (!(dj.fn[NSFLAG] & NS_NONAME)) {
        if (dj.obj.attr & AM_DIR) {
          const FF_DIRREF child = child_ref(&dj);
          if (fs->fs_type == FS_EXFAT) up.push(ref_of(dj.obj));
          enter(dj.obj, child);
        } else {
          res = FR_NO_PATH;
        }
      }
    }
    if (res == FR_OK) {
      fs->cdir = ref_of(dj.obj);
      fs->n_xpar = up.n;
      for (BYTE i = 0; i < up.n; ++i) fs->xpar[i] = up.ref[i];
      fs->x_lost = up.lost;
    }
    if (res == FR_NO_FILE) res = FR_NO_PATH;
  }
  return leave(g, res);
}

FRESULT f_getcwd(TCHAR* buff, UINT len) {
  if (buff == nullptr || len == 0) return FR_INVALID_PARAMETER;
  buff[0] = 0;
  const TCHAR* path = "";
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = mount_volume(&path, g);
  if (res != FR_OK) return leave(g, res);
  // Names are collected from the innermost directory outwards, at the end of buff.
  UINT i = len;
  FF_DIRREF cur = fs->cdir;
  BYTE level = fs->n_xpar;
  if (fs->fs_type == FS_EXFAT && fs->x_lost != 0) return leave(g, FR_NOT_ENOUGH_CORE);
  FILINFO fno;
  DIR dj{};
  dj.obj.fs = fs;
  for (UINT depth = 0; cur.sclust != 0 && res == FR_OK; ++depth) {
    if (depth > FF_MAX_LFN) {
      res = FR_INT_ERR;  // a ".." chain that never reaches the root
      break;
    }
    FF_DIRREF parent{0, 0, 0};
    if (fs->fs_type == FS_EXFAT) {
      if (level > 0) parent = fs->xpar[--level];
    } else {
      enter(dj.obj, cur);
      res = dir_sdi(&dj, SZDIRE);  // the second entry of a FAT subdirectory is ".."
      if (res == FR_OK) res = move_window(fs, dj.sect);
      if (res != FR_OK) break;
      parent = FF_DIRREF{ld_clust(fs, entry(&dj)), 0, 0};
      if (fs->fs_type == FS_FAT32 && parent.sclust == fs->dirbase) parent.sclust = 0;
    }
    enter(dj.obj, parent);
    res = dir_sdi(&dj, 0);
    while (res == FR_OK) {
      res = dir_read(&dj, false);
      if (res != FR_OK) break;
      if ((dj.obj.attr & AM_DIR) && child_ref(&dj).sclust == cur.sclust) break;
      res = dir_next(&dj);
    }
    if (res == FR_NO_FILE) res = FR_INT_ERR;
    if (res != FR_OK) break;
    get_fileinfo(&dj, &fno);
    UINT n = static_cast<UINT>(std::strlen(fno.fname));
    if (i < n + 1) {
      res = FR_NOT_ENOUGH_CORE;
      break;
    }
    while (n > 0) buff[--i] = fno.fname[--n];
    buff[--i] = '/';
    cur = parent;
  }
  if (res == FR_OK) {
    if (i == len) buff[--i] = '/';  // the root
    const UINT prefix = 2;
    if (len - i + prefix + 1 > len) {
      res = FR_NOT_ENOUGH_CORE;
    } else {
      buff[0] = static_cast<TCHAR>('0' + fs->pdrv);
      buff[1] = ':';
      std::memmove(buff + prefix, buff + i, len - i);
      buff[prefix + len - i] = 0;
    }
  }
  if (res != FR_OK) buff[0] = 0;
  return leave(g, res);
}

}  // extern "C"

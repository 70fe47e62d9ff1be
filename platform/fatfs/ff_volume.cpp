// The volume: its registration and lock, the open-object table, sector and FAT access, and
// mounting: a boot sector at sector 0 or in the first FAT partition of an MBR, the FAT type
// by cluster count, exFAT's boot region. A drive's mutex is made at its first mount and kept,
// and unregistering a volume waits for the operation in progress: a stick pulled during a read
// ends that read with an error instead of leaving the reading task with a deleted lock and a
// cleared work area.
#include <mutex>

#include "ff_internal.h"

namespace fatfs {

std::atomic<FATFS*> FatFs[FF_VOLUMES];
std::atomic<WORD> Fsid{0};
std::atomic<BYTE> CurrVol{0};
// ---- Volume lock
//
// One kernel mutex per drive, made at the drive's first mount and kept for later ones: a task
// may still wait for it, or hold it during a transfer, when the volume is unregistered (a stick
// pulled during a read), so it is never deleted under that task. The handle is also left in
// FATFS.sobj.

FF_SYNC_t Sync[FF_VOLUMES];

namespace {

struct FileSem {
  FATFS* fs;
  DWORD clu;
  DWORD ofs;
  WORD ctr;
};
FileSem Files[FF_FS_LOCK];
std::mutex filesLock;

}  // namespace

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

DWORD clst2sect(const FATFS* fs, DWORD clst) {
  clst -= 2;
  if (clst >= fs->n_fatent - 2) return 0;
  const QWORD s = fs->database + static_cast<QWORD>(fs->csize) * clst;
  return s > 0xFFFFFFFFULL ? 0 : static_cast<DWORD>(s);
}

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

namespace {

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

}  // namespace

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

namespace {

// The object belongs to the volume as mounted now.
bool current(const FFOBJID* obj) {
  return obj->fs != nullptr && obj->fs->fs_type != 0 && obj->id == obj->fs->id &&
         obj->fs->pdrv < FF_VOLUMES;
}

}  // namespace

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

}  // namespace fatfs

using namespace fatfs;

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

FRESULT f_chdrive(const TCHAR* path) {
  const int vol = get_ldnumber(&path);
  if (vol < 0) return FR_INVALID_DRIVE;
  CurrVol.store(static_cast<BYTE>(vol), std::memory_order_relaxed);
  return FR_OK;
}

}  // extern "C"

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
//
// This file holds the file and directory calls; the volume and its mount are in ff_volume.cpp,
// directories and names in ff_dir.cpp.
#include "ff.h"

#include <cstring>

#include "ff_internal.h"

using namespace fatfs;

namespace {

FRESULT abort_file(FIL* fp, Grant& g, FRESULT res) {
  fp->err = static_cast<BYTE>(res);
  return leave(g, res);
}

}  // namespace

extern "C" {

FRESULT f_open(FIL* fp, const TCHAR* path, BYTE mode) {
  if (fp == nullptr) return FR_INVALID_OBJECT;
  mode &= FA_READ;  // read-only build: write modes open nothing for writing
  Grant g;
  FATFS*& fs = g.fs;
  DIR dj{};
  FRESULT res = find_path(path, g, &dj);
  if (res == FR_OK) {
    res = (dj.fn[NSFLAG] & NS_NONAME) ? FR_INVALID_NAME : chk_lock(&dj);
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
  if (fp == nullptr) return FR_INVALID_OBJECT;
  Grant g;
  FRESULT res = validate(&fp->obj, g);
  if (res == FR_OK) {
    res = dec_lock(fp->obj.lockid);
    if (res == FR_OK) fp->obj.fs = nullptr;
    leave(g, FR_OK);
  }
  return res;
}

FRESULT f_read(FIL* fp, void* buff, UINT btr, UINT* br) {
  if (br != nullptr) *br = 0;
  if (fp == nullptr) return FR_INVALID_OBJECT;
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = validate(&fp->obj, g);
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
  if (fp == nullptr) return FR_INVALID_OBJECT;
  Grant g;
  FATFS*& fs = g.fs;
  FRESULT res = validate(&fp->obj, g);
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
  FRESULT res = find_path(path, g, dp);
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
  if (res != FR_OK) dp->obj.fs = nullptr;
  return leave(g, res);
}

FRESULT f_closedir(DIR* dp) {
  if (dp == nullptr) return FR_INVALID_OBJECT;
  Grant g;
  FRESULT res = validate(&dp->obj, g);
  if (res == FR_OK) {
    if (dp->obj.lockid != 0) res = dec_lock(dp->obj.lockid);
    if (res == FR_OK) dp->obj.fs = nullptr;
    leave(g, FR_OK);
  }
  return res;
}

FRESULT f_readdir(DIR* dp, FILINFO* fno) {
  if (dp == nullptr) return FR_INVALID_OBJECT;
  Grant g;
  FRESULT res = validate(&dp->obj, g);
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
  DIR dj{};
  FRESULT res = find_path(path, g, &dj);
  if (res == FR_OK) {
    if (dj.fn[NSFLAG] & NS_NONAME) {
      res = FR_INVALID_NAME;
    } else if (fno != nullptr) {
      get_fileinfo(&dj, fno);
    }
  }
  return leave(g, res);
}

FRESULT f_chdir(const TCHAR* path) {
  Grant g;
  FATFS*& fs = g.fs;
  DIR dj{};
  Parents up;
  FRESULT res = find_path(path, g, &dj, &up);
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

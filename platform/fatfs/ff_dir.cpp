// Directories and names: walking a directory's entries (FAT and exFAT entry sets with their
// checksums), long-name assembly, the short-name fallback with NT lower-case flags, path
// segments in Unicode, case-insensitive lookup, and the walk along a path with exFAT's
// remembered parents. Every walk stops after as many entries as the volume can hold.
#include "ff_internal.h"

namespace fatfs {

namespace {

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

}  // namespace

// ---- Directory positioning

namespace {

// Byte offset at which a directory walk gives up: the library's limit, or the room of the
// whole volume, whichever is smaller, so that a looping chain ends.
DWORD dir_limit(const FATFS* fs) {
  const QWORD room = static_cast<QWORD>(fs->n_fatent - 2) * fs->csize * fs->ssize;
  const DWORD lib = fs->fs_type == FS_EXFAT ? MAX_DIR_EX : MAX_DIR;
  return room < lib ? static_cast<DWORD>(room) : lib;
}

// The number of clusters a directory's chain holds before it comes back to one of them, or
// NO_LOOP for a chain that ends (or breaks, which the walk finds by itself). Brent's cycle
// search, then the start of the cycle; at most as many steps as a directory may have clusters.
constexpr DWORD NO_LOOP = 0xFFFFFFFF;

DWORD chain_before_loop(DIR* dp) {
  FATFS* fs = dp->obj.fs;
  DWORD start = dp->obj.sclust;
  if (start == 0 && fs->fs_type >= FS_FAT32) start = fs->dirbase;
  const DWORD limit = dir_limit(fs) / (static_cast<DWORD>(fs->csize) * fs->ssize) + 2;
  // The next cluster of the chain; 0 at its end and wherever the walk itself stops.
  auto next = [&](DWORD c) -> DWORD {
    const DWORD n = get_fat(&dp->obj, c);
    return (n < 2 || n >= fs->n_fatent) ? 0 : n;
  };
  DWORD power = 1, lam = 1, steps = 1;
  DWORD tortoise = start;
  DWORD hare = next(start);
  while (hare != tortoise) {
    if (hare == 0 || steps > limit) return NO_LOOP;
    if (power == lam) {
      tortoise = hare;
      power *= 2;
      lam = 0;
    }
    hare = next(hare);
    ++lam;
    ++steps;
  }
  tortoise = hare = start;
  for (DWORD i = 0; i < lam; ++i) hare = next(hare);
  DWORD mu = 0;
  while (tortoise != hare) {
    tortoise = next(tortoise);
    hare = next(hare);
    ++mu;
  }
  return mu + lam;
}

}  // namespace

FRESULT dir_sdi(DIR* dp, DWORD ofs) {
  FATFS* fs = dp->obj.fs;
  if (ofs >= (fs->fs_type == FS_EXFAT ? MAX_DIR_EX : MAX_DIR) || ofs % SZDIRE) return FR_INT_ERR;
  dp->dptr = ofs;
  dp->n_clust = 0;
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
      // A chain that comes back to a cluster it holds (a broken FAT) would give the same
      // entries again and again: checked once, when the walk first leaves a cluster, the
      // clusters before the repetition are read and the walk then fails as on any broken chain.
      if (dp->n_clust == 0) dp->n_clust = chain_before_loop(dp);
      const DWORD index = ofs / (static_cast<DWORD>(fs->csize) * fs->ssize);
      if (dp->n_clust != NO_LOOP && index >= dp->n_clust) return FR_INT_ERR;
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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

FRESULT find_path(const TCHAR* path, Grant& g, DIR* dp, Parents* par) {
  const FRESULT res = mount_volume(&path, g);
  if (res != FR_OK) return res;
  dp->obj.fs = g.fs;
  return follow_path(dp, path, par);
}

}  // namespace fatfs

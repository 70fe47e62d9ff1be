// Serves arbitrary bytes as a stick to the file system and walks it as the firmware would:
// mount, list folders recursively (bounded), search for pictures, change folders, open, seek
// and read files. The first byte picks the sector size (512 << (b & 3)) and, in its upper six
// bits, after how many transfers the medium starts failing (4 per step, 0: never); the rest is
// the medium. Besides crashes and hangs it checks that no sector past the medium is requested and
// that reads never deliver more than asked or move past the file's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ff.h"
#include "ff_gen_drv.h"

// The volume lock needs no kernel here: one thread, nothing to wait for.
extern "C" {
int ff_cre_syncobj(BYTE, FF_SYNC_t* sobj) {
  static int token;
  *sobj = reinterpret_cast<FF_SYNC_t>(&token);
  return 1;
}
int ff_req_grant(FF_SYNC_t) { return 1; }
void ff_rel_grant(FF_SYNC_t) {}
int ff_del_syncobj(FF_SYNC_t) { return 1; }
}

namespace {

const uint8_t* medium = nullptr;
size_t mediumSize = 0;
WORD sectorSize = 512;
int budget = 0;   // driver reads left for this input: bounds the work per input
int entries = 0;  // directory entries left to visit for this input
int failAfter = 0;

void check(bool condition) {
  if (!condition) std::abort();
}

DSTATUS fStatus(BYTE) { return 0; }
DSTATUS fInit(BYTE) { return 0; }
DRESULT fRead(BYTE, BYTE* buff, DWORD sector, UINT count) {
  const uint64_t end = (static_cast<uint64_t>(sector) + count) * sectorSize;
  check(count > 0 && end <= mediumSize);  // never past the medium
  if (--budget < 0 || (failAfter > 0 && --failAfter == 0)) return RES_ERROR;
  std::memcpy(buff, medium + static_cast<size_t>(sector) * sectorSize,
              static_cast<size_t>(count) * sectorSize);
  return RES_OK;
}
DRESULT fIoctl(BYTE, BYTE cmd, void* buff) {
  switch (cmd) {
    case GET_SECTOR_COUNT:
      *static_cast<DWORD*>(buff) = static_cast<DWORD>(mediumSize / sectorSize);
      return RES_OK;
    case GET_SECTOR_SIZE: *static_cast<WORD*>(buff) = sectorSize; return RES_OK;
    case GET_BLOCK_SIZE: *static_cast<DWORD*>(buff) = 1; return RES_OK;
    default: return RES_OK;
  }
}
const Diskio_drvTypeDef FuzzDriver = {fInit, fStatus, fRead, nullptr, fIoctl};

FIL fil;
uint8_t buf[5000];

void readFile(const std::string& path) {
  if (f_open(&fil, path.c_str(), FA_READ) != FR_OK) return;
  const FSIZE_t size = f_size(&fil);
  UINT br = 0;
  FSIZE_t total = 0;
  for (int i = 0; i < 20; ++i) {
    const UINT want = (i % 3 == 0) ? 512 : (i % 3 == 1 ? 100 : sizeof buf);
    const FSIZE_t before = fil.fptr;
    if (f_read(&fil, buf, want, &br) != FR_OK) break;
    check(br <= want && fil.fptr == before + br && fil.fptr <= size);
    total += br;
    if (br < want) break;
  }
  check(total <= size);
  for (FSIZE_t ofs : {size / 2, size + 1, FSIZE_t(4097), size - (size > 0 ? 1 : 0)}) {
    if (f_lseek(&fil, ofs) != FR_OK) break;
    check(fil.fptr == (ofs > size ? size : ofs));
    if (f_read(&fil, buf, 700, &br) != FR_OK) break;
    check(br <= 700);
  }
  f_close(&fil);
}

void walk(const std::string& path, int depth) {
  DIR dir;
  FILINFO fno;
  if (f_findfirst(&dir, &fno, path.c_str(), "*.bmp") == FR_OK) f_closedir(&dir);
  if (f_opendir(&dir, path.c_str()) != FR_OK) return;
  for (int n = 0; n < 64 && --entries > 0; ++n) {
    if (f_readdir(&dir, &fno) != FR_OK || fno.fname[0] == 0) break;
    check(std::strlen(fno.fname) <= FF_LFN_BUF && std::strlen(fno.altname) <= FF_SFN_BUF);
    const std::string child = path + "/" + fno.fname;
    if (fno.fattrib & AM_DIR) {
      if (depth < 3) walk(child, depth + 1);
    } else if (n < 8) {
      readFile(child);
    }
  }
  f_closedir(&dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  sectorSize = static_cast<WORD>(512u << (data[0] & 3));
  medium = data + 1;
  mediumSize = size - 1;
  budget = 2000;
  failAfter = (data[0] >> 2) * 4;
  entries = 200;
  static FATFS fs;
  char path[4];
  if (FATFS_LinkDriver(&FuzzDriver, path) != 0) std::abort();
  f_mount(&fs, path, 0);
  walk("0:", 0);
  if (f_chdir("0:/") == FR_OK) {
    DIR dir;
    FILINFO fno;
    if (f_opendir(&dir, "") == FR_OK) {
      for (int n = 0; n < 8; ++n) {
        if (f_readdir(&dir, &fno) != FR_OK || fno.fname[0] == 0) break;
        if ((fno.fattrib & AM_DIR) && f_chdir(fno.fname) == FR_OK) {
          char cwd[300];
          f_getcwd(cwd, sizeof cwd);
          f_stat("..", &fno);
          f_chdir("..");
          break;
        }
      }
      f_closedir(&dir);
    }
  }
  f_mount(nullptr, path, 0);
  FATFS_UnLinkDriver(path);
  return 0;
}

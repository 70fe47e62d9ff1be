// Serves arbitrary bytes as a stick and walks it as the firmware does, through the whole read
// path of the board: the file system, the firmware's disk adapter (USBH_Driver), the USB host's
// mass-storage class and the stick model, with the sector size the image's boot sector gives.
// Mount, list folders recursively (bounded), search for pictures, change folders, open, seek
// and read files. The first byte, when its top bit is set, names a sector (its low 7 bits) that
// fails to read; the rest is the medium (padded to 4096 bytes, a sector of any size). Besides
// crashes and hangs it checks that no sector past the medium is asked for and that reads never
// deliver more than asked or move past the file's size.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ff.h"
#include "ff_gen_drv.h"
#include "k_storage.h"
#include "stick.h"
#include "stm32f7xx_hal.h"
#include "usbh_core.h"
#include "usbh_diskio.h"
#include "usbh_msc.h"
#include "wiring.h"

namespace {

constexpr uint8_t kAscOutOfRange = 0x21;

int entries = 0;  // directory entries left to visit for this input
int reads = 0;    // file reads left for this input

void check(bool condition) {
  if (!condition) std::abort();
}

// The board with its USB port powered and the controller running, once.
int medium() {
  static const int fd = [] {
    simboard::wire();
    __HAL_RCC_GPIOD_CLK_ENABLE();
    GPIO_InitTypeDef vbus = {};
    vbus.Pin = GPIO_PIN_5;
    vbus.Mode = GPIO_MODE_OUTPUT_PP;
    HAL_GPIO_Init(GPIOD, &vbus);
    HAL_GPIO_WritePin(GPIOD, GPIO_PIN_5, GPIO_PIN_SET);
    HAL_GPIO_WritePin(GPIOD, GPIO_PIN_5, GPIO_PIN_RESET);  // VBUS on
    HAL_HCD_Start(nullptr);
    return memfd_create("stick", 0);
  }();
  return fd;
}

FIL fil;
uint8_t buf[5000];

void readFile(const std::string& path) {
  if (f_open(&fil, path.c_str(), FA_READ) != FR_OK) return;
  const FSIZE_t size = f_size(&fil);
  UINT br = 0;
  FSIZE_t total = 0;
  for (int i = 0; i < 20 && --reads > 0; ++i) {
    const UINT want = (i % 3 == 0) ? 512 : (i % 3 == 1 ? 100 : sizeof buf);
    const FSIZE_t before = fil.fptr;
    if (f_read(&fil, buf, want, &br) != FR_OK) break;
    check(br <= want && fil.fptr == before + br && fil.fptr <= size);
    total += br;
    if (br < want) break;
  }
  check(total <= size);
  for (FSIZE_t ofs : {size / 2, size + 1, FSIZE_t(4097), size - (size > 0 ? 1 : 0)}) {
    if (--reads < 0 || f_lseek(&fil, ofs) != FR_OK) break;
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
  const int fd = medium();
  // The stick: the bytes as an image file, at least one sector of any size.
  simusb::remove();
  check(ftruncate(fd, 0) == 0);
  const size_t bytes = size - 1 < 4096 ? 4096 : size - 1;
  check(ftruncate(fd, static_cast<off_t>(bytes)) == 0);
  check(pwrite(fd, data + 1, size - 1, 0) == static_cast<ssize_t>(size - 1));
  simusb::insert("/proc/self/fd/" + std::to_string(fd));
  if ((data[0] & 0x80) != 0) {
    simusb::Faults faults;
    faults.unreadable.push_back({static_cast<uint64_t>(data[0] & 0x7F), 1});
    simusb::setFaults(faults);
  }
  // The class as the host stack brings it up: the unit's start-up reads its capacity.
  hUSB_Host.device.is_connected = 1;
  USBH_MSC_CLASS->Init(&hUSB_Host);
  check(USBH_MSC_CLASS->BgndProcess(&hUSB_Host) == USBH_OK);

  entries = 200;
  reads = 300;
  static FATFS fs;
  char path[4];
  check(FATFS_LinkDriver(&USBH_Driver, path) == 0);
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
  // The file system never asked for a sector past the end of the stick.
  MSC_LUNTypeDef info;
  check(USBH_MSC_GetLUNInfo(&hUSB_Host, 0, &info) == USBH_OK);
  check(info.sense.asc != kAscOutOfRange);
  USBH_MSC_CLASS->DeInit(&hUSB_Host);
  return 0;
}

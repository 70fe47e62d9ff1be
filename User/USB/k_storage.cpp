#include "k_storage.h"

#include <cstdio>
#include <cstring>

#include "cmsis_os.h"
#include "usbh_diskio.h"
#include "usbh_msc.h"

std::atomic<uint8_t> usb_status{0};
std::atomic<uint32_t> StorageStatus[1] = {0};
std::atomic<uint32_t> StorageChanges{0};
USBH_HandleTypeDef hUSB_Host;
FATFS USBDISK_FatFs;
char USBDISK_Drive[4];

namespace {

osMessageQId StorageEvent = nullptr;
bool driverLinked = false;

// The mass-storage class is active: link the disk driver to a logical drive and register
// the volume (lazily: the stick is read at the first file access).
void mountStick() {
  puts("usb active");
  if (!driverLinked) {
    if (FATFS_LinkDriver(&USBH_Driver, USBDISK_Drive) != 0) return;
    driverLinked = true;
  }
  if (f_mount(&USBDISK_FatFs, USBDISK_Drive, 0) == FR_OK) {
    StorageStatus[0] = 1;
    usb_status = 2;
    puts("mount ok");
  } else {
    usb_status = 0;
    puts("ERROR : Cannot Initialize FatFs! ");
    // Leaving the driver linked would put the next stick on another logical drive, where
    // nothing looks: unlink it so that the next stick is drive 0 again.
    FATFS_UnLinkDriver(USBDISK_Drive);
    driverLinked = false;
  }
}

void unmountStick() {
  puts("usb disc");
  usb_status = 0;
  // Counted before the next stick can be mounted: a loop turn that finds a stick mounted
  // finds this removal counted too, however soon the next stick came.
  StorageChanges.fetch_add(1);
  f_mount(nullptr, USBDISK_Drive, 0);
  StorageStatus[0] = 0;
  if (driverLinked) {
    FATFS_UnLinkDriver(USBDISK_Drive);
    driverLinked = false;
  }
  std::memset(&USBDISK_FatFs, 0, sizeof USBDISK_FatFs);
}

}  // namespace

void k_StorageInit() {
  USBH_Init(&hUSB_Host, USBH_UserProcess, 0);
  osThreadDef(STORAGE_Thread, StorageThread, osPriorityRealtime, 0, 128);
  osThreadCreate(osThread(STORAGE_Thread), nullptr);
  osMessageQDef(osqueue, 10, uint16_t);
  StorageEvent = osMessageCreate(osMessageQ(osqueue), nullptr);
  USBH_RegisterClass(&hUSB_Host, USBH_MSC_CLASS);
  USBH_Start(&hUSB_Host);
}

// Runs in the USB host thread. A full event queue is waited on for at most one tick.
extern "C" void USBH_UserProcess(USBH_HandleTypeDef* phost, uint8_t id) {
  (void)phost;
  // The stick that goes, or the one that has come, is not the one whose sectors the disk
  // driver keeps: forget them before anything can read the new stick.
  if (id == HOST_USER_DISCONNECTION || id == HOST_USER_CLASS_ACTIVE) USBH_DiskCacheInvalidate();
  switch (id) {
    case HOST_USER_SELECT_CONFIGURATION:
      osMessagePut(StorageEvent, USBDISK_CONFIGURATION_EVENT, 0);
      break;
    case HOST_USER_CLASS_ACTIVE: osMessagePut(StorageEvent, USBDISK_ACTIVE_EVENT, 0); break;
    case HOST_USER_CONNECTION: osMessagePut(StorageEvent, USBDISK_CONNECTION_EVENT, 0); break;
    case HOST_USER_DISCONNECTION: osMessagePut(StorageEvent, USBDISK_DISCONNECTION_EVENT, 0); break;
    default: break;
  }
}

extern "C" void StorageThread(const void* argument) {
  (void)argument;
  for (;;) {
    const osEvent event = osMessageGet(StorageEvent, osWaitForever);
    if (event.status != osEventMessage) continue;
    switch (event.value.v) {
      case USBDISK_CONNECTION_EVENT: usb_status = 1; break;
      case USBDISK_CONFIGURATION_EVENT: puts("usb config"); break;
      case USBDISK_ACTIVE_EVENT: mountStick(); break;
      case USBDISK_DISCONNECTION_EVENT: unmountStick(); break;
      default: break;
    }
  }
}

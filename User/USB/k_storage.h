// The USB stick service: starts the USB host, turns its connection notices into storage
// events and, in its own thread, links and mounts the stick's file system. The outcome is
// published in two status bytes that the main loop polls.
#pragma once

#include <atomic>
#include <cstdint>

#include "ff.h"
#include "usbh_core.h"

enum StorageEventEnum : uint16_t {
  USBDISK_DISCONNECTION_EVENT = 1,
  USBDISK_CONNECTION_EVENT = 2,
  USBDISK_ACTIVE_EVENT = 3,
  USBDISK_CONFIGURATION_EVENT = 4,
};

// 0 no stick, 1 connected (not yet usable), 2 mounted. Written only by the stick service.
extern std::atomic<uint8_t> usb_status;
// Element 0: 0 file system not mounted, 1 mounted. Written only by the stick service.
extern std::atomic<uint32_t> StorageStatus[1];
// Removals the stick service has handled, counted before the status bytes of a next stick
// change. The main loop compares it with the count it last saw, so that a stick pulled and put
// back (or swapped) while the loop was busy is never missed.
extern std::atomic<uint32_t> StorageChanges;

extern USBH_HandleTypeDef hUSB_Host;
// The work area of the stick's volume, and its logical drive ("0:/").
extern FATFS USBDISK_FatFs;
extern char USBDISK_Drive[4];

void k_StorageInit();
extern "C" void USBH_UserProcess(USBH_HandleTypeDef* phost, uint8_t id);
extern "C" void StorageThread(const void* argument);

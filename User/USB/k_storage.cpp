#include "k_storage.h"

#include <cstdio>

#include "cmsis_os.h"
#include "usbh_msc.h"

std::atomic<uint8_t> usb_status{0};
std::atomic<uint32_t> StorageStatus[1] = {0};
USBH_HandleTypeDef hUSB_Host;

namespace {
osMessageQId StorageEvent = nullptr;
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
      default: break;
    }
  }
}

// USB host stack: the host thread, its event queue, and the connection procedure it runs
// for a device on the port: debounce, port reset, connection notice, enumeration (device
// descriptor, address, configuration, strings), configuration, class selection and the
// class's requests and the unit's start-up, each notice given to the application's user
// process in the stack's order. A disconnection at any point ends the procedure with the
// disconnection notice.
//
// Simplification: only mass-storage devices are recognised; control transfers are not
// modelled at the packet level but each takes the time of one (a frame).
#include "usbh_core.h"

#include <string>

#include "simhal.h"
#include "stick.h"
#include "usbh_msc.h"
#include "usbh_msc_internal.h"

// Where the application keeps the stick's identity; optional.
void cbUsbVid(uint16_t vid) __attribute__((weak));
void cbUsbPid(uint16_t pid) __attribute__((weak));
void cbUsbSerial(const char* serial) __attribute__((weak));

namespace {

constexpr uint32_t kDebounceMs = 200;
constexpr uint32_t kAfterResetMs = 100;
constexpr uint32_t kMaxSerial = 255;

void post(USBH_HandleTypeDef* phost, USBH_OSEventTypeDef event) {
  if (phost->os_event != nullptr) osMessagePut(phost->os_event, event, 0);
}

bool gone(USBH_HandleTypeDef* phost) { return phost->device.is_disconnected != 0; }

void notify(USBH_HandleTypeDef* phost, uint8_t notice) {
  if (phost->pUser != nullptr) phost->pUser(phost, notice);
}

// One control transfer's worth of time; false when the device went away meanwhile.
bool controlTransfer(USBH_HandleTypeDef* phost) {
  USBH_Delay(static_cast<uint32_t>(simusb::timing().controlTransfer / simk::kMs));
  return !gone(phost) && simusb::connected(nullptr);
}

void handleDisconnection(USBH_HandleTypeDef* phost) {
  phost->device.is_disconnected = 0;
  if (phost->pActiveClass != nullptr) {
    phost->pActiveClass->DeInit(phost);
    phost->pActiveClass = nullptr;
  }
  notify(phost, HOST_USER_DISCONNECTION);
  phost->gState = HOST_IDLE;
}

// The procedure for a newly connected device, up to the class running.
void attach(USBH_HandleTypeDef* phost) {
  USBH_Delay(kDebounceMs);
  if (gone(phost)) return;
  USBH_LL_ResetPort(phost);
  phost->gState = HOST_DEV_WAIT_FOR_ATTACHMENT;
  for (int i = 0; i < 100 && phost->device.PortEnabled == 0; ++i) {
    USBH_Delay(2);
    if (gone(phost)) return;
  }
  if (phost->device.PortEnabled == 0) return;
  phost->gState = HOST_DEV_ATTACHED;
  notify(phost, HOST_USER_CONNECTION);
  USBH_Delay(kAfterResetMs);
  if (gone(phost)) return;
  phost->device.speed = USBH_LL_GetSpeed(phost);

  phost->gState = HOST_ENUMERATION;
  simusb::Medium medium;
  if (!controlTransfer(phost) || !simusb::connected(&medium)) return;  // device descriptor
  phost->device.DevDesc.idVendor = medium.identity.vid;
  phost->device.DevDesc.idProduct = medium.identity.pid;
  phost->device.DevDesc.iSerialNumber = medium.identity.serial.empty() ? 0 : 3;
  phost->device.DevDesc.bDeviceClass = 0;
  if (cbUsbVid != nullptr) cbUsbVid(medium.identity.vid);
  if (cbUsbPid != nullptr) cbUsbPid(medium.identity.pid);
  if (!controlTransfer(phost)) return;  // set address
  phost->device.address = 1;
  if (!controlTransfer(phost)) return;  // full device descriptor
  if (!controlTransfer(phost)) return;  // configuration descriptor
  if (!controlTransfer(phost)) return;  // manufacturer string
  if (!controlTransfer(phost)) return;  // product string
  if (phost->device.DevDesc.iSerialNumber != 0) {
    if (!controlTransfer(phost)) return;  // serial-number string
    const std::string serial = medium.identity.serial.substr(0, kMaxSerial);
    if (cbUsbSerial != nullptr) cbUsbSerial(serial.c_str());
  }

  phost->gState = HOST_INPUT;
  notify(phost, HOST_USER_SELECT_CONFIGURATION);
  phost->gState = HOST_SET_CONFIGURATION;
  if (!controlTransfer(phost)) return;

  phost->gState = HOST_CHECK_CLASS;
  phost->pActiveClass = nullptr;
  for (uint32_t i = 0; i < phost->ClassNumber; ++i) {
    if (phost->pClass[i] != nullptr && phost->pClass[i]->ClassCode == USBH_MSC_CLASS->ClassCode)
      phost->pActiveClass = phost->pClass[i];
  }
  if (phost->pActiveClass == nullptr || phost->pActiveClass->Init(phost) != USBH_OK) {
    phost->gState = HOST_ABORT_STATE;
    return;
  }
  notify(phost, HOST_USER_CLASS_SELECTED);
  phost->gState = HOST_CLASS_REQUEST;
  if (phost->pActiveClass->Requests(phost) != USBH_OK) return;
  // The unit's own start-up (inquiry, test unit ready, read capacity) runs before the class is
  // reported active, so that the first file access after the notice finds the unit ready.
  if (phost->pActiveClass->BgndProcess(phost) != USBH_OK) return;
  phost->gState = HOST_CLASS;
  notify(phost, HOST_USER_CLASS_ACTIVE);
}

void hostThread(void const* argument) {
  auto* phost = static_cast<USBH_HandleTypeDef*>(const_cast<void*>(argument));
  for (;;) {
    const osEvent event = osMessageGet(phost->os_event, osWaitForever);
    if (event.status == osEventMessage) USBH_Process(phost);
  }
}

}  // namespace

extern "C" {

USBH_ClassTypeDef USBH_msc = {"MSC",
                              0x08,
                              simusbh::mscInit,
                              simusbh::mscDeInit,
                              simusbh::mscRequests,
                              simusbh::mscBackground,
                              nullptr};

USBH_StatusTypeDef USBH_Init(USBH_HandleTypeDef* phost, void (*user)(USBH_HandleTypeDef*, uint8_t),
                             uint8_t id) {
  if (phost == nullptr) return USBH_FAIL;
  simhal::record("USBH_Init");
  phost->id = id;
  phost->pUser = user;
  phost->ClassNumber = 0;
  phost->pActiveClass = nullptr;
  phost->gState = HOST_IDLE;
  phost->device = USBH_DeviceTypeDef{};
  osMessageQDef(USBH_Queue, 10, uint16_t);
  phost->os_event = osMessageCreate(osMessageQ(USBH_Queue), nullptr);
  osThreadDef(USBH_Thread, hostThread, osPriorityRealtime, 0, 128);
  phost->thread = osThreadCreate(osThread(USBH_Thread), phost);
  USBH_LL_Init(phost);
  return USBH_OK;
}

USBH_StatusTypeDef USBH_RegisterClass(USBH_HandleTypeDef* phost, USBH_ClassTypeDef* cls) {
  if (phost == nullptr || cls == nullptr || phost->ClassNumber >= 1) return USBH_FAIL;
  simhal::record("USBH_RegisterClass", "%s", cls->Name);
  phost->pClass[phost->ClassNumber++] = cls;
  return USBH_OK;
}

USBH_StatusTypeDef USBH_Start(USBH_HandleTypeDef* phost) {
  if (phost == nullptr) return USBH_FAIL;
  simhal::record("USBH_Start");
  USBH_LL_Start(phost);
  USBH_LL_DriverVBUS(phost, 1);
  return USBH_OK;
}

USBH_StatusTypeDef USBH_Stop(USBH_HandleTypeDef* phost) {
  if (phost == nullptr) return USBH_FAIL;
  USBH_LL_DriverVBUS(phost, 0);
  USBH_LL_Stop(phost);
  return USBH_OK;
}

USBH_StatusTypeDef USBH_Process(USBH_HandleTypeDef* phost) {
  if (phost->device.is_disconnected != 0) {
    handleDisconnection(phost);
    // A device connected since then is attached with the connection's own event.
    return USBH_OK;
  }
  if (phost->gState == HOST_IDLE && phost->device.is_connected != 0) {
    attach(phost);
    // A disconnection during the procedure is handled now; its own message finds nothing.
    if (phost->device.is_disconnected != 0) handleDisconnection(phost);
  }
  return USBH_OK;
}

// A connection reported before the host thread has handled a disconnection (a stick swapped
// in one instant) keeps that disconnection: the old device is let go, then the new one attached.
void USBH_LL_Connect(USBH_HandleTypeDef* phost) {
  phost->device.is_connected = 1;
  post(phost, USBH_PORT_EVENT);
}

void USBH_LL_Disconnect(USBH_HandleTypeDef* phost) {
  phost->device.is_connected = 0;
  phost->device.is_disconnected = 1;
  phost->device.PortEnabled = 0;
  post(phost, USBH_PORT_EVENT);
}

void USBH_LL_PortEnabled(USBH_HandleTypeDef* phost) { phost->device.PortEnabled = 1; }
void USBH_LL_PortDisabled(USBH_HandleTypeDef* phost) { phost->device.PortEnabled = 0; }
void USBH_LL_IncTimer(USBH_HandleTypeDef* phost) { phost->Timer = phost->Timer + 1; }

}  // extern "C"

// USB host stack: the host thread and its event queue. The host port model that turns a
// stick into connection notices comes with the stick model.
#include "usbh_core.h"

#include "simhal.h"
#include "usbh_msc.h"

extern "C" {

USBH_ClassTypeDef USBH_msc = {"MSC", 0x08};

namespace {

void hostThread(void const* argument) {
  auto* phost = static_cast<USBH_HandleTypeDef*>(const_cast<void*>(argument));
  for (;;) {
    const osEvent event = osMessageGet(phost->os_event, osWaitForever);
    (void)event;
  }
}

}  // namespace

USBH_StatusTypeDef USBH_Init(USBH_HandleTypeDef* phost, void (*user)(USBH_HandleTypeDef*, uint8_t),
                             uint8_t id) {
  if (phost == nullptr) return USBH_FAIL;
  simhal::record("USBH_Init");
  phost->id = id;
  phost->pUser = user;
  phost->ClassNumber = 0;
  phost->pActiveClass = nullptr;
  osMessageQDef(USBH_Queue, 10, uint16_t);
  phost->os_event = osMessageCreate(osMessageQ(USBH_Queue), nullptr);
  osThreadDef(USBH_Thread, hostThread, osPriorityRealtime, 0, 128);
  phost->thread = osThreadCreate(osThread(USBH_Thread), phost);
  return USBH_OK;
}

USBH_StatusTypeDef USBH_RegisterClass(USBH_HandleTypeDef* phost, USBH_ClassTypeDef* cls) {
  if (phost == nullptr || cls == nullptr || phost->ClassNumber >= 1) return USBH_FAIL;
  simhal::record("USBH_RegisterClass", cls->Name);
  phost->pClass[phost->ClassNumber++] = cls;
  return USBH_OK;
}

USBH_StatusTypeDef USBH_Start(USBH_HandleTypeDef* phost) {
  if (phost == nullptr) return USBH_FAIL;
  simhal::record("USBH_Start");
  return USBH_OK;
}

USBH_StatusTypeDef USBH_Stop(USBH_HandleTypeDef* phost) {
  if (phost == nullptr) return USBH_FAIL;
  return USBH_OK;
}

}  // extern "C"

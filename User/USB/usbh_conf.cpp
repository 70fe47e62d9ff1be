// Glue between the USB host library and the OTG full-speed controller: full speed, 11 host
// channels, no DMA, embedded PHY, no start-of-frame output, no VBUS sensing; data lines on
// PA11/PA12 and the ID line on PA10 (alternate function 10); the VBUS power switch on PD5,
// driven low to switch VBUS on.
#include "cmsis_os.h"
#include "irq_prio.h"
#include "stm32f7xx_hal.h"
#include "usbh_core.h"

HCD_HandleTypeDef hhcd;

extern "C" {

void HAL_HCD_MspInit(HCD_HandleTypeDef* h) {
  if (h->Instance != USB_OTG_FS) return;
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_11 | GPIO_PIN_12;
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
  gpio.Alternate = GPIO_AF10_OTG_FS;
  HAL_GPIO_Init(GPIOA, &gpio);
  gpio.Pin = GPIO_PIN_10;
  gpio.Mode = GPIO_MODE_AF_OD;
  gpio.Pull = GPIO_PULLUP;
  HAL_GPIO_Init(GPIOA, &gpio);
  // The power switch starts off (high).
  gpio.Pin = GPIO_PIN_5;
  gpio.Mode = GPIO_MODE_OUTPUT_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_HIGH;
  HAL_GPIO_WritePin(GPIOD, GPIO_PIN_5, GPIO_PIN_SET);
  HAL_GPIO_Init(GPIOD, &gpio);
  __HAL_RCC_USB_OTG_FS_CLK_ENABLE();
  HAL_NVIC_SetPriority(OTG_FS_IRQn, irq_prio::USB_HOST, 0);
  HAL_NVIC_EnableIRQ(OTG_FS_IRQn);
}

void HAL_HCD_SOF_Callback(HCD_HandleTypeDef* h) {
  USBH_LL_IncTimer(static_cast<USBH_HandleTypeDef*>(h->pData));
}
void HAL_HCD_Connect_Callback(HCD_HandleTypeDef* h) {
  USBH_LL_Connect(static_cast<USBH_HandleTypeDef*>(h->pData));
}
void HAL_HCD_Disconnect_Callback(HCD_HandleTypeDef* h) {
  USBH_LL_Disconnect(static_cast<USBH_HandleTypeDef*>(h->pData));
}
void HAL_HCD_PortEnabled_Callback(HCD_HandleTypeDef* h) {
  USBH_LL_PortEnabled(static_cast<USBH_HandleTypeDef*>(h->pData));
}
void HAL_HCD_PortDisabled_Callback(HCD_HandleTypeDef* h) {
  USBH_LL_PortDisabled(static_cast<USBH_HandleTypeDef*>(h->pData));
}

USBH_StatusTypeDef USBH_LL_Init(USBH_HandleTypeDef* phost) {
  hhcd.Instance = USB_OTG_FS;
  hhcd.Init.Host_channels = 11;
  hhcd.Init.speed = HCD_SPEED_FULL;
  hhcd.Init.dma_enable = 0;
  hhcd.Init.phy_itface = HCD_PHY_EMBEDDED;
  hhcd.Init.Sof_enable = 0;
  hhcd.Init.vbus_sensing_enable = 0;
  hhcd.pData = phost;
  phost->pData = &hhcd;
  return HAL_HCD_Init(&hhcd) == HAL_OK ? USBH_OK : USBH_FAIL;
}

USBH_StatusTypeDef USBH_LL_Start(USBH_HandleTypeDef*) {
  return HAL_HCD_Start(&hhcd) == HAL_OK ? USBH_OK : USBH_FAIL;
}

USBH_StatusTypeDef USBH_LL_Stop(USBH_HandleTypeDef*) {
  return HAL_HCD_Stop(&hhcd) == HAL_OK ? USBH_OK : USBH_FAIL;
}

USBH_StatusTypeDef USBH_LL_ResetPort(USBH_HandleTypeDef*) {
  return HAL_HCD_ResetPort(&hhcd) == HAL_OK ? USBH_OK : USBH_FAIL;
}

uint8_t USBH_LL_GetSpeed(USBH_HandleTypeDef*) {
  switch (HAL_HCD_GetCurrentSpeed(&hhcd)) {
    case HCD_SPEED_HIGH: return USBH_SPEED_HIGH;
    case HCD_SPEED_LOW: return USBH_SPEED_LOW;
    default: return USBH_SPEED_FULL;
  }
}

// The switch needs 200 ms to bring VBUS up (or down).
USBH_StatusTypeDef USBH_LL_DriverVBUS(USBH_HandleTypeDef*, uint8_t state) {
  HAL_GPIO_WritePin(GPIOD, GPIO_PIN_5, state != 0 ? GPIO_PIN_RESET : GPIO_PIN_SET);
  HAL_Delay(200);
  return USBH_OK;
}

void USBH_Delay(uint32_t Delay) { osDelay(Delay); }

}  // extern "C"

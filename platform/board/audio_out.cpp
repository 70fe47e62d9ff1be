// Board support of the audio output: SAI2 block A (master transmitter, 16-bit slots, four slots
// a frame) fed by DMA2 stream 4 (channel 3, memory to peripheral, half-words, circular, half and
// complete interrupts), the pins of SAI2 on port I, and the WM8994's playback path from AIF1
// DAC1 to the speaker and headphone outputs.
//
// The codec bring-up is this board's own: reset, then the outputs' power, the DAC1 path and its
// mixers, the AIF1 clock and format, the digital and output volumes, all over the control bus
// (AUDIO_IO_Write); the playback path stays soft-muted (the reset state) until the application
// un-mutes it. Register names are the WM8994's own; the codec model (codec.cpp, codec_path.cpp)
// interprets only the registers its notes list.
#include "simhal.h"
#include "stm32746g_discovery_audio.h"

extern "C" {

SAI_HandleTypeDef haudio_out_sai;
SAI_HandleTypeDef haudio_in_sai;

}  // extern "C"

namespace {

DMA_HandleTypeDef hdmaSaiTx;

constexpr uint8_t kGpioAf10Sai2 = 0x0A;

// WM8994 registers written here.
constexpr uint16_t kPowerManagement1 = 0x0001;  // bias, VMID, HPOUT1 L/R, SPKOUT L/R
constexpr uint16_t kPowerManagement3 = 0x0003;  // speaker volume stages
constexpr uint16_t kPowerManagement5 = 0x0005;  // AIF1 DAC1 L/R, DAC1 L/R
constexpr uint16_t kHpout1LeftVolume = 0x001C;
constexpr uint16_t kHpout1RightVolume = 0x001D;
constexpr uint16_t kSpeakerLeftVolume = 0x0026;
constexpr uint16_t kSpeakerRightVolume = 0x0027;
constexpr uint16_t kSpeakerMixer = 0x0036;
constexpr uint16_t kAif1Clocking1 = 0x0200;
constexpr uint16_t kClocking1 = 0x0208;
constexpr uint16_t kAif1Rate = 0x0210;
constexpr uint16_t kAif1Control1 = 0x0300;
constexpr uint16_t kDac1LeftMixerRouting = 0x0601;
constexpr uint16_t kDac1RightMixerRouting = 0x0602;
constexpr uint16_t kDac1LeftVolume = 0x0610;
constexpr uint16_t kDac1RightVolume = 0x0611;

constexpr uint16_t kOutputVolumeUpdate = 0x0140;  // update and un-mute bits of an output level

void write(uint16_t reg, uint16_t value) {
  AUDIO_IO_Write(static_cast<uint8_t>(AUDIO_I2C_ADDRESS), reg, value);
}

// AIF1 sample-rate code (bits 7..4) with the clock ratio 256 (bits 3..0).
uint16_t aif1RateCode(uint32_t freq) {
  switch (freq) {
    case AUDIO_FREQUENCY_8K: return 0x0003;
    case AUDIO_FREQUENCY_11K: return 0x0013;
    case AUDIO_FREQUENCY_16K: return 0x0033;
    case AUDIO_FREQUENCY_22K: return 0x0043;
    case AUDIO_FREQUENCY_32K: return 0x0063;
    case AUDIO_FREQUENCY_44K: return 0x0073;
    case AUDIO_FREQUENCY_96K: return 0x00A3;
    default: return 0x0083;  // 48 kHz
  }
}

// A percentage of the output range as the codec's 6-bit level.
uint16_t levelOf(uint8_t percent) {
  const unsigned p = percent > 100 ? 100 : percent;
  return static_cast<uint16_t>(p * 63 / 100);
}

void codecInit(uint16_t outputDevice, uint8_t volume, uint32_t freq) {
  wm8994_Reset(AUDIO_I2C_ADDRESS);
  const bool speaker = outputDevice == OUTPUT_DEVICE_SPEAKER ||
                       outputDevice == OUTPUT_DEVICE_BOTH || outputDevice == OUTPUT_DEVICE_AUTO;
  // Bias and VMID, the headphone outputs always, the speaker outputs when asked for.
  write(kPowerManagement1, static_cast<uint16_t>(0x0303 | (speaker ? 0x3000 : 0)));
  write(kPowerManagement3, speaker ? 0x0300 : 0x0000);
  write(kPowerManagement5, 0x0303);
  write(kDac1LeftMixerRouting, 0x0001);
  write(kDac1RightMixerRouting, 0x0001);
  write(kSpeakerMixer, 0x0003);
  write(kAif1Rate, aif1RateCode(freq));
  write(kAif1Control1, 0x0010);  // 16-bit words, I2S-style frames
  write(kAif1Clocking1, 0x0001);
  write(kClocking1, 0x000A);
  write(kDac1LeftVolume, 0x01C0);  // 0 dB
  write(kDac1RightVolume, 0x01C0);
  const uint16_t level = levelOf(volume);
  write(kHpout1LeftVolume, kOutputVolumeUpdate | level);
  write(kHpout1RightVolume, kOutputVolumeUpdate | level);
  write(kSpeakerLeftVolume, kOutputVolumeUpdate | level);
  write(kSpeakerRightVolume, kOutputVolumeUpdate | level);
}

void saiInit(uint32_t freq, uint32_t slots) {
  SAI_HandleTypeDef& h = haudio_out_sai;
  __HAL_SAI_DISABLE(&h);
  h.Instance = SAI2_Block_A;
  h.Init.AudioFrequency = freq;
  h.Init.AudioMode = SAI_MODEMASTER_TX;
  h.Init.NoDivider = SAI_MASTERDIVIDER_ENABLE;
  h.Init.Protocol = SAI_FREE_PROTOCOL;
  h.Init.DataSize = SAI_DATASIZE_16;
  h.Init.FirstBit = SAI_FIRSTBIT_MSB;
  h.Init.ClockStrobing = SAI_CLOCKSTROBING_RISINGEDGE;
  h.Init.Synchro = SAI_ASYNCHRONOUS;
  h.Init.OutputDrive = SAI_OUTPUTDRIVE_ENABLE;
  h.Init.FIFOThreshold = SAI_FIFOTHRESHOLD_1QF;
  h.FrameInit.FrameLength = 64;
  h.FrameInit.ActiveFrameLength = 32;
  h.FrameInit.FSDefinition = SAI_FS_CHANNEL_IDENTIFICATION;
  h.FrameInit.FSPolarity = SAI_FS_ACTIVE_LOW;
  h.FrameInit.FSOffset = SAI_FS_BEFOREFIRSTBIT;
  h.SlotInit.FirstBitOffset = 0;
  h.SlotInit.SlotSize = SAI_SLOTSIZE_DATASIZE;
  h.SlotInit.SlotNumber = 4;
  h.SlotInit.SlotActive = slots;
  (void)HAL_SAI_Init(&h);
  __HAL_SAI_ENABLE(&h);
}

// The audio clock for `freq` (the SAI PLL; its exact settings are the clock tree's business).
void clockConfig(uint32_t freq) {
  const bool family44 =
      freq == AUDIO_FREQUENCY_11K || freq == AUDIO_FREQUENCY_22K || freq == AUDIO_FREQUENCY_44K;
  simhal::record("BSP_AUDIO_OUT_ClockConfig", "freq=%u pll=%s", freq,
                 family44 ? "429 MHz /2 /19" : "344 MHz /7 /1");
}

void mspInit() {
  __HAL_RCC_SAI2_CLK_ENABLE();
  __HAL_RCC_GPIOI_CLK_ENABLE();
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_4 | GPIO_PIN_5 | GPIO_PIN_6 | GPIO_PIN_7;  // MCLK, SCK, SD, FS of block A
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_HIGH;
  gpio.Alternate = kGpioAf10Sai2;
  HAL_GPIO_Init(GPIOI, &gpio);
  __HAL_RCC_DMA2_CLK_ENABLE();
  hdmaSaiTx.Instance = DMA2_Stream4;
  hdmaSaiTx.Init.Channel = DMA_CHANNEL_3;
  hdmaSaiTx.Init.Direction = DMA_MEMORY_TO_PERIPH;
  hdmaSaiTx.Init.PeriphInc = DMA_PINC_DISABLE;
  hdmaSaiTx.Init.MemInc = DMA_MINC_ENABLE;
  hdmaSaiTx.Init.PeriphDataAlignment = DMA_PDATAALIGN_HALFWORD;
  hdmaSaiTx.Init.MemDataAlignment = DMA_MDATAALIGN_HALFWORD;
  hdmaSaiTx.Init.Mode = DMA_CIRCULAR;
  hdmaSaiTx.Init.Priority = DMA_PRIORITY_HIGH;
  hdmaSaiTx.Init.FIFOMode = DMA_FIFOMODE_ENABLE;
  hdmaSaiTx.Init.FIFOThreshold = DMA_FIFO_THRESHOLD_FULL;
  hdmaSaiTx.Init.MemBurst = DMA_MBURST_SINGLE;
  hdmaSaiTx.Init.PeriphBurst = DMA_PBURST_SINGLE;
  __HAL_LINKDMA(&haudio_out_sai, hdmatx, hdmaSaiTx);
  (void)HAL_DMA_DeInit(&hdmaSaiTx);
  (void)HAL_DMA_Init(&hdmaSaiTx);
  HAL_NVIC_SetPriority(DMA2_Stream4_IRQn, AUDIO_OUT_IRQ_PREPRIO, 0);
  HAL_NVIC_EnableIRQ(DMA2_Stream4_IRQn);
}

}  // namespace

extern "C" {

__attribute__((weak)) void BSP_AUDIO_OUT_TransferComplete_CallBack(void) {}
__attribute__((weak)) void BSP_AUDIO_OUT_HalfTransfer_CallBack(void) {}
__attribute__((weak)) void BSP_AUDIO_OUT_Error_CallBack(void) {}

// The SAI driver's callbacks, from the DMA interrupt, to the application's.
void HAL_SAI_TxCpltCallback(SAI_HandleTypeDef*) { BSP_AUDIO_OUT_TransferComplete_CallBack(); }
void HAL_SAI_TxHalfCpltCallback(SAI_HandleTypeDef*) { BSP_AUDIO_OUT_HalfTransfer_CallBack(); }
void HAL_SAI_ErrorCallback(SAI_HandleTypeDef*) { BSP_AUDIO_OUT_Error_CallBack(); }

uint8_t BSP_AUDIO_OUT_Init(uint16_t OutputDevice, uint8_t Volume, uint32_t AudioFreq) {
  simhal::record("BSP_AUDIO_OUT_Init", "device=%u volume=%u freq=%u", OutputDevice, Volume,
                 AudioFreq);
  if (HAL_SAI_GetState(&haudio_out_sai) != HAL_SAI_STATE_RESET)
    (void)HAL_SAI_DMAStop(&haudio_out_sai);
  clockConfig(AudioFreq);
  haudio_out_sai.Instance = SAI2_Block_A;
  if (HAL_SAI_GetState(&haudio_out_sai) == HAL_SAI_STATE_RESET) mspInit();
  saiInit(AudioFreq, CODEC_AUDIOFRAME_SLOT_0123);
  if (wm8994_ReadID(AUDIO_I2C_ADDRESS) != WM8994_ID) return AUDIO_ERROR;
  codecInit(OutputDevice, Volume, AudioFreq);
  return AUDIO_OK;
}

uint8_t BSP_AUDIO_OUT_Play(uint16_t* pBuffer, uint32_t Size) {
  // Size in bytes; the DMA counts half-words (at most 65,535).
  uint32_t items = Size / 2;
  if (items > 0xFFFF) items = 0xFFFF;
  return HAL_SAI_Transmit_DMA(&haudio_out_sai, reinterpret_cast<uint8_t*>(pBuffer),
                              static_cast<uint16_t>(items)) == HAL_OK
             ? AUDIO_OK
             : AUDIO_ERROR;
}

uint8_t BSP_AUDIO_OUT_Stop(uint32_t Option) {
  (void)HAL_SAI_DMAStop(&haudio_out_sai);
  wm8994_SetMute(AUDIO_I2C_ADDRESS, AUDIO_MUTE_ON);
  if (Option == CODEC_PDWN_HW) write(kPowerManagement1, 0x0000);
  return AUDIO_OK;
}

uint8_t BSP_AUDIO_OUT_SetMute(uint32_t Cmd) {
  wm8994_SetMute(AUDIO_I2C_ADDRESS, Cmd);
  return AUDIO_OK;
}

uint8_t BSP_AUDIO_OUT_SetVolume(uint8_t Volume) {
  const uint16_t level = levelOf(Volume);
  write(kSpeakerLeftVolume, kOutputVolumeUpdate | level);
  write(kSpeakerRightVolume, kOutputVolumeUpdate | level);
  write(kHpout1LeftVolume, kOutputVolumeUpdate | level);
  write(kHpout1RightVolume, kOutputVolumeUpdate | level);
  return AUDIO_OK;
}

void BSP_AUDIO_OUT_SetFrequency(uint32_t AudioFreq) {
  clockConfig(AudioFreq);
  saiInit(AudioFreq, haudio_out_sai.SlotInit.SlotActive);
}

void BSP_AUDIO_OUT_SetAudioFrameSlot(uint32_t AudioFrameSlot) {
  __HAL_SAI_DISABLE(&haudio_out_sai);
  haudio_out_sai.SlotInit.SlotActive = AudioFrameSlot;
  (void)HAL_SAI_Init(&haudio_out_sai);
  __HAL_SAI_ENABLE(&haudio_out_sai);
}

}  // extern "C"

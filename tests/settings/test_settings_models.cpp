// The board models behind the settings: the serial SRAM chip on SPI2 with its modes and
// timing, and the codec's register file.
#include <gtest/gtest.h>

#include <vector>

#include "codec.h"
#include "settings_board.h"
#include "simi2c.h"
#include "simkernel.h"
#include "stm32746g_discovery_audio.h"
#include "wiring.h"

namespace {

using boardtest::note;
using settingstest::busLog;

// The bus as the firmware's driver sets it up, without the driver.
SPI_HandleTypeDef& bus() {
  static SPI_HandleTypeDef h = {};
  if (h.State == HAL_SPI_STATE_READY) return h;
  GPIO_InitTypeDef cs = {};
  cs.Pin = GPIO_PIN_8;
  cs.Mode = GPIO_MODE_OUTPUT_PP;
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
  HAL_GPIO_Init(GPIOA, &cs);
  h.Instance = SPI2;
  h.Init.Mode = SPI_MODE_MASTER;
  h.Init.DataSize = SPI_DATASIZE_8BIT;
  h.Init.NSS = SPI_NSS_SOFT;
  h.Init.BaudRatePrescaler = SPI_BAUDRATEPRESCALER_4;
  if (HAL_SPI_Init(&h) != HAL_OK) note("SPI set-up refused");
  return h;
}

// One chip-select cycle: `out` is sent, what came back is returned.
std::vector<uint8_t> transfer(std::vector<uint8_t> out) {
  std::vector<uint8_t> in(out.size());
  SPI_HandleTypeDef& spi = bus();
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_RESET);
  if (HAL_SPI_TransmitReceive(&spi, out.data(), in.data(), out.size(), 5000) != HAL_OK) {
    note("transfer refused");
  }
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
  return in;
}

std::string hex(const std::vector<uint8_t>& bytes, size_t from = 0) {
  std::string s;
  char b[4];
  for (size_t i = from; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, "%02X", bytes[i]);
    s += (s.empty() ? "" : " ") + std::string(b);
  }
  return s;
}

std::string chip(uint32_t address, size_t n) {
  std::vector<uint8_t> bytes(n);
  simsram::read(address, bytes.data(), n);
  return hex(bytes);
}

boardtest::Result inMain(std::function<void()> body) {
  boardtest::Options o;
  o.duration = simk::kS;
  return boardtest::run(
      [&] {
        settingstest::boardClocks();
        body();
        simk::endRun(0, "");
      },
      o);
}

TEST(SerialSram, ModesMoveTheAddressAsTheChipDoes) {
  auto r = inMain([] {
    note("power-up mode " + hex(transfer({0x05, 0}), 1));
    // Sequential: through the array, wrapping at its end; the address's upper bits are ignored.
    transfer({0x02, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4});
    note("sequential " + chip(0x1FFFE, 2) + " | " + chip(0, 2));
    note("read back " + hex(transfer({0x03, 0x01, 0xFF, 0xFE, 0, 0, 0, 0}), 4));
    // Page: within the 32-byte page.
    transfer({0x01, 0x80});
    note("page mode " + hex(transfer({0x05, 0}), 1));
    transfer({0x02, 0x00, 0x01, 0x3E, 5, 6, 7});
    note("page " + chip(0x13E, 2) + " | " + chip(0x120, 2) + " | next page " + chip(0x140, 1));
    // Byte: one data byte per transfer.
    transfer({0x01, 0x00});
    transfer({0x02, 0x00, 0x02, 0x00, 8, 9});
    note("byte " + chip(0x200, 2) + " read " + hex(transfer({0x03, 0x00, 0x02, 0x00, 0, 0}), 4));
    // Another instruction, or chip select high, gives nothing.
    note("unknown " + hex(transfer({0x3B, 0, 0, 0, 0}), 1));
  });
  EXPECT_EQ(r.notes,
            "power-up mode 40\n"
            "sequential 01 02 | 03 04\n"
            "read back 01 02 03 04\n"
            "page mode 80\n"
            "page 05 06 | 07 00 | next page 00\n"
            "byte 08 00 read 08 FF\n"
            "unknown FF FF FF FF\n");
  // Data phases only, counted in bytes.
  EXPECT_EQ(busLog(r.trace),
            "sram write 4\nsram read 4\nsram write 3\nsram write 2\nsram read 2\n");
}

TEST(SerialSram, TheRecordTakesItsTimeAtTheSpiClock) {
  auto r = inMain([] {
    std::vector<uint8_t> record(16660);
    uint8_t header[4] = {0x02, 0, 0, 0};
    bus();
    const simk::Time t0 = simk::now();
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_RESET);
    HAL_SPI_Transmit(&bus(), header, 4, 5000);
    HAL_SPI_Transmit(&bus(), record.data(), record.size(), 5000);
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
    const simk::Time t1 = simk::now();
    header[0] = 0x03;
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_RESET);
    HAL_SPI_Transmit(&bus(), header, 4, 5000);
    HAL_SPI_Receive(&bus(), record.data(), record.size(), 5000);
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
    const simk::Time t2 = simk::now();
    note("write " + std::to_string((t1 - t0) / simk::kUs) + " us, read " +
         std::to_string((t2 - t1) / simk::kUs) + " us");
  });
  // 12.5 MHz: 0.64 us a byte back to back; reads wait for each byte (10 bit times).
  EXPECT_EQ(r.notes, "write 10664 us, read 13330 us\n");
}

TEST(Codec, ResetValuesChipIdAndResetByRegisterZero) {
  auto r = inMain([] {
    note("id " + std::to_string(wm8994_ReadID(AUDIO_I2C_ADDRESS)) + " muted " +
         std::to_string(simcodec::muted()));
    wm8994_SetMute(AUDIO_I2C_ADDRESS, AUDIO_MUTE_OFF);
    AUDIO_IO_Write(AUDIO_I2C_ADDRESS, 0x0480, 0x1234);
    AUDIO_IO_Write(0x36, 0x0480, 0x5678);  // nobody there
    note("eq " + std::to_string(simcodec::reg(0x0480)) + " muted " +
         std::to_string(simcodec::muted()));
    const simk::Time t0 = simk::now();
    wm8994_Reset(AUDIO_I2C_ADDRESS);
    note("a write takes " + std::to_string((simk::now() - t0) / simk::kUs) + " us");
    note("after reset eq " + std::to_string(simcodec::reg(0x0480)) + " " +
         std::to_string(simcodec::reg(0x0481)) + " volume " +
         std::to_string(simcodec::reg(0x0026)) + " boost " + std::to_string(simcodec::reg(0x0025)) +
         " 3d " + std::to_string(simcodec::reg(0x0421)) + " muted " +
         std::to_string(simcodec::muted()) + ", writes " + std::to_string(simcodec::writeCount()));
  });
  EXPECT_EQ(r.notes,
            "id 35220 muted 1\n"
            "eq 4660 muted 0\n"
            "a write takes 470 us\n"
            "after reset eq 25368 25344 volume 121 boost 320 3d 16 muted 1, writes 4\n");
  EXPECT_EQ(busLog(r.trace),
            "codec 0420=0010\nmute 0\ncodec 0422=0010\ncodec 0480=1234\ncodec 0000=0000\n"
            "mute 1\n");
}

// The codec's control bus is shared (the touch controller joins it): each device answers at
// its own address, and a transfer started while another one is on the bus fails instead of
// interleaving with it.
TEST(ControlBus, DevicesAnswerAtTheirAddressesAndTransfersNeverInterleave) {
  struct Other : simhal::I2cDevice {
    void write(uint16_t reg, const uint8_t* data, size_t n) override {
      note("other: write " + std::to_string(reg) + " " + std::to_string(n) + " at " +
           std::to_string(simk::now() / simk::kUs) + " us " + std::to_string(data[0]));
    }
    void read(uint16_t reg, uint8_t* out, size_t n) override {
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(reg + i);
    }
  };
  auto r = inMain([] {
    static Other other;
    simhal::attachI2cDevice(simboard::kControlBus, 0x70, &other);
    // Half-way through a codec write, an interrupt wants the other device.
    simk::schedule(200 * simk::kUs, 0, [] {
      uint8_t b[2];
      const auto res = simhal::i2cMemRead(simboard::kControlBus, 0x70, 1, 1, b, 2);
      note(std::string("interrupt: ") + (res == simhal::I2cResult::Busy ? "busy" : "sent"));
    });
    AUDIO_IO_Write(AUDIO_I2C_ADDRESS, 0x0480, 0x1234);
    const uint8_t one = 7;
    simhal::i2cMemWrite(simboard::kControlBus, 0x70, 0x42, 1, &one, 1);
    uint8_t b[2];
    simhal::i2cMemRead(simboard::kControlBus, 0x70, 0x10, 1, b, 2);
    const simk::Time t0 = simk::now();
    const uint16_t nobody = AUDIO_IO_Read(0x72, 0);
    note("read " + std::to_string(b[0]) + "," + std::to_string(b[1]) +
         "; nobody at 0x72: " + std::to_string(nobody) + " after " +
         std::to_string((simk::now() - t0) / simk::kUs) + " us");
  });
  // 470 us for the codec's write; the other device's write (start, 3 bytes, stop) takes 290 us.
  EXPECT_EQ(r.notes,
            "interrupt: busy\nother: write 66 1 at 760 us 7\n"
            "read 16,17; nobody at 0x72: 65535 after 110 us\n");
  EXPECT_EQ(busLog(r.trace), "codec 0480=1234\n");
  EXPECT_NE(r.trace.find(R"("ev":"i2c","bus":3,"addr":112,"error":"busy")"), std::string::npos);
}

}  // namespace

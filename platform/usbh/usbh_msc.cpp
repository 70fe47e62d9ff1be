// Mass-storage class: one logical unit; its start-up (inquiry, test unit ready, read
// capacity, each a bulk-only command), then reads of blocks. A read of a unit that is not
// ready, or of a stick pulled out during the transfer, fails with the sense code "medium not
// present"; a read outside the medium with "logical block address out of range"; a block the
// stick cannot read with a medium error, "unrecovered read error". A command the stick does
// not answer is given up after kCommandTimeout (the caller polls meanwhile, as for every
// transfer) and fails as an aborted command; the stick answers the next one.
#include "usbh_msc.h"

#include <atomic>

#include "stick.h"
#include "usbh_msc_internal.h"

namespace {

constexpr uint8_t kAscOutOfRange = 0x21;
constexpr uint8_t kAscUnrecoveredReadError = 0x11;
constexpr uint8_t kSenseMediumError = 0x03;
constexpr uint8_t kSenseAbortedCommand = 0x0B;
constexpr simk::Time kCommandTimeout = 5 * simk::kS;

struct Unit {
  std::atomic<bool> ready{false};
  simusb::Medium medium;
  MSC_LUNTypeDef info{};
};

Unit& unit() {
  static Unit u;
  return u;
}

void setSense(uint8_t key, uint8_t asc) {
  unit().info.sense.key = key;
  unit().info.sense.asc = asc;
  unit().info.sense.ascq = 0;
}

}  // namespace

namespace simusbh {

USBH_StatusTypeDef mscInit(USBH_HandleTypeDef*) {
  unit().ready = false;
  unit().info = MSC_LUNTypeDef{};
  return USBH_OK;
}

USBH_StatusTypeDef mscDeInit(USBH_HandleTypeDef*) {
  unit().ready = false;
  setSense(0x02, SCSI_ASC_MEDIUM_NOT_PRESENT);
  return USBH_OK;
}

// Get Max LUN: one control transfer.
USBH_StatusTypeDef mscRequests(USBH_HandleTypeDef* phost) {
  USBH_Delay(static_cast<uint32_t>(simusb::timing().controlTransfer / simk::kMs));
  return phost->device.is_disconnected != 0 ? USBH_FAIL : USBH_OK;
}

// Inquiry, test unit ready, read capacity: three commands, then the unit is ready.
USBH_StatusTypeDef mscBackground(USBH_HandleTypeDef* phost) {
  for (int i = 0; i < 3; ++i) {
    USBH_Delay(static_cast<uint32_t>(simusb::timing().perCommand / simk::kMs));
    if (phost->device.is_disconnected != 0) return USBH_FAIL;
  }
  simusb::Medium medium;
  if (!simusb::connected(&medium)) return USBH_FAIL;
  Unit& u = unit();
  u.medium = medium;
  u.info.capacity.block_nbr = medium.blockCount;
  u.info.capacity.block_size = static_cast<uint16_t>(medium.blockSize);
  u.info.error = MSC_OK;
  setSense(0, 0);
  u.ready = true;
  return USBH_OK;
}

}  // namespace simusbh

extern "C" {

uint8_t USBH_MSC_IsReady(USBH_HandleTypeDef* phost) {
  return phost->device.is_connected != 0 && unit().ready ? 1 : 0;
}

uint8_t USBH_MSC_GetMaxLUN(USBH_HandleTypeDef*) { return 1; }

uint8_t USBH_MSC_UnitIsReady(USBH_HandleTypeDef* phost, uint8_t lun) {
  return lun == 0 && USBH_MSC_IsReady(phost) != 0 ? 1 : 0;
}

USBH_StatusTypeDef USBH_MSC_GetLUNInfo(USBH_HandleTypeDef*, uint8_t lun, MSC_LUNTypeDef* info) {
  if (lun != 0 || info == nullptr) return USBH_FAIL;
  *info = unit().info;
  return USBH_OK;
}

USBH_StatusTypeDef USBH_MSC_Read(USBH_HandleTypeDef* phost, uint8_t lun, uint32_t address,
                                 uint8_t* pbuf, uint32_t length) {
  Unit& u = unit();
  if (lun != 0 || USBH_MSC_UnitIsReady(phost, lun) == 0) {
    setSense(0x02, SCSI_ASC_MEDIUM_NOT_PRESENT);
    u.info.error = MSC_NOT_READY;
    return USBH_FAIL;
  }
  if (std::uint64_t{address} + length > u.medium.blockCount) {
    setSense(0x05, kAscOutOfRange);
    u.info.error = MSC_ERROR;
    return USBH_FAIL;
  }
  switch (simusb::readBlocks(u.medium.generation, address, length, pbuf, kCommandTimeout)) {
    case simusb::ReadResult::Ok: return USBH_OK;
    case simusb::ReadResult::MediumError:
      setSense(kSenseMediumError, kAscUnrecoveredReadError);
      u.info.error = MSC_ERROR;
      return USBH_FAIL;
    case simusb::ReadResult::NoAnswer:
      setSense(kSenseAbortedCommand, 0);
      u.info.error = MSC_ERROR;
      return USBH_FAIL;
    case simusb::ReadResult::Gone: break;
  }
  setSense(0x02, SCSI_ASC_MEDIUM_NOT_PRESENT);
  u.info.error = MSC_NOT_READY;
  return USBH_FAIL;
}

USBH_StatusTypeDef USBH_MSC_Write(USBH_HandleTypeDef*, uint8_t, uint32_t, uint8_t*, uint32_t) {
  // The player never writes to the stick; the simulated stick is read-only.
  setSense(0x07, SCSI_ASC_WRITE_PROTECTED);
  unit().info.error = MSC_ERROR;
  return USBH_FAIL;
}

}  // extern "C"

#include "tags.h"

#include <cstring>

uint32_t id3v2TagEnd(const uint8_t* head, size_t length) {
  if (length < ID3V2_HEADER_BYTES || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  const uint32_t size = (static_cast<uint32_t>(head[6] & 0x7F) << 21) |
                        (static_cast<uint32_t>(head[7] & 0x7F) << 14) |
                        (static_cast<uint32_t>(head[8] & 0x7F) << 7) | (head[9] & 0x7Fu);
  return size + ID3V2_HEADER_BYTES;  // at most 2^28 + 9: no overflow
}

uint32_t audioEndBeforeTags(const uint8_t* tail, uint32_t fileSize, uint32_t audioStart) {
  uint32_t end = fileSize;
  const uint8_t* footer = tail + TAG_TAIL_BYTES - 32;
  if (std::memcmp(tail + TAG_TAIL_BYTES - 128, "TAG", 3) == 0) {
    end -= 128;
    footer = tail;
  }
  if (std::memcmp(footer, "APETAGEX", 8) == 0) {
    auto le32 = [footer](int at) {
      return static_cast<uint32_t>(footer[at]) | static_cast<uint32_t>(footer[at + 1]) << 8 |
             static_cast<uint32_t>(footer[at + 2]) << 16 |
             static_cast<uint32_t>(footer[at + 3]) << 24;
    };
    // The size counts the items and the footer; a header (flag bit 31) comes before them.
    const uint64_t size = uint64_t{le32(12)} + ((le32(20) & 0x80000000u) != 0 ? 32 : 0);
    if (size <= end - audioStart) end -= static_cast<uint32_t>(size);
  }
  return end;
}

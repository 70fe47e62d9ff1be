// The tags around a track's audio, as the player finds them: an ID3v2 tag at the start of the
// file (skipped) and ID3v1 and APEv2 tags at its end (not read). Input: a whole file. Whatever
// its bytes, the part handed to the decoder starts at the tag's end (or 0) and ends within the
// file, after that start; the audio ends before the tags only by their own sizes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mp3/tags.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  const auto fileSize = static_cast<uint32_t>(size);
  const uint32_t start = id3v2TagEnd(data, size);
  if (start != 0) {
    check(size >= ID3V2_HEADER_BYTES && std::memcmp(data, "ID3", 3) == 0);
    check(start >= ID3V2_HEADER_BYTES && start <= (1u << 28) + ID3V2_HEADER_BYTES - 1);
  } else {
    check(size < ID3V2_HEADER_BYTES || std::memcmp(data, "ID3", 3) != 0);
  }
  // The player looks at the tail only when it lies after the audio's start.
  if (uint64_t{start} + TAG_TAIL_BYTES > fileSize) return 0;
  const uint8_t* tail = data + size - TAG_TAIL_BYTES;
  const uint32_t end = audioEndBeforeTags(tail, fileSize, start);
  check(end >= start && end <= fileSize);
  const bool id3v1 = std::memcmp(tail + TAG_TAIL_BYTES - 128, "TAG", 3) == 0;
  const uint8_t* footer = id3v1 ? tail : tail + TAG_TAIL_BYTES - 32;
  const bool ape = std::memcmp(footer, "APETAGEX", 8) == 0;
  if (!id3v1 && !ape) check(end == fileSize);
  if (id3v1 && !ape) check(end == fileSize - 128);
  if (ape) check(end <= fileSize - (id3v1 ? 128 : 0));
  return 0;
}

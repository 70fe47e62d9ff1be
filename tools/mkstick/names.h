// Names on a FAT stick: checking long names, the short (8.3) names a copy tool gives them,
// and the directory entries (long-name entries followed by the short entry) that hold them.
//
// Short names follow the Windows rules: the long name is upper-cased and converted to code
// page 850; characters that have no place in a short name become '_'; spaces and all but
// the last dot are dropped; at most 8 + 3 characters are kept. A name that lost anything on
// the way, or does not fit 8.3, gets a numeric tail "~N" (N counting up from 1 as mtools
// does). A name that fits 8.3 and reads back unchanged from its short entry gets no long
// entry; one whose base or extension is plain ASCII in lower case reads back through the
// case flags 0x08 / 0x10 as Windows writes them; any other spelling gets long entries.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mkstick {

constexpr std::uint8_t ATTR_READONLY = 0x01;
constexpr std::uint8_t ATTR_HIDDEN = 0x02;
constexpr std::uint8_t ATTR_SYSTEM = 0x04;
constexpr std::uint8_t ATTR_VOLUME = 0x08;
constexpr std::uint8_t ATTR_DIRECTORY = 0x10;
constexpr std::uint8_t ATTR_ARCHIVE = 0x20;
constexpr std::uint8_t ATTR_LONG_NAME = 0x0F;

constexpr std::uint8_t CASE_LOWER_BASE = 0x08;
constexpr std::uint8_t CASE_LOWER_EXT = 0x10;

constexpr std::size_t DIR_ENTRY_SIZE = 32;
constexpr std::size_t MAX_LONG_NAME = 255;  // UTF-16 units

// The fixed time stamp of every entry: 2024-01-01 12:00:00.
constexpr std::uint16_t FIXED_DATE = ((2024 - 1980) << 9) | (1 << 5) | 1;
constexpr std::uint16_t FIXED_TIME = 12 << 11;

// Decodes strict UTF-8 (no overlong forms, no surrogates); false on a fault.
bool decodeUtf8(std::string_view text, std::u32string* out);
std::string encodeUtf8(std::u32string_view text);
std::u16string toUtf16(std::u32string_view text);

// Simple upper-case mapping for Latin, Greek and Cyrillic letters; others unchanged.
char32_t toUpper(char32_t c);
// The key under which two names in one folder count as the same (case ignored).
std::u32string foldKey(std::u32string_view name);

// Code page 850: the byte for a character, or -1 when the page has none.
int toCp850(char32_t c);
char32_t fromCp850(std::uint8_t byte);

// Empty if `utf8` may name a file or folder on the stick; otherwise what is wrong with it.
std::string checkLongName(std::string_view utf8);

// A valid volume label ("" = none): up to 11 characters of code page 850, stored upper-case.
// Returns an error text, or "" with the 11 padded bytes in `out`.
std::string makeLabel(std::string_view utf8, std::array<std::uint8_t, 11>* out);

struct ShortName {
  std::array<std::uint8_t, 11> bytes{};  // as stored (0xE5 as first byte already 0x05)
  std::uint8_t caseFlags = 0;
  bool longEntries = false;  // the name needs long-name entries
};

// Gives every name of one folder (in entry order) its short name. The names must be valid
// and distinct ignoring case. Names that fit 8.3 keep their own short name; the others get
// tails that avoid every short name of the folder. Returns an error text, or "".
std::string assignShortNames(const std::vector<std::u32string>& names, std::vector<ShortName>* out);

std::uint8_t lfnChecksum(const std::array<std::uint8_t, 11>& shortName);

// Number of 32-byte entries the name takes (long entries + the short entry).
std::size_t entrySlots(const std::u32string& name, const ShortName& sn);

struct DirEntryData {
  std::uint8_t attributes = 0;
  std::uint32_t firstCluster = 0;
  std::uint32_t size = 0;
};

// Appends the entries for one name: its long entries, last part first, then the short entry.
void appendEntries(const std::u32string& name, const ShortName& sn, const DirEntryData& data,
                   std::vector<std::uint8_t>* out);
// Appends a short entry with the given 11 name bytes (".", "..", the volume label).
void appendShortEntry(const std::array<std::uint8_t, 11>& name, std::uint8_t caseFlags,
                      const DirEntryData& data, std::vector<std::uint8_t>* out);

// `text` in double quotes for a message: control characters, quotes, backslashes and bytes
// of invalid UTF-8 written as escapes, so that a message stays one readable line.
std::string quoted(std::string_view text);

// The 11-byte short name as "NAME.EXT" in code page 850 (for messages and tests).
std::string shortNameText(const std::array<std::uint8_t, 11>& bytes);

}  // namespace mkstick

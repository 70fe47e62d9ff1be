// Names on the stick as the media lists see them: the one order of every list, the
// case-insensitive comparison, file extensions, and the names that are never listed.
//
// Names are long names in code page 850. Only the ASCII letters A-Z are folded to lower case;
// every other byte compares by its unsigned value, so names with letters above 127 sort after
// the ASCII names with the same beginning.
#pragma once

#include <string>

// Case-insensitive three-way comparison of two NUL-terminated names: 0 when equal ignoring
// ASCII case, negative when a comes first, positive when b does.
int strcicmp(const char* a, const char* b);

// The extension of a file name (the text after its last '.'), pointing into the name; the
// empty string when there is no dot, or the only dot starts the name ('.mp3' has none).
const char* get_filename_ext(const char* filename);

// The order of every list: true when a sorts before b. Byte by byte with A-Z folded; when
// one name is the beginning of the other, the shorter comes first.
bool nameSortsBefore(const std::string& a, const std::string& b);

// "Android" and "LOST.DIR", which phones and file-system checkers leave on sticks, are never
// listed (exact, case-sensitive).
bool isNeverListed(const std::string& name);

// A file the player can play: its extension is mp3 in any case.
bool isAudioFile(const char* filename);

// A title picture's name, as the pattern "*.bmp" matches it: ending in .bmp in any case
// ('.bmp' itself included).
bool isPictureName(const char* filename);

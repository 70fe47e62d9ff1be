// The stick manifest: one entry a line, in the order the entries appear in their folders.
//
//   # a comment; blank lines are ignored
//   dir  "Tiere"                         a folder (quotes needed only for spaces, '#', '=')
//   dir  "Tiere/Hund" hidden             attributes: hidden, system, readonly
//   file "Tiere/title.bmp" src=pictures/tiere.bmp   bytes of a host file (relative to the
//                                                    manifest's folder)
//   file "Tiere/Hund/b.mp3" size=70000   deterministic filler bytes (K, M, G: binary units)
//   file "notes.txt" text="hello\n"      the given bytes
//   file "empty.txt"                     an empty file
//
// Paths use '/' between names and start at the stick's root (a leading '/' is allowed).
// Folders on the way that are not listed yet are made when first mentioned, in that order;
// to give a folder attributes, list it before anything inside it. Quoted text may use the
// escapes \" \\ \n \r \t and \xHH.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tree.h"

namespace mkstick {

struct ManifestError {
  int line = 0;
  std::string message;
};

// Reads the manifest into `tree` (which must be fresh). Source files are not looked at.
bool parseManifest(std::string_view text, Tree* tree, ManifestError* error);

// A byte count: digits, optionally followed by K, M or G (KiB, MiB, GiB; "KiB" etc. also
// accepted). False when malformed or above 2^62.
bool parseSize(std::string_view text, std::uint64_t* out);

}  // namespace mkstick

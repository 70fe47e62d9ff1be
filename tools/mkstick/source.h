// Where the stick's content comes from on the host: a folder tree, or the files a manifest
// names.
#pragma once

#include <string>

#include "tree.h"

namespace mkstick {

// Reads the tree under `dir` into `tree` (into its root), each folder's entries sorted by
// their names' bytes. Links are followed; anything but files and folders is refused.
// Nothing is copied attributes-wise: a copy onto a stick sets none. Returns "" or the
// reason.
std::string scanFolder(const std::string& dir, Tree* tree);

// Resolves the src= files of a manifest tree against `baseDir`, checks that each is a
// readable file a FAT file can hold, and notes its size. On failure returns the reason and
// the manifest line in `line`.
std::string resolveSources(Tree* tree, const std::string& baseDir, int* line);

// True if `path` is `dir` or lies inside it (after resolving links).
bool isInside(const std::string& path, const std::string& dir);

// What `--from DIR --out IMAGE` does before the image is written (the image builder and the
// simulator's window, which turns a dropped folder into a stick, share it): the image must
// not lie inside the folder it copies; then the tree under `dir` is read into `tree`.
// Returns "" or the reason.
std::string scanFolderFor(const std::string& dir, const std::string& out, Tree* tree);

}  // namespace mkstick

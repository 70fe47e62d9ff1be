// Runs a program to the end and collects what it printed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace proc {

struct Output {
  int status = -1;  // exit status; -1 if it did not exit normally
  std::string out;
  std::string err;
};

Output run(const std::vector<std::string>& argv, const std::string& stdinText = "");

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
// A fresh empty folder under the system's temporary folder.
std::string tempDir();
// Everything in the open file `fd`, from its start.
std::string readAll(int fd);

// How often `needle` stands in `text` (overlapping ones counted).
std::size_t count(const std::string& text, const std::string& needle);
// The screens a trace shows, in order, each followed by a space.
std::string screensOf(const std::string& trace);

}  // namespace proc

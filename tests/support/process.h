// Runs a program to the end and collects what it printed.
#pragma once

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

}  // namespace proc

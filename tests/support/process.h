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

// shapeplay-sim --headless in a fresh folder, which keeps the scenario `script` (none when
// empty; its screenshots land there too), the trace and the console log; `args` follow.
struct Sim {
  int status = -1;
  std::string out, err;  // what it printed
  std::string dir;
  std::string trace, log;
};
Sim simulate(const std::string& script, const std::vector<std::string>& args = {});

// The lines of `text` holding `needle`, each with its line end.
std::string grep(const std::string& text, const std::string& needle);
// A trace's events of kind `ev` whose line holds `needle`, whole.
std::vector<std::string> events(const std::string& trace, const std::string& ev,
                                const std::string& needle = "");
// A number field of a trace line (the time "t" in microseconds too); -1 when it is not there.
long long field(const std::string& line, const std::string& name);
// The time (us) of the first trace line at or after `fromUs` that holds `needle`; -1 if none.
long long timeOf(const std::string& trace, const std::string& needle, long long fromUs = 0);

// How often `needle` stands in `text` (overlapping ones counted).
std::size_t count(const std::string& text, const std::string& needle);
// The screens a trace shows, in order, each followed by a space.
std::string screensOf(const std::string& trace);

}  // namespace proc

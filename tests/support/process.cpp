#include "process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace proc {
namespace {

std::string drain(int fd) {
  std::string s;
  char buf[8192];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  return s;
}

}  // namespace

Output run(const std::vector<std::string>& argv, const std::string& stdinText) {
  // Output goes to temporary files so that a large output cannot block the child.
  char outName[] = "/tmp/shapeplay-outXXXXXX";
  char errName[] = "/tmp/shapeplay-errXXXXXX";
  char inName[] = "/tmp/shapeplay-inXXXXXX";
  const int outFd = mkstemp(outName);
  const int errFd = mkstemp(errName);
  const int inFd = mkstemp(inName);
  (void)!write(inFd, stdinText.data(), stdinText.size());
  lseek(inFd, 0, SEEK_SET);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  Output o;
  o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  o.out = drain(outFd);
  o.err = drain(errFd);
  close(outFd);
  close(errFd);
  close(inFd);
  unlink(outName);
  unlink(errName);
  unlink(inName);
  return o;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

namespace {

// The folders a test program made, removed when it ends (by the process that made them,
// not by a forked child); SHAPEPLAY_KEEP_TEMP keeps them for a look after a failure.
struct TempDirs {
  pid_t owner = getpid();
  std::vector<std::string> dirs;
  ~TempDirs() {
    if (getpid() != owner || std::getenv("SHAPEPLAY_KEEP_TEMP") != nullptr) return;
    std::error_code ignored;
    for (const auto& d : dirs) std::filesystem::remove_all(d, ignored);
  }
};

TempDirs& tempDirs() {
  static TempDirs dirs;
  return dirs;
}

}  // namespace

std::string tempDir() {
  char name[] = "/tmp/shapeplay-testXXXXXX";
  if (mkdtemp(name) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  tempDirs().dirs.emplace_back(name);
  return name;
}

std::string readAll(int fd) {
  std::string out;
  lseek(fd, 0, SEEK_SET);
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  return out;
}

Sim simulate(const std::string& script, const std::vector<std::string>& args) {
  Sim r;
  r.dir = tempDir();
  std::vector<std::string> argv = {SHAPEPLAY_SIM,          "--headless", "--trace",
                                   r.dir + "/trace.jsonl", "--log",      r.dir + "/console.log"};
  if (!script.empty()) {
    writeFile(r.dir + "/run.scn", script);
    argv.insert(argv.end(), {"--script", r.dir + "/run.scn"});
  }
  argv.insert(argv.end(), args.begin(), args.end());
  const Output o = run(argv);
  r.status = o.status;
  r.out = o.out;
  r.err = o.err;
  r.trace = readFile(r.dir + "/trace.jsonl");
  r.log = readFile(r.dir + "/console.log");
  return r;
}

std::string grep(const std::string& text, const std::string& needle) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.find(needle) != std::string::npos) out += line + "\n";
  }
  return out;
}

std::vector<std::string> events(const std::string& trace, const std::string& ev,
                                const std::string& needle) {
  std::vector<std::string> out;
  std::istringstream in(trace);
  const std::string tag = "\"ev\":\"" + ev + "\"";
  for (std::string line; std::getline(in, line);) {
    if (line.find(tag) != std::string::npos && line.find(needle) != std::string::npos) {
      out.push_back(line);
    }
  }
  return out;
}

long long field(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const std::size_t at = line.find(key);
  return at == std::string::npos ? -1 : std::strtoll(line.c_str() + at + key.size(), nullptr, 10);
}

long long timeOf(const std::string& trace, const std::string& needle, long long fromUs) {
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line);) {
    if (line.find(needle) != std::string::npos && field(line, "t") >= fromUs) {
      return field(line, "t");
    }
  }
  return -1;
}

std::size_t count(const std::string& text, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

std::string screensOf(const std::string& trace) {
  std::string names;
  const std::regex screen(R"re("ev":"screen","name":"([A-Za-z]+)")re");
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), screen);
       it != std::sregex_iterator(); ++it) {
    names += (*it)[1].str() + " ";
  }
  return names;
}

}  // namespace proc

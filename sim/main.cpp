// shapeplay-sim: the player's firmware on a simulated board, under virtual time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <variant>

#include "audio_sinks.h"
#include "options.h"
#include "runner.h"
#include "scenario.h"
#include "stick.h"
#include "timefmt.h"

namespace {

int openOutput(const std::string& path) {
  if (path.empty()) return -1;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) std::fprintf(stderr, "shapeplay-sim: cannot write %s: %m\n", path.c_str());
  return fd;
}

int openWav(const std::string& path, std::uint32_t rate) {
  const int fd = openOutput(path);
  if (fd < 0) return -1;
  std::string error;
  if (!simaudio::writeWavHeader(fd, rate, error)) {
    std::fprintf(stderr, "shapeplay-sim: cannot write %s: %s\n", path.c_str(), error.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

// A folder that pictures can be written into: "" or why not.
std::string writableFolder(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return "not a folder";
  if (::access(dir.c_str(), W_OK) != 0) return std::strerror(errno);
  return {};
}

// The folder of --screenshots, made if it does not exist yet: "" or why it cannot be used.
std::string screenshotFolder(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return std::strerror(errno);
  return writableFolder(dir);
}

void finishWav(int fd, const std::string& path) {
  if (fd < 0) return;
  std::string error;
  if (!simaudio::finaliseWav(fd, error)) {
    std::fprintf(stderr, "shapeplay-sim: cannot finish %s: %s\n", path.c_str(), error.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const simcli::ParseResult parsed = simcli::parseOptions(argc, argv);
  if (!parsed.ok) {
    std::fprintf(stderr, "shapeplay-sim: %s\nTry 'shapeplay-sim --help'.\n", parsed.error.c_str());
    return simcli::kExitBadInput;
  }
  if (parsed.options.help) {
    std::fputs(simcli::usageText().c_str(), stdout);
    return simcli::kExitOk;
  }

  simrun::RunConfig config;
  config.options = parsed.options;
  if (!config.options.script.empty()) {
    auto loaded = simscn::loadScript(config.options.script);
    if (auto* error = std::get_if<simscn::ParseError>(&loaded)) {
      std::fprintf(stderr, "shapeplay-sim: %s\n", error->text().c_str());
      return error->line == 0 ? simcli::kExitBadInput : simcli::kExitScenario;
    }
    config.script = std::get<simscn::Script>(std::move(loaded));
    config.hasScript = true;
    // Everything the script asks for is checked before the board starts.
    for (const simscn::Command& cmd : config.script.commands) {
      if (!simrun::supported(cmd.op)) {
        std::fprintf(stderr, "shapeplay-sim: %s:%d: '%s': this board has no such input yet\n",
                     config.script.file.c_str(), cmd.line, simscn::describe(cmd).c_str());
        return simcli::kExitScenario;
      }
      std::string reason;
      if (cmd.op == simscn::Op::Screenshot) {
        const std::string folder = std::filesystem::path(cmd.path).parent_path().string();
        reason = writableFolder(folder.empty() ? "." : folder);
        if (!reason.empty()) {
          std::fprintf(stderr, "shapeplay-sim: %s:%d: cannot write screenshot %s: %s\n",
                       config.script.file.c_str(), cmd.line, cmd.path.c_str(), reason.c_str());
          return simcli::kExitBadInput;
        }
      }
      if (cmd.op == simscn::Op::Insert && !simusb::checkImage(cmd.path, &reason)) {
        std::fprintf(stderr, "shapeplay-sim: %s:%d: cannot read stick image %s: %s\n",
                     config.script.file.c_str(), cmd.line, cmd.path.c_str(), reason.c_str());
        return simcli::kExitBadInput;
      }
    }
  }
  if (!config.options.stickTiming.empty()) {
    const std::string& t = config.options.stickTiming;
    const size_t comma = t.find(',');
    const auto perCommand = simcli::parseTimeNs(t.substr(0, comma));
    const auto perByte =
        comma == std::string::npos ? std::nullopt : simcli::parseTimeNs(t.substr(comma + 1));
    if (!perCommand || !perByte) {
      std::fprintf(stderr,
                   "shapeplay-sim: --stick-timing: '%s' is not COMMAND,BYTE "
                   "(two times, e.g. 2ms,1250ns)\n",
                   t.c_str());
      return simcli::kExitBadInput;
    }
    simusb::timing().perCommand = *perCommand;
    simusb::timing().perByte = *perByte;
  }
  std::string reason;
  if (!config.options.stick.empty() && !simusb::checkImage(config.options.stick, &reason)) {
    std::fprintf(stderr, "shapeplay-sim: --stick: cannot read %s: %s\n",
                 config.options.stick.c_str(), reason.c_str());
    return simcli::kExitBadInput;
  }

  if (!config.options.screenshots.empty()) {
    const std::string why = screenshotFolder(config.options.screenshots);
    if (!why.empty()) {
      std::fprintf(stderr, "shapeplay-sim: --screenshots: cannot write into %s: %s\n",
                   config.options.screenshots.c_str(), why.c_str());
      return simcli::kExitBadInput;
    }
  }

  config.logFd = openOutput(config.options.log);
  if (!config.options.log.empty() && config.logFd < 0) return simcli::kExitBadInput;
  config.traceFd = openOutput(config.options.trace);
  if (!config.options.trace.empty() && config.traceFd < 0) return simcli::kExitBadInput;
  // The audio files get their headers now; every life of the board appends to them, and
  // their sizes are filled in when the run ends.
  config.wavFd = openWav(config.options.wav, simaudio::kSpeakerRate);
  if (!config.options.wav.empty() && config.wavFd < 0) return simcli::kExitBadInput;
  config.saiCaptureFd = openWav(config.options.saiCapture, 44100);
  if (!config.options.saiCapture.empty() && config.saiCaptureFd < 0) return simcli::kExitBadInput;

  const int status = simrun::run(config);
  finishWav(config.wavFd, config.options.wav);
  finishWav(config.saiCaptureFd, config.options.saiCapture);
  return status;
}

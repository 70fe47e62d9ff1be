// Headless playback against bare decoding. For each kind of file (128, 192 and 320 kbit/s
// stereo, 64 kbit/s 22.05 kHz mono; made here with sox and lame) the simulator plays a track
// headless, from the play request until the folder has ended, and this process decodes the same
// file with libmad alone, fed the way the firmware feeds it (512-byte chunks into its 4 KiB
// input buffer, samples gathered into its PCM blocks). The two take turns, and the ratio of the
// two speeds is set from the fastest run on each side: the runs are short (a tenth of a second
// to half a second), so what the host does meanwhile only ever adds to a run's time, and the
// fastest run is the one it disturbed least. A kind whose runs are short gets twice as many.
// The range of the ratios of the single pairs (a turn of each) shows how much the host
// disturbed them. A last figure sets a run with --wav (the speaker's sound path: equaliser, 3D,
// resampling) against the same run without it, with the settings a fresh board has and with
// every band and 3D on, the fastest of each side again; the sound file is removed before each
// run, so that the file system's freeing of the last run's file is not counted.
//
// Prints figures; never fails on a time. Options: --seconds N (track length, default 120; the
// issue's measurement used 600), --runs N (runs on each side, default 5; a kind whose board
// run takes under a quarter of a second gets twice as many), --sim PATH (the simulator to
// measure, default the one built with this benchmark).
#include <fcntl.h>
#include <mad.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "mp3_input.h"
#include "process.h"

// libmad here is the firmware's build, whose allocations go through these hooks.
extern "C" {
void* mp3_malloc(size_t size) { return std::malloc(size); }
void* mp3_calloc(size_t n, size_t size) { return std::calloc(n, size); }
void mp3_free(void* p) { std::free(p); }
}

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  double seconds = 120;
  int runs = 5;
  std::string sim = SHAPEPLAY_SIM;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "bench_audio: %s\n", what.c_str());
  std::exit(1);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) fail("option " + a + " needs a value");
    const char* v = argv[++i];
    if (a == "--seconds") {
      o.seconds = std::atof(v);
    } else if (a == "--runs") {
      o.runs = std::atoi(v);
    } else if (a == "--sim") {
      o.sim = v;
    } else {
      fail("unknown option " + a + " (--seconds N, --runs N, --sim PATH)");
    }
  }
  if (o.seconds < 5 || o.runs < 1) fail("--seconds must be at least 5, --runs at least 1");
  return o;
}

int sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

struct Kind {
  const char* label;
  unsigned rate, channels;
  const char* lame;
};

// ---- bare libmad, fed as the firmware feeds it

struct BareDecode {
  const std::string* file = nullptr;
  std::size_t next = 0;  // the next chunk's offset
  Mp3Input input;
  PcmBlock block;
  std::atomic<bool> mono{false};
  std::uint64_t blocks = 0, frames = 0;
  std::uint32_t check = 0;  // so that the samples are used
};

enum mad_flow bareInput(void* data, mad_stream* stream) {
  auto* d = static_cast<BareDecode*>(data);
  const Mp3Input::Result r = d->input.refill(stream, [d](Mp3DataIn& chunk) {
    if (d->next >= d->file->size()) return false;
    const std::size_t n = std::min<std::size_t>(sizeof chunk.data, d->file->size() - d->next);
    std::memcpy(chunk.data, d->file->data() + d->next, n);
    chunk.dataSize = static_cast<uint32_t>(n);
    d->next += n;
    chunk.stop = false;
    chunk.endOfFile = d->next >= d->file->size();
    return true;
  });
  return r.action == Mp3Input::INPUT_CONTINUE ? MAD_FLOW_CONTINUE : MAD_FLOW_STOP;
}

enum mad_flow bareOutput(void* data, const mad_header*, mad_pcm* pcm) {
  auto* d = static_cast<BareDecode*>(data);
  uint32_t i = 0;
  while (i < pcm->length) {
    i = d->block.append(*pcm, i, d->mono);
    if (d->block.full()) {
      d->check += d->block.data()[d->blocks % (2 * PcmBlock::FRAMES)];
      ++d->blocks;
      d->block.clear();
    }
  }
  d->frames += pcm->length;
  return MAD_FLOW_CONTINUE;
}

enum mad_flow bareError(void*, mad_stream*, mad_frame*) { return MAD_FLOW_CONTINUE; }

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Timing {
  double wall = 0;
  double cpu = 0;
};

// One bare decode of `file`.
Timing decodeBare(const std::string& file, std::uint64_t& frames) {
  BareDecode d;
  d.file = &file;
  const double cpu0 = cpuSeconds();
  const auto start = Clock::now();
  mad_decoder decoder;
  mad_decoder_init(&decoder, &d, bareInput, nullptr, nullptr, bareOutput, bareError, nullptr);
  mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
  mad_decoder_finish(&decoder);
  Timing t;
  t.wall = std::chrono::duration<double>(Clock::now() - start).count();
  t.cpu = cpuSeconds() - cpu0;
  frames = d.frames;
  if (d.check == 0xFFFFFFFFu) std::puts("");
  return t;
}

// ---- the simulator

struct SimRun : Timing {
  bool finished = false;  // the console says the decoder finished the track
};

SimRun runSim(const Options& o, const std::vector<std::string>& args, const std::string& log) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(o.sim.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  SimRun r;
  r.wall = std::chrono::duration<double>(Clock::now() - start).count();
  // The simulator and the board's lives, which it waits for.
  r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail(o.sim + " did not end normally");
  r.finished = proc::readFile(log).find("mp3 decoder finished") != std::string::npos;
  return r;
}

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  const std::string dir = proc::tempDir();
  const Kind kinds[] = {
      {"128 kbit/s, 44.1 kHz stereo", 44100, 2, "-b 128"},
      {"192 kbit/s, 48 kHz stereo", 48000, 2, "-b 192"},
      {"320 kbit/s, 44.1 kHz stereo", 44100, 2, "-b 320"},
      {"64 kbit/s, 22.05 kHz mono", 22050, 1, "-b 64"},
  };
  std::printf(
      "headless playback against bare libmad: %.0f-second tracks, the fastest of %d runs on "
      "each side\n",
      o.seconds, o.runs);
  std::printf(
      "(speeds in audio seconds per wall second; the ratio is the board's over libmad's)\n");
  std::fflush(stdout);
  // The script: the play request at 1 s, then the track and a second more.
  const std::string script = dir + "/play.scn";
  proc::writeFile(script, "wait 1s\nevent BTN_PlaybackFolder main=0 playback=0\nwait " +
                              std::to_string(static_cast<long>(o.seconds) + 2) + "s\n");
  std::string firstStick, firstLog;
  int n = 0;
  for (const Kind& k : kinds) {
    const std::string base = dir + "/k" + std::to_string(++n);
    char synth[256];
    std::snprintf(synth, sizeof synth,
                  "sox -n -r %u -c %u -b 16 %s.wav synth %.0f sine 220-1760 sine 330-990 vol 0.6",
                  k.rate, k.channels, base.c_str(), o.seconds);
    if (sh(synth) != 0 || sh(std::string("lame --quiet -q 7 ") + k.lame + " " + base + ".wav " +
                             base + ".mp3") != 0) {
      fail("sox or lame failed");
    }
    proc::writeFile(base + ".txt", "file \"Bench/Track/track.mp3\" src=\"" + base + ".mp3\"\n");
    if (sh(std::string(SHAPEPLAY_MKSTICK) + " --manifest " + base + ".txt --out " + base +
           ".img") != 0) {
      fail("shapeplay-mkstick failed");
    }
    ::unlink((base + ".wav").c_str());
    const std::string mp3 = proc::readFile(base + ".mp3");
    const std::string log = base + ".log";
    if (firstStick.empty()) {
      firstStick = base + ".img";
      firstLog = log;
    }
    std::vector<double> ratios, boardWall, bareWall, boardCpu, bareCpu;
    double audio = 0;
    int runs = o.runs;
    for (int p = 0; p < runs; ++p) {
      std::uint64_t frames = 0;
      const Timing b = decodeBare(mp3, frames);
      audio = static_cast<double>(frames) / k.rate;
      const SimRun r = runSim(
          o, {"--headless", "--stick", base + ".img", "--script", script, "--log", log}, log);
      if (!r.finished) fail("the board did not finish the track");
      bareWall.push_back(b.wall);
      boardWall.push_back(r.wall);
      bareCpu.push_back(b.cpu);
      boardCpu.push_back(r.cpu);
      ratios.push_back(b.wall / r.wall);
      if (p == 0 && r.wall < 0.25) runs = 2 * o.runs;  // short runs: twice as many
    }
    std::printf("  %-28s board %6.1f  libmad %6.1f  ratio %.2f (pairs %.2f .. %.2f)\n", k.label,
                audio / fastest(boardWall), audio / fastest(bareWall),
                fastest(bareWall) / fastest(boardWall),
                *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("  %-28s CPU time: board %.2f s, libmad %.2f s, ratio %.2f\n", "",
                fastest(boardCpu), fastest(bareCpu), fastest(bareCpu) / fastest(boardCpu));
    std::fflush(stdout);
  }

  // The speaker's sound path: the first track (44.1 kHz, so resampled), with every band of the
  // equaliser and the 3D effect on, with --wav against the same run without.
  const std::string shaped = dir + "/shaped.scn";
  proc::writeFile(shaped,
                  "wait 1s\n"
                  "event BTN_ParentSettingsChanged maxvol=60 boost=2 effect3d=10 eq1=16 eq2=10 "
                  "eq3=14 eq4=9 eq5=18\n"
                  "wait 500ms\nevent BTN_PlaybackFolder main=0 playback=0\nwait " +
                      std::to_string(static_cast<long>(o.seconds) + 2) + "s\n");
  const std::string wav = dir + "/speaker.wav";
  std::printf(
      "  with --wav, the first track (44.1 kHz, resampled to 48 kHz) against a run "
      "without:\n");
  for (const auto& [label, settings] :
       {std::pair<const char*, std::string>{"settings as they come", script},
        std::pair<const char*, std::string>{"every band of the equaliser, 3D", shaped}}) {
    std::vector<double> without, with, withoutCpu, withCpu;
    for (int p = 0; p < o.runs; ++p) {
      const std::vector<std::string> plain = {"--headless", "--stick", firstStick, "--script",
                                              settings,     "--log",   firstLog};
      std::vector<std::string> withWav = plain;
      withWav.insert(withWav.end(), {"--wav", wav});
      const SimRun a = runSim(o, plain, firstLog);
      ::unlink(wav.c_str());
      const SimRun b = runSim(o, withWav, firstLog);
      without.push_back(a.wall);
      with.push_back(b.wall);
      withoutCpu.push_back(a.cpu);
      withCpu.push_back(b.cpu);
    }
    std::printf("    %-33s %.2f x the time (CPU time %.2f x)\n", label,
                fastest(with) / fastest(without), fastest(withCpu) / fastest(withoutCpu));
    std::fflush(stdout);
  }
  ::unlink(wav.c_str());
  return 0;
}

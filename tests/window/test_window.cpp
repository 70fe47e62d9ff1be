// The simulator's window as a person uses it, on an X server of its own (Xvfb), with SDL's
// x11 video driver and its dummy sound driver (which takes the sound in real time): clicks,
// the wheel and keys through xdotool, the window's picture grabbed from the server, a folder
// dropped on it as SDL delivers the drop, closing it as a window manager asks a window to.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "layout.h"
#include "png_file.h"
#include "process.h"

bool askWindowToClose(unsigned long window);  // x_close.cpp

namespace {

using Clock = std::chrono::steady_clock;

// A program running in the background, its output in files.
class Background {
 public:
  Background(const std::vector<std::string>& argv, const std::string& dir) {
    out_ = dir + "/out.txt";
    err_ = dir + "/err.txt";
    pid_ = fork();
    if (pid_ == 0) {
      const int o = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::string out() const { return proc::readFile(out_); }
  std::string err() const { return proc::readFile(err_); }
  // Waits until the console shows `text`; false after `seconds`.
  bool waitFor(const std::string& text, double seconds) const {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      if (out().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // Waits for the end; the exit status, or -1 when it did not end within `seconds`.
  int finish(double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  std::string out_, err_;
};

// An X server of the tests' own, 1280 x 1100 so that the panel is shown twice its size.
class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1100x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The number comes as a line, maybe in pieces.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::string display;

 private:
  pid_t pid_ = -1;
};

std::string run(const std::vector<std::string>& argv) {
  const proc::Output o = proc::run(argv);
  return o.out;
}

// The window's id and where its inside lies on the screen.
struct Placed {
  std::string id;
  int x = 0, y = 0;
};

Placed findWindow() {
  Placed p;
  std::string id = run(
      {"/usr/bin/timeout", "10", "/usr/bin/xdotool", "search", "--sync", "--name", "^shapeplay$"});
  p.id = id.substr(0, id.find('\n'));
  const std::string geometry = run({"/usr/bin/xdotool", "getwindowgeometry", "--shell", p.id});
  std::sscanf(geometry.c_str() + geometry.find("X=") + 2, "%d", &p.x);
  std::sscanf(geometry.c_str() + geometry.find("Y=") + 2, "%d", &p.y);
  return p;
}

void click(const Placed& w, int x, int y, const std::string& button = "1") {
  run({"/usr/bin/xdotool", "mousemove", "--sync", std::to_string(w.x + x), std::to_string(w.y + y),
       "click", button});
}

void closeWindow(const Placed& w) { ASSERT_TRUE(askWindowToClose(std::stoul(w.id))); }

const simwin::Layout kLayout = simwin::Layout::make(2);

// The window opens with the device; the panel shows what a headless run's screenshot shows
// at that moment; a click on the green circle chooses its folder, a wheel step over the knob
// turns it, closing the window ends the run with status 0 and writes the SRAM back.
TEST(Window, ShowsTheDeviceAndTakesAPersonsClicksWheelAndClose) {
  const std::string dir = proc::tempDir();
  proc::writeFile(dir + "/shot.scn", "wait 2500ms\nscreenshot headless.png\n");
  ASSERT_EQ(proc::run({SHAPEPLAY_SIM, "--headless", "--stick", SHAPEPLAY_DEMO_STICK, "--script",
                       dir + "/shot.scn"})
                .status,
            0);

  Background sim({SHAPEPLAY_SIM, "--stick", SHAPEPLAY_DEMO_STICK, "--duration", "60s", "--sram",
                  dir + "/sram.bin", "--trace", dir + "/trace.jsonl"},
                 dir);
  const Placed w = findWindow();
  ASSERT_FALSE(w.id.empty()) << sim.err();
  // The main screen stands still from 0.7 s on; the grab is taken after 2.5 s.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  const std::string grab = dir + "/grab.png";
  const simwin::Rect& panel = kLayout.panel;
  run({"/usr/bin/import", "-window", "root", "-crop",
       std::to_string(panel.w) + "x" + std::to_string(panel.h) + "+" +
           std::to_string(w.x + panel.x) + "+" + std::to_string(w.y + panel.y),
       "+repage", grab});
  int gw = 0, gh = 0, hw = 0, hh = 0;
  std::vector<std::uint8_t> grabbed, headless;
  ASSERT_EQ(simpng::readRgb(grab, gw, gh, grabbed), "");
  ASSERT_EQ(simpng::readRgb(dir + "/headless.png", hw, hh, headless), "");
  ASSERT_EQ(gw, 2 * hw);
  ASSERT_EQ(gh, 2 * hh);
  std::size_t differing = 0;
  for (int y = 0; y < gh; ++y) {
    for (int x = 0; x < gw; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        differing += grabbed[(static_cast<std::size_t>(y) * gw + x) * 3 + ch] !=
                     headless[(static_cast<std::size_t>(y / 2) * hw + x / 2) * 3 + ch];
      }
    }
  }
  EXPECT_EQ(differing, 0U);

  click(w, panel.x + 34 * 2, panel.y + 242 * 2);  // the green circle: Animals, folder one
  EXPECT_TRUE(sim.waitFor("selected 0, 0:\\Animals\\Folder 1", 5)) << sim.out();
  click(w, kLayout.knob.midX(), kLayout.knob.midY(), "4");  // a wheel step up
  EXPECT_TRUE(sim.waitFor("Vol: ", 5)) << sim.out();

  // The power key (O) switches the player off; held long it cuts the supply. The window
  // stays, its power key starts the device again.
  run({"/usr/bin/xdotool", "keydown", "o"});
  EXPECT_TRUE(sim.waitFor("power off", 5)) << sim.out();
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  run({"/usr/bin/xdotool", "keyup", "o"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_NE(run({"/usr/bin/xdotool", "search", "--name", "^shapeplay$"}), "");
  click(w, kLayout.powerKey.midX(), kLayout.powerKey.midY());
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (proc::count(sim.out(), "Init done") < 2 && Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(proc::count(sim.out(), "Init done"), 2U) << sim.out();

  closeWindow(w);
  EXPECT_EQ(sim.finish(10), 0) << sim.err();
  const std::string sram = proc::readFile(dir + "/sram.bin");
  EXPECT_EQ(sram.size(), 131072U);
  EXPECT_NE(sram.find_first_not_of('\0'), std::string::npos);
  const std::string trace = proc::readFile(dir + "/trace.jsonl");
  EXPECT_NE(trace.find(R"("ev":"window","input":"press 34 242")"), std::string::npos);
  EXPECT_NE(trace.find(R"("ev":"window","input":"turn 1")"), std::string::npos);
  EXPECT_NE(trace.find(R"("ev":"window","input":"power cut")"), std::string::npos);
  EXPECT_NE(trace.find(R"("ev":"power","state":"cut")"), std::string::npos);
  EXPECT_NE(trace.find(R"("ev":"power","state":"on")"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// A music folder dropped on the window becomes a stick that mounts and plays; a folder
// without music and one that cannot be read each get a message and change nothing.
TEST(Window, ADroppedFolderBecomesAStickAndAFolderThatCannotGivesAMessage) {
  const std::string dir = proc::tempDir();
  const std::string music = dir + "/Kids music";
  std::filesystem::create_directories(music + "/Animals/Dogs");
  ASSERT_EQ(
      std::system(("sox -n -r 44100 -c 2 -b 16 '" + dir + "/t.wav' synth 1 sine 440 && " +
                   "lame --quiet -b 128 '" + dir + "/t.wav' '" + music + "/Animals/Dogs/Bark.mp3'")
                      .c_str()),
      0);
  std::filesystem::create_directories(dir + "/No music/Animals/Dogs");
  proc::writeFile(dir + "/No music/Animals/Dogs/notes.txt", "no tracks here\n");
  std::filesystem::create_directories(dir + "/Broken/Animals/Dogs");
  std::filesystem::create_symlink(dir + "/gone.mp3", dir + "/Broken/Animals/Dogs/1.mp3");
  const std::string hook = dir + "/hook";
  ASSERT_EQ(mkfifo(hook.c_str(), 0600), 0);
  setenv("SHAPEPLAY_WINDOW_HOOK", hook.c_str(), 1);
  Background sim({SHAPEPLAY_SIM, "--duration", "60s", "--trace", dir + "/trace.jsonl"}, dir);
  unsetenv("SHAPEPLAY_WINDOW_HOOK");
  const Placed w = findWindow();
  ASSERT_FALSE(w.id.empty()) << sim.err();
  const int feed = ::open(hook.c_str(), O_WRONLY);
  ASSERT_GE(feed, 0);
  const auto drop = [feed](const std::string& path) {
    const std::string line = "drop " + path + "\n";
    ASSERT_EQ(write(feed, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  };

  drop(music);
  ASSERT_TRUE(sim.waitFor("Animals", 10)) << sim.out() << sim.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  click(w, kLayout.panel.x + 34 * 2, kLayout.panel.y + 242 * 2);  // the first shape: Dogs
  EXPECT_TRUE(sim.waitFor("selected 0, 0:\\Animals\\Dogs\\Bark.mp3", 5)) << sim.out();

  // One after the other, as a person drops them.
  std::size_t messages = 0;
  for (const std::string bad : {"No music", "Broken"}) {
    drop(dir + "/" + bad);
    ++messages;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (proc::count(sim.err(), "shapeplay-sim: window: Cannot make a stick of") < messages &&
           Clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  EXPECT_NE(sim.err().find("Cannot make a stick of No music: no MP3 files where the player looks"),
            std::string::npos)
      << sim.err();
  EXPECT_NE(sim.err().find("Cannot make a stick of Broken: " + dir +
                           "/Broken/Animals/Dogs/1.mp3 is a broken link"),
            std::string::npos)
      << sim.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  close(feed);
  closeWindow(w);
  EXPECT_EQ(sim.finish(10), 0) << sim.err();
  const std::string trace = proc::readFile(dir + "/trace.jsonl");
  EXPECT_EQ(proc::count(trace, R"("ev":"stick")"), 1U) << "only the music folder's stick went in";
  EXPECT_EQ(proc::count(trace, R"("ev":"window","input":"insert )"), 1U);
  EXPECT_NE(trace.find(R"("ev":"audio","state":"start")"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// The sound callback is fed in real time while the demo tour plays: no under-run. Left to
// itself, the window's run writes the very console, trace and sound file a headless run does.
TEST(Window, TheSoundCallbackIsFedWithoutUnderRunsWhileTheTourPlays) {
  const std::string dir = proc::tempDir();
  const auto args = [&dir](const std::string& name) {
    return std::vector<std::string>{SHAPEPLAY_SIM,
                                    "--stick",
                                    SHAPEPLAY_DEMO_STICK,
                                    "--script",
                                    SHAPEPLAY_DEMO_TOUR,
                                    "--duration",
                                    "12s",
                                    "--wav",
                                    dir + "/" + name + ".wav",
                                    "--trace",
                                    dir + "/" + name + ".jsonl",
                                    "--log",
                                    dir + "/" + name + ".log"};
  };
  std::vector<std::string> headless = args("headless");
  headless.push_back("--headless");
  ASSERT_EQ(proc::run(headless).status, 0);
  Background sim(args("window"), dir);
  EXPECT_EQ(sim.finish(40), 0) << sim.err();
  const std::string err = sim.err();
  const std::size_t at = err.find("shapeplay-sim: sound: ");
  ASSERT_NE(at, std::string::npos) << err;
  unsigned long underruns = 99, calls = 0;
  double seconds = 0;
  ASSERT_EQ(std::sscanf(err.c_str() + at,
                        "shapeplay-sim: sound: %lu under-runs in %lu calls of the sound callback "
                        "(%lf s played)",
                        &underruns, &calls, &seconds),
            3);
  std::printf("sound while the tour played: %lu under-runs in %lu callbacks, %.1f s played\n",
              underruns, calls, seconds);
  EXPECT_EQ(underruns, 0U);
  EXPECT_GT(seconds, 10.0);
  for (const char* file : {".wav", ".jsonl", ".log"}) {
    const std::string a = proc::readFile(dir + "/headless" + file);
    EXPECT_TRUE(!a.empty() && a == proc::readFile(dir + "/window" + file)) << file;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new XServer);
  return RUN_ALL_TESTS();
}

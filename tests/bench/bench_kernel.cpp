// How fast the simulated kernel hands the processor from task to task, and how much faster
// than real time an idle board runs. Each kernel figure comes from a fresh board in a child
// process; each is set against a baseline measured here, in the same process. The program
// prints figures only: it never fails because something was slow.
#include <fcntl.h>
#include <sched.h>
#include <semaphore.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "FreeRTOS.h"
#include "board_child.h"
#include "queue.h"
#include "simkernel.h"
#include "task.h"

// The application hooks the kernel calls.
extern "C" void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRoundTrips = 200'000;
constexpr int kRepeats = 3;  // every figure is the best of this many runs

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "bench_kernel: %s\n", what.c_str());
  std::exit(1);
}

// A kernel task running a lambda.
struct Body {
  std::function<void()> fn;
};
void trampoline(void* p) {
  static_cast<Body*>(p)->fn();
  for (;;) vTaskDelay(portMAX_DELAY);
}
void spawn(const char* name, UBaseType_t prio, std::function<void()> fn) {
  if (xTaskCreate(trampoline, name, 256, new Body{std::move(fn)}, prio, nullptr) != pdPASS) {
    simk::endRun(2, "cannot create task");
  }
}

// What a child reports in its one note: a count and the wall seconds it took.
struct Sample {
  double count = 0;
  double seconds = 0;
  double rate() const { return seconds > 0 ? count / seconds : 0; }
};

Sample runChild(const char* what, const std::function<void()>& setup,
                const boardtest::Options& options) {
  const boardtest::Result r = boardtest::run(setup, options);
  Sample s;
  std::istringstream in(r.notes);
  if (r.status != 0 || !(in >> s.count >> s.seconds)) {
    fail(std::string(what) + ": the board run failed (status " + std::to_string(r.status) +
         ", notes \"" + r.notes + "\")");
  }
  return s;
}

Sample best(const std::function<Sample()>& measure) {
  Sample top = measure();
  for (int i = 1; i < kRepeats; ++i) {
    const Sample s = measure();
    if (s.rate() > top.rate()) top = s;
  }
  return top;
}

// Keeps this process, its threads and its children on one host CPU. The simulated board
// runs one task at a time, so every hand-over wakes a thread that then has the CPU to
// itself; left free, the host scheduler spreads the two threads of the baseline over two
// CPUs and the figures measure cross-CPU wake-ups instead, which vary by a factor of five
// from run to run.
int pinToOneCpu() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return -1;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0 ? cpu : -1;
}

// ---- Ping-pong through two queues, task A at priority `a`, task B at priority `b`.

Sample kernelPingPong(UBaseType_t a, UBaseType_t b) {
  static UBaseType_t prioA, prioB;
  prioA = a;
  prioB = b;
  boardtest::Options options;
  options.duration = 1000 * simk::kS;  // no virtual time passes: the pinger ends the run
  options.kernelTick = true;
  return runChild(
      "kernel ping-pong",
      [] {
        static QueueHandle_t toB = xQueueCreate(1, sizeof(int));
        static QueueHandle_t toA = xQueueCreate(1, sizeof(int));
        spawn("pong", prioB, [] {
          for (;;) {
            int v = 0;
            xQueueReceive(toB, &v, portMAX_DELAY);
            xQueueSend(toA, &v, portMAX_DELAY);
          }
        });
        spawn("ping", prioA, [] {
          const std::uint64_t switches0 = simk::contextSwitches();
          const auto start = Clock::now();
          for (int i = 0; i < kRoundTrips; ++i) {
            int v = i;
            xQueueSend(toB, &v, portMAX_DELAY);
            xQueueReceive(toA, &v, portMAX_DELAY);
            if (v != i) simk::endRun(2, "ping-pong lost a message");
          }
          const double seconds = secondsSince(start);
          const std::uint64_t switches = simk::contextSwitches() - switches0;
          boardtest::note(std::to_string(switches) + " " + std::to_string(seconds));
          simk::endRun(0, "");
        });
      },
      options);
}

// The same exchange between two host threads with two POSIX semaphores, no kernel: two
// hand-overs per round trip.
Sample semaphorePingPong() {
  sem_t toB, toA;
  sem_init(&toB, 0, 0);
  sem_init(&toA, 0, 0);
  std::thread pong([&] {
    for (int i = 0; i < kRoundTrips; ++i) {
      while (sem_wait(&toB) != 0) {
      }
      sem_post(&toA);
    }
  });
  const auto start = Clock::now();
  for (int i = 0; i < kRoundTrips; ++i) {
    sem_post(&toB);
    while (sem_wait(&toA) != 0) {
    }
  }
  Sample s{2.0 * kRoundTrips, secondsSince(start)};
  pong.join();
  sem_destroy(&toB);
  sem_destroy(&toA);
  return s;
}

// ---- Idle boards.

// The kernel with its 2 ms tick and one task that sleeps 2 s at a time (without it the
// board would end at once as a deadlock). Wall time runs from the end of setup to the end
// of the run.
Sample idleKernel(simk::Time duration) {
  boardtest::Options options;
  options.duration = duration;
  options.kernelTick = true;
  return runChild(
      "idle kernel",
      [] {
        spawn("sleeper", 1, [] {
          for (;;) vTaskDelay(1000);
        });
        static Clock::time_point start;
        start = Clock::now();
        simk::addEndHook([](int) {
          const double virtualSeconds = static_cast<double>(simk::now()) / simk::kS;
          boardtest::note(std::to_string(virtualSeconds) + " " +
                          std::to_string(secondsSince(start)));
        });
      },
      options);
}

// The whole firmware, idle, in the simulator program; timed from here, process start-up
// included.
Sample idleFirmware(const std::string& duration, double virtualSeconds) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = SHAPEPLAY_SIM, a1 = "--headless", a2 = "--duration", a3 = duration;
  char* argv[] = {program.data(), a1.data(), a2.data(), a3.data(), nullptr};
  std::fflush(nullptr);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
    fail("cannot start " + program);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
  }
  const double seconds = secondsSince(start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0) {
    fail(program + " --headless --duration " + duration + " did not end normally");
  }
  return {virtualSeconds, seconds};
}

}  // namespace

int main() {
  const int cpu = pinToOneCpu();
  if (cpu >= 0) {
    std::printf("(all figures on host CPU %d alone, best of %d runs)\n", cpu, kRepeats);
  } else {
    std::printf("(could not pin to one host CPU; best of %d runs)\n", kRepeats);
  }
  const Sample baseline = best(semaphorePingPong);
  struct Case {
    const char* label;
    UBaseType_t a, b;
  };
  for (const Case& c : {Case{"kernel ping-pong, equal priority", 2, 2},
                        Case{"kernel ping-pong, priorities 2/3", 2, 3}}) {
    const Sample k = best([&] { return kernelPingPong(c.a, c.b); });
    std::printf("%-34s: %9.0f switches/s   baseline semaphores: %9.0f /s   ratio %.2f\n", c.label,
                k.rate(), baseline.rate(), k.rate() / baseline.rate());
    std::printf("%-34s  (%d round trips, %.0f switches in %.3f s)\n", "", kRoundTrips, k.count,
                k.seconds);
  }

  const Sample tick = best([] { return idleKernel(3600 * simk::kS); });
  std::printf("%-34s: %9.1f virtual s per wall s   (%.0f s in %.3f s)\n",
              "idle board, kernel tick only", tick.rate(), tick.count, tick.seconds);

  const Sample firmware = best([] { return idleFirmware("120s", 120); });
  std::printf("%-34s: %9.1f virtual s per wall s   (%.0f s in %.3f s, process start included)\n",
              "idle board, whole firmware", firmware.rate(), firmware.count, firmware.seconds);
  return 0;
}

// What the simulator keeps over a long run: the heap's bytes in use every virtual minute, and
// nothing of the speaker's sound when no --wav file takes it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "faults_board.h"
#include "process.h"

namespace {

using namespace faulttest;

// Runs the simulator headless with an empty slot for `duration`; its largest resident size in
// KiB (of the simulator and every power-on's process).
long peakKib(const std::string& duration) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    // In the sanitizer build freed memory is held back for a while (to catch late uses), which
    // would count here as memory kept.
    setenv("ASAN_OPTIONS", "quarantine_size_mb=0", 1);
    execl(SHAPEPLAY_SIM, SHAPEPLAY_SIM, "--headless", "--duration", duration.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  EXPECT_EQ(wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return usage.ru_maxrss;
}

TEST(LongRuns, WithoutAWavFileTheSpeakerKeepsNothing) {
  // Forty minutes of silence at 48 kHz would be some 460 MB if it were kept.
  const long short_ = peakKib("1m");
  const long long_ = peakKib("40m");
  EXPECT_LT(long_ - short_, 16 * 1024)
      << "1 minute: " << short_ << " KiB, 40 minutes: " << long_ << " KiB";
}

TEST(LongRuns, TheHeapInUseIsReportedEveryVirtualMinute) {
  const BoardRun r = run("wait 3m\n", "", dir() + "/heap.bin");
  ASSERT_EQ(r.status, 0);
  const std::vector<std::string> heap = events(r.trace, "heap");
  ASSERT_EQ(heap.size(), 4u) << r.trace.substr(0, 2000);  // three minutes and the end of the run
  for (int minute = 1; minute <= 3; ++minute) {
    const std::string& e = heap[minute - 1];
    EXPECT_EQ(field(e, "t"), minute * 60000000ull) << e;
    // The threads' stacks and queues are in the kernel heap; the runtime heap holds the
    // settings singleton's strings and the like.
    EXPECT_GT(field(e, "kernel_in_use"), 100000u) << e;
    EXPECT_GT(field(e, "runtime_in_use"), 0u) << e;
    EXPECT_EQ(e.find("peak"), std::string::npos) << e;
  }
  // An idle board holds the same from the first minute on.
  EXPECT_EQ(field(heap[0], "kernel_in_use"), field(heap[2], "kernel_in_use"));
  EXPECT_EQ(field(heap[0], "runtime_in_use"), field(heap[2], "runtime_in_use"));
  EXPECT_NE(heap[3].find("kernel_peak"), std::string::npos) << heap[3];
}

}  // namespace

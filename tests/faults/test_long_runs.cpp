// What the simulator reports over a long run: the heap's bytes in use every virtual minute.
// (Nothing of the speaker's sound is kept without --wav: AudioFiles in tests/audio.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faults_board.h"
#include "process.h"

namespace {

using namespace faulttest;

TEST(LongRuns, TheHeapInUseIsReportedEveryVirtualMinute) {
  const BoardRun r = run("wait 3m\n", "", dir() + "/heap.bin");
  ASSERT_EQ(r.status, 0);
  const std::vector<std::string> heap = events(r.trace, "heap");
  ASSERT_EQ(heap.size(), 4u) << r.trace.substr(0, 2000);  // three minutes and the end of the run
  for (int minute = 1; minute <= 3; ++minute) {
    const std::string& e = heap[minute - 1];
    EXPECT_EQ(field(e, "t"), minute * 60000000ll) << e;
    // The threads' stacks and queues are in the kernel heap; the runtime heap holds the
    // settings singleton's strings and the like.
    EXPECT_GT(field(e, "kernel_in_use"), 100000) << e;
    EXPECT_GT(field(e, "runtime_in_use"), 0) << e;
    EXPECT_EQ(e.find("peak"), std::string::npos) << e;
  }
  // An idle board holds the same from the first minute on.
  EXPECT_EQ(field(heap[0], "kernel_in_use"), field(heap[2], "kernel_in_use"));
  EXPECT_EQ(field(heap[0], "runtime_in_use"), field(heap[2], "runtime_in_use"));
  EXPECT_NE(heap[3].find("kernel_peak"), std::string::npos) << heap[3];
}

}  // namespace

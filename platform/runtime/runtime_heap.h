// The runtime heap's use by the firmware: what the board's malloc would have to hold.
// Allocations made by the firmware's threads are counted; the simulator's own bookkeeping
// on those threads is excluded with a HostScope.
#pragma once

#include <cstddef>

namespace simruntime {

std::size_t runtimeHeapInUse();
std::size_t runtimeHeapPeak();

// While one exists on a thread, that thread's allocations are the simulator's, not the
// firmware's.
class HostScope {
 public:
  HostScope();
  ~HostScope();
  HostScope(const HostScope&) = delete;
  HostScope& operator=(const HostScope&) = delete;
};

// Counts allocations of the calling thread from now on (kernel tasks and the board's main).
void countThisThread();

// The accounting of one context of the board: whether its allocations count and how many
// HostScopes it is inside. The kernel runs every task as a context of its own on one host
// thread and swaps this with the context (a fresh task's: counted, no scope).
struct Accounting {
  bool counted = true;
  int hostDepth = 0;
};
Accounting accounting();
void setAccounting(const Accounting& a);

// Test backdoor: a counted allocation that would take the firmware's use above `bytes` fails
// (returns null), as on a board whose heap is that small. 0 (the default) means no limit.
void setRuntimeHeapLimit(std::size_t bytes);

}  // namespace simruntime

// The hand-over of the processor between task contexts with host threads: each task runs on a
// host thread of its own, which sleeps on its own semaphore until another context posts it.
// The main context waits on one more semaphore. A task's host thread gets a stack of its own
// for fault signals, so that even a task that overflows its stack can be stopped, and its
// allocations count as the firmware's.
#include "handover.h"

#include <pthread.h>
#include <semaphore.h>
#include <signal.h>

#include <cerrno>
#include <vector>

#include "runtime_heap.h"

namespace simk::handover {

class Context {
 public:
  void* owner = nullptr;
  void (*body)(void*) = nullptr;
  sem_t cpu;  // posted when this context gets the processor
  pthread_t host{};
};

namespace {

constexpr std::size_t kHostStackBytes = 4u << 20;

thread_local Context* tlsSelf = nullptr;  // the context this host thread runs; null for main
sem_t mainCpu;                            // main never gets the processor back once tasks run

void waitFor(sem_t* cpu) {
  while (sem_wait(cpu) != 0 && errno == EINTR) {
  }
}

void* hostEntry(void* arg) {
  auto* c = static_cast<Context*>(arg);
  tlsSelf = c;
  static thread_local std::vector<char> signalStack(64 * 1024);
  stack_t ss{};
  ss.ss_sp = signalStack.data();
  ss.ss_size = signalStack.size();
  sigaltstack(&ss, nullptr);
  simruntime::countThisThread();
  waitFor(&c->cpu);
  c->body(c->owner);
  return nullptr;
}

}  // namespace

Context* create(void* owner, void (*body)(void* owner)) {
  auto* c = new Context();
  c->owner = owner;
  c->body = body;
  sem_init(&c->cpu, 0, 0);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kHostStackBytes);
  const bool started = pthread_create(&c->host, &attr, hostEntry, c) == 0;
  pthread_attr_destroy(&attr);
  if (!started) {
    sem_destroy(&c->cpu);
    delete c;
    return nullptr;
  }
  return c;
}

void* self() { return tlsSelf != nullptr ? tlsSelf->owner : nullptr; }

void pass(Context* from, Context* to) {
  sem_post(&to->cpu);
  waitFor(from != nullptr ? &from->cpu : &mainCpu);
}

void stay(Context* from) {
  for (;;) waitFor(from != nullptr ? &from->cpu : &mainCpu);
}

void reset() { sem_init(&mainCpu, 0, 0); }

}  // namespace simk::handover

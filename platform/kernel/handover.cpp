// The hand-over of the processor between task contexts, in user space: every task runs as a
// coroutine on the board's one host thread, with a stack of its own (mapped, a guard page below
// it), and passing the processor saves the callee-saved registers of one context on its stack
// and loads those of the other. On x86-64 that is a few instructions written here; elsewhere
// the C library's ucontext does it. The main context (the firmware's start-up) runs on the host
// thread's own stack. The host scheduler plays no part in the board's timing.
//
// What the host keeps per thread and the firmware would see per task goes with each context:
// the runtime heap's accounting (runtime_heap.h) and errno. Fault signals are taken on an
// alternate signal stack of the host thread, so that even a task that runs into its guard page
// becomes the processor's hard fault; a context stopped there never runs again. Under
// AddressSanitizer every switch is announced to it (its fiber interface), so that it checks
// each task's stack as that task's.
#include "handover.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime_heap.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SHAPEPLAY_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SHAPEPLAY_ASAN 1
#endif
#if SHAPEPLAY_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

#if !defined(__x86_64__)
#include <ucontext.h>
#endif

#if defined(__x86_64__)
// shapeplay_switch_stack(save, load): pushes the callee-saved registers and the floating-point
// control words of the calling context, stores its stack pointer in *save, takes `load` as the
// stack pointer and pops the other context's registers from it; it returns in that context.
// shapeplay_context_start: where a new context's first switch returns to; it calls r13(r12)
// and marks the end of the call chain for unwinders.
extern "C" void shapeplay_switch_stack(void** save, void* load);
extern "C" void shapeplay_context_start();
asm(R"(
  .text
  .p2align 4
  .globl shapeplay_switch_stack
  .hidden shapeplay_switch_stack
  .type shapeplay_switch_stack, @function
shapeplay_switch_stack:
  .cfi_startproc
  pushq %rbp
  .cfi_adjust_cfa_offset 8
  pushq %rbx
  .cfi_adjust_cfa_offset 8
  pushq %r12
  .cfi_adjust_cfa_offset 8
  pushq %r13
  .cfi_adjust_cfa_offset 8
  pushq %r14
  .cfi_adjust_cfa_offset 8
  pushq %r15
  .cfi_adjust_cfa_offset 8
  subq $8, %rsp
  .cfi_adjust_cfa_offset 8
  stmxcsr (%rsp)
  fnstcw 4(%rsp)
  movq %rsp, (%rdi)
  movq %rsi, %rsp
  ldmxcsr (%rsp)
  fldcw 4(%rsp)
  addq $8, %rsp
  .cfi_adjust_cfa_offset -8
  popq %r15
  .cfi_adjust_cfa_offset -8
  popq %r14
  .cfi_adjust_cfa_offset -8
  popq %r13
  .cfi_adjust_cfa_offset -8
  popq %r12
  .cfi_adjust_cfa_offset -8
  popq %rbx
  .cfi_adjust_cfa_offset -8
  popq %rbp
  .cfi_adjust_cfa_offset -8
  ret
  .cfi_endproc
  .size shapeplay_switch_stack, .-shapeplay_switch_stack

  .p2align 4
  .globl shapeplay_context_start
  .hidden shapeplay_context_start
  .type shapeplay_context_start, @function
shapeplay_context_start:
  .cfi_startproc
  .cfi_undefined rip
  movq %r12, %rdi
  callq *%r13
  ud2
  .cfi_endproc
  .size shapeplay_context_start, .-shapeplay_context_start
)");
#endif

namespace simk::handover {

class Context {
 public:
  void* owner = nullptr;
  void (*body)(void*) = nullptr;
#if defined(__x86_64__)
  void* sp = nullptr;  // while not running: where its registers are saved
#else
  ucontext_t uc{};
#endif
  void* stackLow = nullptr;  // the usable stack, above the guard page (null: the host's)
  std::size_t stackBytes = 0;
  simruntime::Accounting accounting;
  int savedErrno = 0;
  void* fakeStack = nullptr;  // AddressSanitizer's stack of this context's returned frames
};

namespace {

// A task's stack: what the host threads of the first design had, taken only as it is used.
constexpr std::size_t kStackBytes = 4u << 20;
constexpr std::size_t kSignalStackBytes = 256u << 10;

Context mainContext;              // the host thread's own stack
Context* running = &mainContext;  // the context that has the processor
Context* switchingFrom = nullptr;

std::size_t pageBytes() {
  static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// Runs in the context that gets the processor, right after the switch: it takes up its own
// accounting and errno, and finishes the switch for AddressSanitizer.
void arrived(Context* self) {
#if SHAPEPLAY_ASAN
  const void* fromLow = nullptr;
  std::size_t fromBytes = 0;
  __sanitizer_finish_switch_fiber(self->fakeStack, &fromLow, &fromBytes);
  if (switchingFrom != nullptr && switchingFrom->stackLow == nullptr) {
    switchingFrom->stackLow = const_cast<void*>(fromLow);  // the host thread's stack
    switchingFrom->stackBytes = fromBytes;
  }
#endif
  switchingFrom = nullptr;
  simruntime::setAccounting(self->accounting);
  errno = self->savedErrno;
}

void leaving(Context* from, Context* to) {
  from->accounting = simruntime::accounting();
  from->savedErrno = errno;
  running = to;
  switchingFrom = from;
#if SHAPEPLAY_ASAN
  __sanitizer_start_switch_fiber(&from->fakeStack, to->stackLow, to->stackBytes);
#else
  (void)to;
#endif
}

// A new context's first code: its body, which never returns (a task that returns halts).
void entry(Context* self) {
  arrived(self);
  self->body(self->owner);
  std::fputs("shapeplay-sim: a task context ended\n", stderr);
  std::abort();
}

#if !defined(__x86_64__)
void entryFromParts(unsigned high, unsigned low) {
  entry(reinterpret_cast<Context*>(static_cast<std::uintptr_t>(high) << 32 | low));
}
#endif

// Fault signals of every context are taken here (one host thread, one alternate stack).
void setSignalStack() {
  static void* stack = nullptr;
  if (stack == nullptr) {
    void* p = mmap(nullptr, kSignalStackBytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return;
    stack = p;
  }
  stack_t ss{};
  ss.ss_sp = stack;
  ss.ss_size = kSignalStackBytes;
  sigaltstack(&ss, nullptr);
}

}  // namespace

Context* create(void* owner, void (*body)(void* owner)) {
  const std::size_t guard = pageBytes();
  void* mapping = mmap(nullptr, kStackBytes + guard, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  if (mprotect(mapping, guard, PROT_NONE) != 0) {
    munmap(mapping, kStackBytes + guard);
    return nullptr;
  }
  simruntime::HostScope host;
  auto* c = new Context();
  c->owner = owner;
  c->body = body;
  c->stackLow = static_cast<char*>(mapping) + guard;
  c->stackBytes = kStackBytes;
  c->accounting = simruntime::Accounting{};
#if defined(__x86_64__)
  // The frame shapeplay_switch_stack pops: control words, r15, r14, r13 = entry, r12 = c,
  // rbx, rbp = 0 (the end of the frame chain), then the return into shapeplay_context_start.
  auto top = reinterpret_cast<std::uintptr_t>(c->stackLow) + kStackBytes;
  top &= ~static_cast<std::uintptr_t>(15);
  auto* frame = reinterpret_cast<std::uint64_t*>(top - 128);
  std::uint32_t mxcsr = 0;
  std::uint16_t fpcw = 0;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  asm volatile("fnstcw %0" : "=m"(fpcw));
  frame[0] = mxcsr | static_cast<std::uint64_t>(fpcw) << 32;
  frame[1] = 0;                                        // r15
  frame[2] = 0;                                        // r14
  frame[3] = reinterpret_cast<std::uint64_t>(&entry);  // r13
  frame[4] = reinterpret_cast<std::uint64_t>(c);       // r12
  frame[5] = 0;                                        // rbx
  frame[6] = 0;                                        // rbp
  frame[7] = reinterpret_cast<std::uint64_t>(&shapeplay_context_start);
  c->sp = frame;
#else
  getcontext(&c->uc);
  c->uc.uc_stack.ss_sp = c->stackLow;
  c->uc.uc_stack.ss_size = kStackBytes;
  c->uc.uc_link = nullptr;
  const auto bits = reinterpret_cast<std::uintptr_t>(c);
  makecontext(&c->uc, reinterpret_cast<void (*)()>(&entryFromParts), 2,
              static_cast<unsigned>(bits >> 32), static_cast<unsigned>(bits));
#endif
  return c;
}

void* self() { return running->owner; }

void pass(Context* from, Context* to) {
  Context* f = from != nullptr ? from : &mainContext;
  if (to == nullptr) to = &mainContext;
  if (f == to) return;
  leaving(f, to);
#if defined(__x86_64__)
  shapeplay_switch_stack(&f->sp, to->sp);
#else
  swapcontext(&f->uc, &to->uc);
#endif
  arrived(f);
}

void stay(Context* from) {
  // Every caller has handed the processor on before: a context that gets here has nothing
  // left to run and nobody to run it.
  (void)from;
  std::fputs("shapeplay-sim: a context stopped with no other context to run\n", stderr);
  std::abort();
}

void reset() {
  mainContext = Context{};
  mainContext.accounting = simruntime::accounting();
  running = &mainContext;
  setSignalStack();
}

}  // namespace simk::handover

// Faults of the simulated processor. A host fault signal (bad memory access, bad instruction,
// division by zero) raised while firmware runs becomes the processor's hard fault: the
// registers of the faulting context are stacked into an exception frame, the fault status
// registers are set, and the application's HardFault_Handler runs on the faulting thread. An
// interrupt without a handler of its own lands in the same handler with an empty frame.
//
// Simplification: the frame holds the host's argument registers and program counter cut to
// 32 bits; the status registers say which kind of fault it was, not the exact cause.
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "simhal.h"
#include "simkernel.h"

extern "C" void HardFault_Handler(void) __attribute__((weak));

namespace {

constexpr std::uint32_t kCfsrPreciseBusError = 0x00008200;  // PRECISERR + BFARVALID
constexpr std::uint32_t kCfsrUndefinedInstruction = 0x00010000;
constexpr std::uint32_t kCfsrDivideByZero = 0x02000000;
constexpr std::uint32_t kHfsrForced = 0x40000000;
constexpr std::uint32_t kPsrThumb = 0x01000000;

// The exception frame must have a 32-bit address, as on the board.
volatile std::uint32_t* frame() {
  static volatile std::uint32_t* f = [] {
    void* p =
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<volatile std::uint32_t*>(p);
  }();
  return f;
}

void onHostFault(int sig, siginfo_t* info, void* context) {
  volatile std::uint32_t* f = frame();
  if (f == nullptr || HardFault_Handler == nullptr || simk::inInterrupt()) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  const auto* uc = static_cast<const ucontext_t*>(context);
  const greg_t* r = uc->uc_mcontext.gregs;
  f[0] = static_cast<std::uint32_t>(r[REG_RDI]);
  f[1] = static_cast<std::uint32_t>(r[REG_RSI]);
  f[2] = static_cast<std::uint32_t>(r[REG_RDX]);
  f[3] = static_cast<std::uint32_t>(r[REG_RCX]);
  f[4] = static_cast<std::uint32_t>(r[REG_R8]);
  f[5] = 0;
  f[6] = static_cast<std::uint32_t>(r[REG_RIP]);
  f[7] = kPsrThumb;
  switch (sig) {
    case SIGFPE: sim_SCB.CFSR = kCfsrDivideByZero; break;
    case SIGILL: sim_SCB.CFSR = kCfsrUndefinedInstruction; break;
    default:
      sim_SCB.CFSR = kCfsrPreciseBusError;
      sim_SCB.BFAR = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info->si_addr));
      break;
  }
  sim_SCB.HFSR = kHfsrForced;
  char note[160];
  const int n =
      std::snprintf(note, sizeof note, "shapeplay-sim: hard fault in %s: %s at address %p\n",
                    simk::contextName(), strsignal(sig), info->si_addr);
  if (n > 0) (void)!write(2, note, static_cast<size_t>(n));
  // The handler never returns: it stops this context for good.
  HardFault_Handler();
}

}  // namespace

namespace simhal {

void installFaultHandlers() {
#if defined(SHAPEPLAY_SANITIZE)
  // The sanitizers report a bad access with its cause and history, far more than a hard fault
  // can tell: in that build faults are theirs.
  return;
#endif
  if (std::getenv("SHAPEPLAY_HOST_FAULTS") != nullptr) return;  // leave faults to a debugger
  (void)frame();
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = onHostFault;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(sig, &sa, nullptr);
}

void stackEmptyFrame() {
  volatile std::uint32_t* f = frame();
  if (f == nullptr) return;
  for (int i = 0; i < 8; ++i) f[i] = 0;
  f[7] = kPsrThumb;
  sim_SCB.HFSR = kHfsrForced;
}

std::uint32_t frameAddress() {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(frame()));
}

}  // namespace simhal

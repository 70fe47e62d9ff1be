// The board's inbox (siminbox.h): a ring of length-prefixed messages under a process-shared
// mutex, and the kernel's side that turns what waits into board events at scheduling points.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "kernel_state.h"
#include "runtime_heap.h"
#include "siminbox.h"

namespace simk {
namespace {

std::function<void(const std::string&)>& handler() {
  static std::function<void(const std::string&)> h;
  return h;
}

}  // namespace

SharedMutex::SharedMutex() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  pthread_mutex_init(&m_, &attr);
  pthread_mutexattr_destroy(&attr);
}

SharedMutex::~SharedMutex() { pthread_mutex_destroy(&m_); }

SharedMutex::Hold::Hold(SharedMutex& m) : m_(&m.m_) {
  if (pthread_mutex_lock(m_) == EOWNERDEAD) pthread_mutex_consistent(m_);
}

SharedMutex::Hold::~Hold() { pthread_mutex_unlock(m_); }

void Inbox::copyOut(std::size_t at, void* to, std::size_t n) const {
  at %= kBytes;
  const std::size_t first = std::min(n, kBytes - at);
  std::memcpy(to, bytes_ + at, first);
  std::memcpy(static_cast<unsigned char*>(to) + first, bytes_, n - first);
}

void Inbox::copyIn(std::size_t at, const void* from, std::size_t n) {
  at %= kBytes;
  const std::size_t first = std::min(n, kBytes - at);
  std::memcpy(bytes_ + at, from, first);
  std::memcpy(bytes_, static_cast<const unsigned char*>(from) + first, n - first);
}

bool Inbox::post(const void* message, std::size_t size) {
  if (size > kMaxMessage) return false;
  SharedMutex::Hold hold(lock_);
  const std::uint32_t used = used_.load(std::memory_order_relaxed);
  if (used + sizeof(std::uint32_t) + size > kBytes) return false;
  const auto length = static_cast<std::uint32_t>(size);
  copyIn(head_ + used, &length, sizeof length);
  copyIn(head_ + used + sizeof length, message, size);
  used_.store(used + static_cast<std::uint32_t>(sizeof length + size), std::memory_order_release);
  return true;
}

void Inbox::take(std::vector<std::string>& out) {
  SharedMutex::Hold hold(lock_);
  std::uint32_t used = used_.load(std::memory_order_relaxed);
  while (used >= sizeof(std::uint32_t)) {
    std::uint32_t length = 0;
    copyOut(head_, &length, sizeof length);
    std::string message(length, '\0');
    copyOut(head_ + sizeof length, message.data(), length);
    out.push_back(std::move(message));
    const auto step = static_cast<std::uint32_t>(sizeof length + length);
    head_ = static_cast<std::uint32_t>((head_ + step) % kBytes);
    used -= step;
  }
  used_.store(0, std::memory_order_release);
}

void Inbox::clear() {
  SharedMutex::Hold hold(lock_);
  head_ = 0;
  used_.store(0, std::memory_order_release);
}

void connectInbox(Inbox* inbox, std::function<void(const std::string&)> handler) {
  simruntime::HostScope host;
  detail::connectedInbox = inbox;
  simk::handler() = std::move(handler);
}

namespace detail {

Inbox* connectedInbox = nullptr;

void takeWaitingMessages() {
  simruntime::HostScope host;
  std::vector<std::string> messages;
  connectedInbox->take(messages);
  for (std::string& m : messages) {
    schedule(now(), kOrderBoard, [m = std::move(m)] { simk::handler()(m); });
  }
}

}  // namespace detail
}  // namespace simk

// The board's inbox: the only way by which host threads that are not the board's own (a
// window's event loop, its sound; they may even run in another process that shares the
// inbox's memory) reach the board. They never touch the board's state themselves: they post
// messages, under the inbox's lock, and the kernel takes whatever is there at its next
// scheduling point. Each message becomes a board event at the virtual time it was taken
// (order kOrderBoard, in the order posted) and is handled in interrupt context, as a
// scenario's command is. A board without an inbox pays one pointer test per scheduling point.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace simk {

// A mutex that works between processes (placed in memory shared before a fork); one whose
// holder died is taken over by the next taker, with what it guards as it was.
class SharedMutex {
 public:
  SharedMutex();
  ~SharedMutex();
  SharedMutex(const SharedMutex&) = delete;
  SharedMutex& operator=(const SharedMutex&) = delete;

  // Holds the mutex for its own lifetime.
  class Hold {
   public:
    explicit Hold(SharedMutex& m);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    pthread_mutex_t* m_;
  };

 private:
  pthread_mutex_t m_;
};

class Inbox {
 public:
  static constexpr std::size_t kBytes = 1 << 16;
  static constexpr std::size_t kMaxMessage = 8192;

  // The lock works between processes: an inbox placed in memory shared before a fork serves
  // host threads of every process that has it.
  Inbox() = default;
  Inbox(const Inbox&) = delete;
  Inbox& operator=(const Inbox&) = delete;

  // Any host thread. False (and nothing posted) when the message is longer than kMaxMessage
  // or the inbox has no room for it now.
  bool post(const void* message, std::size_t size);
  bool post(const std::string& message) { return post(message.data(), message.size()); }
  // Whether anything waits; a hint without the lock.
  bool waiting() const { return used_.load(std::memory_order_acquire) != 0; }
  // Takes every message out, oldest first, appending them to `out`.
  void take(std::vector<std::string>& out);
  // Drops whatever waits (a board that is off takes nothing).
  void clear();

 private:
  void copyOut(std::size_t at, void* to, std::size_t n) const;
  void copyIn(std::size_t at, const void* from, std::size_t n);

  SharedMutex lock_;
  std::atomic<std::uint32_t> used_{0};  // bytes held: a 4-byte length before each message
  std::uint32_t head_ = 0;              // where the oldest message starts
  unsigned char bytes_[kBytes];
};

// From now on the board takes the messages of `inbox` (null: none) and hands each to
// `handler`, in interrupt context. Called once at power-on.
void connectInbox(Inbox* inbox, std::function<void(const std::string& message)> handler);

}  // namespace simk

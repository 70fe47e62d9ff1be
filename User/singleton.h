// One lazily constructed instance of T, reached from any thread through Instance().
//
// The first call constructs the object in place in a function-local static area and sets a
// one-byte flag. Two threads may make the first call at once: construction runs under one
// recursive lock shared by all singletons (a singleton's constructor may use another one),
// and the flag is checked again inside it. Later calls only read the flag.
#pragma once

#include <atomic>
#include <new>

namespace singleton_detail {
void lock();
void unlock();
}  // namespace singleton_detail

template <class T>
class Singleton {
 public:
  static T& Instance() {
    if (!constructed().load(std::memory_order_acquire)) {
      singleton_detail::lock();
      if (!constructed().load(std::memory_order_relaxed)) {
        new (storage()) T();
        constructed().store(true, std::memory_order_release);
      }
      singleton_detail::unlock();
    }
    return *std::launder(reinterpret_cast<T*>(storage()));
  }

  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;

 private:
  Singleton() = default;

  static unsigned char* storage() {
    alignas(T) static unsigned char area[sizeof(T)];
    return area;
  }
  static std::atomic<bool>& constructed() {
    static std::atomic<bool> flag{false};
    return flag;
  }
};

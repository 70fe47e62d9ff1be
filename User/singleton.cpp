#include "singleton.h"

#include "cpp_freertos/mutex.hpp"
#include "stm32f7xx.h"

namespace {
// Created during static construction, before any thread exists.
cpp_freertos::MutexRecursive guard;
}  // namespace

namespace singleton_detail {

// An interrupt handler cannot wait for the lock; no thread runs while it does, so it may
// construct without it.
void lock() {
  if (__get_IPSR() == 0) guard.Lock();
}

void unlock() {
  if (__get_IPSR() == 0) guard.Unlock();
}

}  // namespace singleton_detail

// The simulated kernel's scheduling rules, each checked in a fresh board.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>

#include "board_child.h"
#include "cmsis_os.h"
#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/semaphore.hpp"
#include "cpp_freertos/thread.hpp"
#include "queue.h"
#include "runtime_heap.h"
#include "semphr.h"
#include "simhal.h"
#include "simkernel.h"
#include "simtim.h"
#include "stm32f7xx_hal.h"
#include "task.h"

// The application hooks the kernel calls.
extern "C" void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
// A fault stops the faulting task, as the firmware's handler does.
extern "C" void HardFault_Handler(void) { simk::halt("hard fault"); }
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }

namespace {

using boardtest::note;
using boardtest::tick;

// A kernel task running a lambda.
struct Body {
  std::function<void()> fn;
};
void trampoline(void* p) {
  static_cast<Body*>(p)->fn();
  for (;;) vTaskDelay(portMAX_DELAY);
}
TaskHandle_t spawn(const char* name, UBaseType_t prio, std::function<void()> fn) {
  TaskHandle_t h = nullptr;
  xTaskCreate(trampoline, name, 256, new Body{std::move(fn)}, prio, &h);
  return h;
}

std::string ms() { return std::to_string(simk::now() / simk::kMs) + "ms"; }

TEST(Kernel, SendThatWakesAHigherPriorityTaskSwitchesAtOnce) {
  auto r = boardtest::run([] {
    static QueueHandle_t q = xQueueCreate(1, sizeof(int));
    spawn("high", 3, [] {
      int v = 0;
      xQueueReceive(q, &v, portMAX_DELAY);
      note("high got " + std::to_string(v));
      simk::endRun(0, "");
    });
    spawn("low", 1, [] {
      note("low sends");
      int v = 7;
      xQueueSend(q, &v, 0);
      note("low after send");
    });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.notes, "low sends\nhigh got 7\n");
}

TEST(Kernel, EqualPrioritiesAreServedInArrivalOrderAndTakeTurnsAtEachTick) {
  auto r = boardtest::run([] {
    static QueueHandle_t q = xQueueCreate(4, sizeof(int));
    // Three receivers of one priority start waiting at ticks 1, 2 and 3.
    for (int i = 0; i < 3; ++i) {
      static const char* names[] = {"A", "B", "C"};
      const char* name = names[i];
      spawn(name, 2, [name, i] {
        vTaskDelay(i + 1);
        int v = 0;
        xQueueReceive(q, &v, portMAX_DELAY);
        note(std::string(name) + " got " + std::to_string(v));
      });
    }
    spawn("sender", 1, [] {
      vTaskDelay(5);
      for (int v = 1; v <= 3; ++v) xQueueSend(q, &v, 0);
    });
    // Two busy tasks of equal priority share the processor tick by tick.
    spawn("starter", 3, [] {
      vTaskDelay(10);
      for (const char* name : {"X", "Y"}) {
        spawn(name, 2, [name] {
          for (int i = 0; i < 3; ++i) {
            note(std::string(name) + " at tick " + std::to_string(tick()));
            simk::busyWait(2 * simk::kMs);
          }
          simk::halt("done");
        });
      }
      vTaskDelay(100);
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes,
            "A got 1\nB got 2\nC got 3\n"
            "X at tick 10\nY at tick 11\nX at tick 12\nY at tick 13\nX at tick 14\nY at tick 15\n");
}

TEST(Kernel, DelayAndDelayUntilCountTwoMillisecondTicks) {
  auto r = boardtest::run([] {
    spawn("delay", 2, [] {
      for (int i = 0; i < 3; ++i) {
        vTaskDelay(5);
        note("delay " + std::to_string(tick()) + " " + ms());
      }
    });
    struct Periodic : cpp_freertos::Thread {
      Periodic() : Thread("periodic", 256, 1) {}
      void Run() override {
        for (int i = 0; i < 3; ++i) {
          // The first call starts the period; the work before each wait does not shift it.
          simk::busyWait(3 * simk::kMs);
          DelayUntil(10);
          note("until " + std::to_string(tick()));
        }
        simk::endRun(0, "");
      }
    };
    (new Periodic())->Start();
  });
  EXPECT_EQ(r.notes, "delay 5 10ms\ndelay 10 20ms\nuntil 11\ndelay 15 30ms\nuntil 21\nuntil 31\n");
}

TEST(Kernel, QueueTimeOutsAndAFullQueueWithoutWaitingDropsTheItem) {
  auto r = boardtest::run([] {
    spawn("t", 2, [] {
      cpp_freertos::Queue q(2, sizeof(int));
      int v = 0;
      const bool got = q.Dequeue(&v, 50);
      note(std::string("empty: ") + (got ? "got" : "timeout") + " at " + std::to_string(tick()));
      int a = 1, b = 2, c = 3;
      const bool sa = q.Enqueue(&a, 0);
      const bool sb = q.Enqueue(&b, 0);
      const bool sc = q.Enqueue(&c, 0);
      note("sends: " + std::to_string(sa) + std::to_string(sb) + std::to_string(sc));
      const bool sent = q.Enqueue(&c, 20);
      note(std::string("full: ") + (sent ? "sent" : "timeout") + " at " + std::to_string(tick()));
      q.Dequeue(&v, 0);
      note("first " + std::to_string(v));
      q.Dequeue(&v, 0);
      note("second " + std::to_string(v));
      note(std::string("third: ") + (q.Dequeue(&v, 0) ? "got" : "none"));
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes,
            "empty: timeout at 50\nsends: 110\nfull: timeout at 70\nfirst 1\nsecond 2\n"
            "third: none\n");
}

TEST(Kernel, EnqueueFromAnInterruptWakesTheReceiverAtThatMoment) {
  auto r = boardtest::run([] {
    static cpp_freertos::Queue* q = new cpp_freertos::Queue(5, 1);
    spawn("rx", 2, [] {
      uint8_t v = 0;
      q->Dequeue(&v, portMAX_DELAY);
      note("got " + std::to_string(v) + " at " + std::to_string(simk::now() / simk::kUs) + "us");
      simk::endRun(0, "");
    });
    simk::schedule(5 * simk::kMs + 300 * simk::kUs, 6, [] {
      BaseType_t woken = pdFALSE;
      uint8_t v = 9;
      q->EnqueueFromISR(&v, &woken);
      note(std::string("woken ") + (woken ? "yes" : "no"));
      portYIELD_FROM_ISR(woken);
    });
  });
  EXPECT_EQ(r.notes, "woken yes\ngot 9 at 5300us\n");
}

TEST(Kernel, BinarySemaphoreGivenBeforeItIsTakenIsTakenOnce) {
  auto r = boardtest::run([] {
    spawn("t", 2, [] {
      cpp_freertos::BinarySemaphore s;
      note(std::string("fresh: ") + (s.Take(0) ? "taken" : "empty"));
      const bool first = s.Give();
      const bool second = s.Give();
      note(std::string("give: ") + (first ? "ok" : "fail") + " again: " + (second ? "ok" : "fail"));
      note(std::string("take: ") + (s.Take(0) ? "taken" : "empty"));
      const bool late = s.Take(3);
      note(std::string("take: ") + (late ? "taken" : "empty") + " at " + std::to_string(tick()));
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "fresh: empty\ngive: ok again: fail\ntake: taken\ntake: empty at 3\n");
}

TEST(Kernel, MessagePutWithoutTimeOutOnAFullQueueGivesUpAfterOneTick) {
  auto r = boardtest::run([] {
    spawn("t", 2, [] {
      osMessageQDef(q, 1, uint16_t);
      osMessageQId id = osMessageCreate(osMessageQ(q), nullptr);
      vTaskDelay(3);
      for (uint32_t value : {0x1234U, 5U}) {
        const osStatus s = osMessagePut(id, value, 0);
        note("put " + std::to_string(s) + " at " + std::to_string(tick()));
      }
      const osEvent e = osMessageGet(id, 0);
      note("get " + std::to_string(e.status) + " value " + std::to_string(e.value.v));
      const osEvent none = osMessageGet(id, 10);  // 10 ms are 5 ticks
      note("get " + std::to_string(none.status) + " at " + std::to_string(tick()));
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "put 0 at 3\nput 255 at 4\nget 16 value 4660\nget 64 at 9\n");
}

// Milliseconds become kernel ticks of 2 ms as the CMSIS-RTOS layer does on this kernel
// (millisec / portTICK_PERIOD_MS, cut down), with at least one tick for a wait that is not 0.
TEST(Kernel, CmsisMillisecondsBecomeTicksCutDownAndAtLeastOne) {
  auto r = boardtest::run([] {
    spawn("t", 2, [] {
      osMessageQDef(q, 1, uint32_t);
      osMessageQId id = osMessageCreate(osMessageQ(q), nullptr);
      for (uint32_t millisec : {1U, 2U, 3U, 5U, 7U, 9U}) {
        vTaskDelay(1);  // from a tick on
        const unsigned start = tick();
        osDelay(millisec);
        const unsigned delayed = tick();
        (void)osMessageGet(id, millisec);  // nothing comes
        note(std::to_string(millisec) + ": " + std::to_string(delayed - start) + " " +
             std::to_string(tick() - delayed));
      }
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "1: 1 1\n2: 1 1\n3: 1 1\n5: 2 2\n7: 3 3\n9: 4 4\n");
}

TEST(Kernel, MutexHolderInheritsThePriorityOfItsWaiter) {
  auto r = boardtest::run([] {
    static cpp_freertos::MutexStandard* m = new cpp_freertos::MutexStandard();
    spawn("low", 1, [] {
      m->Lock();
      note("low holds");
      vTaskDelay(2);  // high starts waiting meanwhile
      note("low prio " + std::to_string(uxTaskPriorityGet(nullptr)) + "/" +
           std::to_string(pcTaskGetName(nullptr)[0]));
      simk::busyWait(10 * simk::kMs);  // middle is ready but must not run before the unlock
      note("low unlocks");
      m->Unlock();
      note("low done");
    });
    spawn("high", 3, [] {
      vTaskDelay(1);
      note("high waits");
      m->Lock();
      note("high locked");
      m->Unlock();
    });
    spawn("middle", 2, [] {
      vTaskDelay(3);
      note("middle runs");
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes,
            "low holds\nhigh waits\nlow prio 1/108\nlow unlocks\nhigh locked\nmiddle runs\n");
}

TEST(Kernel, DeadlockEndsTheRunNamingTheWaitingTasks) {
  auto r = boardtest::run(
      [] {
        static QueueHandle_t q = xQueueCreate(1, 1);
        spawn("stuck", 2, [] {
          uint8_t v;
          xQueueReceive(q, &v, portMAX_DELAY);
        });
      },
      {.duration = 10 * simk::kS, .kernelTick = true});
  EXPECT_EQ(r.status, 3);
}

TEST(Kernel, AHaltedTaskStopsForGoodWhileTheOthersRunOn) {
  auto r = boardtest::run([] {
    spawn("doomed", 3, [] {
      vTaskDelay(1);
      simk::halt("bad alloc");
    });
    spawn("worker", 2, [] {
      for (int i = 0; i < 3; ++i) {
        vTaskDelay(2);
        note("worker " + std::to_string(tick()));
      }
      for (const auto& t : simk::tasks()) {
        if (t.name == "doomed") note("doomed " + t.state);
      }
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "worker 2\nworker 4\nworker 6\ndoomed halted\n");
  EXPECT_NE(r.trace.find(R"({"t":2000,"ev":"halt","thread":"doomed","reason":"bad alloc"})"),
            std::string::npos)
      << r.trace;
}

// ---- the timeline

TEST(Timeline, EventsOfOneInstantRunInOrderThenAsScheduledAndCancelledOnesNever) {
  auto r = boardtest::run([] {
    auto at = [](simk::Time t, int order, const char* what) {
      return simk::schedule(t, order, [what] { note(std::string(what) + " " + ms()); });
    };
    at(2 * simk::kMs, 5, "b1");
    at(2 * simk::kMs, 3, "a");
    at(2 * simk::kMs, 5, "b2");
    const simk::EventId gone = at(2 * simk::kMs, 1, "cancelled");
    at(1 * simk::kMs, 9, "early");
    const bool first = simk::cancel(gone), second = simk::cancel(gone);
    note(std::string("cancel: ") + (first ? "yes" : "no") + ", again: " + (second ? "yes" : "no"));
    // An event in the past runs now; an event that has run cannot be cancelled, and its id
    // does not cancel the event that reuses its place.
    simk::schedule(3 * simk::kMs, 0, [] {
      static simk::EventId done;
      done = simk::schedule(0, 0, [] { note("past " + ms()); });
      simk::schedule(4 * simk::kMs, 0, [] {
        const simk::EventId next = simk::schedule(5 * simk::kMs, 0, [] { note("reused"); });
        note(std::string("stale id cancels: ") + (simk::cancel(done) ? "yes" : "no"));
        (void)next;
      });
    });
    simk::schedule(
        6 * simk::kMs, simk::kOrderEnd, [] { simk::endRun(0, ""); }, false);
  });
  EXPECT_EQ(r.notes,
            "cancel: yes, again: no\nearly 1ms\na 2ms\nb1 2ms\nb2 2ms\npast 3ms\n"
            "stale id cancels: no\nreused\n");
}

// A periodic event's next is on the timeline before its work runs: what the work schedules
// for the same instant comes after the next, what it schedules now comes first.
TEST(Timeline, APeriodicEventKeepsItsPeriodAndItsNextComesBeforeWhatItsWorkSchedules) {
  auto r = boardtest::run(
      [] {
        static simk::Periodic p;
        static int fired = 0;
        p.start(1 * simk::kMs, 3 * simk::kMs, 5, true, [] {
          note("p " + ms());
          if (++fired == 1) {
            simk::schedule(simk::now(), 5, [] { note("now " + ms()); });
            simk::schedule(simk::now() + p.period(), 5, [] { note("later " + ms()); });
          }
          if (fired == 3) p.stop();
        });
      },
      {.duration = 20 * simk::kMs, .kernelTick = false});
  EXPECT_EQ(r.notes, "p 1ms\nnow 1ms\np 4ms\nlater 4ms\np 7ms\n");
}

// ---- task contexts

TEST(Contexts, EveryTaskRunsOnAStackOfItsOwn) {
  auto r = boardtest::run([] {
    // Each task fills a large frame, then lets the others run before it checks it.
    for (int i = 0; i < 12; ++i) {
      spawn("worker", 2, [i] {
        volatile unsigned char frame[256 * 1024];
        for (unsigned char& b : const_cast<unsigned char(&)[256 * 1024]>(frame)) {
          b = static_cast<unsigned char>(i);
        }
        vTaskDelay(1);
        bool intact = true;
        for (unsigned k = 0; k < sizeof frame; k += 4096) intact = intact && frame[k] == i;
        if (!intact) note("frame of task " + std::to_string(i) + " overwritten");
      });
    }
    spawn("end", 1, [] {
      vTaskDelay(5);
      note("done");
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "done\n");
}

TEST(Contexts, ATaskThatOverflowsItsStackStopsWithAHardFaultAndTheOthersRunOn) {
#if defined(SHAPEPLAY_SANITIZE)
  GTEST_SKIP() << "in the sanitizer build faults are the sanitizers' (no hard fault handler)";
#endif
  auto r = boardtest::run([] {
    simhal::installFaultHandlers();
    spawn("deep", 3, [] {
      // Far deeper than any stack (the compiler cannot see that the depth has no end).
      struct Recurse {
        static int down(int n) {
          static volatile int depth = 1 << 30;
          volatile char frame[4096];
          frame[0] = static_cast<char>(n);
          return n < depth ? down(n + 1) + frame[0] : 0;
        }
      };
      vTaskDelay(1);
      note(std::to_string(Recurse::down(0)));
    });
    spawn("other", 2, [] {
      vTaskDelay(5);
      for (const auto& t : simk::tasks()) {
        if (t.name == "deep") note("deep " + t.state);
      }
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.notes, "deep halted\n");
  EXPECT_NE(r.trace.find(R"("ev":"halt","thread":"deep","reason":"hard fault")"),
            std::string::npos);
}

// What the host keeps per thread goes with each task: a task that waits inside the board's
// own bookkeeping does not make another task's allocations the board's.
TEST(Contexts, HeapAccountingAndErrnoStayWithTheirTask) {
  auto r = boardtest::run([] {
    spawn("board", 3, [] {
      simruntime::HostScope host;
      errno = EINTR;
      vTaskDelay(2);
      note(std::string("errno kept: ") + (errno == EINTR ? "yes" : "no"));
    });
    spawn("firmware", 2, [] {
      vTaskDelay(1);
      errno = 0;
      const std::size_t before = simruntime::runtimeHeapInUse();
      static void* volatile block = std::malloc(1000);
      note(std::string("counted: ") +
           (simruntime::runtimeHeapInUse() >= before + 1000 ? "yes" : "no"));
      std::free(block);
      vTaskDelay(5);
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "counted: yes\nerrno kept: yes\n");
}

// ---- periodic interrupts in batches

extern "C" void TIM4_IRQHandler(void);

TIM_HandleTypeDef dimmer;

// The handler decides: it stops its timer at its 700th update, inside the second batch.
extern "C" void TIM4_IRQHandler(void) {
  static unsigned seen = 0;
  HAL_TIM_IRQHandler(&dimmer);
  if (++seen == 700) HAL_TIM_Base_Stop_IT(&dimmer);
}

TEST(Timers, ABatchCallsTheHandlerOnceAnUpdateAndStopsWhenTheHandlerStopsTheTimer) {
  auto r = boardtest::run([] {
    dimmer.Instance = TIM4;
    dimmer.Init.Prescaler = 0;
    dimmer.Init.Period = 1000;  // 10.01 us: run in batches of 512 (the board's wiring)
    HAL_TIM_Base_Init(&dimmer);
    HAL_NVIC_EnableIRQ(TIM4_IRQn);
    HAL_TIM_Base_Start_IT(&dimmer);
    spawn("check", 1, [] {
      vTaskDelay(100);
      note("updates " + std::to_string(simhal::timerUpdates(TIM4)));
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.notes, "updates 700\n");
}

TEST(KernelHeap, FirstFitReusesFreedBlocksAndMergesNeighbours) {
  auto r = boardtest::run([] {
    const size_t free0 = xPortGetFreeHeapSize();
    void* a = pvPortMalloc(1000);
    void* b = pvPortMalloc(1000);
    void* c = pvPortMalloc(1000);
    note("each block costs " + std::to_string((free0 - xPortGetFreeHeapSize()) / 3));
    vPortFree(b);
    void* d = pvPortMalloc(500);
    note(std::string("first fit reuses the hole: ") + (d == b ? "yes" : "no"));
    vPortFree(d);
    vPortFree(a);
    vPortFree(c);
    note(std::string("all merged: ") + (xPortGetFreeHeapSize() == free0 ? "yes" : "no"));
    void* big = pvPortMalloc(free0 - 64);
    note(std::string("one block of nearly all: ") + (big != nullptr ? "yes" : "no"));
    note(std::string("more than free: ") + (pvPortMalloc(free0) == nullptr ? "refused" : "given"));
    vPortFree(big);
    note("peak " + std::to_string(simk::kernelHeapPeak() >= free0 - 64 ? 1 : 0));
    simk::endRun(0, "");
  });
  EXPECT_EQ(r.notes,
            "each block costs 1008\nfirst fit reuses the hole: yes\nall merged: yes\n"
            "one block of nearly all: yes\nmore than free: refused\npeak 1\n");
}

}  // namespace

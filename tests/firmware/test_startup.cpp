// The firmware's start-up on the simulated board: console, thread set, objects it shares.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "FreeRTOS.h"
#include "board_child.h"
#include "console.h"
#include "freeRtosAllocator.h"
#include "gui/User/modelUserData.h"
#include "gui/model/Model.hpp"
#include "process.h"
#include "runtime_heap.h"
#include "simhal.h"
#include "simtim.h"
#include "singleton.h"
#include "task.h"
#include "usart1.h"

int firmware_main(void);

namespace {

using boardtest::note;

// The firmware brings its own tick (TIM6).
boardtest::Options shortRun(simk::Time duration) {
  return {.duration = duration, .kernelTick = false};
}

std::string stateOf(const std::string& name) {
  for (const auto& t : simk::tasks()) {
    if (t.name == name) return t.state;
  }
  return "missing";
}

// The calls of the start-up in the trace, one a line: "call args".
std::string setUpCalls(const std::string& trace) {
  std::string out;
  const std::regex call(R"re("ev":"hal","call":"([^"]*)"(?:,"args":"([^"]*)")?)re");
  const std::regex gpio(R"re("ev":"gpio","port":"(.)","pin":(\d+),"level":(\d))re");
  const std::regex console(R"re("ev":"console","text":"([^"]*)")re");
  std::smatch m;
  size_t pos = 0;
  while (pos < trace.size()) {
    const size_t end = trace.find('\n', pos);
    const std::string line = trace.substr(pos, end - pos);
    pos = end + 1;
    if (std::regex_search(line, m, call)) {
      out += m[1].str() + (m[2].matched ? " " + m[2].str() : "") + "\n";
    } else if (std::regex_search(line, m, gpio)) {
      out += "pin P" + m[1].str() + m[2].str() + "=" + m[3].str() + "\n";
    } else if (std::regex_search(line, m, console)) {
      out += "console " + m[1].str() + "\n";
    }
  }
  return out;
}

// The set-up calls of the board, from the start to the main thread's display.
void expectBroughtUpInOrder(const std::string& calls) {
  // The millisecond tick follows each clock change; before HAL_Init its priority is not known.
  auto clockTree = [](const char* tickPriority) {
    return std::string(
               "HAL_RCC_OscConfig hse=on lse=off pll=on M=25 N=400 P=2 Q=8\n"
               "HAL_PWREx_EnableOverDrive\n"
               "HAL_RCC_ClockConfig source=2 ahb=1 apb1=4 apb2=2 latency=6\n") +
           tickPriority +
           "HAL_RCCEx_PeriphCLKConfig select=0x200000 saiN=192 saiP=1 clk48=0x8000000 rtc=0x0\n";
  };
  const std::string expected =
      // cycle counter on before anything else, then clocks, grouping, caches, library
      "HAL_MPU_Disable cycle-counter=on\n" + clockTree("") +
      "HAL_NVIC_SetPriorityGrouping NVIC_PRIORITYGROUP_4\n"
      "SCB_EnableICache\nSCB_EnableDCache\nHAL_Init\n"
      "HAL_NVIC_SetPriority irq=-1 preempt=15 sub=0\n"
      "RCC_CLK_ENABLE GPIOA\nRCC_CLK_ENABLE GPIOB\nRCC_CLK_ENABLE GPIOC\nRCC_CLK_ENABLE GPIOD\n"
      "RCC_CLK_ENABLE GPIOE\nRCC_CLK_ENABLE GPIOF\nRCC_CLK_ENABLE GPIOG\nRCC_CLK_ENABLE GPIOH\n"
      "RCC_CLK_ENABLE GPIOI\nRCC_CLK_ENABLE GPIOJ\nRCC_CLK_ENABLE GPIOK\n"
      "RCC_CLK_ENABLE USART1\nRCC_CLK_ENABLE LTDC\nRCC_CLK_ENABLE BKPSRAM\n"
      // flash mapped, clocks once more, backlight enable high
      "BSP_QSPI_Init\nBSP_QSPI_EnableMemoryMappedMode\n" +
      clockTree("HAL_NVIC_SetPriority irq=-1 preempt=15 sub=0\n") +
      "HAL_GPIO_Init GPIOK pins=3 mode=OUTPUT_PP pull=NOPULL speed=0\n"
      "pin PK3=1\n"
      // kernel tick: TIM6 every 2 ms at the lowest priority
      "RCC_CLK_ENABLE TIM6\n"
      "HAL_NVIC_SetPriority irq=54 preempt=15 sub=0\nHAL_NVIC_EnableIRQ irq=54\n"
      "HAL_TIM_Base_Init TIM6 prescaler=3 period=49999\nHAL_TIM_Base_Start_IT TIM6\n"
      // real-time clock from the crystal, 1 Hz
      "HAL_RCC_OscConfig hse=off lse=on pll=off M=0 N=0 P=0 Q=0\n"
      "HAL_RCCEx_PeriphCLKConfig select=0x20 saiN=0 saiP=0 clk48=0x0 rtc=0x100\n"
      "RCC_CLK_ENABLE RTC\nHAL_RTC_Init format=0 async=127 sync=255 output=0\n"
      // millisecond tick above everything, then the console
      "HAL_NVIC_SetPriority irq=-1 preempt=0 sub=0\n"
      "HAL_UART_Init USART1 baud=256000 word=0 stop=0 parity=0 mode=12 flow=0 oversampling=0\n"
      "HAL_GPIO_Init GPIOA pins=9 mode=AF_PP pull=PULLUP speed=3 af=7\n"
      "HAL_GPIO_Init GPIOB pins=7 mode=AF_OD pull=PULLUP speed=3 af=7\n"
      "HAL_NVIC_SetPriority irq=37 preempt=10 sub=0\nHAL_NVIC_EnableIRQ irq=37\n"
      // USB host: controller on PA10-12, VBUS switch on PD5 (high = off), then VBUS on
      "USBH_Init\n"
      "HAL_HCD_Init channels=11 speed=1 dma=0 phy=2 sof=0 vbus-sensing=0\n"
      "HAL_GPIO_Init GPIOA pins=11,12 mode=AF_PP pull=NOPULL speed=3 af=10\n"
      "HAL_GPIO_Init GPIOA pins=10 mode=AF_OD pull=PULLUP speed=3 af=10\n"
      "HAL_GPIO_Init GPIOD pins=5 mode=OUTPUT_PP pull=NOPULL speed=2\n"
      "RCC_CLK_ENABLE OTGFS\n"
      "HAL_NVIC_SetPriority irq=67 preempt=5 sub=0\nHAL_NVIC_EnableIRQ irq=67\n"
      "USBH_RegisterClass MSC\nUSBH_Start\nHAL_HCD_Start\npin PD5=0\n"
      // the console sends from its interrupt: "Hello World" leaves the line during the 200 ms
      // the VBUS switch takes; "Init done" follows while the threads start
      "console Hello World\n"
      // the scheduler starts the run-time statistics timer: TIM7 at 100 kHz
      "RCC_CLK_ENABLE TIM7\n"
      "HAL_NVIC_SetPriority irq=55 preempt=5 sub=0\nHAL_NVIC_EnableIRQ irq=55\n"
      "HAL_TIM_Base_Init TIM7 prescaler=3 period=249\nHAL_TIM_Base_Start_IT TIM7\n"
      // the main thread: display, graphics, application threads
      "BSP_LCD_Init\nBSP_LCD_Clear colour=0xFF00FF00\n";
  EXPECT_EQ(calls.substr(0, expected.size()), expected);
}

// The console says hello, starts the threads and the GUI (the main loop loads the settings, a
// blank serial SRAM, before the GUI starts, and every thread waits by then); the threads the device
// needs, with their priorities and stacks (words), in the order the start-up creates them; and the
// board's set-up calls in their order.
TEST(Startup, ConsoleThreadsAndSetUpCallsInTheirOrder) {
  auto r = boardtest::run(
      [] {
        // "Gui Start" comes only once every thread waits where it first waits.
        static std::string line;
        simhal::attachUartReceiver(USART1, [](uint8_t byte) {
          simconsole::put(byte);
          if (byte != '\n') {
            line.push_back(static_cast<char>(byte));
            return;
          }
          if (line == "Gui Start\r") {
            for (const char* name : {"MainAudioTask", "HumanInputTask", "LedThread", "AudioPlayer",
                                     "DecodeMp3", "DacTask", "STORAGE_Thread", "USBH_Thread"}) {
              note(std::string(name) + " " + stateOf(name));
            }
          }
          line.clear();
        });
        firmware_main();
      },
      shortRun(500 * simk::kMs));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.notes,
            "MainAudioTask delayed\nHumanInputTask delayed\nLedThread semaphore\n"
            "AudioPlayer queue\nDecodeMp3 queue\nDacTask queue\nSTORAGE_Thread queue\n"
            "USBH_Thread queue\n");
  EXPECT_EQ(r.console,
            "Hello World\r\nInit done, starting threads.\r\nConf default; size: 16 kb\n"
            "Conf default\nGui Start\r\n");
  std::string threads, expected;
  for (const std::string& line : proc::events(r.trace, "thread")) {
    threads += line.substr(line.find("\"name\"")) + "\n";
  }
  const struct {
    const char* name;
    int prio;
    int stack;
  } table[] = {{"USBH_Thread", 6, 128},   {"STORAGE_Thread", 6, 128}, {"Main_Thread", 3, 16384},
               {"IDLE", 0, 128},          {"DacTask", 5, 2048},       {"DecodeMp3", 5, 16384},
               {"AudioPlayer", 5, 16384}, {"LedThread", 6, 4096},     {"HumanInputTask", 4, 8192},
               {"MainAudioTask", 4, 8192}};
  for (const auto& t : table) {
    expected += std::string(R"("name":")") + t.name + R"(","prio":)" + std::to_string(t.prio) +
                R"(,"stack":)" + std::to_string(t.stack) + "}\n";
  }
  EXPECT_EQ(threads, expected);
  expectBroughtUpInOrder(setUpCalls(r.trace));
}

TEST(Startup, CharactersPrintedBeforeTheConsoleIsUpAreDropped) {
  auto r = boardtest::run(
      [] {
        puts("too early\r");
        Usart1::initUsart();
        puts("still too early\r");
        Usart1::initialized = true;
        puts("on the wire\r");
        simk::busyWait(simk::kMs);  // the console sends from its interrupt
        simk::endRun(0, "");
      },
      shortRun(simk::kS));
  EXPECT_EQ(r.console, "on the wire\r\n");
}

struct Counted {
  static inline int constructions = 0;
  Counted() { ++constructions; }
  int value = 42;
};

TEST(Singleton, ConstructsOnceAndReturnsTheSameObject) {
  auto r = boardtest::run(
      [] {
        // Two threads of equal priority make their first call while the other may be inside.
        for (const char* name : {"first", "second"}) {
          xTaskCreate(
              [](void*) {
                Counted& c = Singleton<Counted>::Instance();
                note("value " + std::to_string(c.value));
                for (;;) vTaskDelay(portMAX_DELAY);
              },
              name, 256, nullptr, 4, nullptr);
        }
        xTaskCreate(
            [](void*) {
              vTaskDelay(5);
              Counted* a = &Singleton<Counted>::Instance();
              Counted* b = &Singleton<Counted>::Instance();
              note("same " + std::to_string(a == b) + " constructions " +
                   std::to_string(Counted::constructions));
              simk::endRun(0, "");
            },
            "check", 256, nullptr, 2, nullptr);
      },
      {.duration = simk::kS});
  EXPECT_EQ(r.notes, "value 42\nvalue 42\nsame 1 constructions 1\n");
}

TEST(FreeRtosAllocator, RequestBeyondTheFreeHeapHaltsOnlyTheCallingThread) {
  auto r = boardtest::run(
      [] {
        Usart1::initUsart();
        Usart1::initialized = true;
        xTaskCreate(
            [](void*) {
              vTaskDelay(2);
              FreeRtosAllocator_namespace::FreeRtosAllocator<uint32_t> alloc;
              (void)alloc.allocate(xPortGetFreeHeapSize());  // four times what is free
              note("allocator returned");
            },
            "greedy", 256, nullptr, 4, nullptr);
        xTaskCreate(
            [](void*) {
              for (int i = 0; i < 3; ++i) {
                vTaskDelay(2);
                note("still running at " + std::to_string(xTaskGetTickCount()));
              }
              note("greedy " + stateOf("greedy"));
              simk::endRun(0, "");
            },
            "other", 256, nullptr, 3, nullptr);
      },
      {.duration = simk::kS});
  EXPECT_EQ(r.console, "bad alloc\r\n");
  EXPECT_EQ(r.notes, "still running at 2\nstill running at 4\nstill running at 6\ngreedy halted\n");
  EXPECT_NE(r.trace.find(R"("ev":"halt","thread":"greedy","reason":"bad alloc")"),
            std::string::npos);
}

TEST(Queues, SixUserRequestsWhileTheReceiverIsBusyFiveArriveInOrder) {
  auto r = boardtest::run(
      [] {
        static Model model;  // creates the two queues as the graphics start-up does
        xTaskCreate(
            [](void*) {
              vTaskDelay(10);  // busy while the requests come in
              ModelUserEvent e;
              while (guiQueueModelUserEvent->Dequeue(&e, 0)) {
                note(std::to_string(e.button) + " main=" + std::to_string(e.selectedMainFolder));
              }
              simk::endRun(0, "");
            },
            "receiver", 256, nullptr, 4, nullptr);
        for (uint32_t i = 0; i < 6; ++i) {
          simk::schedule((i + 1) * simk::kMs, simk::kOrderBoard, [i] {
            ModelUserEvent e;
            e.button = BTN_Folder_Forward;
            e.selectedMainFolder = i;
            BaseType_t woken = pdFALSE;
            note(std::string("sent ") +
                 (guiQueueModelUserEvent->EnqueueFromISR(&e, &woken) ? "ok" : "lost"));
          });
        }
      },
      {.duration = simk::kS});
  EXPECT_EQ(r.notes,
            "sent ok\nsent ok\nsent ok\nsent ok\nsent ok\nsent lost\n"
            "5 main=0\n5 main=1\n5 main=2\n5 main=3\n5 main=4\n");
}

TEST(HardFault, ABadAccessPrintsTheFrameAndStopsOnlyThatThread) {
#if defined(SHAPEPLAY_SANITIZE)
  GTEST_SKIP() << "in the sanitizer build faults are the sanitizers'";
#endif
  auto r = boardtest::run(
      [] {
        Usart1::initUsart();
        Usart1::initialized = true;
        xTaskCreate(
            [](void*) {
              vTaskDelay(1);
              // An address the compiler cannot see through: 0x10, nothing mapped there.
              static volatile uintptr_t address = 0x10;
              *reinterpret_cast<volatile uint32_t*>(address) = 1;
              note("store went through");
            },
            "faulty", 256, nullptr, 4, nullptr);
        xTaskCreate(
            [](void*) {
              vTaskDelay(100);
              note("other still runs");
              simk::endRun(0, "");
            },
            "other", 256, nullptr, 3, nullptr);
      },
      {.duration = simk::kS});
  EXPECT_EQ(r.notes, "other still runs\n");
  EXPECT_EQ(r.console.rfind("\n\n[Hard fault handler - all numbers in hex]\nR0 = ", 0), 0u)
      << r.console;
  for (const char* line : {"\nR12 = ", "\nLR [R14] = ", "  subroutine call return address\n",
                           "\nPC [R15] = ", "  program counter\n", "\nPSR = 1000000\n",
                           "\nBFAR = 10\n", "\nCFSR = 8200\n", "\nHFSR = 40000000\n",
                           "\nDFSR = 0\n", "\nAFSR = 0\n", "\nSCB_SHCSR = 0\n"}) {
    EXPECT_NE(r.console.find(line), std::string::npos) << line;
  }
  EXPECT_NE(r.trace.find(R"("ev":"halt","thread":"faulty")"), std::string::npos);
}

// A model that starts watching its lines when the firmware starts a timer (the backlight)
// does so on the firmware's thread: that bookkeeping is the board's memory, not the
// firmware's heap, and stays out of the heap figures of the trace.
TEST(Heap, TheBoardsListenersCostTheFirmwaresHeapNothing) {
  auto r = boardtest::run(
      [] {
        simruntime::countThisThread();  // as the firmware's threads are
        const size_t before = simruntime::runtimeHeapInUse();
        for (int i = 0; i < 8; ++i) {
          simhal::onOutputChange(2, 9, [](bool) {});
          simhal::onTimerBatch(TIM2, [] {});
          simhal::onTimerStart(TIM2, [] {});
        }
        note("grew by " + std::to_string(simruntime::runtimeHeapInUse() - before));
        simk::endRun(0, "");
      },
      shortRun(simk::kS));
  EXPECT_EQ(r.notes, "grew by 0\n");
}

}  // namespace

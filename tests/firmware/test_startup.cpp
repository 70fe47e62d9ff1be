// The firmware's start-up on the simulated board: console, thread set, objects it shares.
#include <gtest/gtest.h>

#include <string>

#include "FreeRTOS.h"
#include "board_child.h"
#include "console.h"
#include "freeRtosAllocator.h"
#include "gui/User/modelUserData.h"
#include "gui/model/Model.hpp"
#include "gui/model/ModelListener.hpp"
#include "simhal.h"
#include "singleton.h"
#include "task.h"
#include "usart1.h"

int firmware_main(void);

namespace {

using boardtest::note;

boardtest::Options shortRun(simk::Time duration) {
  boardtest::Options o;
  o.duration = duration;
  o.kernelTick = false;  // the firmware brings its own tick (TIM6)
  return o;
}

std::string stateOf(const std::string& name) {
  for (const auto& t : simk::tasks()) {
    if (t.name == name) return t.state;
  }
  return "missing";
}

TEST(Startup, ConsoleSaysHelloThenStartsThreadsThenTheGui) {
  auto r = boardtest::run([] { firmware_main(); }, shortRun(100 * simk::kMs));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console, "Hello World\r\nInit done, starting threads.\r\nGui Start\r\n");
}

TEST(Startup, ThreadTableInCreationOrder) {
  auto r = boardtest::run([] { firmware_main(); }, shortRun(100 * simk::kMs));
  const std::string expected = R"("name":"USBH_Thread","prio":6,"stack":128})"
                               "\n"
                               R"("name":"STORAGE_Thread","prio":6,"stack":128})"
                               "\n"
                               R"("name":"Main_Thread","prio":3,"stack":16384})"
                               "\n"
                               R"("name":"IDLE","prio":0,"stack":128})"
                               "\n"
                               R"("name":"DacTask","prio":5,"stack":2048})"
                               "\n"
                               R"("name":"DecodeMp3","prio":5,"stack":16384})"
                               "\n"
                               R"("name":"AudioPlayer","prio":5,"stack":16384})"
                               "\n"
                               R"("name":"LedThread","prio":6,"stack":4096})"
                               "\n"
                               R"("name":"HumanInputTask","prio":4,"stack":8192})"
                               "\n"
                               R"("name":"MainAudioTask","prio":4,"stack":8192})"
                               "\n";
  std::string got;
  for (const std::string& line : {boardtest::grep(r.trace, R"("ev":"thread")")}) got = line;
  std::string stripped;
  size_t pos = 0;
  while (pos < got.size()) {
    const size_t end = got.find('\n', pos);
    const std::string line = got.substr(pos, end - pos);
    stripped += line.substr(line.find("\"name\"")) + "\n";
    pos = end + 1;
  }
  EXPECT_EQ(stripped, expected);
}

TEST(Startup, GuiStartComesOnlyOnceEveryThreadWaits) {
  auto r = boardtest::run(
      [] {
        static std::string line;
        simhal::setConsoleSink([](uint8_t byte) {
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
      shortRun(50 * simk::kMs));
  EXPECT_EQ(r.notes,
            "MainAudioTask delayed\nHumanInputTask delayed\nLedThread semaphore\n"
            "AudioPlayer queue\nDecodeMp3 queue\nDacTask queue\nSTORAGE_Thread queue\n"
            "USBH_Thread queue\n");
}

TEST(Startup, CharactersPrintedBeforeTheConsoleIsUpAreDropped) {
  auto r = boardtest::run(
      [] {
        puts("too early\r");
        Usart1::initUsart();
        puts("still too early\r");
        Usart1::initialized = true;
        puts("on the wire\r");
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
      []() {
        boardtest::Options o;
        o.duration = simk::kS;
        return o;
      }());
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
      []() {
        boardtest::Options o;
        o.duration = simk::kS;
        return o;
      }());
  EXPECT_EQ(r.console, "bad alloc\r\n");
  EXPECT_EQ(r.notes, "still running at 2\nstill running at 4\nstill running at 6\ngreedy halted\n");
  EXPECT_NE(r.trace.find(R"("ev":"halt","thread":"greedy","reason":"bad alloc")"),
            std::string::npos);
}

// Records what the model asks of the shown screen.
struct RecordingListener : ModelListener {
  std::string calls;
  void forceScreenMain() override { calls += "main "; }
  void forceScreenTraurig() override { calls += "traurig "; }
  void forceScreenGluecklich() override { calls += "gluecklich "; }
  void forceScreenParent() override { calls += "parent "; }
  void forceTitlePictureUpdate() override { calls += "title "; }
  void forceOverviewPictureUpdate() override { calls += "overview "; }
  void forceScreenPowerOff() override { calls += "poweroff "; }
};

TEST(Model, TakesOneScreenRequestPerFrameAndIgnoresUnknownPages) {
  auto r = boardtest::run(
      [] {
        static Model model;
        static RecordingListener listener;
        model.bind(&listener);
        PageSelectEvent unknown;
        unknown.page = static_cast<PageSelectEnum>(9);
        guiQueuePageSelect->Enqueue(&unknown, 0);
        PageSelect select;
        select.traurig();
        select.main(7);
        select.gluecklich();
        for (int frame = 0; frame < 5; ++frame) {
          model.tick();
          listener.calls += "| ";
        }
        note(listener.calls);
        simk::endRun(0, "");
      },
      shortRun(simk::kS));
  EXPECT_EQ(r.notes, "| traurig | main | gluecklich | | \n");
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
      []() {
        boardtest::Options o;
        o.duration = simk::kS;
        return o;
      }());
  EXPECT_EQ(r.notes,
            "sent ok\nsent ok\nsent ok\nsent ok\nsent ok\nsent lost\n"
            "5 main=0\n5 main=1\n5 main=2\n5 main=3\n5 main=4\n");
}

}  // namespace

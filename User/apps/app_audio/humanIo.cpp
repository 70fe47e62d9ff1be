#include "humanIo.h"

HumanIO::HumanIO() : Thread("HumanInputTask", 8192, 4) {}

void HumanIO::Run() {
  for (;;) {
    DelayUntil(25);
  }
}

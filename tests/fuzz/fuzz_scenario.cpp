// Feeds arbitrary bytes to the scenario parser. Besides crashes and hangs it checks what every
// accepted script must satisfy: commands in line and time order, times that add up, and
// descriptions that parse back to the same command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "scenario.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto result = simscn::parseScript(text, "fuzz.scn", "/base");

  if (const auto* error = std::get_if<simscn::ParseError>(&result)) {
    check(error->line >= 1);
    check(!error->message.empty());
    check(error->text().find('\n') == std::string::npos);
    return 0;
  }

  const simscn::Script& script = std::get<simscn::Script>(result);
  uint64_t clock = 0;
  int lastLine = 0;
  for (const simscn::Command& c : script.commands) {
    check(c.line > lastLine);
    lastLine = c.line;
    check(c.timeNs == clock);
    clock += c.durationNs;
    check(c.x >= 0 && c.x < simscn::kScreenWidth && c.y >= 0 && c.y < simscn::kScreenHeight);
    check(c.x2 >= 0 && c.x2 < simscn::kScreenWidth && c.y2 >= 0 && c.y2 < simscn::kScreenHeight);
    if (c.op == simscn::Op::Turn) check(c.n != 0 && c.n >= -100000 && c.n <= 100000);
    if (c.op == simscn::Op::Light) check(c.n >= 0 && c.n <= 4095);
    if (c.op == simscn::Op::Keycode) check(c.n >= 0 && c.n <= 255);
    if (c.op == simscn::Op::Insert || c.op == simscn::Op::Screenshot) check(c.path[0] == '/');

    // A description is script text again and must give the same command back.
    const std::string again = simscn::describe(c);
    const auto reparsed = simscn::parseScript(again, "again", "");
    check(std::holds_alternative<simscn::Script>(reparsed));
    const auto& commands = std::get<simscn::Script>(reparsed).commands;
    check(commands.size() == 1);
    const simscn::Command& d = commands[0];
    check(d.op == c.op && d.durationNs == c.durationNs && d.path == c.path && d.x == c.x &&
          d.y == c.y && d.x2 == c.x2 && d.y2 == c.y2 && d.n == c.n && d.key == c.key &&
          d.action == c.action && d.button == c.button && d.mainFolder == c.mainFolder &&
          d.playback == c.playback && d.param == c.param);
  }
  check(script.endNs == clock);
  return 0;
}

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "scenario.h"

using simscn::Command;
using simscn::Op;
using simscn::ParseError;
using simscn::Script;

namespace {

Script parseOk(std::string_view text, const std::string& base = "") {
  auto r = simscn::parseScript(text, "t.scn", base);
  if (auto* e = std::get_if<ParseError>(&r)) ADD_FAILURE() << e->text();
  return std::holds_alternative<Script>(r) ? std::get<Script>(r) : Script{};
}

ParseError parseBad(std::string_view text) {
  auto r = simscn::parseScript(text, "t.scn", "");
  if (std::holds_alternative<Script>(r)) {
    ADD_FAILURE() << "accepted: " << text;
    return {};
  }
  return std::get<ParseError>(r);
}

TEST(ScenarioTiming, WaitsAndDragsAdvanceTheClock) {
  const Script s =
      parseOk("turn 1\nwait 1s\ntouch 0 0\ndrag 0 0 271 479 250ms\nwait 1.5ms\nrelease\nwait 0s\n");
  ASSERT_EQ(s.commands.size(), 7u);
  const uint64_t expect[] = {
      0, 0, 1'000'000'000, 1'000'000'000, 1'250'000'000, 1'251'500'000, 1'251'500'000};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(s.commands[i].timeNs, expect[i]) << i;
  EXPECT_EQ(s.commands[3].durationNs, 250'000'000u);
  EXPECT_EQ(s.endNs, 1'251'500'000u);
  EXPECT_EQ(parseOk("").endNs, 0u);
  EXPECT_EQ(parseOk("wait 2m").endNs, 120'000'000'000u);
}

TEST(ScenarioTiming, ClockOverflowIsAnError) {
  EXPECT_EQ(parseBad("wait 18446744073709551615ns\nwait 1ns\n").line, 2);
  EXPECT_EQ(parseBad("wait 18446744073709551615ns\ndrag 0 0 1 1 1ns\n").line, 2);
}

TEST(ScenarioLexing, CommentsBlanksCrlfAndLineNumbers) {
  const Script s = parseOk(
      "# header\r\n\r\n  \t wait\t250ms   # trailing\r\n#turn 5\nremove#glued\r\n   \n"
      "release\r");
  ASSERT_EQ(s.commands.size(), 3u);
  EXPECT_EQ(s.commands[0].line, 3);
  EXPECT_EQ(s.commands[1].op, Op::Remove);
  EXPECT_EQ(s.commands[1].line, 5);
  EXPECT_EQ(s.commands[2].line, 7);
  EXPECT_EQ(s.file, "t.scn");
}

TEST(ScenarioLexing, VeryLongLinesAndOddBytes) {
  const std::string pad(1 << 20, ' ');
  EXPECT_EQ(parseOk(pad + "turn 2" + pad + "#" + pad + "\nturn 1").commands.size(), 2u);
  const ParseError e = parseBad("\n" + std::string(100000, 'x') + "\n");
  EXPECT_EQ(e.line, 2);
  EXPECT_LT(e.text().size(), 200u);  // the offending token is shortened in the message
  const ParseError z = parseBad(std::string_view("turn 1\0\n", 8));
  EXPECT_EQ(z.line, 1);
  EXPECT_EQ(z.text().find('\0'), std::string::npos);
}

// The fields of each command: positions, turns, keys, power, stick faults and events.
TEST(ScenarioCommands, FieldsOfEachCommand) {
  const Script s = parseOk(
      "touch 271 479\npress 5 6\ndrag 1 2 3 4 1s\nturn -100000\nturn +7\nkey parents tap\n"
      "key power down\nmono on\nmono off\nlight 4095\npower on\nkeycode 113\nkeycode 0\n");
  const auto& c = s.commands;
  ASSERT_EQ(c.size(), 13u);
  EXPECT_TRUE(c[0].op == Op::Touch && c[0].x == 271 && c[0].y == 479);
  EXPECT_TRUE(c[1].op == Op::Press && c[1].x == 5 && c[1].y == 6);
  EXPECT_TRUE(c[2].x == 1 && c[2].y == 2 && c[2].x2 == 3 && c[2].y2 == 4);
  EXPECT_EQ(c[3].n, -100000);
  EXPECT_EQ(c[4].n, 7);
  EXPECT_TRUE(c[5].key == "parents" && c[5].action == "tap");
  EXPECT_TRUE(c[6].key == "power" && c[6].action == "down");
  EXPECT_TRUE(c[7].op == Op::Mono && c[7].n == 1 && c[8].n == 0);
  EXPECT_EQ(c[9].n, 4095);
  EXPECT_EQ(c[10].op, Op::PowerOn);
  EXPECT_TRUE(c[11].op == Op::Keycode && c[11].n == 113 && c[12].n == 0);

  const auto f = parseOk(
                     "power cut\nstick fault 0\nstick fault 4294967295 7\nstick fault stall\n"
                     "stick fault stall 3\nstick fault slow 1000\nstick fault clear\n")
                     .commands;
  ASSERT_EQ(f.size(), 7u);
  EXPECT_EQ(f[0].op, Op::PowerCut);
  struct Fault {
    const char* key;
    int64_t first;
    uint64_t count;
  };
  const Fault faults[] = {{"sector", 0, 1}, {"sector", UINT32_MAX, 7}, {"stall", 0, 1},
                          {"stall", 0, 3},  {"slow", 0, 1000},         {"clear", 0, 0}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(f[i + 1].op, Op::StickFault) << i;
    EXPECT_EQ(f[i + 1].key, faults[i].key) << i;
    EXPECT_EQ(f[i + 1].n, faults[i].first) << i;
    EXPECT_EQ(f[i + 1].count, faults[i].count) << i;
  }
  const auto e = parseOk(
                     "event BTN_PlayPause\nevent BTN_ParentSettingsChanged param=4294967295 "
                     "main=7 playback=255\n"
                     "event 200\nevent 13 playback=3\nevent BTN_Other\n")
                     .commands;
  EXPECT_EQ(e[0].button, 1);
  EXPECT_TRUE(e[1].button == 12 && e[1].param == UINT32_MAX && e[1].mainFolder == 7 &&
              e[1].playback == 255);
  EXPECT_EQ(e[2].button, 200);
  EXPECT_TRUE(e[3].button == 13 && e[3].playback == 3 && e[3].mainFolder == 0);
  EXPECT_EQ(e[4].button, 0);
  EXPECT_EQ(simscn::buttonFromName("BTN_Overview_Forward"), 11);
  EXPECT_STREQ(simscn::buttonName(8), "BTN_PlaybackFolder");
  EXPECT_EQ(simscn::buttonName(13), nullptr);
}

TEST(ScenarioCommands, PathsResolveAgainstTheScriptFolder) {
  const Script s = parseOk("insert a.img\nscreenshot /abs/x.png\ninsert sub/b.img\n", "dir");
  EXPECT_EQ(s.commands[0].path, "dir/a.img");
  EXPECT_EQ(s.commands[1].path, "/abs/x.png");
  EXPECT_EQ(s.commands[2].path, "dir/sub/b.img");
  EXPECT_EQ(parseOk("insert a.img", "/d/").commands[0].path, "/d/a.img");
  EXPECT_EQ(parseOk("screenshot s.png", "").commands[0].path, "s.png");
}

TEST(ScenarioErrors, RejectedLinesSayWhatIsWrong) {
  struct Case {
    const char* line;
    const char* mustContain;
  };
  const Case cases[] = {
      {"jump 3", "unknown command 'jump'"},
      {"Wait 1s", "'Wait'"},
      {"wait", "'wait' takes 1"},
      {"wait 1s 2s", "got 2"},
      {"wait 5", "bad time '5'"},
      {"wait -1s", "bad time"},
      {"remove now", "no arguments"},
      {"release 1", "no arguments"},
      {"touch 272 0", "'272'"},
      {"touch 0 480", "'480'"},
      {"touch -1 0", "'-1'"},
      {"touch 1", "'touch' takes 2"},
      {"press 1.5 2", "'1.5'"},
      {"drag 0 0 0 0", "takes 5"},
      {"drag 0 0 0 500 1s", "Y2"},
      {"drag 0 0 0 0 fast", "bad time"},
      {"turn 0", "non-zero"},
      {"turn 100001", "'100001'"},
      {"turn -100001", "'-100001'"},
      {"turn 99999999999999999999", "turn"},
      {"key parents hold", "'hold'"},
      {"key volume tap", "'volume'"},
      {"mono yes", "'yes'"},
      {"light 4096", "'4096'"},
      {"light -1", "'-1'"},
      {"keycode 256", "'256'"},
      {"keycode q", "'q'"},
      {"keycode", "'keycode' takes 1"},
      {"power off", "'off'"},
      {"power cut now", "'power' takes 1"},
      {"stick", "'stick' takes 2 to 3"},
      {"stick fault", "takes 2 to 3"},
      {"stick error 5", "'error'"},
      {"stick fault -1", "'-1'"},
      {"stick fault 4294967296", "'4294967296'"},
      {"stick fault +5", "'+5'"},
      {"stick fault five", "'five'"},
      {"stick fault 5 0", "COUNT"},
      {"stick fault stall 0", "COUNT"},
      {"stick fault slow", "FACTOR missing"},
      {"stick fault slow 0", "FACTOR"},
      {"stick fault slow 1001", "'1001'"},
      {"stick fault clear 1", "takes nothing more"},
      {"insert", "takes 1"},
      {"screenshot a.png b.png", "got 2"},
      {"event", "takes 1 to 13"},
      {"event BTN_Nope", "'BTN_Nope'"},
      {"event 256", "'256'"},
      {"event -1", "'-1'"},
      {"event 1 main=1 main=2", "main= given more than once"},
      {"event 1 playback=256", "'256'"},
      {"event 1 main=4294967296", "'4294967296'"},
      {"event 1 param=-1", "'-1'"},
      {"event 1 param=+1", "'+1'"},
      {"event 1 main=", "main"},
      {"event 1 main", "'main'"},
      {"event 1 folder=2", "'folder=2'"},
      {"event 1 2 3 4 5 6 7 8 9 10 11 12 13 14", "got 14"},
  };
  for (const Case& c : cases) {
    const ParseError e = parseBad(std::string("wait 1s\n\n") + c.line + "\r\n");
    EXPECT_EQ(e.line, 3) << c.line;
    EXPECT_EQ(e.text().rfind("t.scn:3: ", 0), 0u) << e.text();
    EXPECT_NE(e.message.find(c.mustContain), std::string::npos) << c.line << " -> " << e.message;
  }
}

TEST(ScenarioDescribe, DescriptionsParseBackToTheSameCommand) {
  const Script s = parseOk(
      "wait 1.5s\ninsert /x/y.img\nremove\ntouch 1 2\npress 3 4\nrelease\ndrag 1 2 3 4 20ms\n"
      "turn -3\nkey power tap\nmono off\nlight 7\nscreenshot /s.png\npower on\nkeycode 113\n"
      "event BTN_Forward main=2 param=9\nevent 200 playback=1\npower cut\nstick fault 12 3\n"
      "stick fault stall 2\nstick fault slow 9\nstick fault clear\n");
  std::string again;
  for (const Command& c : s.commands) again += simscn::describe(c) + "\n";
  const Script t = parseOk(again);
  ASSERT_EQ(t.commands.size(), s.commands.size()) << again;
  for (size_t i = 0; i < s.commands.size(); ++i) {
    const Command &a = s.commands[i], &b = t.commands[i];
    EXPECT_TRUE(a.op == b.op && a.timeNs == b.timeNs && a.durationNs == b.durationNs &&
                a.path == b.path && a.x == b.x && a.y == b.y && a.x2 == b.x2 && a.y2 == b.y2 &&
                a.n == b.n && a.key == b.key && a.action == b.action && a.button == b.button &&
                a.mainFolder == b.mainFolder && a.playback == b.playback && a.param == b.param &&
                a.count == b.count)
        << simscn::describe(a);
  }
  EXPECT_EQ(simscn::describe(s.commands[7]), "turn -3");
  EXPECT_EQ(simscn::describe(s.commands[0]), "wait 1500ms");
}

TEST(ScenarioLoad, FilesAndStandardInput) {
  char dir[] = "/tmp/scnXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/s.scn";
  std::ofstream(file) << "insert stick.img\nwait 1s\n";
  auto r = simscn::loadScript(file);
  ASSERT_TRUE(std::holds_alternative<Script>(r)) << std::get<ParseError>(r).text();
  EXPECT_EQ(std::get<Script>(r).commands[0].path, std::string(dir) + "/stick.img");
  EXPECT_EQ(std::get<Script>(r).file, file);

  std::ofstream(file) << "turn 0\n";
  EXPECT_EQ(std::get<ParseError>(simscn::loadScript(file)).text().rfind(file + ":1: ", 0), 0u);
  for (const std::string& bad : {std::string(dir) + "/missing.scn", std::string(dir)}) {
    r = simscn::loadScript(bad);
    ASSERT_TRUE(std::holds_alternative<ParseError>(r)) << bad;
    EXPECT_EQ(std::get<ParseError>(r).text().rfind(bad + ": cannot read", 0), 0u);
  }

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "insert a.img\nbogus\n", 19), 19);
  close(fds[1]);
  const int savedStdin = dup(0);
  dup2(fds[0], 0);
  r = simscn::loadScript("-");
  dup2(savedStdin, 0);
  close(savedStdin);
  close(fds[0]);
  ASSERT_TRUE(std::holds_alternative<ParseError>(r));
  EXPECT_EQ(std::get<ParseError>(r).text(), "<stdin>:2: unknown command 'bogus'");
  std::remove(file.c_str());
  rmdir(dir);
}

TEST(ScenarioEventSettings, ParentsSettingsTravelWithTheEventAndKeepTheirDefaults) {
  const auto r = simscn::parseScript("event BTN_ParentSettingsChanged maxvol=40 eq3=20 resume=1\n",
                                     "s.scn", "");
  ASSERT_TRUE(std::holds_alternative<simscn::Script>(r));
  const simscn::Command& c = std::get<simscn::Script>(r).commands.at(0);
  EXPECT_TRUE(c.hasSettings);
  EXPECT_EQ(c.maxVolume, 40);
  EXPECT_EQ(c.spkBoost, 7);
  EXPECT_EQ(c.equalizer[2], 20);
  EXPECT_EQ(c.equalizer[0], 12);
  EXPECT_TRUE(c.positionResume);
  // Out of the parents' ranges, and twice the same key, are errors naming the line.
  for (const char* bad : {"event 12 boost=8\n", "event 12 eq1=25\n", "event 12 maxvol=1 maxvol=2\n",
                          "event 12 resume=2\n"}) {
    const auto e = simscn::parseScript(bad, "s.scn", "");
    ASSERT_TRUE(std::holds_alternative<simscn::ParseError>(e)) << bad;
    EXPECT_EQ(std::get<simscn::ParseError>(e).line, 1);
  }
  // The description parses back to the same settings.
  const auto again = simscn::parseScript(simscn::describe(c) + "\n", "s.scn", "");
  ASSERT_TRUE(std::holds_alternative<simscn::Script>(again));
  EXPECT_EQ(std::get<simscn::Script>(again).commands.at(0).maxVolume, 40);
}

}  // namespace

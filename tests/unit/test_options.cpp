#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"
#include "timefmt.h"

using simcli::formatDuration;
using simcli::formatTime;
using simcli::parseOptions;
using simcli::parseTimeNs;

namespace {

simcli::ParseResult parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"shapeplay-sim"};
  argv.insert(argv.end(), args);
  return parseOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(TimeParse, UnitsAndFractions) {
  // The last two are below a nanosecond and rounded down.
  const std::pair<const char*, uint64_t> cases[] = {{"0s", 0},
                                                    {"7ns", 7},
                                                    {"3us", 3'000},
                                                    {"250ms", 250'000'000},
                                                    {"2s", 2'000'000'000},
                                                    {"1m", 60'000'000'000},
                                                    {"1.5s", 1'500'000'000},
                                                    {"0.25m", 15'000'000'000},
                                                    {"1.000000001s", 1'000'000'001},
                                                    {"007ms", 7'000'000},
                                                    {"0.0000000019s", 1},
                                                    {"0.9ns", 0}};
  for (const auto& [text, ns] : cases) EXPECT_EQ(parseTimeNs(text), ns) << text;
}

TEST(TimeParse, LimitsOf64Bits) {
  EXPECT_EQ(parseTimeNs("18446744073709551615ns"), UINT64_MAX);
  EXPECT_EQ(parseTimeNs("18446744073709551616ns"), std::nullopt);
  EXPECT_EQ(parseTimeNs("18446744073709551615.9ns"), UINT64_MAX);
  EXPECT_EQ(parseTimeNs("307445734m"), 307445734ull * 60'000'000'000ull);
  EXPECT_EQ(parseTimeNs("307445735m"), std::nullopt);
  EXPECT_EQ(parseTimeNs("18446744073.709551615s"), UINT64_MAX);
  EXPECT_EQ(parseTimeNs("18446744073.709551616s"), std::nullopt);  // fraction tips it over
  EXPECT_EQ(parseTimeNs(std::string(5000, '9') + "s"), std::nullopt);
}

TEST(TimeParse, RejectsMalformed) {
  for (const char* bad : {"", "5", "s", "ms", "-1s", "+1s", "1 s", " 1s", "1s ", "1.s", ".5s",
                          "1e3s", "1S", "1sec", "1h", "1.5.5s", "1mss", "1,5s", "0x10s"}) {
    EXPECT_EQ(parseTimeNs(bad), std::nullopt) << "'" << bad << "'";
  }
  EXPECT_EQ(parseTimeNs(std::string_view("1\0s", 3)), std::nullopt);
}

TEST(TimeFormat, SecondsWithMicroseconds) {
  EXPECT_EQ(formatTime(0), "0.000000 s");
  EXPECT_EQ(formatTime(1'234'567'890), "1.234567 s");
  EXPECT_EQ(formatTime(999), "0.000000 s");
  EXPECT_EQ(formatTime(UINT64_MAX), "18446744073.709551 s");
}

TEST(TimeFormat, DurationRoundTrips) {
  EXPECT_EQ(formatDuration(0), "0s");
  EXPECT_EQ(formatDuration(1'500'000'000), "1500ms");
  EXPECT_EQ(formatDuration(120'000'000'000), "2m");
  uint64_t x = 88172645463325252ull;
  for (int i = 0; i < 2000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    for (uint64_t v : {x, x % 1000 * 1'000'000, x >> (i % 64), UINT64_MAX - i}) {
      ASSERT_EQ(parseTimeNs(formatDuration(v)), v) << formatDuration(v);
    }
  }
}

TEST(Options, EveryValueLandsInItsOwnFieldInBothForms) {
  struct Case {
    const char* name;
    std::string simcli::Options::*field;
  };
  using O = simcli::Options;
  const Case cases[] = {{"--stick", &O::stick},
                        {"--sram", &O::sram},
                        {"--script", &O::script},
                        {"--log", &O::log},
                        {"--trace", &O::trace},
                        {"--wav", &O::wav},
                        {"--sai-capture", &O::saiCapture},
                        {"--screenshots", &O::screenshots}};
  for (const Case& c : cases) {
    for (bool joined : {false, true}) {
      const std::string eq = std::string(c.name) + "=a=b.img";
      const auto r = joined ? parse({eq.c_str()}) : parse({c.name, "a=b.img"});
      ASSERT_TRUE(r.ok) << c.name << ": " << r.error;
      EXPECT_EQ(r.options.*c.field, "a=b.img") << c.name;
      for (const Case& other : cases) {
        if (other.field != c.field) {
          EXPECT_EQ(r.options.*other.field, "") << c.name;
        }
      }
    }
  }
}

TEST(Options, FlagsDurationAndStdinScript) {
  const auto none = parse({});
  EXPECT_TRUE(none.ok && !none.options.headless && !none.options.scriptFromStdin);
  EXPECT_FALSE(none.options.durationNs);
  const auto r = parse({"--headless", "--realtime", "--help", "--duration", "1.5s", "--script=-"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.options.headless && r.options.realtime && r.options.help);
  EXPECT_EQ(r.options.durationNs, 1'500'000'000u);
  EXPECT_TRUE(r.options.scriptFromStdin);
  EXPECT_EQ(r.options.script, "-");
  EXPECT_TRUE(parse({"--script", "-"}).options.scriptFromStdin);
  EXPECT_FALSE(parse({"--script", "./-"}).options.scriptFromStdin);
}

TEST(Options, ErrorsNameTheOptionOnOneLine) {
  // Arguments separated by spaces, then the text the error must contain.
  const std::pair<std::string, std::string> cases[] = {{"--bogus", "--bogus"},
                                                       {"--stick", "--stick"},
                                                       {"--stick --headless", "--stick"},
                                                       {"--stick=", "--stick"},
                                                       {"--log a --log b", "--log"},
                                                       {"--log=a --log b", "--log"},
                                                       {"--help --help", "--help"},
                                                       {"--headless=yes", "--headless"},
                                                       {"--duration 5", "--duration"},
                                                       {"stray.img", "stray.img"},
                                                       {"-x", "-x"},
                                                       {"--stick-image=x", "--stick-image"}};
  for (const auto& [args, mustContain] : cases) {
    std::vector<std::string> words = {"shapeplay-sim"};
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    const auto r = parseOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_FALSE(r.ok) << args;
    EXPECT_NE(r.error.find(mustContain), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
}

}  // namespace

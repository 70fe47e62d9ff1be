#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "trace.h"

// Counts heap allocations so that the cost of events while tracing is off can be checked.
static long gAllocations = 0;
void* operator new(std::size_t n) {
  ++gAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

uint64_t gNow = 0;
uint64_t fakeClock() { return gNow; }

// Each test traces into its own temporary file and reads back what was written.
class Trace : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = std::tmpfile();
    ASSERT_NE(file_, nullptr);
    gNow = 0;
    simtrace::setClock(&fakeClock);
    simtrace::open(fileno(file_));
  }
  void TearDown() override {
    simtrace::open(-1);
    std::fclose(file_);
  }
  std::string written() {
    simtrace::flush();
    std::string s;
    std::rewind(file_);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;) s.append(buf, n);
    return s;
  }
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    std::istringstream in(written());
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
  FILE* file_ = nullptr;
};

std::string escaped(std::string_view v) {
  std::string s;
  simtrace::appendJsonString(s, v);
  return s;
}

// Undoes the escaping: \u00XX gives back byte XX.
std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
    } else if (s[++i] == 'u') {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool validUtf8(const std::string& s) {
  iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  std::string in = s;
  std::vector<char> outBuf(s.size() * 4 + 4);
  char* ip = in.data();
  char* op = outBuf.data();
  size_t il = in.size(), ol = outBuf.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1);
  iconv_close(cd);
  return ok;
}

TEST_F(Trace, LineFormatAndValueTypes) {
  gNow = 1'500'999;
  simtrace::Event("thread")
      .str("name", "USBH_Thread")
      .num("prio", -6)
      .unum("stack", UINT64_MAX)
      .boolean("on", true)
      .boolean("off", false)
      .raw("rgb", "[[255,0,1],[0,0,0]]")
      .raw("none", "");
  gNow = 0;
  simtrace::Event("console").str("text", "Hello World");
  simtrace::setClock(nullptr);
  gNow = 99'000;
  simtrace::Event("late");
  simtrace::setClock(&fakeClock);
  const auto l = lines();
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0], R"({"t":1500,"ev":"thread","name":"USBH_Thread","prio":-6,)"
                  R"("stack":18446744073709551615,"on":true,"off":false,"rgb":[[255,0,1],[0,0,0]],)"
                  R"("none":null})");
  EXPECT_EQ(l[1], R"({"t":0,"ev":"console","text":"Hello World"})");
  EXPECT_EQ(l[2], R"({"t":0,"ev":"late"})");
  // An event built while another is being built does not split it.
  gNow = 0;
  auto inner = [] {
    simtrace::Event("inner").num("k", 1);
    return std::string("v");
  };
  simtrace::Event("outer").str("a", inner()).num("b", 2);
  const auto more = lines();
  ASSERT_EQ(more.size(), 5u);
  EXPECT_EQ(more[3], R"({"t":0,"ev":"inner","k":1})");
  EXPECT_EQ(more[4], R"({"t":0,"ev":"outer","a":"v","b":2})");
}

TEST(TraceEscaping, QuotesControlsAndBrokenUtf8) {
  EXPECT_EQ(escaped("a\"b\\c/"), R"(a\"b\\c/)");
  EXPECT_EQ(escaped(std::string_view("\n\t\r\0\x1f\x7f", 6)),
            R"(\u000a\u0009\u000d\u0000\u001f\u007f)");
  EXPECT_EQ(escaped("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x8E\xB5"),
            "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x8E\xB5");          // valid UTF-8 stays
  EXPECT_EQ(escaped("M\x81sik \x94"), R"(M\u0081sik \u0094)");            // CP850 bytes
  EXPECT_EQ(escaped("\xC0\x80"), R"(\u00c0\u0080)");                      // overlong NUL
  EXPECT_EQ(escaped("\xE0\x80\xAF"), R"(\u00e0\u0080\u00af)");            // overlong '/'
  EXPECT_EQ(escaped("\xED\xA0\x80"), R"(\u00ed\u00a0\u0080)");            // surrogate
  EXPECT_EQ(escaped("\xF4\x90\x80\x80"), R"(\u00f4\u0090\u0080\u0080)");  // above U+10FFFF
  EXPECT_EQ(escaped("x\xE2\x82"), R"(x\u00e2\u0082)");                    // cut off at the end
  EXPECT_EQ(escaped("\xE2\x82x"), R"(\u00e2\u0082x)");                    // cut off in the middle
  EXPECT_EQ(escaped("\xF4\x8F\xBF\xBF"), "\xF4\x8F\xBF\xBF");             // U+10FFFF itself
}

TEST(TraceEscaping, AnyBytesGiveValidJsonThatDecodesBack) {
  uint32_t x = 12345;
  for (int round = 0; round < 3000; ++round) {
    std::string in;
    const int len = round % 40;
    for (int i = 0; i < len; ++i) {
      x = x * 1664525 + 1013904223;
      // Mostly bytes around UTF-8 lead and continuation ranges, some ASCII.
      in += static_cast<char>((x >> 24) % 3 ? 0x80 + (x >> 8) % 0x80 : (x >> 8) % 0x80);
    }
    const std::string out = escaped(in);
    ASSERT_TRUE(validUtf8(out)) << out;
    for (size_t i = 0; i < out.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(out[i]);
      ASSERT_TRUE(c >= 0x20 && c != 0x7f) << out;
      if (c == '\\') {
        ++i;  // the escaped character is checked by decoding below
      } else {
        ASSERT_NE(c, '"') << out;
      }
    }
    ASSERT_EQ(unescape(out), in);
  }
}

TEST_F(Trace, LinesStayWholeAndInOrderAcrossFlushes) {
  const std::string big(200'000, 'z');  // larger than the whole buffer
  for (int i = 0; i < 6000; ++i) {
    gNow = static_cast<uint64_t>(i) * 1000;
    simtrace::Event e("n");
    e.num("i", i);
    if (i == 3000) e.str("big", big);
  }
  const auto l = lines();
  ASSERT_EQ(l.size(), 6000u);
  for (int i = 0; i < 6000; ++i) {
    const std::string head =
        "{\"t\":" + std::to_string(i) + ",\"ev\":\"n\",\"i\":" + std::to_string(i);
    ASSERT_EQ(l[i].rfind(head, 0), 0u) << l[i].substr(0, 80);
    ASSERT_EQ(l[i].back(), '}');
  }
  EXPECT_EQ(l[3000], R"({"t":3000,"ev":"n","i":3000,"big":")" + big + "\"}");
}

TEST_F(Trace, OffMeansNothingWrittenAndNothingAllocated) {
  simtrace::Event("before");
  simtrace::open(-1);  // flushes what was buffered
  EXPECT_FALSE(simtrace::enabled());
  const std::string text(500, 'x');
  const long before = gAllocations;
  for (int i = 0; i < 100; ++i) {
    simtrace::Event("off").str("s", text).num("n", i).unum("u", 1).boolean("b", true).raw("r",
                                                                                          "[]");
  }
  EXPECT_EQ(gAllocations, before);
  simtrace::flush();
  EXPECT_EQ(written(), "{\"t\":0,\"ev\":\"before\"}\n");
}

TEST(TraceWrite, BrokenPipeTurnsTracingOff) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  const auto oldHandler = signal(SIGPIPE, SIG_IGN);
  simtrace::open(fds[1]);
  EXPECT_EQ(simtrace::error(), 0);
  simtrace::Event("x");
  simtrace::flush();
  EXPECT_FALSE(simtrace::enabled());
  EXPECT_EQ(simtrace::error(), EPIPE);
  simtrace::Event("after");  // must not crash or write
  simtrace::open(-1);
  signal(SIGPIPE, oldHandler);
  close(fds[1]);
}

}  // namespace

// The board's audio output on its own (no firmware): SAI2 with DMA2 stream 4 paced by the
// sample rate, the data cache as the DMA sees it, the codec's playback path, the audio files.
// The test is the application here: it defines the interrupt handler and the callbacks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "audio_sinks.h"
#include "board_child.h"
#include "codec.h"
#include "codec_path.h"
#include "process.h"
#include "simcache.h"
#include "stm32746g_discovery_audio.h"
#include "task.h"

namespace {

alignas(32) uint16_t buffer[2 * 2 * 1152];

}  // namespace

extern "C" {
// The kernel's hooks, which the firmware would give.
void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
void configureTimerForRunTimeStats(void) {}
void SysTick_Handler(void) { HAL_IncTick(); }
void DMA2_Stream4_IRQHandler(void) { HAL_DMA_IRQHandler(haudio_out_sai.hdmatx); }
void BSP_AUDIO_OUT_HalfTransfer_CallBack(void) {
  boardtest::note("half " + std::to_string(simk::now()));
}
void BSP_AUDIO_OUT_TransferComplete_CallBack(void) {
  boardtest::note("complete " + std::to_string(simk::now()));
}
}

namespace {

using boardtest::note;

std::string dir() {
  static const std::string d = proc::tempDir();
  return d;
}

// Frame f of the buffer: left f, right -f (the half a frame is in shows in its value).
void fillRamp(int offset = 0) {
  for (int f = 0; f < 2 * 1152; ++f) {
    buffer[2 * f] = static_cast<uint16_t>(f + offset);
    buffer[2 * f + 1] = static_cast<uint16_t>(-(f + offset));
  }
}

void cleanAll() { SCB_CleanDCache_by_Addr(reinterpret_cast<uint32_t*>(buffer), sizeof buffer); }

struct Files {
  std::string wav, capture;
};

// A board with the audio output set up at `rate`, the data cache on; `body` runs in a task and
// the run ends when it returns.
boardtest::Result onBoard(uint32_t rate, std::function<void()> body, const Files& files = {}) {
  static std::function<void()> task;
  static uint32_t freq;
  static Files f;
  task = std::move(body);
  freq = rate;
  f = files;
  return boardtest::run([] {
    HAL_Init();
    SCB_EnableDCache();
    auto open = [](const std::string& path, uint32_t r) {
      if (path.empty()) return -1;
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
      std::string error;
      simaudio::writeWavHeader(fd, r, error);
      return fd;
    };
    const int wav = open(f.wav, simaudio::kSpeakerRate), capture = open(f.capture, 44100);
    simk::addEndHook([wav, capture](int) {
      std::string error;
      if (wav >= 0) simaudio::finaliseWav(wav, error);
      if (capture >= 0) simaudio::finaliseWav(capture, error);
    });
    simaudio::attachSinks(wav, capture);
    xTaskCreate(
        [](void*) {
          BSP_AUDIO_OUT_Init(OUTPUT_DEVICE_SPEAKER, 90, freq);
          BSP_AUDIO_OUT_SetAudioFrameSlot(CODEC_AUDIOFRAME_SLOT_02);
          task();
          simk::endRun(0, "");
        },
        "app", 4096, nullptr, 4, nullptr);
  });
}

std::vector<int16_t> samplesOf(const std::string& path) {
  const std::string b = proc::readFile(path);
  std::vector<int16_t> s(b.size() > 44 ? (b.size() - 44) / 2 : 0);
  if (!s.empty()) std::memcpy(s.data(), b.data() + 44, s.size() * 2);
  return s;
}

void waitMs(unsigned ms) { vTaskDelay(ms / 2); }

TEST(SaiDma, HalfAndCompleteInterruptsArePacedByTheSampleRate) {
  auto r = onBoard(48000, [] {
    fillRamp();
    cleanAll();
    note("play " + std::to_string(simk::now()));
    BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
    waitMs(100);
  });
  // 1,152 frames a half at 48 kHz: 24 ms.
  const size_t at = r.notes.find("play ");
  ASSERT_NE(at, std::string::npos);
  const long start = std::stol(r.notes.substr(at + 5));
  std::string expected;
  for (int i = 1; i <= 4; ++i) {
    expected += std::string(i % 2 == 1 ? "half " : "complete ") +
                std::to_string(start + i * 24000000L) + "\n";
  }
  EXPECT_EQ(r.notes.substr(r.notes.find('\n') + 1), expected);
}

TEST(SaiDma, ARateChangeWhileSendingTakesEffectAtOnce) {
  auto r = onBoard(44100, [] {
    fillRamp();
    cleanAll();
    BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
    const simk::Time start = simk::now();
    note("play " + std::to_string(start));
    // 441 frames at 44.1 kHz, then the remaining 711 of the half at 48 kHz: 14.8125 ms.
    simk::schedule(start + 10 * simk::kMs, 40, [] { BSP_AUDIO_OUT_SetFrequency(48000); });
    waitMs(40);
  });
  const long start = std::stol(r.notes.substr(r.notes.find("play ") + 5));
  EXPECT_NE(r.notes.find("half " + std::to_string(start + 24812500L)), std::string::npos)
      << r.notes;
  const auto starts = boardtest::grep(r.trace, R"("ev":"audio")");
  EXPECT_NE(starts.find(R"("state":"start","rate":44100)"), std::string::npos);
  EXPECT_NE(starts.find(R"("state":"start","rate":48000)"), std::string::npos);
}

TEST(SaiDma, TheCaptureHoldsExactlyTheFramesSentWhileTheDmaRan) {
  const Files files{"", dir() + "/exact.wav"};
  auto r = onBoard(
      48000,
      [] {
        fillRamp();
        cleanAll();
        BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
        // Two halves and half of the first again.
        simk::schedule(simk::now() + 60 * simk::kMs, 40, [] { HAL_SAI_DMAStop(&haudio_out_sai); });
        waitMs(80);
      },
      files);
  const auto s = samplesOf(files.capture);
  ASSERT_EQ(s.size(), 2u * (2304 + 576));
  for (size_t f = 0; f < s.size() / 2; ++f) {
    const auto expected = static_cast<int16_t>(f % 2304);
    ASSERT_EQ(s[2 * f], expected) << f;
    ASSERT_EQ(s[2 * f + 1], static_cast<int16_t>(-expected)) << f;
  }
  const auto events = boardtest::grep(r.trace, R"("ev":"audio")");
  EXPECT_NE(events.find(R"("state":"stop","rate":48000)"), std::string::npos);
}

TEST(SaiDma, AHalfWrittenAfterItsCleanIsReportedAndPlaysWhatMemoryHeld) {
  const Files files{"", dir() + "/stale.wav"};
  auto r = onBoard(
      48000,
      [] {
        fillRamp();
        cleanAll();
        BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
        waitMs(30);  // the first half has been played: refill it, but clean only part of it
        for (int f = 0; f < 1152; ++f) buffer[2 * f] = 7;
        SCB_CleanDCache_by_Addr(reinterpret_cast<uint32_t*>(buffer), 2304);
        waitMs(30);  // the DMA has gone on to the first half
        // The second half, refilled and cleaned properly.
        for (int f = 1152; f < 2304; ++f) buffer[2 * f] = 9;
        SCB_CleanDCache_by_Addr(reinterpret_cast<uint32_t*>(buffer + 2304), 4608);
        waitMs(30);
        BSP_AUDIO_OUT_Stop(CODEC_PDWN_SW);
      },
      files);
  const auto violations = boardtest::grep(r.trace, R"("ev":"cache")");
  EXPECT_NE(violations.find(R"("half":0,"bytes":4608,"lines":72)"), std::string::npos)
      << violations;
  EXPECT_EQ(std::count(violations.begin(), violations.end(), '\n'), 1);
  const auto s = samplesOf(files.capture);
  ASSERT_GE(s.size(), 2u * 3 * 1152 + 2);
  // Third half (the first again): the cleaned quarter is new, the rest is the old content.
  EXPECT_EQ(s[2 * 2304], 7);
  EXPECT_EQ(s[2 * (2304 + 575)], 7);
  EXPECT_EQ(s[2 * (2304 + 576)], 576);
  EXPECT_EQ(s[2 * (2304 + 1151)], 1151);
  EXPECT_EQ(s[2 * (3 * 1152)], 9) << "the fourth half was cleaned";
}

// The data cache as a DMA sees it, over a buffer that spans pages: a line written after its
// clean reads as cleaned, an invalidated line as never cleaned, and after a clean of the whole
// cache nothing is stale.
TEST(DataCache, LinesAcrossPagesInvalidateAndTheWholeClean) {
  const auto r = boardtest::run([] {
    SCB_EnableDCache();
    static std::uint8_t memory[3 * 4096 + 64] __attribute__((aligned(32)));
    std::uint8_t* at = memory + 4096 - 100;  // a page's last lines, the next page, more
    const std::size_t bytes = 4096 + 200;
    std::vector<std::uint8_t> read(bytes);
    std::string out;
    // Lines stale, and what the DMA reads at two places.
    auto dma = [&](const char* what) {
      const std::size_t stale = simcache::dmaRead(at, bytes, read.data());
      out += std::string(what) + " " + std::to_string(stale) + " (" + std::to_string(read[0]) +
             "," + std::to_string(read[4096]) + ") ";
    };
    at[0] = 1;
    dma("never cleaned");
    SCB_CleanDCache_by_Addr(reinterpret_cast<uint32_t*>(at), static_cast<int32_t>(bytes));
    dma("cleaned");
    at[0] = 9;     // in the first page
    at[4096] = 7;  // in the second
    dma("two written");
    SCB_InvalidateDCache_by_Addr(reinterpret_cast<uint32_t*>(at + 1000), 64);  // three lines
    dma("invalidated");
    SCB_CleanDCache();
    dma("all cleaned");
    note(out);
    simk::endRun(0, "");
  });
  EXPECT_EQ(r.notes,
            "never cleaned 136 (1,0) cleaned 0 (1,0) two written 2 (1,0) invalidated 5 (1,0) "
            "all cleaned 0 (9,7) \n");
}

TEST(SaiDma, FourSlotFramesPlaySlotsZeroAndTwo) {
  const Files files{"", dir() + "/slots.wav"};
  onBoard(
      48000,
      [] {
        for (int i = 0; i < 4608; ++i) buffer[i] = static_cast<uint16_t>(i);
        cleanAll();
        BSP_AUDIO_OUT_SetAudioFrameSlot(CODEC_AUDIOFRAME_SLOT_0123);
        BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
        waitMs(20);
        BSP_AUDIO_OUT_Stop(CODEC_PDWN_SW);
      },
      files);
  const auto s = samplesOf(files.capture);
  ASSERT_GE(s.size(), 4u);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 2);
  EXPECT_EQ(s[2], 4);
  EXPECT_EQ(s[3], 6);
}

// ---- the codec's playback path

struct Reg {
  uint16_t reg, value;
};

// Frames through the path after the register writes, as the parent sees them.
std::string through(std::vector<Reg> regs, std::vector<std::pair<int16_t, int16_t>> in,
                    uint32_t rate = 48000) {
  static std::vector<Reg> r;
  static std::vector<std::pair<int16_t, int16_t>> frames;
  static uint32_t fs;
  r = std::move(regs);
  frames = std::move(in);
  fs = rate;
  const auto result = boardtest::run([] {
    for (const Reg& w : r) AUDIO_IO_Write(0x34, w.reg, w.value);
    std::string out;
    for (auto [l, rr] : frames) {
      simaudio::processForTest(l, rr, fs);
      out += std::to_string(l) + "," + std::to_string(rr) + " ";
    }
    note(out);
    simk::endRun(0, "");
  });
  return result.notes.substr(0, result.notes.size() - 2);
}

const std::vector<Reg> kOn = {
    {0x0001, 0x3003}, {0x0420, 0x0010}, {0x0026, 0x0179}, {0x0027, 0x0179}};

std::vector<Reg> with(std::vector<Reg> more) {
  std::vector<Reg> all = kOn;
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

TEST(CodecPath, MuteVolumeBoostAndTheSpeakerEnables) {
  // After a reset the speaker outputs are off and the path is muted.
  EXPECT_EQ(through({}, {{1000, -1000}}), "0,0");
  EXPECT_EQ(through(kOn, {{1000, -1000}, {32767, -32768}}), "1000,-1000 32767,-32768");
  EXPECT_EQ(through(with({{0x0420, 0x0200}}), {{1000, -1000}}), "0,0") << "soft mute";
  EXPECT_EQ(through(with({{0x0027, 0x0139}}), {{1000, -1000}}), "1000,0") << "right muted";
  EXPECT_EQ(through(with({{0x0026, 0x0173}}), {{1000, 1000}}), "501,1000") << "-6 dB";
  EXPECT_EQ(through(with({{0x0026, 0x017F}}), {{1000, 1000}}), "1995,1000") << "+6 dB";
  // Boost: left code 4 (+6 dB), right code 7 (+12 dB); the result clips at 16 bits.
  EXPECT_EQ(through(with({{0x0025, 0x0140 | (4 << 3) | 7}}), {{1000, 1000}, {20000, 20000}}),
            "1995,3981 32767,32767");
  EXPECT_EQ(through(with({{0x0001, 0x1003}}), {{1000, 1000}}), "1000,0") << "right speaker off";
}

TEST(CodecPath, ThreeDWidensTheSideSignalOnly) {
  // Depth 31: side +6 dB; depth 0 with the enable bit: nothing changes.
  EXPECT_EQ(through(with({{0x0421, 0x3F10}}), {{1000, -1000}, {1000, 1000}, {1000, 0}}),
            "2000,-2000 1000,1000 1500,-500");
  EXPECT_EQ(through(with({{0x0421, 0x0110}}), {{1000, -1000}, {123, 45}}), "1000,-1000 123,45");
}

// The level of a sine through the path, in dB against its input.
double gainDb(std::vector<Reg> regs, double freq, uint32_t rate = 48000) {
  std::vector<std::pair<int16_t, int16_t>> in;
  const int n = static_cast<int>(rate);  // one second
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<int16_t>(std::lround(4000 * std::sin(2 * M_PI * freq * i / rate)));
    in.emplace_back(v, v);
  }
  const std::string out = through(std::move(regs), in, rate);
  // RMS of the second half (the filters have settled) against the input's.
  std::vector<double> left;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t comma = out.find(',', pos);
    left.push_back(std::stod(out.substr(pos, comma - pos)));
    pos = out.find(' ', comma);
    pos = pos == std::string::npos ? out.size() : pos + 1;
  }
  double a = 0, b = 0;
  for (int i = n / 2; i < n; ++i) {
    a += left[static_cast<size_t>(i)] * left[static_cast<size_t>(i)];
    b += static_cast<double>(in[static_cast<size_t>(i)].first) * in[static_cast<size_t>(i)].first;
  }
  return 10 * std::log10(a / b);
}

TEST(CodecPath, TheEqualiserShapesItsBands) {
  auto eq = [](unsigned g1, unsigned g2, unsigned g3, unsigned g4, unsigned g5) {
    return with({{0x0480, static_cast<uint16_t>(g1 << 11 | g2 << 6 | g3 << 1 | 1)},
                 {0x0481, static_cast<uint16_t>(g4 << 11 | g5 << 6)}});
  };
  EXPECT_NEAR(gainDb(eq(12, 12, 12, 12, 12), 1000), 0.0, 0.01) << "flat";
  EXPECT_NEAR(gainDb(eq(24, 12, 12, 12, 12), 30), 11.0, 1.0) << "low shelf +12 dB";
  EXPECT_NEAR(gainDb(eq(24, 12, 12, 12, 12), 3000), 0.0, 0.2);
  EXPECT_NEAR(gainDb(eq(12, 12, 0, 12, 12), 875), -12.0, 0.3) << "875 Hz band -12 dB";
  EXPECT_NEAR(gainDb(eq(12, 12, 12, 12, 24), 15000), 12.0, 1.0) << "high shelf";
  EXPECT_NEAR(gainDb(eq(12, 12, 12, 24, 12), 2400, 44100), 12.0, 0.3) << "at 44.1 kHz";
  // Switched off, the gains do nothing.
  EXPECT_NEAR(gainDb(with({{0x0480, 0x0000}}), 30), 0.0, 0.01);
}

// The speaker's signal is worked out on blocks (the bands of the equaliser skewed, left and
// right side by side, with AVX two bands or two frames at once): every value, to the last bit,
// as one frame after the other gives it, for blocks of any length, with every band and the 3D
// effect on, across changes of the settings, with and without AVX.
TEST(CodecPath, BlocksGiveTheSignalOfOneFrameAtATime) {
  for (const bool wide : {true, false}) {
    static bool useWide;
    useWide = wide;
    const auto r = boardtest::run([] {
      simaudio::useWideVectors(useWide);
      for (const Reg& w : with({{0x0421, 0x2B10},
                                {0x0480, 20 << 11 | 5 << 6 | 14 << 1 | 1},
                                {0x0481, 9 << 11 | 22 << 6},
                                {0x0025, 0x0140 | 3 << 3 | 5}})) {
        AUDIO_IO_Write(0x34, w.reg, w.value);
      }
      std::vector<int16_t> signal;
      std::uint32_t x = 1;
      for (int f = 0; f < 9000; ++f) {
        x = x * 1103515245 + 12345;  // noise and a loud tone that clips after the bands
        const auto tone = static_cast<int>(30000 * std::sin(f * 0.05));
        signal.push_back(static_cast<int16_t>(tone / 2 + static_cast<int16_t>(x >> 16) / 3));
        signal.push_back(static_cast<int16_t>(tone - static_cast<int16_t>(x >> 16) / 4));
      }
      std::vector<double> blocks(signal.size()), frames(signal.size());
      std::size_t at = 0;
      // Five bands, then three (the second, fourth and fifth, each with the state it kept),
      // one, four, two, and none without 3D.
      struct Change {
        std::size_t at;
        std::uint16_t eq1, eq2;
      };
      const Change changes[] = {{3000, 12 << 11 | 5 << 6 | 12 << 1 | 1, 9 << 11 | 22 << 6},
                                {4500, 12 << 11 | 12 << 6 | 12 << 1 | 1, 12 << 11 | 22 << 6},
                                {6000, 3 << 11 | 5 << 6 | 14 << 1 | 1, 12 << 11 | 22 << 6},
                                {7000, 3 << 11 | 12 << 6 | 12 << 1 | 1, 9 << 11 | 12 << 6},
                                {8000, 12 << 11 | 12 << 6 | 12 << 1 | 1, 12 << 11 | 12 << 6}};
      for (std::size_t length :
           {1, 2, 3, 4, 5, 7, 8, 9, 1152, 1809, 100, 717, 683, 1500, 1000, 1, 999, 999, 1}) {
        for (const Change& c : changes) {
          if (at != c.at) continue;
          AUDIO_IO_Write(0x34, 0x0480, c.eq1);
          AUDIO_IO_Write(0x34, 0x0481, c.eq2);
          if (at == 8000) AUDIO_IO_Write(0x34, 0x0421, 0);
        }
        simaudio::processBlockForTest(&signal[2 * at], &blocks[2 * at], length, 44100);
        simaudio::processBlockForTest(&signal[2 * at], &frames[2 * at], length, 44100, true);
        at += length;
      }
      int differ = 0;
      for (std::size_t i = 0; i < signal.size(); ++i) {
        differ += std::memcmp(&blocks[i], &frames[i], sizeof(double)) != 0 ? 1 : 0;
      }
      note(std::to_string(at) + " frames, " + std::to_string(differ) + " values differ");
      simk::endRun(0, "");
    });
    EXPECT_EQ(r.notes, "9000 frames, 0 values differ\n") << (wide ? "with AVX" : "without");
  }
}

// The speaker's file at 48 kHz while the link runs at 44.1 kHz: the same tone, resampled.
TEST(Speaker, A441kHzToneIsResampledTo48kHz) {
  const Files files{dir() + "/tone.wav", ""};
  onBoard(
      44100,
      [] {
        for (int f = 0; f < 2304; ++f) {
          // 1,000 Hz does not repeat within the buffer; 612.5 Hz does (the buffer is 1 period
          // of 2304 / 72 = 32 cycles at 44.1 kHz).
          const auto v =
              static_cast<uint16_t>(std::lround(8000 * std::sin(2 * M_PI * 32 * f / 2304.0)));
          buffer[2 * f] = buffer[2 * f + 1] = v;
        }
        cleanAll();
        AUDIO_IO_Write(0x34, 0x0420, 0x0010);
        AUDIO_IO_Write(0x34, 0x0026, 0x0179);
        AUDIO_IO_Write(0x34, 0x0027, 0x0179);
        waitMs(100);
        BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
        waitMs(1000);
        BSP_AUDIO_OUT_Stop(CODEC_PDWN_SW);
        waitMs(100);
      },
      files);
  const auto s = samplesOf(files.wav);
  // About 1.2 s at 48 kHz: silence, a second of tone, silence.
  ASSERT_GT(s.size(), 2u * 48000);
  size_t first = 0;
  while (first < s.size() && s[first] == 0) ++first;
  ASSERT_LT(first, s.size());
  // Zero crossings of the left channel over 0.5 s of the tone: 612.5 Hz gives 612.5.
  int crossings = 0;
  double peak = 0;
  const size_t from = first / 2 + 4800, to = from + 24000;
  for (size_t f = from; f < to; ++f) {
    crossings += (s[2 * f] >= 0) != (s[2 * f + 2] >= 0) ? 1 : 0;
    peak = std::max(peak, std::abs(static_cast<double>(s[2 * f])));
  }
  EXPECT_NEAR(crossings, 612.5, 2);
  EXPECT_NEAR(peak, 8000, 40);
}

// The speaker's file worked out with AVX (the equaliser's bands and the resampling) and
// without: byte for byte the same, at the rates that are resampled, for a loud signal that
// clips, with every band and 3D on, across starts and stops of the link.
TEST(Speaker, TheFileIsTheSameWithAndWithoutAvx) {
  for (const uint32_t rate : {44100u, 22050u}) {
    std::string wavs[2];
    for (const bool wide : {true, false}) {
      static bool useWide;
      useWide = wide;
      const Files files{dir() + "/" + std::to_string(rate) + (wide ? "wide" : "") + ".wav", ""};
      onBoard(
          rate,
          [] {
            simaudio::useWideVectors(useWide);
            std::uint32_t x = 7;
            for (int f = 0; f < 2 * 1152; ++f) {
              x = x * 1103515245 + 12345;
              const auto tone = static_cast<int>(30000 * std::sin(f * 0.07));
              buffer[2 * f] = static_cast<uint16_t>(tone + static_cast<int16_t>(x >> 16) / 4);
              buffer[2 * f + 1] = static_cast<uint16_t>(static_cast<int16_t>(x >> 16));
            }
            cleanAll();
            for (const Reg& w : with({{0x0421, 0x2B10},
                                      {0x0480, 20 << 11 | 5 << 6 | 14 << 1 | 1},
                                      {0x0481, 9 << 11 | 22 << 6},
                                      {0x0025, 0x0140 | 3 << 3 | 5}})) {
              AUDIO_IO_Write(0x34, w.reg, w.value);
            }
            for (unsigned ms : {300, 7, 455}) {
              BSP_AUDIO_OUT_Play(buffer, sizeof buffer);
              waitMs(ms);
              BSP_AUDIO_OUT_Stop(CODEC_PDWN_SW);
              waitMs(20);
            }
          },
          files);
      wavs[wide ? 1 : 0] = proc::readFile(files.wav);
    }
    EXPECT_GT(wavs[0].size(), 48000u * 4 / 2) << rate;
    EXPECT_TRUE(wavs[0] == wavs[1]) << rate;
  }
}

}  // namespace

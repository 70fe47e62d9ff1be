// The track player through the whole pipeline on the simulated board: a track from the stick is
// decoded and sent over the SAI exactly as libmad decodes it, to its last frame, for the kinds
// of streams a stick holds; the speaker's file follows the capture in time.
#include <gtest/gtest.h>

#include <algorithm>

#include "audioSettings.h"
#include "audio_board.h"
#include "audio_player.h"
#include "singleton.h"

namespace {

using audiotest::Board;
using audiotest::Decoded;
using audiotest::Wav;

constexpr const char* kTrack = "0:\\Musik\\Hund\\track.mp3";

struct Case {
  const char* name;
  unsigned rate, channels;
  const char* lame;
  bool monoSwitch = false;
  std::string prefix;  // bytes before the stream (a tag)
  const char* expectLog = nullptr;
};

// The capture holds the decode sample for sample from its first frame on, the last frame
// included; after it only silence (the rest of the last block, and whatever of the silent half
// went out before the output stopped).
void expectWholeTrack(const Wav& capture, const Decoded& ref) {
  ASSERT_TRUE(capture.ok);
  ASSERT_FALSE(ref.lr.empty());
  ASSERT_GE(capture.samples.size(), ref.lr.size());
  const auto diff = std::mismatch(ref.lr.begin(), ref.lr.end(), capture.samples.begin());
  EXPECT_EQ(diff.first, ref.lr.end())
      << "first difference at stereo frame " << (diff.first - ref.lr.begin()) / 2 << " of "
      << ref.lr.size() / 2;
  const size_t loud =
      static_cast<size_t>(std::count_if(capture.samples.begin() + static_cast<long>(ref.lr.size()),
                                        capture.samples.end(), [](int16_t s) { return s != 0; }));
  EXPECT_EQ(loud, 0u) << "sound after the last frame";
  EXPECT_LT(capture.samples.size() - ref.lr.size(), 2u * 2 * 1152) << "too much after the end";
}

class WholeTrack : public ::testing::TestWithParam<Case> {};

TEST_P(WholeTrack, TheCaptureIsLibmadsDecodeToTheLastFrame) {
  const Case& c = GetParam();
  const std::string mp3 =
      c.prefix + audiotest::encode(audiotest::tones(c.rate, c.channels, 2.0), c.lame);
  const std::string name = std::string("whole_") + c.name;
  Board b;
  b.stick = audiotest::stick(name, {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/" + name + ".wav";
  b.mono = c.monoSwitch;
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::mark(audiotest::waitIdle(player, 20000) ? "idle" : "still playing");
  });
  ASSERT_EQ(r.status, 0) << r.console;
  EXPECT_NE(r.notes.find("idle"), std::string::npos) << r.console;
  const Decoded ref = audiotest::decode(mp3.substr(c.prefix.size()), c.monoSwitch);
  ASSERT_EQ(ref.rate, c.rate);
  const Wav capture = audiotest::readWav(b.capture);
  EXPECT_EQ(capture.rate, c.rate);
  expectWholeTrack(capture, ref);

  const std::string rate = std::to_string(c.rate);
  EXPECT_TRUE(audiotest::hasLine(r.console, std::string("play ") + kTrack)) << r.console;
  EXPECT_TRUE(audiotest::hasLine(r.console, std::string("playback mp3: ") + kTrack));
  EXPECT_TRUE(audiotest::hasLine(r.console, "start playback - sampleRate: " + rate)) << r.console;
  EXPECT_TRUE(audiotest::hasLine(r.console, "decoder result 0"));
  EXPECT_TRUE(audiotest::hasLine(r.console, "mp3 decoder finished"));
  EXPECT_FALSE(audiotest::hasLine(r.console, "MAD_FLOW_STOP")) << "the end of a file is no stop";
  if (c.expectLog != nullptr) {
    EXPECT_TRUE(audiotest::hasLine(r.console, c.expectLog)) << r.console;
  }
  EXPECT_EQ(r.trace.find(R"("ev":"cache")"), std::string::npos) << "a stale DMA read";
  const auto events = audiotest::audioEvents(r.trace);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().second, "start " + rate);
  EXPECT_EQ(events.back().second, "stop " + rate);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, WholeTrack,
    ::testing::Values(
        Case{"cbr44stereo", 44100, 2, "-b 128"}, Case{"cbr48stereo", 48000, 2, "-b 192"},
        Case{"cbr44mono", 44100, 1, "-b 64 -m m"}, Case{"vbr48mono", 48000, 1, "-V 4 -m m"},
        Case{"vbr44stereo", 44100, 2, "-V 2"},
        // Mixed to mono by the decoder while the switch is on.
        Case{"monoswitch", 44100, 2, "-b 128", true},
        // A tag of 257 bytes after its header: the stream starts at 267.
        Case{"id3", 48000, 2, "-b 160", false, audiotest::id3Tag(257), "id3v2 header size: 267"},
        // MPEG-2 frames of 576 samples are gathered into whole blocks.
        Case{"mpeg2", 22050, 2, "-b 64"},
        // Free format at 448 kbit/s and 32 kHz: frames of 2,016 bytes.
        Case{"freeformat", 32000, 2, "--freeformat -b 448 --resample 32"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Player, ATagWrittenByTheEncoderIsSkipped) {
  const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 1.5),
                                            "-b 128 --add-id3v2 --tt Hund --ta Kinder");
  ASSERT_EQ(mp3.compare(0, 3, "ID3"), 0);
  Board b;
  b.stick = audiotest::stick("lametag", {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/lametag.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::waitIdle(player, 20000);
  });
  const size_t tag =
      10 + ((static_cast<uint8_t>(mp3[6]) & 0x7F) << 21 |
            (static_cast<uint8_t>(mp3[7]) & 0x7F) << 14 |
            (static_cast<uint8_t>(mp3[8]) & 0x7F) << 7 | (static_cast<uint8_t>(mp3[9]) & 0x7F));
  EXPECT_TRUE(audiotest::hasLine(r.console, "id3v2 header size: " + std::to_string(tag)))
      << r.console;
  expectWholeTrack(audiotest::readWav(b.capture), audiotest::decode(mp3.substr(tag)));
}

// A stored position is a multiple of 8 KiB and may fall inside a long tag (a cover picture):
// the track then starts after the tag rather than in the picture's bytes.
TEST(Player, AResumePositionInsideTheTagStartsAfterIt) {
  const std::string tag = audiotest::id3Tag(20000);
  const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 1.0), "-b 128");
  Board b;
  b.stick = audiotest::stick("intag", {{"Musik/Hund/track.mp3", tag + mp3}});
  b.capture = audiotest::dir() + "/intag.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 16384);
    audiotest::waitIdle(player, 20000);
  });
  EXPECT_FALSE(audiotest::hasLine(r.console, "id3v2 header size: 20010")) << "no tag skip logged";
  expectWholeTrack(audiotest::readWav(b.capture), audiotest::decode(mp3));
}

TEST(Player, TwoTracksAt48kHzInARowBothPlayAt48kHz) {
  const std::string one = audiotest::encode(audiotest::tones(48000, 2, 1.0), "-b 128");
  const std::string two = audiotest::encode(audiotest::tones(48000, 1, 1.2), "-b 96 -m m");
  Board b;
  b.stick = audiotest::stick("two48", {{"Musik/Hund/a.mp3", one}, {"Musik/Hund/b.mp3", two}});
  b.capture = audiotest::dir() + "/two48.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile("0:\\Musik\\Hund\\a.mp3", 0);
    audiotest::waitIdle(player, 20000);
    player.playFile("0:\\Musik\\Hund\\b.mp3", 0);
    audiotest::waitIdle(player, 20000);
  });
  EXPECT_EQ(audiotest::countLines(r.console, "start playback - sampleRate: 48000"), 2u)
      << r.console;
  for (const auto& [t, what] : audiotest::audioEvents(r.trace)) {
    EXPECT_TRUE(what == "start 48000" || what == "stop 48000") << what << " at " << t;
  }
  // Both, whole, one after the other.
  Decoded both = audiotest::decode(one);
  const Decoded second = audiotest::decode(two);
  const Wav capture = audiotest::readWav(b.capture);
  ASSERT_TRUE(capture.ok);
  const size_t firstBlocks = (both.lr.size() / 2 + 1151) / 1152;
  ASSERT_GE(capture.samples.size(), firstBlocks * 2304 + second.lr.size());
  EXPECT_TRUE(std::equal(both.lr.begin(), both.lr.end(), capture.samples.begin()));
  // The second track starts after the first's last block (and a silent half, maybe); its first
  // frame is the encoder's silent tag frame, so it is found by its fourth.
  const auto fourth = std::search(capture.samples.begin() + static_cast<long>(both.lr.size()),
                                  capture.samples.end(), second.lr.begin() + 3 * 2304,
                                  second.lr.begin() + 4 * 2304);
  ASSERT_NE(fourth, capture.samples.end());
  const auto start = fourth - 3 * 2304;
  const auto diff = std::mismatch(second.lr.begin(), second.lr.end(), start);
  EXPECT_EQ(diff.first, second.lr.end())
      << "second track differs at stereo frame " << (diff.first - second.lr.begin()) / 2 << " of "
      << second.lr.size() / 2 << "\n"
      << r.console;
}

// The speaker's file runs in virtual real time: silence, then at 48 kHz with a flat path
// (0 dB volume, no boost, flat equaliser, no 3D) exactly the captured samples, then silence.
TEST(Player, TheSpeakerPlaysTheCaptureInTimeWithAFlatPath) {
  const std::string mp3 = audiotest::encode(audiotest::tones(48000, 2, 1.0), "-b 192");
  Board b;
  b.stick = audiotest::stick("speaker", {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/speaker_sai.wav";
  b.wav = audiotest::dir() + "/speaker.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    Singleton<_AudioSettings>::Instance().setSpkBoost(0);
    Singleton<_AudioSettings>::Instance().setEqualizer(12, 12, 12, 12, 12);
    player.playFile(kTrack, 0);
    audiotest::waitIdle(player, 20000);
    audiotest::sleepMs(500);
    audiotest::mark("end");
  });
  const Wav speaker = audiotest::readWav(b.wav);
  const Wav capture = audiotest::readWav(b.capture);
  ASSERT_TRUE(speaker.ok);
  EXPECT_EQ(speaker.rate, 48000u);
  EXPECT_EQ(speaker.channels, 2u);
  // As long as the run, to the output frame.
  const long endMs = std::stol(r.notes.substr(0, r.notes.find(' ')));
  EXPECT_NEAR(static_cast<double>(speaker.samples.size() / 2), endMs * 48.0, 48.0);
  const auto events = audiotest::audioEvents(r.trace);
  ASSERT_EQ(events.size(), 2u);
  // The first frame went out at the start event (in us): the speaker plays it as the output
  // frame nearest to that time (at 48 kHz each output frame takes the nearest input frame).
  const size_t first = static_cast<size_t>((events[0].first * 48 + 500) / 1000);
  const size_t last = static_cast<size_t>(events[1].first * 48 / 1000);
  ASSERT_LT(last * 2, speaker.samples.size());
  EXPECT_TRUE(std::all_of(speaker.samples.begin(),
                          speaker.samples.begin() + static_cast<long>(first * 2),
                          [](int16_t s) { return s == 0; }));
  ASSERT_GE(capture.samples.size(), (last - first) * 2);
  const size_t n = std::min((last - first) * 2, capture.samples.size());
  EXPECT_TRUE(std::equal(capture.samples.begin(), capture.samples.begin() + static_cast<long>(n),
                         speaker.samples.begin() + static_cast<long>(first * 2)));
  EXPECT_TRUE(std::all_of(speaker.samples.begin() + static_cast<long>((last + 2) * 2),
                          speaker.samples.end(), [](int16_t s) { return s == 0; }));
}

}  // namespace

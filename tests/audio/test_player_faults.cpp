// The track player's requests and failures on the simulated board: stop, resume at the stored
// position, pause, a damaged stream, a missing file, a tiny file, a slow start, and libmad
// without memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "audioSettings.h"
#include "audio_board.h"
#include "audio_player.h"
#include "codec_path.h"
#include "mp3/decode_mp3.h"
#include "process.h"
#include "runtime_heap.h"
#include "singleton.h"
#include "stick.h"
#include "usbh_diskio.h"

namespace {

using audiotest::Board;
using audiotest::Decoded;
using audiotest::Wav;

constexpr const char* kTrack = "0:\\Musik\\Hund\\track.mp3";

long noteTime(const std::string& notes, const std::string& what) {
  const size_t at = notes.find(" " + what + "\n");
  if (at == std::string::npos) return -1;
  const size_t start = notes.rfind('\n', at);
  return std::stol(notes.substr(start == std::string::npos ? 0 : start + 1));
}

std::string noteValue(const std::string& notes, const std::string& key) {
  const size_t at = notes.find(" " + key + " ");
  if (at == std::string::npos) return "";
  const size_t from = at + key.size() + 2;
  return notes.substr(from, notes.find('\n', from) - from);
}

// The reference frame whose output equals `block` (1,152 stereo frames); -1 if none.
long frameWith(const Decoded& ref, const int16_t* block) {
  for (size_t j = 0; j < ref.frameStarts.size(); ++j) {
    const size_t at = ref.frameStarts[j] * 2;
    if (at + 2304 <= ref.lr.size() &&
        std::equal(block, block + 2304, ref.lr.begin() + static_cast<long>(at))) {
      return static_cast<long>(j);
    }
  }
  return -1;
}

// A stop in the middle ends the track at once; the stored position lies before what was
// heard, by at most about a second, and playing from it repeats that much and skips nothing.
TEST(PlayerFaults, AStopEndsAtOnceAndTheStoredPositionResumesWithoutSkipping) {
  const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 4.0), "-b 128");
  Board b;
  b.stick = audiotest::stick("resume", {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/resume.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::sleepMs(2500);
    audiotest::mark("stop");
    player.stop();
    audiotest::mark(audiotest::waitIdle(player, 5000) ? "idle" : "still playing");
    audiotest::mark("heard " + std::to_string(simaudio::framesSentTotal()));
    const uint32_t position = Singleton<_AudioSettings>::Instance().getFilePosition();
    audiotest::mark("position " + std::to_string(position));
    player.playFile(kTrack, position);
    audiotest::waitIdle(player, 20000);
  });
  ASSERT_EQ(r.status, 0) << r.console;
  // At once: the output stops within a few milliseconds of the request.
  const long stopAt = noteTime(r.notes, "stop");
  const auto events = audiotest::audioEvents(r.trace);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[1].second, "stop 44100");
  EXPECT_LT(events[1].first / 1000 - stopAt, 50) << r.notes;
  const auto all = audiotest::lines(r.console);
  const auto stopLine = std::find(all.begin(), all.end(), "MAD_FLOW_STOP");
  ASSERT_NE(stopLine, all.end()) << r.console;
  EXPECT_NE(std::find(stopLine, all.end(), "decoder result 0"), all.end());
  EXPECT_NE(std::find(stopLine, all.end(), "mp3 decoder finished"), all.end());

  const Decoded ref = audiotest::decode(mp3);
  const size_t heard = std::stoul(noteValue(r.notes, "heard"));
  const uint32_t position = static_cast<uint32_t>(std::stoul(noteValue(r.notes, "position")));
  ASSERT_GT(heard, 44100u * 2);
  // The frame being heard at the stop.
  size_t frame = 0;
  while (frame + 1 < ref.frameStarts.size() && ref.frameStarts[frame + 1] <= heard) ++frame;
  EXPECT_LE(position, ref.frameOffsets[frame]);
  EXPECT_EQ(position % 8192, 0u);

  // The resumed part: after its first few frames it is the reference from some frame on.
  const Wav capture = audiotest::readWav(b.capture);
  ASSERT_GT(capture.samples.size(), heard * 2 + 6 * 2304);
  const long j = frameWith(ref, capture.samples.data() + heard * 2 + 4 * 2304);
  ASSERT_GE(j, 4) << "the resumed audio is not the track's";
  const size_t resumedFrom = ref.frameStarts[static_cast<size_t>(j - 4)];
  EXPECT_LE(resumedFrom, heard) << "audio was skipped";
  EXPECT_LE(heard - resumedFrom, 44100u) << "more than a second repeated";
  const size_t rest = ref.lr.size() - ref.frameStarts[static_cast<size_t>(j)] * 2;
  EXPECT_TRUE(std::equal(ref.lr.end() - static_cast<long>(rest), ref.lr.end(),
                         capture.samples.begin() + static_cast<long>(heard * 2 + 4 * 2304)))
      << "the resumed track does not play to its end";
}

// Positions past 256 MiB are kept (in 8 KiB units) and a track resumes there.
TEST(PlayerFaults, AFileOfMoreThan256MiBResumesWhereItStopped) {
  const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 3.0), "-b 128");
  const std::string image = audiotest::dir() + "/big.img";
  const std::string tail = audiotest::dir() + "/big.tail";
  proc::writeFile(tail, mp3);
  // 256 MiB of zero bytes, then the track, on a sparse image (removed after the run).
  const std::string big = audiotest::dir() + "/big.mp3";
  ASSERT_EQ(std::system(("head -c 268435456 /dev/zero > " + big + " && cat " + tail + " >> " + big +
                         " && mkfs.fat -C -F 32 " + image + " 290000 >/dev/null && " +
                         "MTOOLS_SKIP_CHECK=1 mmd -i " + image + " ::/Musik && " +
                         "MTOOLS_SKIP_CHECK=1 mcopy -i " + image + " " + big +
                         " ::/Musik/big.mp3 && rm " + big)
                            .c_str()),
            0);
  constexpr uint32_t kStart = 256u << 20;
  Board b;
  b.stick = image;
  b.capture = audiotest::dir() + "/big.wav";
  b.duration = 40 * simk::kS;
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile("0:\\Musik\\big.mp3", kStart);
    audiotest::sleepMs(2000);
    player.stop();
    audiotest::waitIdle(player, 5000);
    audiotest::mark("heard " + std::to_string(simaudio::framesSentTotal()));
    const uint32_t position = Singleton<_AudioSettings>::Instance().getFilePosition();
    audiotest::mark("position " + std::to_string(position));
    player.playFile("0:\\Musik\\big.mp3", position);
    audiotest::waitIdle(player, 20000);
  });
  std::remove(image.c_str());
  ASSERT_EQ(r.status, 0) << r.console;
  const uint32_t position = static_cast<uint32_t>(std::stoul(noteValue(r.notes, "position")));
  const size_t heard = std::stoul(noteValue(r.notes, "heard"));
  const Decoded ref = audiotest::decode(mp3);
  size_t frame = 0;
  while (frame + 1 < ref.frameStarts.size() && ref.frameStarts[frame + 1] <= heard) ++frame;
  EXPECT_GT(position, kStart) << "the position moved on from the start";
  EXPECT_LE(position, kStart + ref.frameOffsets[frame]);
  // The first part is the track from its start; the resumed part repeats, skips nothing.
  const Wav capture = audiotest::readWav(b.capture);
  ASSERT_GT(capture.samples.size(), heard * 2 + 6 * 2304);
  EXPECT_TRUE(std::equal(capture.samples.begin(),
                         capture.samples.begin() + static_cast<long>(heard * 2), ref.lr.begin()));
  const long j = frameWith(ref, capture.samples.data() + heard * 2 + 4 * 2304);
  ASSERT_GE(j, 4);
  EXPECT_LE(ref.frameStarts[static_cast<size_t>(j - 4)], heard);
  EXPECT_LE(heard - ref.frameStarts[static_cast<size_t>(j - 4)], 44100u);
}

TEST(PlayerFaults, PauseHoldsThePipelineInPlace) {
  const std::string mp3 = audiotest::encode(audiotest::tones(48000, 2, 2.0), "-b 160");
  Board b;
  b.stick = audiotest::stick("pause", {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/pause.wav";
  b.wav = audiotest::dir() + "/pause_speaker.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::sleepMs(800);
    audiotest::mark("pause");
    player.pause();
    audiotest::sleepMs(1500);
    audiotest::mark("resume");
    player.pause();
    audiotest::mark(audiotest::waitIdle(player, 20000) ? "idle" : "still playing");
  });
  EXPECT_TRUE(audiotest::hasLine(r.console, "pause"));
  EXPECT_TRUE(audiotest::hasLine(r.console, "resume"));
  const long pauseAt = noteTime(r.notes, "pause"), resumeAt = noteTime(r.notes, "resume"),
             idleAt = noteTime(r.notes, "idle");
  ASSERT_GT(idleAt, 0) << r.notes;
  // The whole track still plays, after a pause of 1.5 s.
  EXPECT_GT(idleAt - pauseAt, 1200 + 1500);
  // Every block of the track comes out in order; the only others are the two halves the DMA
  // went round while paused.
  const Decoded ref = audiotest::decode(mp3);
  const Wav capture = audiotest::readWav(b.capture);
  size_t next = 0, extra = 0;
  for (size_t at = 0; at + 2304 <= capture.samples.size() && next < ref.frameStarts.size();
       at += 2304) {
    const auto block = capture.samples.begin() + static_cast<long>(at);
    const auto want = ref.lr.begin() + static_cast<long>(ref.frameStarts[next] * 2);
    if (ref.lr.end() - want >= 2304 && std::equal(block, block + 2304, want)) {
      ++next;
    } else {
      ++extra;
    }
  }
  EXPECT_GE(next + 1, ref.frameStarts.size()) << "blocks lost";
  EXPECT_NEAR(static_cast<double>(extra), 1500.0 / 24, 4);
  // The speaker is silent while paused.
  const Wav speaker = audiotest::readWav(b.wav);
  const auto from = speaker.samples.begin() + (pauseAt + 20) * 96,
             to = speaker.samples.begin() + resumeAt * 96;
  EXPECT_TRUE(std::all_of(from, to, [](int16_t s) { return s == 0; }));
  EXPECT_FALSE(std::all_of(to + 96 * 100, to + 96 * 200, [](int16_t s) { return s == 0; }));
}

TEST(PlayerFaults, ADamagedStreamIsLoggedAndPlaysOn) {
  std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 2.0), "-b 128");
  const Decoded clean = audiotest::decode(mp3);
  mp3.insert(clean.frameOffsets[30], std::string(300, '\x55'));
  Board b;
  b.stick = audiotest::stick("damaged", {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/damaged.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::waitIdle(player, 20000);
  });
  EXPECT_TRUE(audiotest::hasLine(r.console, "decoding error 0x0101 (lost synchronization) "))
      << r.console;
  EXPECT_TRUE(audiotest::hasLine(r.console, "mp3 decoder finished"));
  EXPECT_FALSE(audiotest::hasLine(r.console, "MAD_FLOW_STOP"));
  const Decoded ref = audiotest::decode(mp3);
  const Wav capture = audiotest::readWav(b.capture);
  ASSERT_GE(capture.samples.size(), ref.lr.size());
  EXPECT_TRUE(std::equal(ref.lr.begin(), ref.lr.end(), capture.samples.begin()));
}

TEST(PlayerFaults, AFileThatCannotBeOpenedPlaysNothing) {
  Board b;
  b.stick = audiotest::stick("missing", {{"Musik/Hund/other.mp3", "x"}});
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile("0:\\Musik\\Hund\\missing.mp3", 0);
    audiotest::mark(audiotest::waitIdle(player, 2000) ? "idle" : "still playing");
    player.playFile("", 0);
    audiotest::mark(player.isPlaying() ? "busy" : "not playing");
  });
  EXPECT_TRUE(audiotest::hasLine(r.console, "play 0:\\Musik\\Hund\\missing.mp3"));
  EXPECT_TRUE(audiotest::hasLine(r.console, "file open failed")) << r.console;
  EXPECT_FALSE(audiotest::hasLine(r.console, "playback mp3: 0:\\Musik\\Hund\\missing.mp3"));
  EXPECT_NE(r.notes.find("idle"), std::string::npos);
  EXPECT_NE(r.notes.find("not playing"), std::string::npos);
  EXPECT_TRUE(audiotest::audioEvents(r.trace).empty());
}

// 1,024 bytes: two full chunks and an empty third that ends the file; every frame in them
// plays, the last one too.
TEST(PlayerFaults, AFileOf1024BytesPlaysToItsLastFrame) {
  const std::string mp3 =
      audiotest::encode(audiotest::tones(32000, 1, 1.0), "-b 32 -m m").substr(0, 1024);
  Board b;
  b.stick = audiotest::stick("tiny", {{"Musik/Hund/track.mp3", mp3}});
  b.capture = audiotest::dir() + "/tiny.wav";
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::mark(audiotest::waitIdle(player, 5000) ? "idle" : "still playing");
  });
  EXPECT_NE(r.notes.find("idle"), std::string::npos) << r.console;
  const Decoded ref = audiotest::decode(mp3);
  ASSERT_GE(ref.frameOffsets.size(), 5u);
  const Wav capture = audiotest::readWav(b.capture);
  ASSERT_GE(capture.samples.size(), ref.lr.size());
  EXPECT_TRUE(std::equal(ref.lr.begin(), ref.lr.end(), capture.samples.begin()));
  EXPECT_TRUE(
      audiotest::hasLine(r.console, "start playback - sampleRate: " + std::to_string(ref.rate)))
      << r.console;
}

// Only one block within the start's wait: the fill error is logged; once the stick delivers
// again, playback starts and the track plays to its end.
TEST(PlayerFaults, AStartWithOnlyOneBlockLogsAFillError) {
  std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 1.0), "-b 128");
  // The first read of the stick (4 KiB) holds one frame: padding up to the next.
  const uint32_t second = audiotest::decode(mp3).frameOffsets.at(1);
  mp3.insert(second, std::string(4096 - second, '\0'));
  Board b;
  b.stick = audiotest::stick("slow", {{"Musik/Hund/track.mp3", mp3}});
  b.duration = 120 * simk::kS;
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    simusb::timing().perCommand = 5 * simk::kS;  // every read takes 5 s
    USBH_DiskCacheEnable(false);                 // one sector a command, no reading ahead
    // The reading thread keeps the processor through each read: the stick is made quick again
    // from the timeline, 4.5 s after the first frame was decoded.
    static simk::Periodic watch;
    static simk::Time firstFrame = 0;
    watch.start(simk::now(), 10 * simk::kMs, simk::kOrderBoard, false, [] {
      if (firstFrame == 0 && DecodeMp3::thisptr->samplerate.load() != 0) firstFrame = simk::now();
      if (firstFrame != 0 && simk::now() >= firstFrame + 4500 * simk::kMs) {
        simusb::timing().perCommand = 2 * simk::kMs;
        watch.stop();
      }
    });
    player.playFile(kTrack, 0);
    audiotest::mark(audiotest::waitIdle(player, 60000) ? "idle" : "still playing");
  });
  const auto all = audiotest::lines(r.console);
  const auto error = std::find(all.begin(), all.end(), "playback buffer fill error");
  ASSERT_NE(error, all.end()) << r.console;
  EXPECT_NE(std::find(error, all.end(), "start playback - sampleRate: 44100"), all.end())
      << r.console;
  EXPECT_NE(r.notes.find("idle"), std::string::npos) << r.notes << r.console;
  EXPECT_TRUE(audiotest::hasLine(r.console, "mp3 decoder finished"));
}

// libmad's memory cannot be had: the failures are logged, the runs wait longer and longer
// instead of restarting at once, and a track still comes to its end.
TEST(PlayerFaults, WithoutMemoryTheDecoderBacksOffAndTracksStillEnd) {
  const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 1.0), "-b 128");
  Board b;
  b.stick = audiotest::stick("nomem", {{"Musik/Hund/track.mp3", mp3}});
  b.duration = 60 * simk::kS;
  // Room for the pipeline's objects, not for libmad's state of a run (about 22 KB).
  b.beforePlayer = [] { simruntime::setRuntimeHeapLimit(simruntime::runtimeHeapInUse() + 16384); };
  const auto r = audiotest::run(b, [](AudioPlayer& player) {
    player.playFile(kTrack, 0);
    audiotest::mark(audiotest::waitIdle(player, 20000) ? "idle" : "playing");
    audiotest::sleepMs(20000);
  });
  EXPECT_NE(r.notes.find("idle"), std::string::npos) << r.notes;
  EXPECT_TRUE(audiotest::hasLine(r.console, "mp3 decoder finished"));
  EXPECT_NE(r.console.find("mp3_malloc fail allocating 2"), std::string::npos) << r.console;
  // Waits of 100 ms doubling to 5 s: about a dozen failed runs in 25 s, not thousands.
  const size_t failures = audiotest::countLines(r.console, "decoder result -1");
  EXPECT_GE(failures, 6u);
  EXPECT_LE(failures, 14u);
}

}  // namespace

// What the child hears, on the whole firmware through the simulator, with sticks made at test
// time (mkfs.fat and mtools, or our builder) holding tracks made with sox and lame: restarts
// that never play a block of the old track, track ends that are heard whole and followed at
// once by the next track whatever trails the last frame, silence while paused, the knob on a
// blank chip, and resume positions and track changes that survive a power-off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "audio_board.h"
#include "images.h"
#include "process.h"

namespace {

using audiotest::Decoded;
using audiotest::Wav;

const std::string kSim = SHAPEPLAY_SIM;

struct Heard {
  proc::Output o;
  std::string trace;
  Wav capture;
  Wav speaker;
};

// One run of the simulator with `script` on stdin; `chip` is the --sram file ("" for none).
Heard play(const std::string& stick, const std::string& script, const std::string& chip = "") {
  const std::string dir = proc::tempDir();
  std::vector<std::string> args = {
      kSim,      "--headless",         "--script",      "-",
      "--trace", dir + "/trace.jsonl", "--sai-capture", dir + "/sai.wav",
      "--wav",   dir + "/speaker.wav"};
  if (!stick.empty()) {
    args.push_back("--stick");
    args.push_back(stick);
  }
  if (!chip.empty()) {
    args.push_back("--sram");
    args.push_back(chip);
  }
  Heard h;
  h.o = proc::run(args, script);
  h.trace = proc::readFile(dir + "/trace.jsonl");
  h.capture = audiotest::readWav(dir + "/sai.wav");
  h.speaker = audiotest::readWav(dir + "/speaker.wav");
  return h;
}

// Virtual time (us) of the first trace line at or after `from` that holds `text`; -1 if none.
long timeOf(const std::string& trace, const std::string& text, long from = 0) {
  for (size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) {
    const size_t line = trace.rfind('\n', at);
    const long t = std::stol(trace.substr(line == std::string::npos ? 5 : line + 6));
    if (t >= from) return t;
  }
  return -1;
}

// The DMA runs of the output: when each began and ended, in us (a rate change inside a run
// shows as a second start).
struct Run {
  long start = 0, stop = 0;
  std::vector<unsigned> rates;
};
std::vector<Run> runs(const std::string& trace) {
  std::vector<Run> out;
  for (const auto& [t, what] : audiotest::audioEvents(trace)) {
    const unsigned rate = static_cast<unsigned>(std::stoul(what.substr(what.find(' ') + 1)));
    if (what.rfind("start", 0) == 0) {
      if (out.empty() || out.back().stop != 0) out.push_back(Run{t, 0, {}});
      out.back().rates.push_back(rate);
    } else if (!out.empty()) {
      out.back().stop = t;
    }
  }
  return out;
}

// A track of rising tones, `seconds` long, as lame makes it.
std::string track(double seconds, const std::string& lame = "-b 128") {
  return audiotest::encode(audiotest::tones(44100, 2, seconds), lame);
}

// The stereo frames of a decode from its first non-silent one on.
std::vector<int16_t> audible(const Decoded& d) {
  size_t at = 0;
  while (at + 1 < d.lr.size() && d.lr[at] == 0 && d.lr[at + 1] == 0) at += 2;
  return std::vector<int16_t>(d.lr.begin() + static_cast<long>(at), d.lr.end());
}

// The capture holds each reference in turn, whole and bit for bit, with nothing but silence
// between them. Returns the index of the first track that is not there whole, or -1.
int tracksInOrder(const std::vector<int16_t>& capture, const std::vector<Decoded>& refs) {
  size_t p = 0;
  for (size_t k = 0; k < refs.size(); ++k) {
    const std::vector<int16_t> want = audible(refs[k]);
    if (want.empty()) continue;
    while (p + 1 < capture.size() && capture[p] == 0 && capture[p + 1] == 0) p += 2;
    if (capture.size() - p < want.size() ||
        !std::equal(want.begin(), want.end(), capture.begin() + static_cast<long>(p))) {
      return static_cast<int>(k);
    }
    p += want.size();
  }
  while (p + 1 < capture.size() && capture[p] == 0 && capture[p + 1] == 0) p += 2;
  return p >= capture.size() ? -1 : static_cast<int>(refs.size());
}

// MPEG audio CRC-16 (polynomial 0x8005, MSB first).
uint16_t crc16(const std::string& bytes, uint16_t crc = 0xFFFF) {
  for (unsigned char c : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool in = ((c >> bit) & 1) != 0;
      const bool top = (crc & 0x8000) != 0;
      crc = static_cast<uint16_t>(crc << 1);
      if (in != top) crc ^= 0x8005;
    }
  }
  return crc;
}

// Junk that looks like MPEG frames at 48 and 32 kHz by turns (true headers, each followed by
// the next), whose check sums are wrong: libmad reads their headers and decodes nothing.
std::string falseFrames(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    const bool at48 = i % 2 == 0;
    const std::string header = {'\xFF', '\xFA', static_cast<char>(0x90 | (at48 ? 0x04 : 0x08)),
                                '\x00'};
    const std::string sideInfo(32, '\0');
    const uint16_t crc = crc16(header.substr(2) + sideInfo) ^ 0x5A5A;
    std::string frame = header;
    frame += static_cast<char>(crc >> 8);
    frame += static_cast<char>(crc & 0xFF);
    frame += sideInfo;
    frame.resize(at48 ? 384 : 576, '\0');
    out += frame;
  }
  return out;
}

// A 100 KiB APEv2 tag as taggers append it: title, artist and a JPEG cover whose coded data
// holds 0xFF only as stuffed 0xFF 0x00.
std::string apeTagWithCover() {
  auto u32 = [](uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  auto item = [&](const std::string& key, const std::string& value, uint32_t flags) {
    return u32(static_cast<uint32_t>(value.size())) + u32(flags) + key + '\0' + value;
  };
  std::string jpeg = "\xFF\xD8\xFF\xE0";
  jpeg += std::string("\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 16);
  jpeg += "\xFF\xDA";
  for (char c : testimg::pattern(96 * 1024, 7)) {
    jpeg += c;
    if (c == '\xFF') jpeg += '\0';
  }
  jpeg += "\xFF\xD9";
  const std::string items = item("Title", "Track", 0) + item("Artist", "Nobody", 0) +
                            item("Cover Art (Front)", "cover.jpg" + std::string(1, '\0') + jpeg, 2);
  const uint32_t size = static_cast<uint32_t>(items.size()) + 32;
  const std::string header =
      "APETAGEX" + u32(2000) + u32(size) + u32(3) + u32(0xA0000000u) + std::string(8, '\0');
  const std::string footer =
      "APETAGEX" + u32(2000) + u32(size) + u32(3) + u32(0x80000000u) + std::string(8, '\0');
  return header + items + footer;
}

// ---- restarts

// The user restarts a track ten times at different instants: each start is the track from its
// first frame, bit for bit, and nothing of the cut-off run (no block queued before the cut)
// comes between; the decoder never decodes what was left of the old run.
TEST(Listening, EveryRestartIsTheTrackFromItsFirstFrameWithNothingOfTheOldRun) {
  const std::string mp3 = track(3.0);
  const std::string image = audiotest::dir() + "/restarts.img";
  testimg::make(image, {{"Musik/Hund/track.mp3", mp3}, {"Musik/Hund/zwei.mp3", track(1.0)}}, 8);
  std::string script = "wait 1s\nevent BTN_PlaybackFolder main=0 playback=0\n";
  for (int k = 0; k < 10; ++k) {
    script += "wait " + std::to_string(500 + 61 * k) + "ms\nevent BTN_Rewind\n";
  }
  script += "wait 500ms\n";
  const Heard h = play(image, script);
  ASSERT_EQ(h.o.status, 0) << h.o.err;
  EXPECT_EQ(audiotest::countLines(h.o.out, "play 0:\\Musik\\Hund\\track.mp3"), 11u);
  EXPECT_EQ(runs(h.trace).size(), 11u);

  // Each run is a prefix of the track's decode: it begins at the first frame and holds nothing
  // but the track up to where it was cut.
  const Decoded ref = audiotest::decode(mp3);
  const std::vector<int16_t>& cap = h.capture.samples;
  const std::vector<int16_t> first = audible(ref);
  const size_t lead = ref.lr.size() - first.size();  // the encoder's silence before the music
  std::vector<size_t> starts;
  for (auto at = cap.begin();
       (at = std::search(at, cap.end(), first.begin(), first.begin() + 256)) != cap.end(); ++at) {
    starts.push_back(static_cast<size_t>(at - cap.begin()) - lead);
  }
  ASSERT_EQ(starts.size(), 11u);
  EXPECT_EQ(starts[0], 0u);
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : cap.size();
    ASSERT_LE(end - starts[k], ref.lr.size());
    EXPECT_TRUE(std::equal(cap.begin() + static_cast<long>(starts[k]),
                           cap.begin() + static_cast<long>(end), ref.lr.begin()))
        << "run " << k << " is not the track from its start to the cut";
  }
  EXPECT_EQ(h.o.out.find("decoding error"), std::string::npos) << h.o.out;
}

// ---- track ends

// Whatever follows a track's last frame (zeros, a tag with a cover, junk with false headers at
// other rates) and however short the track, it is heard whole at its own rate and the next one
// follows within 150 ms.
TEST(Listening, EveryTrackEndIsHeardWholeAndTheNextFollowsWithin150Ms) {
  const std::string plain = track(1.5);
  const std::string selfContained = track(2.0, "-b 128 -t --nores");
  const Decoded frames = audiotest::decode(selfContained);
  const uint32_t f = frames.frameOffsets.at(20);
  const std::vector<std::string> files = {
      plain,
      track(1.5) + std::string(64 * 1024, '\0'),
      track(1.5) + apeTagWithCover(),
      track(1.5) + falseFrames(24),
      selfContained.substr(f, frames.frameOffsets.at(21) - f),  // one frame
      selfContained.substr(f, frames.frameOffsets.at(22) - f),  // two frames
      selfContained.substr(f, 1024),                            // 1,024 bytes
      plain,
  };
  std::string manifest;
  for (size_t k = 0; k < files.size(); ++k) {
    const std::string path = audiotest::dir() + "/end" + std::to_string(k) + ".mp3";
    proc::writeFile(path, files[k]);
    manifest += "file \"Musik/Enden/" + std::to_string(k) + ".mp3\" src=\"" + path + "\"\n";
  }
  proc::writeFile(audiotest::dir() + "/ends.txt", manifest);
  const std::string image = audiotest::dir() + "/ends.img";
  const auto made =
      proc::run({SHAPEPLAY_MKSTICK, "--manifest", audiotest::dir() + "/ends.txt", "--out", image});
  ASSERT_EQ(made.status, 0) << made.err;

  const Heard h = play(image, "wait 1s\nevent BTN_PlaybackFolder main=0 playback=0\nwait 14s\n");
  ASSERT_EQ(h.o.status, 0) << h.o.err;
  EXPECT_NE(h.o.out.find("unknown audio format: \r\n"), std::string::npos) << "the folder ended";
  EXPECT_EQ(h.o.out.find("playback buffer fill error"), std::string::npos);

  std::vector<Decoded> refs;
  for (const std::string& file : files) refs.push_back(audiotest::decode(file));
  EXPECT_EQ(tracksInOrder(h.capture.samples, refs), -1) << "a track not heard whole, or more";

  // One run of the output per track that has frames, each at 44.1 kHz only.
  const auto r = runs(h.trace);
  size_t withFrames = 0;
  for (const Decoded& d : refs) withFrames += d.frameOffsets.empty() ? 0 : 1;
  ASSERT_EQ(r.size(), withFrames);
  for (size_t k = 0; k < r.size(); ++k) {
    EXPECT_EQ(r[k].rates, std::vector<unsigned>{44100}) << "run " << k;
    if (k > 0) {
      EXPECT_LE(r[k].start - r[k - 1].stop, 150000) << "gap before run " << k;
    }
  }
}

// False headers at other rates before the first frame: the output starts at once at the
// track's rate and plays it whole (the decoder never waits on the output's queue).
TEST(Listening, FalseHeadersBeforeTheFirstFrameNeitherStallNorChangeTheRate) {
  const std::string mp3 = falseFrames(12) + track(1.5);
  const std::string image = audiotest::dir() + "/junk.img";
  testimg::make(image, {{"Musik/Hund/junk.mp3", mp3}}, 8);
  const Heard h = play(image, "wait 1s\nevent BTN_PlaybackFolder main=0 playback=0\nwait 3s\n");
  ASSERT_EQ(h.o.status, 0) << h.o.err;
  EXPECT_EQ(h.o.out.find("playback buffer fill error"), std::string::npos) << h.o.out;
  EXPECT_GE(audiotest::countLines(h.o.out, "decoding error 0x0201 (CRC check failed) "), 11u);
  const auto r = runs(h.trace);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].rates.back(), 44100u);
  EXPECT_LE(r[0].start - timeOf(h.trace, "play 0:"), 150000);
  EXPECT_EQ(tracksInOrder(h.capture.samples, {audiotest::decode(mp3)}), -1);
}

// ---- pause

// Paused, the speaker is silent whatever the knob (down to 0 and up again), the parents'
// settings and the mono switch do; on resuming the track goes on at the volume set meanwhile.
TEST(Listening, WhilePausedTheSpeakerIsSilentAndTheNewVolumeAppliesOnResume) {
  const std::string image = audiotest::dir() + "/pause.img";
  testimg::make(image, {{"Musik/Hund/track.mp3", track(4.0)}}, 8);
  const Heard h = play(image,
                       "wait 1s\n"
                       "event BTN_PlaybackFolder main=0 playback=0\n"
                       "wait 700ms\n"
                       "event BTN_PlayPause\n"
                       "wait 200ms\n"
                       "turn -50\n"  // to 0
                       "wait 200ms\n"
                       "turn 12\n"
                       "wait 200ms\n"
                       "event BTN_ParentSettingsChanged maxvol=9 boost=5 effect3d=4\n"
                       "wait 200ms\n"
                       "mono on\n"
                       "wait 200ms\n"
                       "mono off\n"
                       "wait 200ms\n"
                       "event BTN_PlayPause\n"
                       "wait 1s\n");
  ASSERT_EQ(h.o.status, 0) << h.o.err;
  EXPECT_NE(h.o.out.find("Vol: 0\n"), std::string::npos);
  EXPECT_NE(h.o.out.find("Vol: 12\n"), std::string::npos);
  // (The settings write's "w" may stand in front of a line.)
  const long paused = timeOf(h.trace, "pause\"}");
  const long resumed = timeOf(h.trace, "resume\"}");
  ASSERT_GT(paused, 0);
  ASSERT_GT(resumed, paused);
  const std::vector<int16_t>& s = h.speaker.samples;
  const auto at = [&s](long us) { return s.begin() + std::min<long>(us / 1000 * 96, s.size()); };
  EXPECT_TRUE(std::all_of(at(paused + 20000), at(resumed), [](int16_t v) { return v == 0; }))
      << "sound while paused";
  EXPECT_FALSE(std::all_of(at(resumed + 40000), at(resumed + 400000), [](int16_t v) {
    return v == 0;
  })) << "silent after resuming";
  // The limit of 9 pulled the volume down: that is the level when the codec un-mutes.
  const size_t unmute = h.trace.find("\"mute\":false", h.trace.find("resume\"}"));
  ASSERT_NE(unmute, std::string::npos);
  EXPECT_EQ(h.trace.compare(h.trace.rfind("\"reg\":38,", unmute), 18, "\"reg\":38,\"val\":329"), 0);
}

// The knob at 0 stays silent through the start of the next track; a detent up is heard.
TEST(Listening, VolumeZeroStaysSilentWhenTheNextTrackStarts) {
  const std::string image = audiotest::dir() + "/zero.img";
  testimg::make(image, {{"Musik/Hund/1.mp3", track(2.0)}, {"Musik/Hund/2.mp3", track(2.0)}}, 8);
  const Heard h = play(image,
                       "wait 1s\n"
                       "event BTN_PlaybackFolder main=0 playback=0\n"
                       "wait 500ms\n"
                       "turn -50\n"
                       "wait 300ms\n"
                       "event BTN_Forward\n"
                       "wait 700ms\n"
                       "turn 20\n"
                       "wait 300ms\n");
  ASSERT_EQ(h.o.status, 0) << h.o.err;
  const long zero = timeOf(h.trace, "Vol: 0\"}"), up = timeOf(h.trace, "Vol: 20\"}");
  ASSERT_GT(zero, 0);
  ASSERT_GT(up, zero);
  const std::vector<int16_t>& s = h.speaker.samples;
  const auto at = [&s](long us) { return s.begin() + std::min<long>(us / 1000 * 96, s.size()); };
  EXPECT_TRUE(std::all_of(at(zero + 20000), at(up), [](int16_t v) { return v == 0; }));
  EXPECT_FALSE(std::all_of(at(up + 40000), at(up + 250000), [](int16_t v) { return v == 0; }));
}

// ---- the knob

// On a blank chip the knob starts at the default volume, 40: one detent gives 41 (or 39), and
// the codec gets that level.
TEST(Listening, OnABlankChipTheFirstDetentMovesOneStepFromTheDefaultVolume) {
  for (const auto& [detents, volume] : {std::pair{1, 41}, std::pair{-1, 39}}) {
    const Heard h = play("", "wait 1s\nturn " + std::to_string(detents) + "\nwait 200ms\n");
    ASSERT_EQ(h.o.status, 0) << h.o.err;
    const size_t vol = h.o.out.find("Vol: ");
    ASSERT_NE(vol, std::string::npos) << h.o.out;
    EXPECT_EQ(h.o.out.substr(vol, h.o.out.find('\n', vol) - vol), "Vol: " + std::to_string(volume));
    EXPECT_NE(h.trace.find(R"("reg":38,"val":)" + std::to_string(0x140 | volume) + "}"),
              std::string::npos);
  }
}

// ---- what the chip keeps

// The frames of the first life of the board heard before the power went (the capture starts
// with the track from its start), and the position in the track where the second life's
// playback began (from its fifth block on it is the reference, bit for bit).
struct Resumed {
  size_t heard = 0;       // stereo frames
  long resumedFrom = -1;  // stereo frames
};
Resumed resumed(const std::vector<int16_t>& cap, const Decoded& ref) {
  Resumed r;
  size_t n = 0;
  while (n < cap.size() && n < ref.lr.size() && cap[n] == ref.lr[n]) ++n;
  r.heard = n / 2;
  const size_t probe = n + 4 * 2304;
  if (probe + 2304 > cap.size()) return r;
  for (size_t j = 0; j < ref.frameStarts.size(); ++j) {
    const size_t at = ref.frameStarts[j] * 2;
    if (at + 2304 <= ref.lr.size() && std::equal(cap.begin() + static_cast<long>(probe),
                                                 cap.begin() + static_cast<long>(probe + 2304),
                                                 ref.lr.begin() + static_cast<long>(at))) {
      r.resumedFrom = static_cast<long>(ref.frameStarts[j]) - 4 * 1152;
      break;
    }
  }
  return r;
}

// A parents' settings change at 10 s writes the record; at 130 s the power key, or the stick
// pulled and the player left to switch itself off: after power-on the track goes on from at
// most 1.5 s before where it stopped.
TEST(Listening, AfterPowerOffTheTrackResumesWhereItStoppedWhateverWasWrittenBefore) {
  const std::string mp3 = audiotest::encode(audiotest::tones(22050, 1, 140.0), "-b 128");
  const Decoded ref = audiotest::decode(mp3);
  const std::string image = audiotest::dir() + "/long.img";
  testimg::make(image, {{"Geschichten/Lang/kapitel.mp3", mp3}}, 8);
  const std::string start =
      "wait 1s\n"
      "event BTN_ParentSettingsChanged resume=1\n"
      "wait 500ms\n"
      "event BTN_PlaybackFolder main=0 playback=0\n"
      "wait 10s\n"
      "event BTN_ParentSettingsChanged resume=1 maxvol=60\n"
      "wait 120s\n";
  const std::string again = "wait 2s\nevent BTN_PlaybackFolder main=0 playback=0\nwait 2s\n";
  for (const std::string& end : {"key power tap\nwait 1s\npower on\n" + again,
                                 "remove\nwait 255s\npower on\ninsert " + image + "\n" + again}) {
    const std::string chip = proc::tempDir() + "/sram.bin";
    const Heard h = play(image, start + end, chip);
    ASSERT_EQ(h.o.status, 0) << h.o.err;
    ASSERT_NE(h.trace.find(R"("ev":"power","state":"on")"), std::string::npos) << end;
    const Resumed r = resumed(h.capture.samples, ref);
    EXPECT_GT(r.heard, 129u * 22050) << end;
    ASSERT_GE(r.resumedFrom, 0) << "the second life did not play the track on: " << end;
    EXPECT_LE(static_cast<size_t>(r.resumedFrom), r.heard) << "skipped: " << end;
    EXPECT_LE(r.heard - static_cast<size_t>(r.resumedFrom), 3u * 22050 / 2)
        << "resumed at " << r.resumedFrom / 22050.0 << " s of " << r.heard / 22050.0
        << " s: " << end;
  }
}

// The power key tapped just after a track change, at several instants: after power-on the
// folder resumes with the new track.
TEST(Listening, ATrackChangeJustBeforeThePowerKeyIsKept) {
  std::vector<testimg::File> files;
  for (int k = 1; k <= 3; ++k) {
    files.push_back({"Musik/Drei/" + std::to_string(k) + ".mp3", track(4.0)});
  }
  const std::string image = audiotest::dir() + "/three.img";
  testimg::make(image, files, 8);
  for (int before : {0, 16, 40, 70}) {
    const Heard h = play(image,
                         "wait 1s\n"
                         "event BTN_ParentSettingsChanged resume=1\n"
                         "wait 500ms\n"
                         "event BTN_PlaybackFolder main=0 playback=0\n"
                         "wait 2s\n"
                         "event BTN_Forward\n"
                         "wait " +
                             std::to_string(before) +
                             "ms\n"
                             "key power tap\n"
                             "wait 1s\n"
                             "power on\n"
                             "wait 2s\n"
                             "event BTN_PlaybackFolder main=0 playback=0\n"
                             "wait 500ms\n",
                         proc::tempDir() + "/sram.bin");
    ASSERT_EQ(h.o.status, 0) << h.o.err;
    const long on = timeOf(h.trace, R"("ev":"power","state":"on")");
    ASSERT_GT(on, 0);
    EXPECT_EQ(timeOf(h.trace, R"(play 0:\\Musik\\Drei\\2.mp3)", on) > 0, true)
        << before << " ms before the tap:\n"
        << h.o.out;
  }
}

// A folder played to its end with resume on starts again from the beginning of its first
// track, not at the position where its last track ended.
TEST(Listening, AFolderPlayedToItsEndStartsAgainFromItsBeginning) {
  const std::string first = track(1.0);
  const std::string image = audiotest::dir() + "/two.img";
  testimg::make(image, {{"Musik/Zwei/1.mp3", first}, {"Musik/Zwei/2.mp3", track(2.0)}}, 8);
  const Heard h = play(image,
                       "wait 1s\n"
                       "event BTN_ParentSettingsChanged resume=1\n"
                       "wait 500ms\n"
                       "event BTN_PlaybackFolder main=0 playback=0\n"
                       "wait 5s\n"
                       "event BTN_PlaybackFolder main=0 playback=0\n"
                       "wait 500ms\n");
  ASSERT_EQ(h.o.status, 0) << h.o.err;
  const auto r = runs(h.trace);
  ASSERT_EQ(r.size(), 3u);
  // The third run is the first track from its first frame.
  const Decoded ref = audiotest::decode(first);
  const std::vector<int16_t>& cap = h.capture.samples;
  const std::vector<int16_t> music = audible(ref);
  const auto found = std::search(cap.begin() + static_cast<long>(music.size()), cap.end(),
                                 music.begin(), music.begin() + 256);
  ASSERT_NE(found, cap.end()) << "the first track's beginning was not heard again";
}

}  // namespace

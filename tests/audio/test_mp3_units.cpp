// The decoder's pure parts: the sample conversion, mono mixing, and the input buffer that
// libmad reads a track from in 512-byte chunks.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "audio_board.h"
#include "mp3/decode_mp3.h"
#include "mp3/mp3_input.h"

namespace {

TEST(Scale, RoundsTo16BitsAndClips) {
  EXPECT_EQ(DecodeMp3::scale(1 << 28), 32767);  // +1.0
  EXPECT_EQ(DecodeMp3::scale(-(1 << 28)), -32768);
  EXPECT_EQ(DecodeMp3::scale(4095), 0);
  EXPECT_EQ(DecodeMp3::scale(4096), 1);
  EXPECT_EQ(DecodeMp3::scale(-4096), 0);
  EXPECT_EQ(DecodeMp3::scale(-4097), -1);
  EXPECT_EQ(DecodeMp3::scale(0x7FFFFFFF), 32767);
  EXPECT_EQ(DecodeMp3::scale(static_cast<mad_fixed_t>(0x80000000)), -32768);
}

// A synthesised frame of `length` samples per channel with the given sample values.
mad_pcm frameOf(unsigned channels, unsigned length, int left, int right) {
  mad_pcm pcm{};
  pcm.channels = static_cast<unsigned short>(channels);
  pcm.length = static_cast<unsigned short>(length);
  for (unsigned i = 0; i < length; ++i) {
    pcm.samples[0][i] = left << 13;
    pcm.samples[1][i] = right << 13;
  }
  return pcm;
}

TEST(PcmBlock, MonoMixesToTheMeanRoundedDown) {
  std::atomic<bool> mono{true};
  PcmBlock block;
  block.clear();
  const mad_pcm pcm = frameOf(2, 1152, 1, -2);
  EXPECT_EQ(block.append(pcm, 0, mono), 1152u);
  ASSERT_TRUE(block.full());
  EXPECT_EQ(static_cast<int16_t>(block.data()[0]), -1);
  EXPECT_EQ(static_cast<int16_t>(block.data()[1]), -1);
  // Off: the channels as they are.
  mono = false;
  block.clear();
  block.append(pcm, 0, mono);
  EXPECT_EQ(static_cast<int16_t>(block.data()[0]), 1);
  EXPECT_EQ(static_cast<int16_t>(block.data()[1]), -2);
}

TEST(PcmBlock, AMonoStreamComesOutOnBothChannels) {
  for (bool switchOn : {false, true}) {
    std::atomic<bool> mono{switchOn};
    PcmBlock block;
    block.clear();
    block.append(frameOf(1, 1152, 1234, 999), 0, mono);
    for (unsigned i = 0; i < 1152; ++i) {
      ASSERT_EQ(static_cast<int16_t>(block.data()[2 * i]), 1234);
      ASSERT_EQ(static_cast<int16_t>(block.data()[2 * i + 1]), 1234);
    }
  }
}

TEST(PcmBlock, ShortFramesAreGatheredIntoWholeBlocks) {
  std::atomic<bool> mono{false};
  PcmBlock block;
  block.clear();
  EXPECT_EQ(block.append(frameOf(2, 576, 1, 2), 0, mono), 576u);
  EXPECT_FALSE(block.full());
  EXPECT_EQ(block.append(frameOf(2, 576, 3, 4), 0, mono), 576u);
  ASSERT_TRUE(block.full());
  EXPECT_EQ(static_cast<int16_t>(block.data()[2 * 575]), 1);
  EXPECT_EQ(static_cast<int16_t>(block.data()[2 * 576 + 1]), 4);
  // A frame that does not fit is taken up to the end of the block.
  block.clear();
  block.append(frameOf(2, 576, 1, 1), 0, mono);
  block.append(frameOf(2, 384, 1, 1), 0, mono);
  EXPECT_EQ(block.append(frameOf(2, 384, 1, 1), 0, mono), 192u);
  EXPECT_TRUE(block.full());
}

// libmad over Mp3Input, fed with the file in chunks as the track player sends them.
struct Fed {
  std::vector<int16_t> lr;
  bool ended = false;
  size_t skipped = 0;
  size_t inputCalls = 0;
};

struct Harness {
  const std::string* file = nullptr;
  size_t at = 0;
  Mp3Input input;
  Fed out;
};

Fed feed(const std::string& file) {
  static Harness h;
  h = Harness{};
  h.file = &file;
  h.input.restart();
  mad_decoder decoder;
  mad_decoder_init(
      &decoder, &h,
      [](void* data, mad_stream* stream) {
        auto* hh = static_cast<Harness*>(data);
        ++hh->out.inputCalls;
        const auto r = hh->input.refill(stream, [hh](Mp3DataIn& chunk) {
          const size_t n = std::min<size_t>(512, hh->file->size() - hh->at);
          std::memcpy(chunk.data, hh->file->data() + hh->at, n);
          chunk.dataSize = static_cast<uint32_t>(n);
          chunk.stop = false;
          hh->at += n;
          chunk.endOfFile = n < 512;
          return true;
        });
        if (r.skipped) ++hh->out.skipped;
        if (r.action == Mp3Input::INPUT_END) {
          hh->out.ended = true;
          return MAD_FLOW_STOP;
        }
        return hh->out.inputCalls > 100000 ? MAD_FLOW_BREAK : MAD_FLOW_CONTINUE;
      },
      nullptr, nullptr,
      [](void* data, const mad_header*, mad_pcm* pcm) {
        auto* hh = static_cast<Harness*>(data);
        for (unsigned i = 0; i < pcm->length; ++i) {
          hh->out.lr.push_back(static_cast<int16_t>(scaleSample(pcm->samples[0][i])));
          hh->out.lr.push_back(
              static_cast<int16_t>(scaleSample(pcm->samples[pcm->channels - 1][i])));
        }
        return MAD_FLOW_CONTINUE;
      },
      [](void*, mad_stream*, mad_frame*) { return MAD_FLOW_CONTINUE; }, nullptr);
  mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
  mad_decoder_finish(&decoder);
  return h.out;
}

TEST(Mp3Input, ChunksDecodeLikeTheWholeFileLastFrameIncluded) {
  for (const char* lame : {"-b 128", "-V 0", "-b 320"}) {
    const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, 1.0), lame);
    const Fed fed = feed(mp3);
    EXPECT_TRUE(fed.ended) << lame;
    EXPECT_EQ(fed.skipped, 0u);
    EXPECT_EQ(fed.lr, audiotest::decode(mp3).lr) << lame;
  }
}

TEST(Mp3Input, FramesLongerThan1529BytesDecode) {
  // Free format at 448 kbit/s with 32 kHz: 2,016-byte frames.
  const std::string mp3 =
      audiotest::encode(audiotest::tones(32000, 2, 1.0), "--freeformat -b 448 --resample 32");
  const Fed fed = feed(mp3);
  const auto ref = audiotest::decode(mp3);
  ASSERT_GT(ref.frameOffsets.size(), 20u);
  EXPECT_GT(ref.frameOffsets[11] - ref.frameOffsets[10], 1529u);
  EXPECT_TRUE(fed.ended);
  EXPECT_EQ(fed.lr, ref.lr);
}

TEST(Mp3Input, AFrameThatCannotFitIsSkippedNotWaitedFor) {
  Mp3Input input;
  input.restart();
  mad_stream stream;
  mad_stream_init(&stream);
  unsigned char fill = 0;
  auto take = [&fill](Mp3DataIn& chunk) {
    std::memset(chunk.data, fill++, sizeof chunk.data);
    chunk.dataSize = 512;
    chunk.stop = false;
    chunk.endOfFile = false;
    return true;
  };
  // The buffer is filled; libmad consumes nothing ("the frame at the front needs more") ...
  Mp3Input::Result r = input.refill(&stream, take);
  EXPECT_FALSE(r.skipped);
  EXPECT_EQ(input.buffered(), Mp3Input::SIZE);
  // ... from a full buffer: the bytes are dropped and new ones come.
  r = input.refill(&stream, take);
  EXPECT_TRUE(r.skipped);
  EXPECT_EQ(input.buffered(), Mp3Input::SIZE);
  EXPECT_EQ(input.offsetOf(stream.buffer), Mp3Input::SIZE);
  mad_stream_finish(&stream);
}

TEST(Mp3Input, TheBufferIsFilledAndAChunkThatDoesNotFitWaits) {
  Mp3Input input;
  input.restart();
  mad_stream stream;
  mad_stream_init(&stream);
  int taken = 0;
  auto take = [&taken](Mp3DataIn& chunk) {
    std::memset(chunk.data, taken, sizeof chunk.data);
    chunk.dataSize = 512;
    chunk.stop = false;
    chunk.endOfFile = taken == 9;
    ++taken;
    return true;
  };
  input.refill(&stream, take);
  EXPECT_EQ(taken, 8);
  EXPECT_EQ(input.buffered(), Mp3Input::SIZE);
  // libmad takes 100 bytes: the ninth chunk goes in with 100 bytes, the rest waits.
  stream.next_frame = stream.buffer + 100;
  input.refill(&stream, take);
  EXPECT_EQ(taken, 9);
  EXPECT_EQ(input.buffered(), Mp3Input::SIZE);
  EXPECT_EQ(stream.buffer[Mp3Input::SIZE - 1], 8);
  EXPECT_EQ(input.offsetOf(stream.buffer), 100u);
  stream.next_frame = stream.bufend;  // all of it consumed
  input.refill(&stream, take);
  EXPECT_EQ(taken, 10);  // the remaining 412 bytes and the whole last chunk, then the guard
  EXPECT_EQ(input.buffered(), 412u + 512u + MAD_BUFFER_GUARD);
  EXPECT_TRUE(input.finished());
  stream.next_frame = stream.bufend;
  EXPECT_EQ(input.refill(&stream, take).action, Mp3Input::INPUT_END);
  mad_stream_finish(&stream);
}

}  // namespace

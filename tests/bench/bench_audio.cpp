// A 10-minute track through the whole pipeline on the simulated board, headless (stick, USB
// host, file system, track player, decoder driver, PCM output, SAI and DMA models, null audio
// sinks), against a bare libmad decode of the same file in this process: audio seconds per
// wall second for both, and their ratio. Prints figures; never fails on a time.
#include <chrono>
#include <cstdio>
#include <string>

#include "audio_board.h"
#include "audio_player.h"

namespace {

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main() {
  constexpr double kSeconds = 600;
  std::printf("making a %.0f-second track (sox, lame) ...\n", kSeconds);
  std::fflush(stdout);
  const std::string mp3 = audiotest::encode(audiotest::tones(44100, 2, kSeconds), "-b 128 -q 7");
  const std::string image = audiotest::stick("bench", {{"Musik/Hund/track.mp3", mp3}},
                                             static_cast<int>(mp3.size() >> 20) + 4);

  // The board: from the play request until the player is idle again.
  audiotest::Board board;
  board.stick = image;
  board.duration = static_cast<simk::Time>(kSeconds + 60) * simk::kS;
  const auto r = audiotest::run(board, [](AudioPlayer& player) {
    const double w0 = wallSeconds();
    const simk::Time v0 = simk::now();
    player.playFile("0:\\Musik\\Hund\\track.mp3", 0);
    while (player.isPlaying()) audiotest::sleepMs(100);
    char line[128];
    std::snprintf(line, sizeof line, "%.6f %.6f", wallSeconds() - w0,
                  static_cast<double>(simk::now() - v0) / simk::kS);
    boardtest::note(line);
  });
  double boardWall = 0, boardVirtual = 0;
  if (r.status != 0 || std::sscanf(r.notes.c_str(), "%lf %lf", &boardWall, &boardVirtual) != 2) {
    std::fprintf(stderr, "bench_audio: the board run failed (status %d)\n%s", r.status,
                 r.console.c_str());
    return 1;
  }

  // Bare libmad: the same file decoded in one buffer, samples converted to 16 bits.
  const double d0 = wallSeconds();
  const audiotest::Decoded ref = audiotest::decode(mp3);
  const double bareWall = wallSeconds() - d0;
  const double audio = static_cast<double>(ref.lr.size() / 2) / ref.rate;

  const double boardSpeed = audio / boardWall, bareSpeed = audio / bareWall;
  std::printf("track: %.1f s of 44.1 kHz stereo at 128 kbit/s (%zu bytes)\n", audio, mp3.size());
  std::printf(
      "  whole pipeline on the board: %8.2f wall s, %7.1f virtual s -> %7.1f audio s per wall s\n",
      boardWall, boardVirtual, boardSpeed);
  std::printf(
      "  bare libmad decode         : %8.2f wall s                    -> %7.1f audio s per wall "
      "s\n",
      bareWall, bareSpeed);
  std::printf("  the pipeline runs at %.2f of bare libmad's speed (%.1f x slower)\n",
              boardSpeed / bareSpeed, bareSpeed / boardSpeed);
  return 0;
}

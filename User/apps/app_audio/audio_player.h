// Track player: plays one MP3 file at a time from the stick through the decoder and the PCM
// output, which it owns. Requests come from the main control loop; the end of a track shows
// as isPlaying() turning false.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "cpp_freertos/mutex.hpp"
#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/thread.hpp"
#include "dac/dac.h"
#include "ff.h"
#include "mp3/decode_mp3.h"

enum AudioPlayerEvent : uint8_t {
  AUDIOPLAYER_STOP = 0,
  AUDIOPLAYER_PLAY_MP3 = 1,
  AUDIOPLAYER_PAUSE = 2,
};

class AudioPlayer : public cpp_freertos::Thread {
 public:
  AudioPlayer();
  ~AudioPlayer() override = default;

  // Plays `filename` ("0:\\Root\\Sub\\track.mp3") from byte `skip` (0: from the start, after an
  // ID3v2 tag); a running track is stopped first. An empty name requests nothing.
  void playFile(std::string filename, uint32_t skip);
  // Ends the running track at once and writes the settings record back.
  void stop();
  // Pauses or resumes the output; the track stays open and the pipeline holds its place.
  void pause();
  bool isPlaying() { return playing.load(std::memory_order_relaxed); }

 protected:
  void Run() override;

 private:
  void playMp3(const char* fname, uint32_t skip);
  int id3V2TagForward(FIL* pInFile);
  uint32_t id3V2TagEnd(FIL* pInFile);
  uint32_t endOfAudio(FIL* pInFile);
  void reportPosition();
  void closeTrack();

  std::atomic<uint32_t> skip{0};
  std::string openFileName;
  cpp_freertos::MutexStandard nameLock;  // openFileName is set and read on two threads
  cpp_freertos::Queue* playerEventQueue = nullptr;
  FRESULT res = FR_OK;
  UINT posInFile = 0;
  FIL audio_file;
  uint32_t trackStart = 0;  // file offset of the first byte handed to the decoder
  std::atomic<bool> playing{false};
  std::atomic<bool> doStop{false};
  Dac dac;
  DecodeMp3* decodeMp3 = nullptr;
};

#include "audio_player.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "audioSettings.h"
#include "mp3/tags.h"
#include "singleton.h"

namespace {

constexpr uint32_t CHUNK = 512;        // bytes handed to the decoder at a time
constexpr uint32_t READ_SIZE = 4096;   // bytes read from the stick at a time
constexpr uint32_t EVENT_WAIT = 2000;  // ticks
constexpr uint32_t POLL = 20;          // ticks between looks at the decoder and the output
// The stored resume position lies this far before the frame being heard, so that a Layer III
// frame's bit reservoir (at most 511 bytes back) and the resynchronisation are before it.
constexpr uint32_t RESUME_BEFORE = 2048;

_AudioSettings& settings() { return Singleton<_AudioSettings>::Instance(); }

}  // namespace

AudioPlayer::AudioPlayer() : Thread("AudioPlayer", 16384, 5) {
  decodeMp3 = new DecodeMp3(&dac);
  playerEventQueue = new cpp_freertos::Queue(5, 1);
  Start();
}

void AudioPlayer::playFile(std::string filename, uint32_t skipTo) {
  skip.store(skipTo, std::memory_order_relaxed);
  if (playing.load(std::memory_order_relaxed)) stop();
  if (filename.empty()) return;
  playing.store(true, std::memory_order_relaxed);
  {
    cpp_freertos::LockGuard lock(nameLock);
    openFileName = std::move(filename);
  }
  uint8_t event = AUDIOPLAYER_PLAY_MP3;
  (void)playerEventQueue->Enqueue(&event);
}

void AudioPlayer::stop() {
  doStop.store(true, std::memory_order_relaxed);
  uint8_t event = AUDIOPLAYER_STOP;
  (void)playerEventQueue->Enqueue(&event);
}

void AudioPlayer::pause() { dac.togglePause(); }

void AudioPlayer::Run() {
  {
    cpp_freertos::LockGuard lock(nameLock);
    openFileName.clear();
  }
  for (;;) {
    uint8_t event = 0;
    if (!playerEventQueue->Dequeue(&event, EVENT_WAIT)) continue;
    switch (event) {
      case AUDIOPLAYER_PLAY_MP3: {
        std::string name;
        {
          cpp_freertos::LockGuard lock(nameLock);
          name = openFileName;
        }
        printf("play %s\r\n", name.c_str());
        settings().setVolume();
        playMp3(name.c_str(), skip.load(std::memory_order_relaxed));
        playing.store(false, std::memory_order_relaxed);
        break;
      }
      case AUDIOPLAYER_STOP: settings().triggerWrite(); break;
      default: break;  // AUDIOPLAYER_PAUSE and others: pausing goes through pause()
    }
  }
}

void AudioPlayer::playMp3(const char* fname, uint32_t skipTo) {
  posInFile = 0;
  trackStart = 0;
  playing.store(true, std::memory_order_relaxed);
  doStop.store(false, std::memory_order_relaxed);
  Mp3DataIn mp3Data;
  mp3Data.dataSize = 0;
  mp3Data.stop = false;
  mp3Data.endOfFile = false;

  decodeMp3->startDecoding();
  if (f_open(&audio_file, fname, FA_READ) != FR_OK) {
    puts("file open failed\r");
    return;
  }
  printf("playback mp3: %s\r\n", fname);
  if (skipTo != 0) {
    // A stored position is rounded down and may fall inside the tag: then start after it.
    const uint32_t tagEnd = id3V2TagEnd(&audio_file);
    f_lseek(&audio_file, skipTo < tagEnd ? tagEnd : skipTo);
  } else {
    id3V2TagForward(&audio_file);
  }
  trackStart = static_cast<uint32_t>(f_tell(&audio_file));
  const uint32_t audioEnd = endOfAudio(&audio_file);

  // The file is read READ_SIZE bytes at a time, one command to the stick instead of eight, so
  // that what follows the last frame (padding, junk) is read through while the pipeline still
  // plays the track's end; the decoder gets it in chunks as before. Tags appended after the
  // audio are not read at all.
  uint8_t piece[READ_SIZE];
  bool ended = false;
  while (!ended) {
    const auto pieceStart = static_cast<UINT>(f_tell(&audio_file));
    const UINT left = pieceStart < audioEnd ? audioEnd - pieceStart : 0;
    const UINT want = left < READ_SIZE ? left : READ_SIZE;
    UINT got = 0;
    res = f_read(&audio_file, piece, want, &got);
    if (res != FR_OK) {
      puts("mp3 problem 2\r");
      closeTrack();
      return;
    }
    const bool lastPiece = got < READ_SIZE || pieceStart + got >= audioEnd;
    for (UINT from = 0; !ended && (from < got || lastPiece);) {
      const UINT n = got - from < CHUNK ? got - from : CHUNK;
      std::memcpy(mp3Data.data, piece + from, n);
      mp3Data.dataSize = n;
      // The last chunk is the short one, empty when the file ends on a chunk's boundary.
      mp3Data.endOfFile = lastPiece && n < CHUNK;
      reportPosition();
      while (!decodeMp3->enqueue(mp3Data) && !doStop.load(std::memory_order_relaxed)) {
      }
      from += n;
      posInFile = pieceStart + from;
      ended = mp3Data.endOfFile || doStop.load(std::memory_order_relaxed);
    }
  }
  // The end of the file: the decoder decodes to the last frame and tells the output, which
  // plays out everything before it stops. A stop asked for meanwhile ends the track at once.
  while (!doStop.load(std::memory_order_relaxed) && !dac.isPlayedOut()) {
    dac.waitForChange(POLL);
    reportPosition();
  }
  closeTrack();
}

void AudioPlayer::closeTrack() {
  // Where the listener is now, before the queued audio is dropped.
  reportPosition();
  decodeMp3->stop();
  dac.closeAudio();
  f_close(&audio_file);
  while (!dac.isClosed()) dac.waitForChange(POLL);
  while (decodeMp3->isRunning()) Delay(1);
  // The decoder may have handed over one more block while the output emptied its queue; the
  // decoder is idle now, so this leaves nothing of the track behind.
  dac.forgetTrack();
  puts("mp3 decoder finished\r");
  playing.store(false, std::memory_order_relaxed);
}

// The position to resume at: a little before the frame whose audio is playing now (the file
// position read runs ahead of it by everything queued in the pipeline).
void AudioPlayer::reportPosition() {
  const int32_t block = dac.playingBlock();
  const uint32_t heard = trackStart + (block >= 0 ? decodeMp3->blockOffset(block) : 0);
  const uint32_t resume = heard >= trackStart + RESUME_BEFORE ? heard - RESUME_BEFORE : trackStart;
  settings().playbackFilePosition(resume);
}

// Where the audio of the open file ends: before the tags that taggers append (an APEv2 tag,
// often with a cover picture of a hundred kilobytes, and an ID3v1 tag), so that the track ends
// with its last frame, not after reading through them. The read position is kept.
uint32_t AudioPlayer::endOfAudio(FIL* pInFile) {
  const auto position = static_cast<uint32_t>(f_tell(pInFile));
  auto end = static_cast<uint32_t>(f_size(pInFile));
  uint8_t tail[TAG_TAIL_BYTES];
  UINT got = 0;
  if (end >= position + TAG_TAIL_BYTES && f_lseek(pInFile, end - TAG_TAIL_BYTES) == FR_OK &&
      f_read(pInFile, tail, TAG_TAIL_BYTES, &got) == FR_OK && got == TAG_TAIL_BYTES) {
    end = audioEndBeforeTags(tail, end, position);
  }
  f_lseek(pInFile, position);
  return end;
}

uint32_t AudioPlayer::id3V2TagEnd(FIL* pInFile) {
  uint8_t id3hd[ID3V2_HEADER_BYTES];
  UINT got = 0;
  f_lseek(pInFile, 0);
  if (f_read(pInFile, id3hd, sizeof id3hd, &got) != FR_OK) return 0;
  return id3v2TagEnd(id3hd, got);
}

int AudioPlayer::id3V2TagForward(FIL* pInFile) {
  const uint32_t unSkip = id3V2TagEnd(pInFile);
  if (unSkip != 0) {
    printf("id3v2 header size: %i\r\n", static_cast<int>(unSkip));
    f_lseek(pInFile, unSkip);
  } else {
    f_lseek(pInFile, 0);
  }
  return 0;
}

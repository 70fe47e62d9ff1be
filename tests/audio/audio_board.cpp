#include "audio_board.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <mad.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "FreeRTOS.h"
#include "audioSettings.h"
#include "audio_player.h"
#include "audio_sinks.h"
#include "board_clocks.h"
#include "firmware_board.h"
#include "images.h"
#include "k_storage.h"
#include "process.h"
#include "singleton.h"
#include "stick.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "usart1.h"

namespace audiotest {
namespace {

int sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

int counter = 0;

// ---- reference decode

struct Reference {
  std::vector<unsigned char> buffer;
  bool fed = false;
  bool mono = false;
  mad_decoder* decoder = nullptr;
  uint32_t headerOffset = 0;
  Decoded* out = nullptr;
};

// The conversion written out here on its own: round to 16 bits, then clip.
int16_t toPcm(mad_fixed_t s) {
  long long x = (static_cast<long long>(s) + (1LL << 12)) / (1LL << 13);
  if ((static_cast<long long>(s) + (1LL << 12)) < 0 &&
      (static_cast<long long>(s) + (1LL << 12)) % (1LL << 13) != 0) {
    x -= 1;  // floor division
  }
  if (x > 32767) x = 32767;
  if (x < -32768) x = -32768;
  return static_cast<int16_t>(x);
}

enum mad_flow refInput(void* data, mad_stream* stream) {
  auto* r = static_cast<Reference*>(data);
  if (r->fed) return MAD_FLOW_STOP;
  r->fed = true;
  mad_stream_buffer(stream, r->buffer.data(), r->buffer.size());
  return MAD_FLOW_CONTINUE;
}

enum mad_flow refHeader(void* data, const mad_header* header) {
  auto* r = static_cast<Reference*>(data);
  r->headerOffset = static_cast<uint32_t>(r->decoder->sync->stream.this_frame - r->buffer.data());
  r->out->rate = header->samplerate;
  return MAD_FLOW_CONTINUE;
}

enum mad_flow refOutput(void* data, const mad_header*, mad_pcm* pcm) {
  auto* r = static_cast<Reference*>(data);
  r->out->frameOffsets.push_back(r->headerOffset);
  r->out->frameStarts.push_back(static_cast<uint32_t>(r->out->lr.size() / 2));
  r->out->channels = pcm->channels;
  for (unsigned i = 0; i < pcm->length; ++i) {
    int16_t l = toPcm(pcm->samples[0][i]);
    int16_t rr = l;
    if (pcm->channels == 2) {
      rr = toPcm(pcm->samples[1][i]);
      if (r->mono) {
        const int sum = l + rr;
        const int mean = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);
        l = rr = static_cast<int16_t>(mean);
      }
    }
    r->out->lr.push_back(l);
    r->out->lr.push_back(rr);
  }
  return MAD_FLOW_CONTINUE;
}

enum mad_flow refError(void* data, mad_stream*, mad_frame*) {
  ++static_cast<Reference*>(data)->out->errors;
  return MAD_FLOW_CONTINUE;
}

// ---- the board

int openSink(const std::string& path, uint32_t rate) {
  if (path.empty()) return -1;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  std::string error;
  if (fd < 0 || !simaudio::writeWavHeader(fd, rate, error)) return -1;
  return fd;
}

}  // namespace

const std::string& dir() {
  static const std::string d = proc::tempDir();
  return d;
}

std::string encode(const std::string& synth, const std::string& lame) {
  const std::string base = dir() + "/t" + std::to_string(++counter);
  std::string args = synth;
  const size_t out = args.find("{out}");
  if (out != std::string::npos) args.replace(out, 5, base + ".wav");
  EXPECT_EQ(sh("sox -n " + args), 0) << synth;
  EXPECT_EQ(sh("lame --quiet " + lame + " " + base + ".wav " + base + ".mp3"), 0) << lame;
  return proc::readFile(base + ".mp3");
}

std::string tones(unsigned rate, unsigned channels, double seconds) {
  char args[256];
  std::snprintf(args, sizeof args,
                "-r %u -c %u -b 16 {out} synth %.3f sine 220-1760 sine 330-990 vol 0.6", rate,
                channels, seconds);
  return args;
}

std::string id3Tag(uint32_t size) {
  std::string tag = "ID3";
  tag += '\x03';
  tag += '\0';
  tag += '\0';
  tag += static_cast<char>((size >> 21) & 0x7F);
  tag += static_cast<char>((size >> 14) & 0x7F);
  tag += static_cast<char>((size >> 7) & 0x7F);
  tag += static_cast<char>(size & 0x7F);
  return tag + std::string(size, '\0');
}

std::string stick(const std::string& name,
                  const std::vector<std::pair<std::string, std::string>>& files, int megabytes) {
  std::vector<testimg::File> content;
  for (const auto& [path, bytes] : files) content.push_back({path, bytes});
  const std::string image = dir() + "/" + name + ".img";
  testimg::make(image, content, megabytes);
  return image;
}

Decoded decode(const std::string& bytes, bool mono) {
  Decoded out;
  Reference r;
  r.buffer.assign(bytes.begin(), bytes.end());
  r.buffer.resize(bytes.size() + MAD_BUFFER_GUARD, 0);
  r.mono = mono;
  r.out = &out;
  mad_decoder decoder;
  r.decoder = &decoder;
  mad_decoder_init(&decoder, &r, refInput, refHeader, nullptr, refOutput, refError, nullptr);
  mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
  mad_decoder_finish(&decoder);
  return out;
}

Wav readWav(const std::string& path) {
  Wav w;
  const std::string b = proc::readFile(path);
  if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 8, "WAVEfmt ") != 0) return w;
  auto u16 = [&b](size_t at) {
    return static_cast<unsigned>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
  };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  w.channels = u16(22);
  w.rate = u32(24);
  w.bits = u16(34);
  w.dataSize = u32(40);
  const size_t n = (b.size() - 44) / 2;
  w.samples.resize(n);
  for (size_t i = 0; i < n; ++i) w.samples[i] = static_cast<int16_t>(u16(44 + 2 * i));
  w.ok = w.dataSize == b.size() - 44 && u32(4) == w.dataSize + 36;
  return w;
}

boardtest::Result run(const Board& board, std::function<void(AudioPlayer&)> script) {
  static Board b;
  static std::function<void(AudioPlayer&)> body;
  b = board;
  body = std::move(script);
  boardtest::Options options;
  options.duration = board.duration;
  return boardtest::run(
      [] {
        boardtest::firmwareClocks();
        Usart1::initUsart();
        Usart1::initialized = true;
        HAL_Init();
        SCB_EnableDCache();
        const int wavFd = openSink(b.wav, simaudio::kSpeakerRate);
        const int captureFd = openSink(b.capture, 44100);
        // Registered first, so that it runs after the sinks have been brought up to date.
        simk::addEndHook([wavFd, captureFd](int) {
          std::string error;
          if (wavFd >= 0) simaudio::finaliseWav(wavFd, error);
          if (captureFd >= 0) simaudio::finaliseWav(captureFd, error);
        });
        simaudio::attachSinks(wavFd, captureFd);
        if (b.prepare) b.prepare();
        if (!b.stick.empty()) simusb::insert(b.stick);
        k_StorageInit();
        xTaskCreate(
            [](void*) {
              if (b.beforePlayer) b.beforePlayer();
              static AudioPlayer* player = new AudioPlayer();
              _AudioSettings& s = Singleton<_AudioSettings>::Instance();
              s.setMono(b.mono);
              s.setVolume(b.volume);
              while (usb_status.load() != 2) vTaskDelay(5);
              body(*player);
              boardtest::endRunAfterConsole();
            },
            "MainAudioTask", 8192, nullptr, 4, nullptr);
      },
      options);
}

void sleepMs(unsigned ms) { vTaskDelay(ms / 2); }

bool waitIdle(AudioPlayer& player, unsigned ms) {
  for (unsigned waited = 0; player.isPlaying(); waited += 10) {
    if (waited >= ms) return false;
    vTaskDelay(5);
  }
  return true;
}

void mark(const std::string& what) {
  boardtest::note(std::to_string(simk::now() / simk::kMs) + " " + what);
}

std::vector<std::string> lines(const std::string& console) {
  std::vector<std::string> out;
  std::istringstream in(console);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

bool hasLine(const std::string& console, const std::string& line) {
  return countLines(console, line) > 0;
}

size_t countLines(const std::string& console, const std::string& line) {
  size_t n = 0;
  for (const std::string& l : lines(console)) n += l == line ? 1 : 0;
  return n;
}

std::vector<std::pair<long, std::string>> audioEvents(const std::string& trace) {
  static const std::regex event(R"re("t":(\d+),"ev":"audio","state":"(\w+)","rate":(\d+))re");
  std::vector<std::pair<long, std::string>> out;
  std::istringstream in(trace);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, event))
      out.emplace_back(std::stol(m[1]), m[2].str() + " " + m[3].str());
  }
  return out;
}

}  // namespace audiotest

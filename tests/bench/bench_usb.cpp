// The stick through the whole stack (file system, disk adapter, USB host, stick model):
// directory scan and file read throughput in virtual time — what a full-speed stick allows
// the board — and in wall time — what the simulator itself costs. The baseline of the wall
// figures is reading the same bytes straight from the image file in this process.
//
// Then the whole firmware with a big stick (256 root folders of 16 playback folders, made by
// mkfs.fat and mcopy): the virtual time from power-on to the root list, the USB commands it
// takes, and the time from a request to a deep folder to its first sample, with the disk
// adapter's sector cache on and, as the baseline in the same run, switched off (every read
// one command, as before the cache).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "FreeRTOS.h"
#include "board_child.h"
#include "ff.h"
#include "gui/User/modelUserData.h"
#include "images.h"
#include "k_storage.h"
#include "process.h"
#include "stick.h"
#include "stick_images.h"
#include "task.h"
#include "usbh_diskio.h"

int firmware_main(void);

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 10;
constexpr size_t kBigFile = 4 << 20;

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

struct Listing {
  double listedS = 0;          // virtual s from power-on to the root list shown
  unsigned long commands = 0;  // USB read commands until then
  double firstSampleMs = 0;    // from a request to a deep folder to its first sample
  double wallS = 0;
  bool ok = false;
};

Listing bigStickListing(bool cache) {
  const double w0 = wallSeconds();
  const auto r = boardtest::run(
      [cache] {
        static std::string path = sticks::bigStick();
        USBH_DiskCacheEnable(cache);
        simk::schedule(0, simk::kOrderBoard, [] { simusb::insert(path); });
        // Watches, every millisecond, for the main loop waiting for requests with the list.
        static simk::Periodic watch;
        watch.start(simk::kMs, simk::kMs, simk::kOrderBoard, false, [] {
          if (rootDirList.size() != 256) return;
          for (const auto& t : simk::tasks()) {
            if (t.name != "MainAudioTask" || t.state != "queue") continue;
            char line[96];
            std::snprintf(line, sizeof line, "listed %llu %llu",
                          static_cast<unsigned long long>(simk::now()),
                          static_cast<unsigned long long>(simusb::readCommands()));
            boardtest::note(line);
            watch.stop();
            // A deep folder, half a second later; the run ends 2 s after it.
            simk::schedule(simk::now() + 500 * simk::kMs, simk::kOrderBoard, [] {
              ModelUserEvent e;
              e.button = BTN_PlaybackFolder;
              e.selectedMainFolder = 199;
              e.selectedPlaybackFolder = 15;
              BaseType_t woken = pdFALSE;
              guiQueueModelUserEvent->EnqueueFromISR(&e, &woken);
              portYIELD_FROM_ISR(woken);
              boardtest::note("request " + std::to_string(simk::now()));
            });
            simk::schedule(simk::now() + 2500 * simk::kMs, simk::kOrderEnd,
                           [] { simk::endRun(0, ""); });
            return;
          }
        });
        firmware_main();
      },
      []() {
        boardtest::Options o;
        o.duration = 120 * simk::kS;
        o.kernelTick = false;
        return o;
      }());
  Listing l;
  l.wallS = wallSeconds() - w0;
  unsigned long long listed = 0, commands = 0, request = 0;
  const size_t at = r.notes.find("listed ");
  const size_t rq = r.notes.find("request ");
  const size_t audio = r.trace.find(R"("ev":"audio","state":"start")");
  if (at == std::string::npos || rq == std::string::npos || audio == std::string::npos) return l;
  std::sscanf(r.notes.c_str() + at, "listed %llu %llu", &listed, &commands);
  std::sscanf(r.notes.c_str() + rq, "request %llu", &request);
  const size_t lineStart = r.trace.rfind('\n', audio);
  const unsigned long long started =
      std::stoull(r.trace.substr(lineStart == std::string::npos ? 5 : lineStart + 6));
  l.listedS = static_cast<double>(listed) / simk::kS;
  l.commands = commands;
  l.firstSampleMs = (static_cast<double>(started) * 1000 - static_cast<double>(request)) / 1e6;
  l.ok = true;
  return l;
}

int main() {
  const std::string dir = proc::tempDir();
  const std::string image = dir + "/bench.img";
  // mtools per file is slow: put the many small files in with one batch.
  testimg::make(image, {{"big.bin", testimg::pattern(kBigFile, 7)}}, 64);
  {
    std::string cmd = "MTOOLS_SKIP_CHECK=1 sh -c '";
    for (int f = 0; f < kFolders; ++f) {
      cmd += "mmd -i " + image + " \"::/Folder " + std::to_string(f) + "\";";
      for (int i = 0; i < kFilesPerFolder; ++i) {
        cmd += "echo x | mcopy -i " + image + " - \"::/Folder " + std::to_string(f) + "/Track " +
               std::to_string(i) + ".mp3\";";
      }
    }
    cmd += "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "building the image failed\n");
  }

  const auto r = boardtest::run(
      [&image] {
        static std::string path = image;
        simk::schedule(0, simk::kOrderBoard, [] { simusb::insert(path); });
        xTaskCreate(
            [](void*) {
              // The main loop reads the root folders when the stick is mounted; measure after.
              while (usb_status.load() != 2) vTaskDelay(5);
              // (the file system's lock is not fair among threads of one priority).
              auto mainLoopBusy = [] {
                for (const auto& t : simk::tasks()) {
                  if (t.name == "MainAudioTask") return t.state == "ready" || t.state == "running";
                }
                return false;
              };
              // The main loop wakes every 10 ticks to look for a request: after the delay it
              // may be due on the same tick, so it gets its turn first.
              do {
                vTaskDelay(100);
                taskYIELD();
              } while (rootDirList.empty() || mainLoopBusy());
              // The stick itself through the stack: the disk adapter's cache off, every read
              // one command.
              USBH_DiskCacheEnable(false);
              // Scan: every folder of the root and every entry in it.
              double w0 = wallSeconds();
              simk::Time v0 = simk::now();
              int entries = 0;
              DIR root, sub;
              FILINFO info;
              const FRESULT opened = f_opendir(&root, "0:/");
              if (opened != FR_OK) std::fprintf(stderr, "bench_usb: open root: %d\n", opened);
              while (f_readdir(&root, &info) == FR_OK && info.fname[0] != 0) {
                ++entries;
                if ((info.fattrib & AM_DIR) == 0) continue;
                const std::string p = std::string("0:/") + info.fname;
                FILINFO inner;
                f_opendir(&sub, p.c_str());
                while (f_readdir(&sub, &inner) == FR_OK && inner.fname[0] != 0) ++entries;
                f_closedir(&sub);
              }
              f_closedir(&root);
              const double scanWall = wallSeconds() - w0;
              const double scanVirtual = static_cast<double>(simk::now() - v0) / simk::kS;
              // Read the big file in 512-byte chunks, as the player does.
              w0 = wallSeconds();
              v0 = simk::now();
              FIL file;
              f_open(&file, "0:/big.bin", FA_READ);
              static char chunk[512];
              UINT got = 0;
              size_t total = 0;
              do {
                f_read(&file, chunk, sizeof chunk, &got);
                total += got;
              } while (got == sizeof chunk);
              f_close(&file);
              const double readWall = wallSeconds() - w0;
              const double readVirtual = static_cast<double>(simk::now() - v0) / simk::kS;
              // The same read through the cache, which reads ahead (up to 32 KiB a command).
              USBH_DiskCacheEnable(true);
              v0 = simk::now();
              f_open(&file, "0:/big.bin", FA_READ);
              do {
                f_read(&file, chunk, sizeof chunk, &got);
              } while (got == sizeof chunk);
              f_close(&file);
              const double cachedVirtual = static_cast<double>(simk::now() - v0) / simk::kS;
              char line[256];
              std::snprintf(line, sizeof line, "%d %.6f %.6f %zu %.6f %.6f %.6f", entries,
                            scanVirtual, scanWall, total, readVirtual, readWall, cachedVirtual);
              boardtest::note(line);
              simk::endRun(0, "");
            },
            "bench", 1024, nullptr, 4, nullptr);
        firmware_main();
      },
      []() {
        boardtest::Options o;
        o.duration = 600 * simk::kS;
        o.kernelTick = false;
        return o;
      }());
  int entries = 0;
  size_t total = 0;
  double scanV = 0, scanW = 0, readV = 0, readW = 0, cachedV = 0;
  if (std::sscanf(r.notes.c_str(), "%d %lf %lf %zu %lf %lf %lf", &entries, &scanV, &scanW, &total,
                  &readV, &readW, &cachedV) != 7) {
    std::fprintf(stderr, "bench_usb: the board run failed (status %d)\n", r.status);
    return 1;
  }
  // Baseline: the same bytes straight from the image file.
  const double b0 = wallSeconds();
  std::ifstream in(image, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  volatile size_t sink = all.size();
  (void)sink;
  const double baseline = wallSeconds() - b0;

  std::printf(
      "stick on the simulated board, a command a read (%d folders, %d entries; a %zu-byte "
      "file)\n",
      kFolders, entries, total);
  std::printf("  directory scan : %8.3f virtual s  (%6.0f entries per virtual s)   %8.4f wall s\n",
              scanV, entries / scanV, scanW);
  std::printf("  file read      : %8.3f virtual s  (%6.0f KB per virtual s)         %8.4f wall s\n",
              readV, total / 1024.0 / readV, readW);
  std::printf("  file read through the sector cache: %.3f virtual s (%.0f KB per virtual s)\n",
              cachedV, total / 1024.0 / cachedV);
  std::printf("  wall cost of the read against reading the image file directly: %.1f x\n",
              readW / (baseline > 0 ? baseline * total / all.size() : 1e-9));

  const Listing on = bigStickListing(true);
  const Listing off = bigStickListing(false);
  if (!on.ok || !off.ok) {
    std::fprintf(stderr, "bench_usb: the big stick's run failed\n");
    return 1;
  }
  std::printf("whole firmware, 256 root folders x 16 playback folders (FAT16, 2 KiB clusters):\n");
  std::printf(
      "                              sector cache on    off (a command a read)    off/on\n");
  std::printf("  power-on to root list       %8.3f s        %8.3f s               %6.1f x\n",
              on.listedS, off.listedS, off.listedS / on.listedS);
  std::printf("  USB commands until then     %8lu          %8lu                 %6.1f x\n",
              on.commands, off.commands,
              static_cast<double>(off.commands) / static_cast<double>(on.commands));
  std::printf("  request to first sample     %8.1f ms       %8.1f ms              %6.1f x\n",
              on.firstSampleMs, off.firstSampleMs, off.firstSampleMs / on.firstSampleMs);
  std::printf("  wall time of the run        %8.3f s        %8.3f s\n", on.wallS, off.wallS);
  return 0;
}

// The media library on the simulated board: stick images made by shapeplay-mkstick, mounted
// by the firmware's stick service through the whole USB stack, and listed and read by the
// folder classes in a task of their own, as the main loop will call them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "FolderAudioFiles.h"
#include "FolderDirectories.h"
#include "FolderRoot.h"
#include "FreeRTOS.h"
#include "board_child.h"
#include "firmware_board.h"
#include "k_storage.h"
#include "process.h"
#include "stick.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "usart1.h"

namespace {

using boardtest::note;

const std::string& dir() {
  static const std::string d = proc::tempDir();
  return d;
}

// Makes a stick image from a manifest (in the test process, before any board starts).
std::string makeStick(const std::string& name, const std::string& manifest,
                      std::vector<std::string> extra = {}) {
  const std::string image = dir() + "/" + name + ".img";
  proc::writeFile(dir() + "/" + name + ".txt", manifest);
  std::vector<std::string> argv = {SHAPEPLAY_MKSTICK, "--manifest", dir() + "/" + name + ".txt",
                                   "--out", image};
  argv.insert(argv.end(), extra.begin(), extra.end());
  const proc::Output made = proc::run(argv);
  EXPECT_EQ(made.status, 0) << made.err;
  return image;
}

// Bytes a test can recognise: different at every offset within a slot's reach.
std::string pictureBytes(size_t size, unsigned seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
  return s;
}

std::function<void()>& body() {
  static std::function<void()> b;
  return b;
}

// A board with the console and the stick service only: no main loop, so nothing but the
// test's task touches the lists. The stick is in from power-on; `work` runs in a task at
// the main loop's priority once the stick is mounted and its unit ready, and the run ends
// when it returns.
boardtest::Result onStick(const std::string& image, std::function<void()> work,
                          simk::Time duration = 60 * simk::kS) {
  body() = std::move(work);
  boardtest::Options options;
  options.duration = duration;
  return boardtest::run(
      [image] {
        HAL_Init();
        Usart1::initUsart();
        Usart1::initialized = true;
        k_StorageInit();
        simusb::insert(image);
        xTaskCreate(
            [](void*) {
              while (usb_status.load() != 2) vTaskDelay(5);
              vTaskDelay(10);
              body()();
              boardtest::endRunAfterConsole();
            },
            "MainAudioTask", 8192, nullptr, 4, nullptr);
      },
      options);
}

// What the firmware printed once the stick was mounted.
std::string afterMount(const std::string& console) {
  const std::string mark = "mount ok\n";
  const size_t pos = console.find(mark);
  return pos == std::string::npos ? "no mount in: " + console : console.substr(pos + mark.size());
}

std::string listing() {
  std::string out;
  for (const DirEntry& e : rootDirList) {
    out += e.foldername + " pic=" + e.pictureFileName +
           " count=" + std::to_string(e.subfolderCount) + "\n";
  }
  return out;
}

size_t countOf(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos;
       pos = text.find(needle, pos + needle.size())) {
    ++n;
  }
  return n;
}

// ---- Root folders

const std::string& rootStick() {
  static const std::string image = makeStick("root",
                                             "dir \"Zoo\"\n"
                                             "file \"top.mp3\" size=100\n"
                                             "dir \"animals\"\n"
                                             "dir \"Secret\" hidden\n"
                                             "dir \"Secret/inner\"\n"
                                             "dir \"Android\"\n"
                                             "dir \"LOST.DIR\"\n"
                                             "dir \"Bach\"\n"
                                             "dir \"Geheim\"\n"
                                             "file \"Bach/b.BMP\" size=10\n"
                                             "file \"Bach/a.bmp\" size=10\n"
                                             "file \"Bach/x.mp3\" size=10\n"
                                             "dir \"animals/x\"\n"
                                             "dir \"animals/h\" hidden\n"
                                             "dir \"animals/android\"\n"
                                             "dir \"animals/LOST.DIR\"\n"
                                             "dir \"animals/s\" system\n"
                                             "file \"animals/note.txt\" size=10\n"
                                             "file \"animals/bmp\" size=10\n"
                                             "dir \"Geheim/a\" hidden\n"
                                             "dir \"Geheim/b\" hidden\n");
  return image;
}

TEST(RootFolders, ListedByNameWithPictureAndSubfolderCount) {
  const std::string image = rootStick();
  auto r = onStick(image, [] {
    FolderRoot root(255);
    note(root.refreshFolder() ? "refreshed" : "failed");
    note(listing());
    note(root.getFoldername(0));
    note(root.getFoldername(3));
    note("[" + root.getFoldername(4) + "]");
    note(root.getFolderPictureFileName(1));
    note("[" + root.getFolderPictureFileName(0) + "]");
    note("[" + root.getFolderPictureFileName(4) + "]");
  });
  EXPECT_EQ(r.notes,
            "refreshed\n"
            "animals pic= count=4\n"
            "Bach pic=b.BMP count=0\n"
            "Geheim pic= count=2\n"
            "Zoo pic= count=0\n\n"
            "animals\nZoo\n[]\nb.BMP\n[]\n[]\n");
  // Folders without a picture are listed without a message.
  EXPECT_EQ(afterMount(r.console),
            "Folder: animals\r\n Pic:\r\n Count:4\r\n"
            "Folder: Bach\r\n Pic:b.BMP\r\n Count:0\r\n"
            "Folder: Geheim\r\n Pic:\r\n Count:2\r\n"
            "Folder: Zoo\r\n Pic:\r\n Count:0\r\n");
}

TEST(RootFolders, WithoutAStickTheListIsKeptAndTheRefreshFails) {
  const std::string image = rootStick();
  auto r = onStick(image, [] {
    FolderRoot root(255);
    root.refreshFolder();
    // A picture load leaves the current directory inside a folder; the next refresh of the
    // same stick still counts from the root.
    root.loadPicture(1, 0);
    root.refreshFolder();
    note(std::to_string(rootDirList.size()));
    note(rootDirList[0].foldername + " " + std::to_string(rootDirList[0].subfolderCount));
    simusb::remove();
    while (usb_status.load() != 0) vTaskDelay(5);
    note(root.refreshFolder() ? "refreshed" : "failed");
    note(std::to_string(rootDirList.size()));
  });
  EXPECT_EQ(r.notes, "4\nanimals 4\nfailed\n4\n");
  EXPECT_NE(r.console.find("usb disc\nopen root err\n"), std::string::npos) << r.console;
}

TEST(RootFolders, ThreeHundredFoldersListTheFirst256OfDirectoryOrder) {
  // Made in descending order: the first 256 read are f299 down to f044.
  std::string manifest;
  for (int i = 299; i >= 0; --i) {
    char name[8];
    std::snprintf(name, sizeof name, "f%03d", i);
    manifest += std::string("dir \"") + name + "\"\n";
  }
  const std::string image = makeStick("many", manifest, {"--fat", "32"});
  auto r = onStick(image, [] {
    FolderRoot root(255);
    root.refreshFolder();
    note(std::to_string(rootDirList.size()));
    note(root.getFoldername(0));
    note(root.getFoldername(1));
    note(root.getFoldername(255));
    note("[" + root.getFoldername(256) + "]");
  });
  EXPECT_EQ(r.notes, "256\nf044\nf045\nf299\n[]\n");
  EXPECT_EQ(countOf(r.console, "Folder: "), 256u);
}

// ---- Playback folders and audio files

const std::string& musicStick() {
  static const std::string image = makeStick("music",
                                             "dir \"Music\"\n"
                                             "dir \"android\"\n"
                                             "dir \"Music/Zwei\"\n"
                                             "dir \"Music/eins\"\n"
                                             "dir \"Music/geheim\" hidden\n"
                                             "dir \"Music/Android\"\n"
                                             "dir \"Music/LOST.DIR\"\n"
                                             "file \"Music/intro.mp3\" size=10\n"
                                             "file \"Music/a.WAV\" size=10\n"
                                             "file \"Music/readme.txt\" size=10\n"
                                             "file \"Music/eins/B.mp3\" size=10\n"
                                             "file \"Music/eins/a.MP3\" size=10\n"
                                             "file \"Music/eins/c.wav\" size=10\n"
                                             "file \"Music/eins/notes.txt\" size=10\n"
                                             "dir \"Music/eins/x\"\n"
                                             "file \"Music/eins/x/deep.mp3\" size=10\n"
                                             "file \"Music/eins/.mp3\" size=10\n"
                                             "file \"Music/eins/song.mp3.txt\" size=10\n"
                                             "file \"Music/eins/versteckt.mp3\" size=10 hidden\n"
                                             "file \"Music/eins/sys.Mp3\" size=10 system\n"
                                             "dir \"Names\"\n"
                                             "dir \"Names/B\xC3\xA4r\"\n"
                                             "dir \"Names/Bb\"\n"
                                             "dir \"Names/Bar\"\n"
                                             "dir \"Names/\xC3\x84pfel\"\n"
                                             "dir \"Names/Barz\"\n"
                                             "dir \"Names/_x\"\n"
                                             "dir \"Names/9\"\n"
                                             "dir \"Names/Track2\"\n"
                                             "dir \"Names/Track10\"\n"
                                             "dir \"Versteckt\"\n"
                                             "dir \"Versteckt/a\" hidden\n"
                                             "dir \"Versteckt/b\" hidden\n");
  return image;
}

TEST(PlaybackFolders, SubfoldersByNameWithTheirFullPaths) {
  const std::string image = musicStick();
  auto r = onStick(image, [] {
    FolderDirectories dirs(100);
    note(std::to_string(dirs.refresh("Music")));
    note(std::to_string(dirs.getNrFolders()));
    note(dirs.getFolderName(0));
    note(dirs.getFolderName(1));
    note("[" + dirs.getFolderName(2) + "]");
  });
  EXPECT_EQ(r.notes, "2\n2\n0:\\Music\\eins\n0:\\Music\\Zwei\n[]\n");
  EXPECT_EQ(afterMount(r.console),
            "open 0:\\Music\r\n"
            "dir Music , Zwei\r\n"
            "dir Music , eins\r\n"
            "dir Music , geheim\r\n"
            "dir Music , Android\r\n"
            "dir Music , LOST.DIR\r\n"
            "music: intro.mp3\r\n"
            "music: a.WAV\r\n"
            "sort finished\r\n"
            "selected 0, 0:\\Music\\eins\r\n"
            "selected 1, 0:\\Music\\Zwei\r\n");
}

TEST(PlaybackFolders, NameOrderOnTheStickWithCodePage850Names) {
  const std::string image = musicStick();
  auto r = onStick(image, [] {
    FolderDirectories dirs(100);
    const uint32_t n = dirs.refresh("Names");
    std::string order;
    for (uint16_t i = 0; i < n; ++i) order += dirs.getFolderName(i).substr(9) + "|";
    note(order);
  });
  // The stick stores 'Bär' and 'Äpfel' in code page 850: 0x84 and 0x8E.
  EXPECT_EQ(r.notes, "9|_x|Bar|Barz|Bb|B\x84r|Track10|Track2|\x8Epfel|\n");
}

TEST(PlaybackFolders, OnlyHiddenSubfoldersGiveAnEmptyList) {
  const std::string image = musicStick();
  auto r = onStick(image, [] {
    FolderRoot root(255);
    root.refreshFolder();
    FolderDirectories dirs(100);
    note(listing());
    note(std::to_string(dirs.refresh("Versteckt")));
    note("[" + dirs.getFolderName(0) + "]");
    // A folder that cannot be opened leaves the list as it was.
    dirs.refresh("Music");
    note(std::to_string(dirs.refresh("Missing")));
    note(std::to_string(dirs.getNrFolders()));
  });
  EXPECT_EQ(r.notes,
            "android pic= count=0\nMusic pic= count=3\nNames pic= count=9\n"
            "Versteckt pic= count=2\n\n0\n[]\n0\n2\n");
  EXPECT_NE(r.console.find("open 0:\\Missing\r\n"), std::string::npos);
}

TEST(AudioFiles, OnlyMp3FilesOfTheFolderItselfByName) {
  const std::string image = musicStick();
  auto r = onStick(image, [] {
    FolderAudioFiles files(100);
    files.refresh("0:\\Music\\eins");
    note(std::to_string(files.getNrAudioFiles()));
    for (uint16_t i = 0; i < 5; ++i) note("[" + files.getAudioFileName(i) + "]");
  });
  EXPECT_EQ(r.notes,
            "4\n[0:\\Music\\eins\\a.MP3]\n[0:\\Music\\eins\\B.mp3]\n"
            "[0:\\Music\\eins\\sys.Mp3]\n[0:\\Music\\eins\\versteckt.mp3]\n[]\n");
  EXPECT_EQ(afterMount(r.console),
            "open 0:\\Music\\eins\r\n"
            "music: B.mp3\r\n"
            "music: a.MP3\r\n"
            "dir 0:\\Music\\eins , x\r\n"
            "music: versteckt.mp3\r\n"
            "music: sys.Mp3\r\n"
            "selected 0, 0:\\Music\\eins\\a.MP3\r\n"
            "selected 1, 0:\\Music\\eins\\B.mp3\r\n"
            "selected 2, 0:\\Music\\eins\\sys.Mp3\r\n"
            "selected 3, 0:\\Music\\eins\\versteckt.mp3\r\n");
}

TEST(AudioFiles, AnEmptyPathListsNothingWhereverTheCurrentDirectoryIs) {
  const std::string image = musicStick();
  auto r = onStick(image, [] {
    FolderRoot root(255);
    root.refreshFolder();
    FolderDirectories dirs(100);
    FolderAudioFiles files(100);
    files.refresh("0:\\Music\\eins");
    // The picture load leaves the drive in 'Music', which holds an MP3 file of its own.
    root.loadPicture(1, 0);
    char cwd[64] = "";
    f_getcwd(cwd, sizeof cwd);
    note(cwd);
    files.refresh(dirs.getFolderName(7));
    note(std::to_string(files.getNrAudioFiles()));
    note("[" + files.getAudioFileName(0) + "]");
    // Nor does an empty root-folder name offer the root folders as playback folders.
    dirs.refresh("Music");
    note(std::to_string(dirs.refresh("")));
    note(std::to_string(dirs.getNrFolders()));
    // A folder that cannot be opened leaves the list as it was.
    files.refresh("0:\\Music\\eins");
    files.refresh("0:\\Music\\nirgends");
    note(std::to_string(files.getNrAudioFiles()));
  });
  EXPECT_EQ(r.notes, "0:/Music\n0\n[]\n0\n0\n4\n");
  EXPECT_NE(r.console.find("open \r\n"), std::string::npos);
}

TEST(AudioFiles, ManyFilesAndFoldersListTheFirst101OfDirectoryOrder) {
  std::string manifest = "dir \"Viel\"\n";
  for (int i = 149; i >= 0; --i) {
    char name[32];
    std::snprintf(name, sizeof name, "Viel/t%03d.mp3", i);
    manifest += std::string("file \"") + name + "\" size=1\n";
  }
  for (int i = 109; i >= 0; --i) {
    char name[32];
    std::snprintf(name, sizeof name, "Viel/d%03d", i);
    manifest += std::string("dir \"") + name + "\"\n";
  }
  const std::string image = makeStick("viel", manifest);
  auto r = onStick(image, [] {
    FolderAudioFiles files(100);
    files.refresh("0:\\Viel");
    note(std::to_string(files.getNrAudioFiles()));
    note(files.getAudioFileName(0));
    note(files.getAudioFileName(100));
    note("[" + files.getAudioFileName(101) + "]");
    FolderDirectories dirs(100);
    note(std::to_string(dirs.refresh("Viel")));
    note(dirs.getFolderName(0));
    note(dirs.getFolderName(100));
  });
  EXPECT_EQ(r.notes,
            "101\n0:\\Viel\\t049.mp3\n0:\\Viel\\t149.mp3\n[]\n"
            "101\n0:\\Viel\\d009\n0:\\Viel\\d109\n");
  // Every MP3 file is named on the console, listed or not, by each of the two scans.
  EXPECT_EQ(countOf(r.console, "music: t"), 300u);
  EXPECT_EQ(countOf(r.console, "dir Viel , d"), 110u);
}

// ---- Picture slots

// Puts a larger size into the directory entry of a file with that 8.3 name, so that its
// cluster chain ends before the size does; returns the volume's cluster size.
uint32_t stretchFile(const std::string& image, const std::string& shortName, uint32_t size) {
  std::string bytes = proc::readFile(image);
  const size_t at = bytes.find(shortName);
  EXPECT_NE(at, std::string::npos);
  if (at == std::string::npos) return 0;
  for (int i = 0; i < 4; ++i) bytes[at + 28 + i] = static_cast<char>(size >> (8 * i));
  proc::writeFile(image, bytes);
  const auto u8 = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
  return (u8(11) | u8(12) << 8) * u8(13);
}

struct PictureStick {
  std::string image;
  uint32_t clusterSize = 0;
};

const PictureStick& pictureStick() {
  static const PictureStick stick = [] {
    PictureStick s;
    proc::writeFile(dir() + "/p66000.bmp", pictureBytes(66000, 1));
    proc::writeFile(dir() + "/pmax.bmp", pictureBytes(MAX_IMG_SIZE, 2));
    s.image = makeStick("pictures",
                        "dir \"A\"\n"
                        "file \"A/title.bmp\" src=p66000.bmp\n"
                        "dir \"B\"\n"
                        "file \"B/big.bmp\" size=70000\n"
                        "dir \"C\"\n"
                        "file \"C/song.mp3\" size=10\n"
                        "dir \"D\"\n"
                        "file \"D/max.bmp\" src=pmax.bmp\n"
                        "dir \"E\"\n"
                        "file \"E/over.bmp\" size=67585\n"
                        "dir \"F\"\n"
                        "file \"F/short.bmp\" size=1000\n");
    s.clusterSize = stretchFile(s.image, "SHORT   BMP", 20000);
    return s;
  }();
  return stick;
}

std::string slots() {
  std::string out;
  for (uint8_t i = 0; i < PICTURE_SLOTS; ++i) {
    out += std::to_string(FolderRoot::titlePictureSize[i]) + (i + 1 < PICTURE_SLOTS ? " " : "");
  }
  return out;
}

TEST(PictureSlots, PicturesUpToTheSlotSizeLoadWholeAndOthersLeaveTheSlotEmpty) {
  const PictureStick& stick = pictureStick();
  ASSERT_GT(stick.clusterSize, 0u);
  auto r = onStick(stick.image, [] {
    FolderRoot root(255);
    root.refreshFolder();
    for (uint8_t i = 0; i < PICTURE_SLOTS; ++i) root.loadPicture(i, i);
    note(slots());
    note(std::string("A exact ") +
         (std::memcmp(FolderRoot::titlePictureBuffer[0], pictureBytes(66000, 1).data(), 66000) == 0
              ? "yes"
              : "no"));
    note(std::string("D exact ") +
         (std::memcmp(FolderRoot::titlePictureBuffer[3], pictureBytes(MAX_IMG_SIZE, 2).data(),
                      MAX_IMG_SIZE) == 0
              ? "yes"
              : "no"));
    // A failed load empties a slot that held a picture; so does an index past the list.
    root.loadPicture(2, 0);
    root.loadPicture(6, 3);
    note(slots());
  });
  EXPECT_EQ(r.notes, "66000 0 0 67584 0 0\nA exact yes\nD exact yes\n0 0 0 0 0 0\n");
  const std::string cluster = std::to_string(stick.clusterSize);
  const std::string console = afterMount(r.console);
  const std::string loads = console.substr(console.find("open picture success: A"));
  EXPECT_EQ(loads,
            "open picture success: A / title.bmp\r\n"
            "picture read 66000\r\n"
            "open picture success: B / big.bmp\r\n"
            "open file failed:C/\r\n"
            "open picture success: D / max.bmp\r\n"
            "picture read 67584\r\n"
            "open picture success: E / over.bmp\r\n"
            "open picture success: F / short.bmp\r\n"
            "size mismatch: 20000, " +
                cluster +
                "\r\n"
                "picture read " +
                cluster +
                "\r\n"
                "open file failed:C/\r\n"
                "open file failed:/\r\n");
}

TEST(PictureSlots, ASlotAboveFiveStopsTheCallingThread) {
  const PictureStick& stick = pictureStick();
  auto r = onStick(
      stick.image,
      [] {
        FolderRoot root(255);
        root.refreshFolder();
        note("loading");
        root.loadPicture(0, 6);
        note("returned");
      },
      3 * simk::kS);
  EXPECT_EQ(r.notes, "loading\n");
  EXPECT_NE(r.console.find("loadPicture: slot 6 out of range\r\n"), std::string::npos);
  const std::string halt = boardtest::grep(r.trace, R"("ev":"halt")");
  EXPECT_NE(halt.find(R"("thread":"MainAudioTask","reason":"loadPicture: slot 6 out of range")"),
            std::string::npos)
      << halt;
}

// ---- The stick's identity

TEST(UsbIdentity, EnumerationFillsTheIdentifier) {
  const std::string image =
      makeStick("id", "dir \"A\"\n", {"--vid", "0x1234", "--pid", "0xabcd", "--serial", "XYZ-42"});
  auto r = onStick(image, [] {
    char line[300];
    std::snprintf(line, sizeof line, "%04x %04x %s", FolderRoot::usbIdentifier.vid,
                  FolderRoot::usbIdentifier.pid, FolderRoot::usbIdentifier.serial);
    note(line);
  });
  EXPECT_EQ(r.notes, "1234 abcd XYZ-42\n");
}

}  // namespace

// The media library: the name rules its lists share, and the lists on the simulated board,
// of stick images made by shapeplay-mkstick, mounted by the firmware's stick service through
// the whole USB stack, and listed and read by the folder classes in a task of their own, as
// the main loop will call them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "FolderAudioFiles.h"
#include "FolderDirectories.h"
#include "FolderRoot.h"
#include "FreeRTOS.h"
#include "board_child.h"
#include "fileNames.h"
#include "firmware_board.h"
#include "images.h"
#include "k_storage.h"
#include "process.h"
#include "stick.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "usart1.h"

namespace {

using boardtest::note;

// ---- The name rules every media list shares: order, case-insensitive comparison,
// extensions, and the stick's identity as enumeration reports it.

// The order of the three lists (they must agree on every pair): ASCII case folded, a prefix
// first, digits before '_' before letters, no numeric runs, bytes compared unsigned, the code
// page's letters after ASCII and not folded. (A list on a stick in this order: test_media.)
TEST(NameOrder, TheThreeListsAgreeOnEveryPair) {
  const struct {
    const char *a, *b;
    bool before;
  } cases[] = {
      {"apple", "Banana", true},
      {"Banana", "cherry", true},
      {"cherry", "apple", false},
      {"apple", "Zebra", true},
      {"", "a", true},
      {"", "\x01", true},
      {"", "", false},
      {"abc", "abcd", true},
      {"abcd", "abc", false},
      {"ABC", "abc", false},
      {"abc", "ABC", false},
      {"abc", "abc", false},
      {"9z", "_x", true},
      {"_x", "a", true},
      // '_' is 95, between 'Z' (90) and 'a' (97): folding puts upper-case letters after it;
      // only A-Z fold: '[' (91) stays below '_'.
      {"_x", "A", true},
      {"_x", "Z", true},
      {"[", "_", true},
      {"@", "a", true},
      {"Track10", "Track2", true},
      {"1.mp3", "10.mp3", true},
      {"10.mp3", "2.mp3", true},
      {"01 a.mp3", "02 b.mp3", true},
      // 'Bär' and 'Äpfel'; 'ä' (132) before 'Ä' (142).
      {"Bar", "B\x84r", true},
      {"Bz", "B\x84r", true},
      {"zzz", "\x8Epfel", true},
      {"\x8Epfel", "zzz", false},
      {"\x84", "\x8E", true},
      {"\x7F", "\x80", true},
  };
  for (const auto& c : cases) {
    DirEntry ea, eb;
    ea.foldername = c.a;
    eb.foldername = c.b;
    EXPECT_EQ(FolderRoot::compareDirEntries(ea, eb), c.before) << c.a << " / " << c.b;
    EXPECT_EQ(FolderDirectories::compareDirEntries(c.a, c.b), c.before) << c.a << " / " << c.b;
    EXPECT_EQ(FolderAudioFiles::compareDirEntries(c.a, c.b), c.before) << c.a << " / " << c.b;
  }
}

TEST(Strcicmp, ThreeWayIgnoringAsciiCase) {
  const struct {
    const char *a, *b;
    int sign;
  } cases[] = {{"mp3", "MP3", 0}, {"", "", 0},        {"mp3", "mp", 1},   {"mp3", "", 1},
               {"mp", "mp3", -1}, {"", "a", -1},      {"abc", "ABD", -1}, {"b", "A", 1},
               {"\x84", "a", 1},  {"\x8E", "\x84", 1}};
  for (const auto& c : cases) {
    const int r = strcicmp(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
  }
  EXPECT_EQ(FolderAudioFiles::strcicmp("Wav", "wAV"), 0);
  EXPECT_EQ(FolderDirectories::strcicmp("Wav", "wAV"), 0);
}

TEST(Extension, TextAfterTheLastDotUnlessTheDotStartsTheName) {
  const std::pair<const char*, const char*> extensions[] = {
      {"song.MP3", "MP3"}, {"archive.tar.mp3", "mp3"},
      {".mp3", ""},        {"mp3", ""},
      {"song.", ""},       {"", ""},
      {"..mp3", "mp3"}};
  for (const auto& [name, ext] : extensions) EXPECT_STREQ(get_filename_ext(name), ext) << name;
  const char* name = "a.b";
  EXPECT_EQ(get_filename_ext(name), name + 2);  // inside the name, not a copy

  for (const char* yes : {"X.Mp3", "a.b.mp3"}) EXPECT_TRUE(isAudioFile(yes)) << yes;
  for (const char* no : {"x.mp3.bak", ".mp3", "song.mp", "song.mp3x", "song.wav"}) {
    EXPECT_FALSE(isAudioFile(no)) << no;
  }
  // A title picture as the pattern "*.bmp" matches it: the name ends in .bmp, whatever the
  // dots before; '.bmp' itself too (the pattern's star matches nothing).
  for (const char* yes : {"title.bmp", "T.BMP", ".bmp", "a.b.BmP", "x..bmp"}) {
    EXPECT_TRUE(isPictureName(yes)) << yes;
  }
  for (const char* no : {"bmp", "title.bmp.txt", "title.bmpx", "title_bmp", "", "x.bm"}) {
    EXPECT_FALSE(isPictureName(no)) << no;
  }
}

TEST(UsbIdentity, SerialIsCutToTheFieldAndAlwaysTerminated) {
  cbUsbVid(0x0781);
  cbUsbPid(0x5567);
  cbUsbSerial(std::string(300, 'S').c_str());
  EXPECT_EQ(FolderRoot::usbIdentifier.vid, 0x0781);
  EXPECT_EQ(FolderRoot::usbIdentifier.pid, 0x5567);
  EXPECT_EQ(std::string(FolderRoot::usbIdentifier.serial), std::string(255, 'S'));
  cbUsbSerial("AB12");
  EXPECT_STREQ(FolderRoot::usbIdentifier.serial, "AB12");
  // Nothing of the longer serial is left behind the new one.
  EXPECT_EQ(FolderRoot::usbIdentifier.serial[5], '\0');
  EXPECT_EQ(FolderRoot::usbIdentifier.serial[254], '\0');
  cbUsbSerial(nullptr);
  EXPECT_STREQ(FolderRoot::usbIdentifier.serial, "");
}

// ---- The lists on the simulated board

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

// In the child: a mark on the console between the parts of one run.
void part(const char* name) { std::printf("== %s\r\n", name); }

// What the firmware printed in a part of the run (before the first part: after the mount).
std::string printed(const std::string& console, const std::string& name = "") {
  const std::string mark = name.empty() ? "mount ok\n" : "== " + name + "\r\n";
  const size_t from = console.find(mark);
  if (from == std::string::npos) return "no " + mark + " in: " + console;
  const size_t begin = from + mark.size(), end = console.find("== ", begin);
  return console.substr(begin, end == std::string::npos ? end : end - begin);
}

std::string listing() {
  std::string out;
  for (const DirEntry& e : rootDirList) {
    out += e.foldername + " pic=" + e.pictureFileName +
           " count=" + std::to_string(e.subfolderCount) + "\n";
  }
  return out;
}

// ---- Root folders

// Listed by name, each with its first picture and its visible subfolders (not the ones Android
// and Windows make); hidden ones and files left out. Without a stick the list is kept and
// the refresh fails.
TEST(RootFolders, ListedByNameWithPictureAndSubfolderCountAndKeptWithoutAStick) {
  const std::string image = testimg::mkstick(
      "dir \"Zoo\"\nfile \"top.mp3\" size=100\ndir \"animals\"\ndir \"Secret\" hidden\n"
      "dir \"Secret/inner\"\ndir \"Android\"\ndir \"LOST.DIR\"\ndir \"Bach\"\ndir \"Geheim\"\n"
      "file \"Bach/b.BMP\" size=10\nfile \"Bach/a.bmp\" size=10\nfile \"Bach/x.mp3\" size=10\n"
      "dir \"animals/x\"\ndir \"animals/h\" hidden\ndir \"animals/android\"\n"
      "dir \"animals/LOST.DIR\"\ndir \"animals/s\" system\nfile \"animals/note.txt\" size=10\n"
      "file \"animals/bmp\" size=10\ndir \"Geheim/a\" hidden\ndir \"Geheim/b\" hidden\n");
  auto r = onStick(image, [] {
    FolderRoot root(255);
    note(root.refreshFolder() ? "refreshed" : "failed");
    note(listing() + root.getFoldername(0) + " " + root.getFoldername(3) + " [" +
         root.getFoldername(4) + "] " + root.getFolderPictureFileName(1) + " [" +
         root.getFolderPictureFileName(0) + "] [" + root.getFolderPictureFileName(4) + "]");
    part("again");
    // A picture load leaves the current directory inside a folder; the next refresh of the
    // same stick still counts from the root.
    root.loadPicture(1, 0);
    root.refreshFolder();
    note(std::to_string(rootDirList.size()) + " " + rootDirList[0].foldername + " " +
         std::to_string(rootDirList[0].subfolderCount));
    simusb::remove();
    while (usb_status.load() != 0) vTaskDelay(5);
    note(root.refreshFolder() ? "refreshed" : "failed");
    note(std::to_string(rootDirList.size()));
  });
  EXPECT_EQ(r.notes,
            "refreshed\nanimals pic= count=4\nBach pic=b.BMP count=0\nGeheim pic= count=2\n"
            "Zoo pic= count=0\nanimals Zoo [] b.BMP [] []\n4 animals 4\nfailed\n4\n");
  // Folders without a picture are listed without a message.
  EXPECT_EQ(printed(r.console),
            "Folder: animals\r\n Pic:\r\n Count:4\r\nFolder: Bach\r\n Pic:b.BMP\r\n Count:0\r\n"
            "Folder: Geheim\r\n Pic:\r\n Count:2\r\nFolder: Zoo\r\n Pic:\r\n Count:0\r\n");
  EXPECT_NE(printed(r.console, "again").find("usb disc\nopen root err\n"), std::string::npos)
      << r.console;
}

TEST(RootFolders, ThreeHundredFoldersListTheFirst256OfDirectoryOrder) {
  // Made in descending order: the first 256 read are f299 down to f044.
  std::string manifest;
  for (int i = 299; i >= 0; --i) {
    char name[8];
    std::snprintf(name, sizeof name, "f%03d", i);
    manifest += std::string("dir \"") + name + "\"\n";
  }
  auto r = onStick(testimg::mkstick(manifest, {"--fat", "32"}), [] {
    FolderRoot root(255);
    root.refreshFolder();
    note(std::to_string(rootDirList.size()) + " " + root.getFoldername(0) + " " +
         root.getFoldername(1) + " " + root.getFoldername(255) + " [" + root.getFoldername(256) +
         "]");
  });
  EXPECT_EQ(r.notes, "256 f044 f045 f299 []\n");
  EXPECT_EQ(proc::count(r.console, "Folder: "), 256u);
}

// ---- Playback folders and audio files

// Playback folders by name with their full paths (not Android's and Windows' folders, not
// hidden ones; the stick stores 'Bär' and 'Äpfel' in code page 850: 0x84 and 0x8E); the MP3
// files of a folder itself by name, hidden and system ones too. An empty path lists nothing
// wherever the current directory is, and a folder that cannot be opened leaves a list as it
// was.
TEST(PlaybackFolders, SubfoldersAndTracksByNameWithTheirFullPaths) {
  const std::string image = testimg::mkstick(
      "dir \"Music\"\ndir \"android\"\ndir \"Music/Zwei\"\ndir \"Music/eins\"\n"
      "dir \"Music/geheim\" hidden\ndir \"Music/Android\"\ndir \"Music/LOST.DIR\"\n"
      "file \"Music/intro.mp3\" size=10\nfile \"Music/a.WAV\" size=10\n"
      "file \"Music/readme.txt\" size=10\nfile \"Music/eins/B.mp3\" size=10\n"
      "file \"Music/eins/a.MP3\" size=10\nfile \"Music/eins/c.wav\" size=10\n"
      "file \"Music/eins/notes.txt\" size=10\ndir \"Music/eins/x\"\n"
      "file \"Music/eins/x/deep.mp3\" size=10\nfile \"Music/eins/.mp3\" size=10\n"
      "file \"Music/eins/song.mp3.txt\" size=10\nfile \"Music/eins/versteckt.mp3\" size=10 hidden\n"
      "file \"Music/eins/sys.Mp3\" size=10 system\ndir \"Names\"\ndir \"Names/B\xC3\xA4r\"\n"
      "dir \"Names/Bb\"\ndir \"Names/Bar\"\ndir \"Names/\xC3\x84pfel\"\ndir \"Names/Barz\"\n"
      "dir \"Names/_x\"\ndir \"Names/9\"\ndir \"Names/Track2\"\ndir \"Names/Track10\"\n"
      "dir \"Versteckt\"\ndir \"Versteckt/a\" hidden\ndir \"Versteckt/b\" hidden\n");
  auto r = onStick(image, [] {
    FolderDirectories dirs(100);
    const uint32_t music = dirs.refresh("Music");
    std::string seen = std::to_string(music) + " " + std::to_string(dirs.getNrFolders());
    for (uint16_t i = 0; i < 3; ++i) seen += " [" + dirs.getFolderName(i) + "]";
    note(seen);
    part("names");
    std::string order;
    for (uint16_t i = 0, n = dirs.refresh("Names"); i < n; ++i) {
      order += dirs.getFolderName(i).substr(9) + "|";
    }
    note(order);
    FolderRoot root(255);
    root.refreshFolder();
    const uint32_t hidden = dirs.refresh("Versteckt");
    note(listing() + std::to_string(hidden) + " [" + dirs.getFolderName(0) + "]");
    dirs.refresh("Music");
    const uint32_t missing = dirs.refresh("Missing");
    note(std::to_string(missing) + " " + std::to_string(dirs.getNrFolders()));
    part("tracks");
    FolderAudioFiles files(100);
    files.refresh("0:\\Music\\eins");
    std::string names = std::to_string(files.getNrAudioFiles());
    for (uint16_t i = 0; i < 5; ++i) names += " [" + files.getAudioFileName(i) + "]";
    note(names);
    part("empty path");
    // The picture load leaves the drive in 'Music', which holds an MP3 file of its own.
    root.loadPicture(1, 0);
    char cwd[64] = "";
    f_getcwd(cwd, sizeof cwd);
    files.refresh(dirs.getFolderName(7));
    note(std::string(cwd) + " " + std::to_string(files.getNrAudioFiles()) + " [" +
         files.getAudioFileName(0) + "]");
    // Nor does an empty root-folder name offer the root folders as playback folders.
    const uint32_t none = dirs.refresh("");
    note(std::to_string(none) + " " + std::to_string(dirs.getNrFolders()));
    files.refresh("0:\\Music\\eins");
    files.refresh("0:\\Music\\nirgends");
    note(std::to_string(files.getNrAudioFiles()));
  });
  EXPECT_EQ(r.notes,
            "2 2 [0:\\Music\\eins] [0:\\Music\\Zwei] []\n"
            "9|_x|Bar|Barz|Bb|B\x84r|Track10|Track2|\x8Epfel|\n"
            "android pic= count=0\nMusic pic= count=3\nNames pic= count=9\n"
            "Versteckt pic= count=2\n0 []\n0 2\n"
            "4 [0:\\Music\\eins\\a.MP3] [0:\\Music\\eins\\B.mp3] [0:\\Music\\eins\\sys.Mp3] "
            "[0:\\Music\\eins\\versteckt.mp3] []\n"
            "0:/Music 0 []\n0 0\n4\n");
  EXPECT_EQ(printed(r.console),
            "open 0:\\Music\r\ndir Music , Zwei\r\ndir Music , eins\r\ndir Music , geheim\r\n"
            "dir Music , Android\r\ndir Music , LOST.DIR\r\nmusic: intro.mp3\r\n"
            "music: a.WAV\r\nsort finished\r\nselected 0, 0:\\Music\\eins\r\n"
            "selected 1, 0:\\Music\\Zwei\r\n");
  EXPECT_NE(printed(r.console, "names").find("open 0:\\Missing\r\n"), std::string::npos);
  EXPECT_EQ(printed(r.console, "tracks"),
            "open 0:\\Music\\eins\r\nmusic: B.mp3\r\nmusic: a.MP3\r\ndir 0:\\Music\\eins , x\r\n"
            "music: versteckt.mp3\r\nmusic: sys.Mp3\r\nselected 0, 0:\\Music\\eins\\a.MP3\r\n"
            "selected 1, 0:\\Music\\eins\\B.mp3\r\nselected 2, 0:\\Music\\eins\\sys.Mp3\r\n"
            "selected 3, 0:\\Music\\eins\\versteckt.mp3\r\n");
  EXPECT_NE(printed(r.console, "empty path").find("open \r\n"), std::string::npos);
}

TEST(AudioFiles, ManyFilesAndFoldersListTheFirst101OfDirectoryOrder) {
  std::string manifest = "dir \"Viel\"\n";
  char line[40];
  for (int i = 149; i >= 0; --i) {
    std::snprintf(line, sizeof line, "file \"Viel/t%03d.mp3\" size=1\n", i);
    manifest += line;
  }
  for (int i = 109; i >= 0; --i) {
    std::snprintf(line, sizeof line, "dir \"Viel/d%03d\"\n", i);
    manifest += line;
  }
  auto r = onStick(testimg::mkstick(manifest), [] {
    FolderAudioFiles files(100);
    files.refresh("0:\\Viel");
    note(std::to_string(files.getNrAudioFiles()) + " " + files.getAudioFileName(0) + " " +
         files.getAudioFileName(100) + " [" + files.getAudioFileName(101) + "]");
    FolderDirectories dirs(100);
    const uint32_t folders = dirs.refresh("Viel");
    note(std::to_string(folders) + " " + dirs.getFolderName(0) + " " + dirs.getFolderName(100));
  });
  EXPECT_EQ(r.notes,
            "101 0:\\Viel\\t049.mp3 0:\\Viel\\t149.mp3 []\n101 0:\\Viel\\d009 0:\\Viel\\d109\n");
  // Every MP3 file is named on the console, listed or not, by each of the two scans.
  EXPECT_EQ(proc::count(r.console, "music: t"), 300u);
  EXPECT_EQ(proc::count(r.console, "dir Viel , d"), 110u);
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
    s.image = testimg::mkstick(
        "file \"A/title.bmp\" src=p66000.bmp\nfile \"B/big.bmp\" size=70000\n"
        "file \"C/song.mp3\" size=10\nfile \"D/max.bmp\" src=pmax.bmp\n"
        "file \"E/over.bmp\" size=67585\nfile \"F/short.bmp\" size=1000\n",
        {}, {{"p66000.bmp", pictureBytes(66000, 1)}, {"pmax.bmp", pictureBytes(MAX_IMG_SIZE, 2)}});
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

bool holds(int slot, const std::string& bytes) {
  return std::memcmp(FolderRoot::titlePictureBuffer[slot], bytes.data(), bytes.size()) == 0;
}

TEST(PictureSlots, PicturesUpToTheSlotSizeLoadWholeAndOthersLeaveTheSlotEmpty) {
  const PictureStick& stick = pictureStick();
  ASSERT_GT(stick.clusterSize, 0u);
  auto r = onStick(stick.image, [] {
    FolderRoot root(255);
    root.refreshFolder();
    for (uint8_t i = 0; i < PICTURE_SLOTS; ++i) root.loadPicture(i, i);
    note(slots() + (holds(0, pictureBytes(66000, 1)) ? " A exact" : " A differs") +
         (holds(3, pictureBytes(MAX_IMG_SIZE, 2)) ? " D exact" : " D differs"));
    // A failed load empties a slot that held a picture; so does an index past the list.
    root.loadPicture(2, 0);
    root.loadPicture(6, 3);
    note(slots());
  });
  EXPECT_EQ(r.notes, "66000 0 0 67584 0 0 A exact D exact\n0 0 0 0 0 0\n");
  const std::string cluster = std::to_string(stick.clusterSize);
  const std::string console = printed(r.console);
  EXPECT_EQ(console.substr(console.find("open picture success: A")),
            "open picture success: A / title.bmp\r\npicture read 66000\r\n"
            "open picture success: B / big.bmp\r\nopen file failed:C/\r\n"
            "open picture success: D / max.bmp\r\npicture read 67584\r\n"
            "open picture success: E / over.bmp\r\nopen picture success: F / short.bmp\r\n"
            "size mismatch: 20000, " +
                cluster + "\r\npicture read " + cluster +
                "\r\nopen file failed:C/\r\nopen file failed:/\r\n");
}

TEST(PictureSlots, ASlotAboveFiveStopsTheCallingThread) {
  auto r = onStick(
      pictureStick().image,
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

// Enumeration reports the identity beside the image of our builder (IMAGE.usb).
TEST(UsbIdentity, EnumerationFillsTheIdentifier) {
  const std::string image =
      testimg::mkstick("dir \"A\"\n", {"--vid", "0x1234", "--pid", "0xabcd", "--serial", "XYZ-42"});
  auto r = onStick(image, [] {
    char line[300];
    std::snprintf(line, sizeof line, "%04x %04x %s", FolderRoot::usbIdentifier.vid,
                  FolderRoot::usbIdentifier.pid, FolderRoot::usbIdentifier.serial);
    note(line);
  });
  EXPECT_EQ(r.notes, "1234 abcd XYZ-42\n");
}

}  // namespace

// The name rules every media list shares: order, case-insensitive comparison, extensions,
// and the stick's identity as enumeration reports it.
#include <gtest/gtest.h>

#include <string>

#include "FolderAudioFiles.h"
#include "FolderDirectories.h"
#include "FolderRoot.h"
#include "fileNames.h"

namespace {

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

}  // namespace

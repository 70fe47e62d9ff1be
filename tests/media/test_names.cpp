// The name rules every media list shares: order, case-insensitive comparison, extensions,
// and the stick's identity as enumeration reports it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FolderAudioFiles.h"
#include "FolderDirectories.h"
#include "FolderRoot.h"
#include "fileNames.h"

namespace {

// The three comparisons of the three lists must agree on every pair.
bool before(const std::string& a, const std::string& b) {
  DirEntry ea, eb;
  ea.foldername = a;
  eb.foldername = b;
  const bool root = FolderRoot::compareDirEntries(ea, eb);
  EXPECT_EQ(FolderDirectories::compareDirEntries(a, b), root) << a << " / " << b;
  EXPECT_EQ(FolderAudioFiles::compareDirEntries(a, b), root) << a << " / " << b;
  return root;
}

TEST(NameOrder, CaseIsIgnoredAndAPrefixComesFirst) {
  EXPECT_TRUE(before("apple", "Banana"));
  EXPECT_TRUE(before("Banana", "cherry"));
  EXPECT_FALSE(before("cherry", "apple"));
  EXPECT_TRUE(before("apple", "Zebra"));
  EXPECT_TRUE(before("", "a"));
  EXPECT_TRUE(before("", "\x01"));
  EXPECT_FALSE(before("", ""));
  EXPECT_TRUE(before("abc", "abcd"));
  EXPECT_FALSE(before("abcd", "abc"));
  EXPECT_FALSE(before("ABC", "abc"));
  EXPECT_FALSE(before("abc", "ABC"));
  EXPECT_FALSE(before("abc", "abc"));
}

TEST(NameOrder, DigitsThenUnderscoreThenLettersWithoutNumericRuns) {
  EXPECT_TRUE(before("9z", "_x"));
  EXPECT_TRUE(before("_x", "a"));
  // '_' is 95, between 'Z' (90) and 'a' (97): folding puts upper-case letters after it too.
  EXPECT_TRUE(before("_x", "A"));
  EXPECT_TRUE(before("_x", "Z"));
  EXPECT_TRUE(before("Track10", "Track2"));
  EXPECT_TRUE(before("1.mp3", "10.mp3"));
  EXPECT_TRUE(before("10.mp3", "2.mp3"));
  EXPECT_TRUE(before("01 a.mp3", "02 b.mp3"));
  // Only A-Z fold: '[' (91) stays below '_' although it lies between 'Z' and 'a'.
  EXPECT_TRUE(before("[", "_"));
  EXPECT_TRUE(before("@", "a"));
}

TEST(NameOrder, CodePage850LettersComeAfterAsciiWithTheSamePrefix) {
  const std::string baer = "B\x84r";  // 'Bär'
  const std::string aepfel =
      "\x8E"
      "pfel";  // 'Äpfel'
  EXPECT_TRUE(before("Bar", baer));
  EXPECT_TRUE(before("Bb", baer));
  EXPECT_TRUE(before("Bz", baer));
  EXPECT_TRUE(before("zzz", aepfel));
  EXPECT_FALSE(before(aepfel, "zzz"));
  // Upper-case 850 letters are not folded onto their lower-case forms.
  EXPECT_TRUE(before("\x84", "\x8E"));  // 'ä' 132 before 'Ä' 142
  EXPECT_TRUE(before("\x7F", "\x80"));  // bytes compare unsigned
}

TEST(NameOrder, SortingAListGivesTheDisplayOrder) {
  std::vector<DirEntry> folders;
  for (const char* name : {"Zoo", "animals", "_misc", "Bach", "B\x84r", "10", "2", "bach2"}) {
    DirEntry e;
    e.foldername = name;
    folders.push_back(e);
  }
  std::sort(folders.begin(), folders.end(), FolderRoot::compareDirEntries);
  std::string order;
  for (const DirEntry& e : folders) order += e.foldername + "|";
  EXPECT_EQ(order, "10|2|_misc|animals|Bach|bach2|B\x84r|Zoo|");
}

TEST(Strcicmp, ThreeWayIgnoringAsciiCase) {
  EXPECT_EQ(strcicmp("mp3", "MP3"), 0);
  EXPECT_EQ(strcicmp("", ""), 0);
  EXPECT_GT(strcicmp("mp3", "mp"), 0);
  EXPECT_GT(strcicmp("mp3", ""), 0);
  EXPECT_LT(strcicmp("mp", "mp3"), 0);
  EXPECT_LT(strcicmp("", "a"), 0);
  EXPECT_LT(strcicmp("abc", "ABD"), 0);
  EXPECT_GT(strcicmp("b", "A"), 0);
  EXPECT_GT(strcicmp("\x84", "a"), 0);
  EXPECT_NE(strcicmp("\x84", "\x8E"), 0);
  EXPECT_EQ(FolderAudioFiles::strcicmp("Wav", "wAV"), 0);
  EXPECT_EQ(FolderDirectories::strcicmp("Wav", "wAV"), 0);
}

TEST(Extension, TextAfterTheLastDotUnlessTheDotStartsTheName) {
  EXPECT_STREQ(get_filename_ext("song.MP3"), "MP3");
  EXPECT_STREQ(get_filename_ext("archive.tar.mp3"), "mp3");
  EXPECT_STREQ(get_filename_ext(".mp3"), "");
  EXPECT_STREQ(get_filename_ext("mp3"), "");
  EXPECT_STREQ(get_filename_ext("song."), "");
  EXPECT_STREQ(get_filename_ext(""), "");
  EXPECT_STREQ(get_filename_ext("..mp3"), "mp3");
  const char* name = "a.b";
  EXPECT_EQ(get_filename_ext(name), name + 2);  // inside the name, not a copy

  EXPECT_TRUE(isAudioFile("X.Mp3"));
  EXPECT_TRUE(isAudioFile("a.b.mp3"));
  EXPECT_FALSE(isAudioFile("x.mp3.bak"));
  EXPECT_FALSE(isAudioFile(".mp3"));
  EXPECT_FALSE(isAudioFile("song.mp"));
  EXPECT_FALSE(isAudioFile("song.mp3x"));
  EXPECT_FALSE(isAudioFile("song.wav"));

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

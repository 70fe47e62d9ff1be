// shapeplay-mkstick as a person uses it, its images checked by the Debian tools (fsck.fat,
// mdir, mcopy, mattrib) as an outside reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image.h"
#include "manifest.h"
#include "process.h"
#include "tree.h"

namespace {

namespace fs = std::filesystem;

const std::string kTool = SHAPEPLAY_MKSTICK;

std::string debianTool(const std::string& name) {
  for (const char* dir : {"/usr/bin", "/usr/sbin", "/bin", "/sbin"}) {
    std::string p = std::string(dir) + "/" + name;
    if (access(p.c_str(), X_OK) == 0) return p;
  }
  ADD_FAILURE() << name << " is missing (scripts/setup installs mtools and dosfstools)";
  return "/bin/false";
}

// Copies the part of a (sparse) image from `offset` on into a file of its own, data only.
void extract(const std::string& from, std::uint64_t offset, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY);
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  const off_t end = lseek(in, 0, SEEK_END);
  ASSERT_EQ(ftruncate(out, end - static_cast<off_t>(offset)), 0);
  std::vector<char> buf(1 << 20);
  off_t pos = static_cast<off_t>(offset);
  while (pos < end) {
    const off_t data = lseek(in, pos, SEEK_DATA);
    if (data < 0) break;
    const off_t hole = lseek(in, data, SEEK_HOLE);
    for (off_t at = data; at < hole;) {
      const ssize_t n = pread(in, buf.data(), std::min<off_t>(hole - at, buf.size()), at);
      ASSERT_GT(n, 0);
      ASSERT_EQ(pwrite(out, buf.data(), n, at - static_cast<off_t>(offset)), n);
      at += n;
    }
    pos = hole;
  }
  close(in);
  close(out);
}

class Mkstick : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = proc::tempDir();
    // mtools prints long names in the locale's character set.
    setenv("LANG", "C.UTF-8", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  proc::Output mkstick(std::vector<std::string> args) const {
    args.insert(args.begin(), kTool);
    return proc::run(args);
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Checks the volume with fsck.fat: no complaint at all.
  void expectClean(const std::string& volume) const {
    const proc::Output o = proc::run({debianTool("fsck.fat"), "-n", volume});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(proc::count(o.out, "\n"), 2u) << o.out;
    EXPECT_NE(o.out.find(" files, "), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "");
  }
  std::string mdir(const std::string& image, const std::string& folder) const {
    const proc::Output o = proc::run({debianTool("mdir"), "-a", "-b", "-i", image, folder});
    EXPECT_EQ(o.status, 0) << o.err;
    return o.out;
  }
  std::string mcopy(const std::string& image, const std::string& file) const {
    const proc::Output o = proc::run({debianTool("mcopy"), "-i", image, file, "-"});
    EXPECT_EQ(o.status, 0) << file << ": " << o.err;
    return o.out;
  }
  // The attribute letters mattrib shows for an entry.
  std::string mattrib(const std::string& image, const std::string& entry) const {
    const proc::Output o = proc::run({debianTool("mattrib"), "-i", image, entry});
    EXPECT_EQ(o.status, 0) << o.err;
    std::string letters;
    for (char c : o.out.substr(0, o.out.find("::"))) {
      if (c != ' ') letters += c;
    }
    return letters;
  }

  std::string dir_;
};

std::string pictureBytes() {
  std::string s;
  for (int i = 0; i < 3000; ++i) s.push_back(static_cast<char>(i * 7 % 256));
  return s;
}

std::string manyName(int i) {
  return "Ein ziemlich langer Name Nummer " + std::to_string(i) + ".mp3";
}

// One stick with everything the tests look at: listing order, long and short names,
// non-ASCII names, attributes, content from a file, filler and text, multi-cluster files and
// folders.
std::string stickManifest() {
  std::string m =
      "# a stick as the tests see it\n"
      "dir  \"Tiere\"\n"
      "dir  \"Tiere/Hund\" hidden\n"
      "file \"Tiere/title.bmp\" src=pictures/tiere.bmp\n"
      "file \"Tiere/Hund/b.BMP\" size=5000     # b before a\n"
      "file \"Tiere/Hund/a.bmp\" size=70000\n"
      "file \"Tiere/Hund/Long file name number one.mp3\" size=10\n"
      "file \"Tiere/Hund/Long file name number two.mp3\" size=3000 system\n"
      "file \"notes.txt\" text=\"hello\\n\"\n"
      "file \"Über Äpfel.txt\" text=\"\xC3\x84\"\n"
      "file \"日本語の歌.mp3\" size=3\n"
      "file README.TXT\n"
      "file \"Musik/Kinder/Lieder/emoji 😀.txt\" text=\"e\"\n";
  for (int i = 39; i >= 0; --i) m += "file \"Viele/" + manyName(i) + "\" size=100\n";
  return m;
}

struct Config {
  int fat;
  int sector;
  bool mbr;
  const char* size;
};

class MkstickImage : public Mkstick, public ::testing::WithParamInterface<Config> {};

TEST_P(MkstickImage, DebianToolsReadWhatTheManifestSays) {
  const Config c = GetParam();
  fs::create_directory(path("pictures"));
  proc::writeFile(path("pictures/tiere.bmp"), pictureBytes());
  proc::writeFile(path("stick.txt"), stickManifest());
  std::vector<std::string> args = {"--manifest",    path("stick.txt"),
                                   "--out",         path("stick.img"),
                                   "--fat",         std::to_string(c.fat),
                                   "--sector-size", std::to_string(c.sector),
                                   "--size",        c.size,
                                   "--label",       "Kinder"};
  if (c.mbr) args.push_back("--mbr");
  const proc::Output o = mkstick(args);
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("FAT" + std::to_string(c.fat)), std::string::npos) << o.out;

  std::string image = path("stick.img");
  if (c.mbr) {
    std::string mbr(512, '\0');
    const int fd = open(image.c_str(), O_RDONLY);
    ASSERT_EQ(pread(fd, mbr.data(), mbr.size(), 0), 512);
    close(fd);
    EXPECT_EQ(mbr.substr(510), "\x55\xAA");
    const std::uint32_t start =
        static_cast<std::uint8_t>(mbr[454]) | static_cast<std::uint8_t>(mbr[455]) << 8;
    EXPECT_EQ(start, (1u << 20) / c.sector);
    extract(image, 1 << 20, path("volume.img"));
    expectClean(path("volume.img"));
    image += "@@1M";
  } else {
    expectClean(image);
  }

  EXPECT_EQ(mdir(image, "::/"),
            "::/Tiere/\n::/notes.txt\n::/Über Äpfel.txt\n::/日本語の歌.mp3\n::/README.TXT\n"
            "::/Musik/\n::/Viele/\n");
  EXPECT_EQ(mdir(image, "::/Tiere/Hund"),
            "::/Tiere/Hund/b.BMP\n::/Tiere/Hund/a.bmp\n"
            "::/Tiere/Hund/Long file name number one.mp3\n"
            "::/Tiere/Hund/Long file name number two.mp3\n");
  std::string many;
  for (int i = 39; i >= 0; --i) many += "::/Viele/" + manyName(i) + "\n";
  EXPECT_EQ(mdir(image, "::/Viele"), many);
  const proc::Output root = proc::run({debianTool("mdir"), "-a", "-i", image, "::/"});
  EXPECT_NE(root.out.find("Volume in drive : is KINDER"), std::string::npos) << root.out;
  EXPECT_NE(root.out.find("README   TXT"), std::string::npos) << root.out;
  const proc::Output lieder =
      proc::run({debianTool("mdir"), "-a", "-i", image, "::/Musik/Kinder/Lieder"});
  EXPECT_NE(lieder.out.find("EMOJI_~1 TXT"), std::string::npos) << lieder.out;

  EXPECT_EQ(mcopy(image, "::/Tiere/title.bmp"), pictureBytes());
  for (const auto& [file, size] :
       std::vector<std::pair<std::string, int>>{{"Tiere/Hund/a.bmp", 70000},
                                                {"Tiere/Hund/b.BMP", 5000},
                                                {"Tiere/Hund/Long file name number two.mp3", 3000},
                                                {"日本語の歌.mp3", 3},
                                                {"Viele/" + manyName(17), 100}}) {
    EXPECT_EQ(mcopy(image, "::/" + file), mkstick::fillerContent(file, size)) << file;
  }
  EXPECT_EQ(mcopy(image, "::/notes.txt"), "hello\n");
  EXPECT_EQ(mcopy(image, "::/Über Äpfel.txt"), "Ä");
  EXPECT_EQ(mcopy(image, "::/Musik/Kinder/Lieder/EMOJI_~1.TXT"), "e");
  EXPECT_EQ(mcopy(image, "::/README.TXT"), "");

  EXPECT_EQ(mattrib(image, "::/Tiere/Hund"), "H");
  EXPECT_EQ(mattrib(image, "::/Tiere"), "");
  EXPECT_EQ(mattrib(image, "::/Tiere/Hund/Long file name number two.mp3"), "AS");
  EXPECT_EQ(mattrib(image, "::/notes.txt"), "A");
}

INSTANTIATE_TEST_SUITE_P(
    FatTypesSectorsAndPartitions, MkstickImage,
    ::testing::Values(Config{12, 512, false, "2M"}, Config{12, 512, true, "3M"},
                      Config{12, 4096, false, "4M"}, Config{12, 4096, true, "5M"},
                      Config{16, 512, false, "8M"}, Config{16, 512, true, "9M"},
                      Config{16, 4096, false, "17M"}, Config{16, 4096, true, "18M"},
                      Config{32, 512, false, "34M"}, Config{32, 512, true, "35M"},
                      Config{32, 4096, false, "257M"}, Config{32, 4096, true, "258M"}),
    [](const auto& info) {
      return "FAT" + std::to_string(info.param.fat) + "_" + std::to_string(info.param.sector) +
             (info.param.mbr ? "_mbr" : "");
    });

TEST_F(Mkstick, FolderTreeIsCopiedInNameOrder) {
  for (const char* d : {"src/zeta", "src/Alpha", "src/beta/inner"}) fs::create_directories(path(d));
  for (const char* f : {"src/b.txt", "src/x y.mp3", "src/Ümlaut.mp3", "src/a.txt", "src/B2.txt",
                        "src/beta/inner/deep.mp3"}) {
    proc::writeFile(path(f), std::string("content of ") + f);
  }
  const proc::Output o = mkstick({"--from", path("src"), "--out", path("stick.img")});
  ASSERT_EQ(o.status, 0) << o.err;
  expectClean(path("stick.img"));
  EXPECT_EQ(mdir(path("stick.img"), "::/"),
            "::/Alpha/\n::/B2.txt\n::/a.txt\n::/b.txt\n::/beta/\n::/x y.mp3\n::/zeta/\n"
            "::/Ümlaut.mp3\n");
  EXPECT_EQ(mcopy(path("stick.img"), "::/beta/inner/deep.mp3"),
            "content of src/beta/inner/deep.mp3");
  EXPECT_EQ(mcopy(path("stick.img"), "::/Ümlaut.mp3"), "content of src/Ümlaut.mp3");
}

TEST_F(Mkstick, SameInputGivesTheSameImageByteForByte) {
  proc::writeFile(path("stick.txt"), "dir A\nfile A/x.mp3 size=9000\nfile \"b c.txt\" text=hi\n");
  auto build = [&](const std::string& out, const std::string& label) {
    const proc::Output o =
        mkstick({"--manifest", path("stick.txt"), "--out", path(out), "--label", label, "--mbr"});
    EXPECT_EQ(o.status, 0) << o.err;
    return o.out.substr(o.out.find("serial"));
  };
  const std::string serial = build("one.img", "EINS");
  EXPECT_EQ(build("two.img", "EINS"), serial);
  EXPECT_EQ(proc::readFile(path("one.img")), proc::readFile(path("two.img")));
  EXPECT_NE(build("three.img", "DREI"), serial);  // the serial follows the content

  fs::create_directories(path("src/A"));
  proc::writeFile(path("src/A/x.mp3"), "x");
  ASSERT_EQ(mkstick({"--from", path("src"), "--out", path("four.img")}).status, 0);
  ASSERT_EQ(mkstick({"--from", path("src"), "--out", path("five.img")}).status, 0);
  EXPECT_EQ(proc::readFile(path("four.img")), proc::readFile(path("five.img")));
}

TEST_F(Mkstick, UsbIdentityGoesBesideTheImage) {
  proc::writeFile(path("stick.txt"), "file a.mp3\n");
  ASSERT_EQ(mkstick({"--manifest", path("stick.txt"), "--out", path("stick.img"), "--vid", "0x0781",
                     "--pid", "21863", "--serial", "AB \"12\""})
                .status,
            0);
  EXPECT_EQ(proc::readFile(path("stick.img.usb")),
            "# USB identity of the stick image stick.img (shapeplay-mkstick)\n"
            "vid 0x0781\npid 0x5567\nserial \"AB \\\"12\\\"\"\n");
  // Built again without an identity, the old identity file goes.
  ASSERT_EQ(mkstick({"--manifest", path("stick.txt"), "--out", path("stick.img")}).status, 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"stick.img", "stick.txt"}));
  EXPECT_EQ(
      mkstick({"--manifest", path("stick.txt"), "--out", path("x.img"), "--vid", "0x10000"}).status,
      2);
}

TEST_F(Mkstick, RefusalsNameTheProblemAndLeaveNoImage) {
  std::string rootFull;
  for (int i = 0; i < 513; ++i) rootFull += "file F" + std::to_string(i) + ".TXT\n";
  const struct {
    std::string manifest;
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {"", {"--from", "NOWHERE"}, "cannot read the folder " + path("NOWHERE")},
      {"file a src=gone.bin\n", {}, "stick.txt:1: cannot read " + path("gone.bin")},
      {"file a size=3M\n", {"--size", "1M"}, "the image is too small"},
      {"file \"" + std::string(256, 'n') + "\"\n", {}, "stick.txt:1: "},
      {"file \"" + std::string(256, 'n') + "\"\n", {}, "256 UTF-16 units long"},
      {"dir x\nfile \"x/a?b\"\n",
       {},
       "stick.txt:2: \"a?b\" in \"x/a?b\": name contains the character '?'"},
      {"file A.txt\nfile a.TXT\n",
       {},
       "stick.txt:2: \"a.TXT\" is already in the root folder as \"A.txt\""},
      {rootFull, {"--fat", "16", "--size", "8M"}, "the root folder needs 513 entries"},
      {"file a\n", {"--fat", "12", "--size", "200M"}, "a FAT12 volume cannot be 200 MiB"},
      {"file a\n", {"--fat", "32", "--size", "8M"}, "a FAT32 volume cannot be 8 MiB"},
      {"file a\n", {"--size", "1000000", "--sector-size", "4096"}, "whole number of 4096-byte"},
      {"file a sparkly\n", {}, "stick.txt:1: unknown attribute \"sparkly\""},
      {"file a\n", {"--from", "."}, "give either --from DIR or --manifest FILE"},
      {"file a\n", {"--label", "much too long"}, "--label: label has more than 11"},
  };
  for (bool existing : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.message);
      proc::writeFile(path("stick.txt"), c.manifest);
      if (existing) proc::writeFile(path("stick.img"), "the old image");
      std::vector<std::string> args = {"--out", path("stick.img")};
      if (c.args.empty() || c.args[0] != "--from" || c.args[1] == ".") {
        args.insert(args.end(), {"--manifest", path("stick.txt")});
      }
      for (const auto& a : c.args) args.push_back(a == "NOWHERE" ? path("NOWHERE") : a);
      const proc::Output o = mkstick(args);
      EXPECT_NE(o.status, 0);
      EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
      EXPECT_EQ(o.out, "");
      if (existing) {
        EXPECT_EQ(files(), (std::vector<std::string>{"stick.img", "stick.txt"}));
        EXPECT_EQ(proc::readFile(path("stick.img")), "the old image");
      } else {
        EXPECT_EQ(files(), (std::vector<std::string>{"stick.txt"}));
      }
      fs::remove(path("stick.img"));
    }
  }
}

TEST_F(Mkstick, FolderRefusals) {
  fs::create_directories(path("src/a"));
  fs::create_symlink("..", path("src/a/up"));
  proc::Output o = mkstick({"--from", path("src"), "--out", path("stick.img")});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find(path("src/a/up") + " leads back into a folder above it"), std::string::npos)
      << o.err;
  fs::remove(path("src/a/up"));

  proc::writeFile(path("src/a:b"), "");
  o = mkstick({"--from", path("src"), "--out", path("stick.img")});
  EXPECT_NE(o.err.find(path("src/a:b") + ": \"a:b\": name contains the character ':'"),
            std::string::npos)
      << o.err;
  fs::remove(path("src/a:b"));

  o = mkstick({"--from", path("src"), "--out", path("src/a/stick.img")});
  EXPECT_NE(o.err.find("would be inside the folder"), std::string::npos) << o.err;
  EXPECT_EQ(files(), (std::vector<std::string>{"src"}));
}

TEST_F(Mkstick, ImageNeverReplacesItsInputs) {
  proc::writeFile(path("stick.img"), "the old image");
  proc::writeFile(path("stick.txt"), "file a src=stick.img\n");
  proc::Output o = mkstick({"--manifest", path("stick.txt"), "--out", path("stick.img")});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("would replace its own source file"), std::string::npos) << o.err;
  o = mkstick({"--manifest", path("stick.txt"), "--out", path("stick.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("would replace the manifest"), std::string::npos) << o.err;
  EXPECT_EQ(proc::readFile(path("stick.img")), "the old image");
  EXPECT_EQ(proc::readFile(path("stick.txt")), "file a src=stick.img\n");
}

// A write that fails after the temporary file exists (here: the file-size limit) removes it.
TEST_F(Mkstick, FailedWriteRemovesTheTemporaryFile) {
  mkstick::Tree tree;
  mkstick::ManifestError error;
  ASSERT_TRUE(mkstick::parseManifest("file a size=100K\n", &tree, &error));
  mkstick::ImageOptions options;
  options.imageBytes = 4 << 20;
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 1 << 20;
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limited);
  mkstick::Summary summary;
  const std::string result = mkstick::buildImage(tree, options, path("stick.img"), &summary);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_NE(result.find("stick.img"), std::string::npos) << result;
  EXPECT_TRUE(files().empty());
}

}  // namespace

#include "pictures.h"

#include <sys/stat.h>

#include <cstdlib>
#include <ostream>

#include "png_file.h"

namespace pictures {
namespace {

bool close(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

std::string hex(std::uint32_t c) {
  char s[16];
  std::snprintf(s, sizeof s, "0x%06X", c);
  return s;
}

Box clip(const Picture& p, const Box& b) {
  Box r = b;
  if (r.x < 0) {
    r.width += r.x;
    r.x = 0;
  }
  if (r.y < 0) {
    r.height += r.y;
    r.y = 0;
  }
  if (r.x + r.width > p.width) r.width = p.width - r.x;
  if (r.y + r.height > p.height) r.height = p.height - r.y;
  return r;
}

bool updating() {
  const char* v = std::getenv("SHAPEPLAY_UPDATE_REFERENCES");
  return v != nullptr && std::string(v) == "1";
}

std::string save(const std::string& path, const Picture& p) {
  return simpng::writeRgb(path, p.width, p.height, p.rgb);
}

// The folder the mismatches are written to.
std::string outputDir() {
  std::string dir = SHAPEPLAY_PICTURE_OUT;
  ::mkdir(dir.c_str(), 0755);
  return dir;
}

}  // namespace

std::uint32_t Picture::at(int x, int y) const {
  const std::uint8_t* px = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
  return (std::uint32_t{px[0]} << 16) | (std::uint32_t{px[1]} << 8) | px[2];
}

std::ostream& operator<<(std::ostream& out, const Box& b) {
  return out << "(" << b.x << ", " << b.y << ") " << b.width << " x " << b.height;
}

Picture load(const std::string& path) {
  Picture p;
  const std::string error = simpng::readRgb(path, p.width, p.height, p.rgb);
  if (!error.empty()) {
    ADD_FAILURE() << "cannot read picture " << path << ": " << error;
    return Picture();
  }
  return p;
}

::testing::AssertionResult matchesReference(const Picture& actual, const std::string& name) {
  const std::string reference = std::string(SHAPEPLAY_REFERENCE_DIR) + "/" + name + ".png";
  if (updating()) {
    const std::string error = save(reference, actual);
    if (!error.empty()) return ::testing::AssertionFailure() << reference << ": " << error;
    std::printf("reference picture written: %s\n", reference.c_str());
    return ::testing::AssertionSuccess();
  }
  const std::string actualPath = outputDir() + "/" + name + ".actual.png";
  Picture ref;
  const std::string readError = simpng::readRgb(reference, ref.width, ref.height, ref.rgb);
  if (!readError.empty()) {
    save(actualPath, actual);
    return ::testing::AssertionFailure()
           << "no reference picture " << reference << " (" << readError
           << "); the picture taken is " << actualPath
           << "; if it is right, make it the reference with scripts/update-reference-pictures";
  }
  if (ref.width != actual.width || ref.height != actual.height) {
    save(actualPath, actual);
    return ::testing::AssertionFailure()
           << "picture is " << actual.width << " x " << actual.height << ", reference " << reference
           << " is " << ref.width << " x " << ref.height << "; the picture taken is " << actualPath;
  }
  const std::size_t n = differing(ref, actual);
  if (n == 0) return ::testing::AssertionSuccess();

  Picture diff = ref;
  for (int y = 0; y < ref.height; ++y) {
    for (int x = 0; x < ref.width; ++x) {
      std::uint8_t* px = diff.rgb.data() + (static_cast<std::size_t>(y) * diff.width + x) * 3;
      if (ref.at(x, y) != actual.at(x, y)) {
        px[0] = 255;
        px[1] = 0;
        px[2] = 255;
      } else {
        const auto grey = static_cast<std::uint8_t>(160 + (px[0] + px[1] + px[2]) / 12);
        px[0] = px[1] = px[2] = grey;
      }
    }
  }
  const std::string diffPath = outputDir() + "/" + name + ".diff.png";
  save(actualPath, actual);
  save(diffPath, diff);
  return ::testing::AssertionFailure()
         << n << " pixels differ from " << reference << " within " << changed(ref, actual)
         << "; the picture taken is " << actualPath << ", the difference " << diffPath;
}

::testing::AssertionResult regionIs(const Picture& p, const Box& box, std::uint32_t colour,
                                    int tolerance) {
  const Box b = clip(p, box);
  if (b.empty()) return ::testing::AssertionFailure() << "box " << box << " is off the picture";
  for (int y = b.y; y < b.y + b.height; ++y) {
    for (int x = b.x; x < b.x + b.width; ++x) {
      if (!close(p.at(x, y), colour, tolerance)) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << hex(p.at(x, y)) << ", not " << hex(colour);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

double shareOf(const Picture& p, const Box& box, std::uint32_t colour, int tolerance) {
  const Box b = clip(p, box);
  if (b.empty()) return 0;
  std::size_t hits = 0;
  for (int y = b.y; y < b.y + b.height; ++y) {
    for (int x = b.x; x < b.x + b.width; ++x) hits += close(p.at(x, y), colour, tolerance);
  }
  return static_cast<double>(hits) / (static_cast<double>(b.width) * b.height);
}

Box changed(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) return Box{0, 0, a.width, a.height};
  int x0 = a.width, y0 = a.height, x1 = -1, y1 = -1;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (a.at(x, y) == b.at(x, y)) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return Box();
  return Box{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

std::size_t differing(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) {
    return static_cast<std::size_t>(std::max(a.width * a.height, b.width * b.height));
  }
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
    n += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
  }
  return n;
}

}  // namespace pictures

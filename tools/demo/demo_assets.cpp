// Our own demo material: title pictures (128 x 128, 24-bit BMP) with one big coloured shape,
// and short melodies (16-bit PCM WAV) that differ from folder to folder, so a listener hears
// which folder plays.
//
//   shapeplay-demo-assets picture circle|square|triangle|star RRGGBB OUT.bmp
//   shapeplay-demo-assets melody SEED SECONDS RATE CHANNELS OUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  put16(b, static_cast<std::uint16_t>(v));
  put16(b, static_cast<std::uint16_t>(v >> 16));
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

struct Rgb {
  std::uint8_t r, g, b;
};

// Whether the point (x, y) in [-1, 1]^2 (y downwards) lies inside the shape.
bool inside(const std::string& shape, double x, double y) {
  if (shape == "circle") return x * x + y * y <= 0.64;
  if (shape == "square") return std::fabs(x) <= 0.68 && std::fabs(y) <= 0.68;
  if (shape == "triangle") return y >= -0.75 && y <= 0.7 && std::fabs(x) <= (y + 0.75) * 0.55;
  // A five-pointed star: a polygon of ten corners, outer radius 0.85, inner 0.35.
  const double pi = 3.14159265358979;
  double px[10], py[10];
  for (int i = 0; i < 10; ++i) {
    const double r = (i % 2 == 0) ? 0.85 : 0.35;
    const double a = pi * i / 5;
    px[i] = r * std::sin(a);
    py[i] = -r * std::cos(a) + 0.06;
  }
  bool in = false;
  for (int i = 0, j = 9; i < 10; j = i++) {
    if ((py[i] > y) != (py[j] > y) && x < (px[j] - px[i]) * (y - py[i]) / (py[j] - py[i]) + px[i]) {
      in = !in;
    }
  }
  return in;
}

int picture(const std::string& shape, const std::string& hex, const std::string& out) {
  if (shape != "circle" && shape != "square" && shape != "triangle" && shape != "star") {
    std::fprintf(stderr, "demo-assets: unknown shape '%s'\n", shape.c_str());
    return 2;
  }
  const unsigned long c = std::strtoul(hex.c_str(), nullptr, 16);
  const Rgb fg{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
               static_cast<std::uint8_t>(c)};
  const Rgb bg{250, 246, 232};
  const int size = 128;
  std::vector<std::uint8_t> b;
  const std::uint32_t pixels = size * size * 3;
  b.push_back('B');
  b.push_back('M');
  put32(b, 54 + pixels);
  put32(b, 0);
  put32(b, 54);
  put32(b, 40);
  put32(b, size);
  put32(b, size);
  put16(b, 1);
  put16(b, 24);
  put32(b, 0);
  put32(b, pixels);
  put32(b, 2835);
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  // Rows from the bottom up, blue-green-red; four samples a pixel smooth the edges. The
  // player shows a title picture turned a quarter turn counter-clockwise, so the file holds
  // the shape turned a quarter turn clockwise: its pixel (col, row) is the upright shape's
  // pixel (row, size - 1 - col), and the child sees the shape upright.
  for (int row = size - 1; row >= 0; --row) {
    for (int col = 0; col < size; ++col) {
      const int shapeCol = row;
      const int shapeRow = size - 1 - col;  // row 0 is the top
      int hits = 0;
      for (int s = 0; s < 4; ++s) {
        const double x = (shapeCol + 0.25 + 0.5 * (s & 1)) / size * 2 - 1;
        const double y = (shapeRow + 0.25 + 0.5 * (s >> 1)) / size * 2 - 1;
        hits += inside(shape, x, y) ? 1 : 0;
      }
      const bool border = row < 4 || row >= size - 4 || col < 4 || col >= size - 4;
      const Rgb p = border ? fg : bg;
      auto mix = [&](std::uint8_t f, std::uint8_t k) {
        return static_cast<std::uint8_t>((f * hits + k * (4 - hits)) / 4);
      };
      b.push_back(border ? p.b : mix(fg.b, bg.b));
      b.push_back(border ? p.g : mix(fg.g, bg.g));
      b.push_back(border ? p.r : mix(fg.r, bg.r));
    }
  }
  return save(out, b) ? 0 : 1;
}

int melody(unsigned seed, double seconds, unsigned rate, unsigned channels,
           const std::string& out) {
  if (rate < 8000 || rate > 96000 || channels < 1 || channels > 2 || seconds <= 0 || seconds > 60) {
    std::fprintf(stderr, "demo-assets: bad melody parameters\n");
    return 2;
  }
  // A pentatonic tune: the seed picks the steps, so every folder has its own.
  static const double scale[] = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25, 587.33, 659.25};
  const double note = 0.25;
  const std::uint32_t frames = static_cast<std::uint32_t>(seconds * rate);
  std::vector<std::uint8_t> b;
  const std::uint32_t dataBytes = frames * channels * 2;
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  put32(b, 36 + dataBytes);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(b, 16);
  put16(b, 1);
  put16(b, static_cast<std::uint16_t>(channels));
  put32(b, rate);
  put32(b, rate * channels * 2);
  put16(b, static_cast<std::uint16_t>(channels * 2));
  put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  put32(b, dataBytes);
  std::uint32_t x = seed * 2654435761U + 12345;
  int step = 0;
  double freq = scale[0];
  const double pi = 3.14159265358979;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const int n = static_cast<int>(t / note);
    if (n != step || i == 0) {
      step = n;
      x = x * 1664525U + 1013904223U;
      freq = scale[(x >> 24) % 8];
    }
    const double local = t - n * note;
    const double envelope = std::exp(-6.0 * local) * std::min(1.0, local * 200);
    const double v =
        envelope * (0.6 * std::sin(2 * pi * freq * t) + 0.2 * std::sin(4 * pi * freq * t));
    const double fade = std::min(1.0, (seconds - t) * 8);
    const auto sample = static_cast<std::int16_t>(v * fade * 12000);
    for (unsigned c = 0; c < channels; ++c) put16(b, static_cast<std::uint16_t>(sample));
  }
  return save(out, b) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "picture") return picture(a[1], a[2], a[3]);
  if (a.size() == 6 && a[0] == "melody") {
    return melody(static_cast<unsigned>(std::strtoul(a[1].c_str(), nullptr, 10)),
                  std::strtod(a[2].c_str(), nullptr),
                  static_cast<unsigned>(std::strtoul(a[3].c_str(), nullptr, 10)),
                  static_cast<unsigned>(std::strtoul(a[4].c_str(), nullptr, 10)), a[5]);
  }
  std::fprintf(stderr,
               "usage: shapeplay-demo-assets picture circle|square|triangle|star RRGGBB OUT.bmp\n"
               "       shapeplay-demo-assets melody SEED SECONDS RATE CHANNELS OUT.wav\n");
  return 2;
}

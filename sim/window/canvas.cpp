// The window's picture in memory (canvas.h). Shapes are drawn by coverage: each pixel's
// distance from the shape's edge gives how much of the colour it takes, so that round things
// look round at any size. Text comes from FreeType's anti-aliased glyphs.
#include "canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>

namespace simwin {
namespace {

int channel(Colour c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

}  // namespace

Colour mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  Colour out = 0;
  for (int shift : {16, 8, 0}) {
    const double v = channel(a, shift) + (channel(b, shift) - channel(a, shift)) * t;
    out |= static_cast<Colour>(std::lround(v)) << shift;
  }
  return out;
}

Canvas::Canvas(int width, int height)
    : w_(width), h_(height), px_(static_cast<std::size_t>(width) * height, 0) {}

void Canvas::clear(Colour c) { std::fill(px_.begin(), px_.end(), c); }

void Canvas::blend(int x, int y, Colour c, double a) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
  std::uint32_t& p = px_[static_cast<std::size_t>(y) * w_ + x];
  p = a >= 1 ? c : mix(p, c, a);
}

void Canvas::fillRect(const Rect& r, Colour c) {
  const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  const int x1 = std::min(r.right(), w_), y1 = std::min(r.bottom(), h_);
  for (int y = y0; y < y1; ++y) {
    std::fill(px_.begin() + static_cast<std::ptrdiff_t>(y) * w_ + x0,
              px_.begin() + static_cast<std::ptrdiff_t>(y) * w_ + x1, c);
  }
}

template <class Distance>
void Canvas::fillByDistance(int x0, int y0, int x1, int y1, Colour c, double alpha, Distance d) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, w_);
  y1 = std::min(y1, h_);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const double dist = d(x + 0.5, y + 0.5);
      const double cover = std::clamp(0.5 - dist, 0.0, 1.0);
      if (cover > 0) blend(x, y, c, cover * alpha);
    }
  }
}

void Canvas::fillRoundRect(const Rect& r, double radius, Colour c, double alpha) {
  radius = std::min({radius, r.w / 2.0, r.h / 2.0});
  const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0;
  const double hx = r.w / 2.0 - radius, hy = r.h / 2.0 - radius;
  fillByDistance(r.x - 1, r.y - 1, r.right() + 1, r.bottom() + 1, c, alpha,
                 [=](double x, double y) {
                   const double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
                   const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
                   return outside + std::min(std::max(qx, qy), 0.0) - radius;
                 });
}

void Canvas::fillCircle(double cx, double cy, double radius, Colour c, double alpha) {
  fillByDistance(static_cast<int>(cx - radius) - 1, static_cast<int>(cy - radius) - 1,
                 static_cast<int>(cx + radius) + 2, static_cast<int>(cy + radius) + 2, c, alpha,
                 [=](double x, double y) { return std::hypot(x - cx, y - cy) - radius; });
}

void Canvas::fillRing(double cx, double cy, double inner, double outer, Colour c, double alpha) {
  const double mid = (inner + outer) / 2, half = (outer - inner) / 2;
  fillByDistance(
      static_cast<int>(cx - outer) - 1, static_cast<int>(cy - outer) - 1,
      static_cast<int>(cx + outer) + 2, static_cast<int>(cy + outer) + 2, c, alpha,
      [=](double x, double y) { return std::abs(std::hypot(x - cx, y - cy) - mid) - half; });
}

void Canvas::line(double x0, double y0, double x1, double y1, double width, Colour c) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double len2 = dx * dx + dy * dy;
  const double r = width / 2;
  fillByDistance(
      static_cast<int>(std::min(x0, x1) - r) - 1, static_cast<int>(std::min(y0, y1) - r) - 1,
      static_cast<int>(std::max(x0, x1) + r) + 2, static_cast<int>(std::max(y0, y1) + r) + 2, c,
      1.0, [=](double x, double y) {
        const double t =
            len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0) : 0.0;
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - r;
      });
}

void Canvas::shadeRoundRect(const Rect& r, double radius, Colour top, Colour bottom) {
  // Row by row: each a one-pixel band of the rounded rectangle in its shade.
  for (int y = r.y; y < r.bottom(); ++y) {
    const Colour c = mix(top, bottom, r.h > 1 ? static_cast<double>(y - r.y) / (r.h - 1) : 0.0);
    const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0;
    const double rad = std::min({radius, r.w / 2.0, r.h / 2.0});
    const double hx = r.w / 2.0 - rad, hy = r.h / 2.0 - rad;
    fillByDistance(r.x - 1, y, r.right() + 1, y + 1, c, 1.0, [=](double x, double py) {
      const double qx = std::abs(x - cx) - hx, qy = std::abs(py - cy) - hy;
      const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
      return outside + std::min(std::max(qx, qy), 0.0) - rad;
    });
  }
}

void Canvas::panel(int x, int y, const std::uint8_t* rgb, int width, int height, int scale,
                   int duty) {
  duty = std::clamp(duty, 0, 1000);
  const auto dim = [duty](unsigned v) {
    return duty >= 1000 ? v : (v * static_cast<unsigned>(duty) + 500) / 1000;
  };
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      const std::uint8_t* s = rgb + (static_cast<std::size_t>(py) * width + px) * 3;
      const Colour c = dim(s[0]) << 16 | dim(s[1]) << 8 | dim(s[2]);
      for (int dy = 0; dy < scale; ++dy) {
        const int ty = y + py * scale + dy;
        if (ty < 0 || ty >= h_) continue;
        for (int dx = 0; dx < scale; ++dx) {
          const int tx = x + px * scale + dx;
          if (tx >= 0 && tx < w_) px_[static_cast<std::size_t>(ty) * w_ + tx] = c;
        }
      }
    }
  }
}

int Canvas::text(const Font* font, const std::string& utf8, int x, int baseline, Colour c,
                 int align) {
  if (font == nullptr) return 0;
  const int width = font->width(utf8);
  int pen = align < 0 ? x : (align == 0 ? x - width / 2 : x - width);
  for (char32_t ch : decodeUtf8(utf8)) {
    const Font::Glyph& g = font->glyph(ch);
    for (int row = 0; row < g.rows; ++row) {
      for (int col = 0; col < g.width; ++col) {
        const std::uint8_t a = g.coverage[static_cast<std::size_t>(row) * g.width + col];
        if (a != 0) blend(pen + g.left + col, baseline - g.top + row, c, a / 255.0);
      }
    }
    pen += g.advance;
  }
  return width;
}

// ---- fonts

struct Font::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  mutable std::map<char32_t, Glyph> glyphs;
  ~Impl() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

std::unique_ptr<Font> Font::load(const std::string& path, int pixelSize) {
  std::unique_ptr<Font> f(new Font);
  f->impl_ = std::make_unique<Impl>();
  if (FT_Init_FreeType(&f->impl_->library) != 0) return nullptr;
  if (FT_New_Face(f->impl_->library, path.c_str(), 0, &f->impl_->face) != 0) return nullptr;
  if (FT_Set_Pixel_Sizes(f->impl_->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return nullptr;
  const FT_Size_Metrics& m = f->impl_->face->size->metrics;
  f->ascent_ = static_cast<int>(m.ascender >> 6);
  f->lineHeight_ = static_cast<int>(m.height >> 6);
  return f;
}

Font::~Font() = default;

const Font::Glyph& Font::glyph(char32_t c) const {
  auto it = impl_->glyphs.find(c);
  if (it != impl_->glyphs.end()) return it->second;
  Glyph g;
  FT_Face face = impl_->face;
  if (FT_Load_Char(face, c, FT_LOAD_RENDER) == 0) {
    const FT_Bitmap& b = face->glyph->bitmap;
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.width = static_cast<int>(b.width);
    g.rows = static_cast<int>(b.rows);
    g.advance = static_cast<int>(face->glyph->advance.x >> 6);
    g.coverage.resize(static_cast<std::size_t>(g.width) * g.rows);
    for (int row = 0; row < g.rows; ++row) {
      for (int col = 0; col < g.width; ++col) {
        g.coverage[static_cast<std::size_t>(row) * g.width + col] = b.buffer[row * b.pitch + col];
      }
    }
  }
  return impl_->glyphs.emplace(c, std::move(g)).first->second;
}

int Font::width(const std::string& utf8) const {
  int w = 0;
  for (char32_t c : decodeUtf8(utf8)) w += glyph(c).advance;
  return w;
}

std::string Font::fit(const std::string& utf8, int maxWidth) const {
  if (width(utf8) <= maxWidth) return utf8;
  std::u32string s = decodeUtf8(utf8);
  const std::string dots = "...";
  std::string out;
  // Code point by code point until the next would not leave room for the dots.
  int w = width(dots);
  std::u32string kept;
  for (char32_t c : s) {
    const int a = glyph(c).advance;
    if (w + a > maxWidth) break;
    w += a;
    kept += c;
  }
  for (char32_t c : kept) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out + dots;
}

std::vector<std::string> Font::wrap(const std::string& utf8, int maxWidth) const {
  std::vector<std::string> lines;
  std::string line;
  std::size_t pos = 0;
  while (pos <= utf8.size()) {
    std::size_t end = utf8.find(' ', pos);
    if (end == std::string::npos) end = utf8.size();
    const std::string word = utf8.substr(pos, end - pos);
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && width(candidate) > maxWidth) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    pos = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  for (std::string& l : lines) l = fit(l, maxWidth);
  return lines;
}

std::u32string decodeUtf8(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
      out += U'\uFFFD';
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto n = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((n & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (n & 0x3F);
    }
    out += ok ? c : U'\uFFFD';
    i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  return out;
}

}  // namespace simwin

// The texture mapper: a bitmap turned about an origin in the screen's plane, each screen
// pixel taking the bitmap pixel under its centre. Whole quarter turns use exact sines and
// cosines, so they move pixels exactly.
#include "touchgfx/widgets/TextureMapper.hpp"

#include <cmath>

#include "gfx_internal.h"

namespace touchgfx {

namespace {

constexpr double kQuarter = 1.57079632679489661923;
// Angles this close to a whole number of quarter turns are taken as exactly that (the
// screens give -pi/2 as a float).
constexpr double kSnap = 1e-4;

}  // namespace

TextureMapper::TextureMapper(const Bitmap& bmp)
    : Widget(),
      bitmap(),
      xAngle(0.0f),
      yAngle(0.0f),
      zAngle(0.0f),
      scale(1.0f),
      xOrigo(0.0f),
      yOrigo(0.0f),
      zOrigo(1000.0f),
      xCamera(0.0f),
      yCamera(0.0f),
      cameraDistance(1000.0f),
      xBitmapPosition(0.0f),
      yBitmapPosition(0.0f),
      renderingAlgorithm(NEAREST_NEIGHBOR),
      alpha(255),
      mapCos(1.0),
      mapSin(0.0),
      mapOrigoX(0.0),
      mapOrigoY(0.0) {
  setBitmap(bmp);
}

void TextureMapper::setBitmap(const Bitmap& bmp) {
  bitmap = bmp;
  setWidthHeight(static_cast<int16_t>(bitmap.getWidth()), static_cast<int16_t>(bitmap.getHeight()));
  applyTransformation();
}

void TextureMapper::updateAngles(float newXAngle, float newYAngle, float newZAngle) {
  invalidate();
  xAngle = newXAngle;
  yAngle = newYAngle;
  zAngle = newZAngle;
  applyTransformation();
  invalidate();
}

void TextureMapper::updateScale(float newScale) {
  invalidate();
  scale = newScale;
  applyTransformation();
  invalidate();
}

void TextureMapper::applyTransformation() {
  double c = std::cos(static_cast<double>(zAngle));
  double s = std::sin(static_cast<double>(zAngle));
  const double quarters = static_cast<double>(zAngle) / kQuarter;
  const double whole = std::nearbyint(quarters);
  if (std::fabs(quarters - whole) * kQuarter < kSnap && std::fabs(whole) < 1e6) {
    static const double cosines[4] = {1.0, 0.0, -1.0, 0.0};
    static const double sines[4] = {0.0, 1.0, 0.0, -1.0};
    const int k = static_cast<int>(std::fmod(std::fmod(whole, 4.0) + 4.0, 4.0));
    c = cosines[k];
    s = sines[k];
  }
  const double sc = (std::isfinite(scale) && scale > 0.0f) ? static_cast<double>(scale) : 1.0;
  mapCos = c / sc;
  mapSin = s / sc;
  mapOrigoX = std::isfinite(xOrigo) ? xOrigo : 0.0;
  mapOrigoY = std::isfinite(yOrigo) ? yOrigo : 0.0;
}

// A bitmap point p (widget coordinates) shows at O + R(p - O) * scale, R the turn by the z
// angle; a screen pixel's centre q therefore shows the bitmap point O + R^-1(q - O) / scale.
void TextureMapper::draw(const Rect& invalidatedArea) const {
  const std::uint8_t* data = bitmap.getData();
  const Bitmap::BitmapFormat format = bitmap.getFormat();
  const int bw = bitmap.getWidth();
  const int bh = bitmap.getHeight();
  if (data == nullptr || alpha == 0 || bw == 0 || bh == 0) return;
  if (format != Bitmap::RGB565 && format != Bitmap::RGB888 && format != Bitmap::ARGB8888) return;
  const Rect abs = getAbsoluteRect();
  Rect area = invalidatedArea & Rect(0, 0, getWidth(), getHeight());
  area.x = static_cast<int16_t>(area.x + abs.x);
  area.y = static_cast<int16_t>(area.y + abs.y);
  area = area & internal::screenRect();
  if (area.isEmpty()) return;

  const double bx = std::isfinite(xBitmapPosition) ? xBitmapPosition : 0.0;
  const double by = std::isfinite(yBitmapPosition) ? yBitmapPosition : 0.0;
  std::uint8_t* canvas = internal::canvas();
  for (int y = area.y; y < area.bottom(); ++y) {
    // Widget coordinates of the centre of the row's first pixel, relative to the origin.
    const double qx = (area.x - abs.x) + 0.5 - mapOrigoX;
    const double qy = (y - abs.y) + 0.5 - mapOrigoY;
    // R^-1 (qx, qy): the turn back by the z angle.
    double u = mapOrigoX + mapCos * qx + mapSin * qy - bx;
    double v = mapOrigoY - mapSin * qx + mapCos * qy - by;
    std::uint8_t* out = canvas + y * internal::kStride + area.x * internal::kBpp;
    for (int x = area.x; x < area.right(); ++x, out += internal::kBpp, u += mapCos, v -= mapSin) {
      const double fu = std::floor(u);
      const double fv = std::floor(v);
      if (fu < 0.0 || fv < 0.0 || fu >= bw || fv >= bh) continue;
      std::uint8_t r, g, b, a;
      internal::readPixel(data, format, bw, static_cast<int>(fu), static_cast<int>(fv), r, g, b, a);
      internal::putPixel(out, r, g, b, internal::mulAlpha(a, alpha));
    }
  }
  internal::canvasDrawn(area);
}

}  // namespace touchgfx

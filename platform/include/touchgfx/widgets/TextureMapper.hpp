/* Graphics framework: a bitmap drawn turned about an origin. The widget keeps the angles
 * about the x, y and z axes, a scale and a camera; applyTransformation() (and every change
 * of the angles) computes the mapping that draw() uses.
 *
 * What is drawn: the turn about the z axis (in the screen's plane; a positive angle turns
 * clockwise as seen on the screen, whose y axis points down) and the scale, about the origin
 * (x, y), with the camera looking straight at the picture. The x and y angles and the
 * perspective are kept but not drawn. Every pixel takes the colour of the bitmap pixel that
 * falls on its centre (no interpolation); a turn by a whole number of quarter turns is
 * computed exactly, so it moves every pixel exactly where the turn puts it. */
#ifndef TOUCHGFX_WIDGETS_TEXTUREMAPPER_HPP
#define TOUCHGFX_WIDGETS_TEXTUREMAPPER_HPP

#include "touchgfx/Bitmap.hpp"
#include "touchgfx/widgets/Widget.hpp"

namespace touchgfx {

class TextureMapper : public Widget {
 public:
  enum RenderingAlgorithm { NEAREST_NEIGHBOR, BILINEAR_INTERPOLATION };

  explicit TextureMapper(const Bitmap& bmp = Bitmap());

  /* Sets the bitmap and sizes the widget to it. */
  virtual void setBitmap(const Bitmap& bmp);
  Bitmap getBitmap() const { return bitmap; }

  virtual void updateAngles(float newXAngle, float newYAngle, float newZAngle);
  void updateXAngle(float a) { updateAngles(a, yAngle, zAngle); }
  void updateYAngle(float a) { updateAngles(xAngle, a, zAngle); }
  void updateZAngle(float a) { updateAngles(xAngle, yAngle, a); }
  float getXAngle() const { return xAngle; }
  float getYAngle() const { return yAngle; }
  float getZAngle() const { return zAngle; }

  virtual void setScale(float newScale) { scale = newScale; }
  virtual void updateScale(float newScale);
  float getScale() const { return scale; }

  /* The point the bitmap turns about, relative to the widget. */
  virtual void setOrigo(float x, float y, float z) {
    xOrigo = x;
    yOrigo = y;
    zOrigo = z;
  }
  virtual void setOrigo(float x, float y) {
    xOrigo = x;
    yOrigo = y;
  }
  float getOrigoX() const { return xOrigo; }
  float getOrigoY() const { return yOrigo; }
  float getOrigoZ() const { return zOrigo; }
  virtual void setCamera(float x, float y) {
    xCamera = x;
    yCamera = y;
  }
  float getCameraX() const { return xCamera; }
  float getCameraY() const { return yCamera; }
  virtual void setCameraDistance(float d) { cameraDistance = d; }
  float getCameraDistance() const { return cameraDistance; }
  /* Where the unturned bitmap's corner lies in the widget. */
  virtual void setBitmapPosition(float x, float y) {
    xBitmapPosition = x;
    yBitmapPosition = y;
  }
  float getBitmapPositionX() const { return xBitmapPosition; }
  float getBitmapPositionY() const { return yBitmapPosition; }

  void setRenderingAlgorithm(RenderingAlgorithm algorithm) { renderingAlgorithm = algorithm; }
  RenderingAlgorithm getRenderingAlgorithm() const { return renderingAlgorithm; }
  void setAlpha(uint8_t a) { alpha = a; }
  uint8_t getAlpha() const { return alpha; }

  /* Computes the mapping from the current angles, scale and origin. */
  virtual void applyTransformation();

  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override { return Rect(); }

 protected:
  Bitmap bitmap;
  float xAngle, yAngle, zAngle;
  float scale;
  float xOrigo, yOrigo, zOrigo;
  float xCamera, yCamera, cameraDistance;
  float xBitmapPosition, yBitmapPosition;
  RenderingAlgorithm renderingAlgorithm;
  uint8_t alpha;

 private:
  // The mapping draw() uses, from a screen pixel back to the bitmap: cos and sin of the
  // turn divided by the scale, and the origin, all fixed by applyTransformation().
  double mapCos, mapSin;
  double mapOrigoX, mapOrigoY;
};

}  // namespace touchgfx

#endif

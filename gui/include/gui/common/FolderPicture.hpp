// Showing a root folder's title picture in a picture widget (the main screen's and the
// overview's): the picture is decoded into a dynamic bitmap of its own size, placed in the
// middle of the widget's 128 x 128 frame and shown turned a quarter turn about the frame's
// centre (64, 64), counter-clockwise as the child sees it.
#pragma once

#include <cstdint>

#include "touchgfx/Bitmap.hpp"
#include "touchgfx/widgets/AnimationTextureMapper.hpp"

namespace folderpicture {

// The side of the square frame a picture is shown in.
const int16_t FRAME = 128;

// Makes a 24-bit dynamic bitmap of the picture of `size` bytes at `data`, stores its id in
// `bmpId` (which must hold no live bitmap), fills it and shows it in `widget`, saying so on the
// console: "allocation success\r", "image file read: %i, %i, %i\r\n" (id, width, height),
// "image assigned\r". When the bitmap cache has no room ("allocation failed\r") or the loader
// refuses the picture (BMPFileLoader says why), the widget is hidden, no bitmap is kept and
// the result is false.
bool show(touchgfx::AnimationTextureMapper& widget, touchgfx::BitmapId& bmpId, const uint8_t* data,
          uint32_t size);

// Hides the widget's picture, at once.
void hide(touchgfx::AnimationTextureMapper& widget);

}  // namespace folderpicture

/* Graphics framework: a texture mapper that can also be animated. The screens only use its
 * texture-mapper side: the bitmap, the origin and the angles set directly. */
#ifndef TOUCHGFX_WIDGETS_ANIMATIONTEXTUREMAPPER_HPP
#define TOUCHGFX_WIDGETS_ANIMATIONTEXTUREMAPPER_HPP

#include "touchgfx/widgets/TextureMapper.hpp"

namespace touchgfx {

class AnimationTextureMapper : public TextureMapper {
 public:
  AnimationTextureMapper() : TextureMapper() {}
  /* No animation is ever started here. */
  bool isTextureMapperAnimationRunning() const { return false; }
};

}  // namespace touchgfx

#endif

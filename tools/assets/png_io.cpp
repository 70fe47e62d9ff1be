// PNG decoding and encoding through libpng's simplified interface, which reports every
// failure (a damaged stream included) as a message instead of aborting.
#include "png_io.h"

#include <png.h>

#include <cstring>

namespace assets {

std::string decodePng(const std::uint8_t* data, std::size_t size, Rgba* out) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0) {
    return "not a PNG file";
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    return std::string("damaged PNG file (") + image.message + ")";
  }
  if (image.width == 0 || image.height == 0 || image.width > MAX_PICTURE_SIDE ||
      image.height > MAX_PICTURE_SIDE) {
    std::string why = "unsupported size " + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " (1 to " + std::to_string(MAX_PICTURE_SIDE) +
                      " pixels a side)";
    png_image_free(&image);
    return why;
  }
  // 8 bits a channel, straight alpha, no gamma change for 8-bit input.
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    std::string why = std::string("damaged PNG file (") + image.message + ")";
    png_image_free(&image);
    return why;
  }
  out->width = image.width;
  out->height = image.height;
  out->pixels = std::move(pixels);
  return "";
}

std::string encodePngRgb(std::uint32_t width, std::uint32_t height,
                         const std::vector<std::uint8_t>& rgb, std::vector<std::uint8_t>* out) {
  if (width == 0 || height == 0 || width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE ||
      rgb.size() != static_cast<std::size_t>(width) * height * 3) {
    return "cannot encode a picture of " + std::to_string(width) + " x " + std::to_string(height);
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
    return std::string("cannot encode PNG (") + image.message + ")";
  }
  out->resize(size);
  if (!png_image_write_to_memory(&image, out->data(), &size, 0, rgb.data(), 0, nullptr)) {
    return std::string("cannot encode PNG (") + image.message + ")";
  }
  out->resize(size);
  return "";
}

}  // namespace assets

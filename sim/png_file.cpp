#include "png_file.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace simpng {
namespace {

constexpr int kMaxSide = 8192;

std::string writeWhole(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return w < 0 ? std::strerror(errno) : "nothing written";
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return {};
}

}  // namespace

std::string writeRgb(const std::string& path, int width, int height,
                     const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
    return "bad picture size";
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, rgb.data(), 0, nullptr)) {
    const std::string why = image.message;
    png_image_free(&image);
    return "cannot encode PNG: " + why;
  }
  std::vector<std::uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), 0, nullptr)) {
    const std::string why = image.message;
    png_image_free(&image);
    return "cannot encode PNG: " + why;
  }
  png_image_free(&image);

  const std::string temporary = path + ".part";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return std::strerror(errno);
  std::string error = writeWhole(fd, bytes.data(), size);
  if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
  if (error.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
  }
  if (!error.empty()) ::unlink(temporary.c_str());
  return error;
}

std::string readRgb(const std::string& path, int& width, int& height,
                    std::vector<std::uint8_t>& rgb) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    std::string why = image.message;
    png_image_free(&image);
    return why;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
    png_image_free(&image);
    return "picture size out of range";
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    std::string why = image.message;
    png_image_free(&image);
    return why;
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  rgb = std::move(pixels);
  return {};
}

}  // namespace simpng

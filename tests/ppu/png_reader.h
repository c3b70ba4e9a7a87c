// Reads an 8-bit RGB PNG back into memory, for checking screenshots.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/types.h"

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<u8> rgb;  // rows top to bottom, 3 bytes per pixel

  u32 at(int x, int y) const {
    const u8* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    return (u32{p[0]} << 16) | (u32{p[1]} << 8) | p[2];
  }
};

// False when the file is missing or is not an 8-bit RGB PNG.
inline bool read_png(const std::string& path, Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    return false;
  }
  if (image.format != PNG_FORMAT_RGB) {
    png_image_free(&image);
    return false;
  }
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
  const bool ok = png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

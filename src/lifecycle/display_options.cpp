#include "lifecycle/display_options.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "lifecycle/file_write.h"
#include "lifecycle/user_folders.h"
#include "ppu/ppu.h"

namespace {

// The NES draws 256 pixels in the time a square-pixel display would draw
// about 292.57: each pixel is 8:7 as wide as it is high.
constexpr int pixel_aspect_width = 8;
constexpr int pixel_aspect_height = 7;
// The options file is a few short lines; anything much longer is not it.
constexpr std::size_t options_file_limit = 4096;

bool parse_flag(const std::string& value, bool& out) {
  if (value != "0" && value != "1")
    return false;
  out = value == "1";
  return true;
}

bool parse_scale(const std::string& value, int& out) {
  if (value.size() != 1 || value[0] < '0' || value[0] > '0' + largest_scale)
    return false;
  out = value[0] - '0';
  return true;
}

void parse_line(std::string line, DisplayOptions& options) {
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos)
    return;
  const std::string name = line.substr(0, equals);
  const std::string value = line.substr(equals + 1);
  if (name == "keep_aspect")
    parse_flag(value, options.keep_aspect);
  else if (name == "sharp_pixels")
    parse_flag(value, options.sharp_pixels);
  else if (name == "scale")
    parse_scale(value, options.scale);
}

// Rounds a non-negative quotient to the nearest whole number.
int divide_rounded(long long numerator, long long denominator) {
  return static_cast<int>((2 * numerator + denominator) / (2 * denominator));
}

// The picture's width in square pixels for a given height, in its own shape.
int aspect_width_for(int height) {
  return divide_rounded(static_cast<long long>(height) * screen_width * pixel_aspect_width,
                        static_cast<long long>(screen_height) * pixel_aspect_height);
}

int aspect_height_for(int width) {
  return divide_rounded(static_cast<long long>(width) * screen_height * pixel_aspect_height,
                        static_cast<long long>(screen_width) * pixel_aspect_width);
}

}  // namespace

DisplayOptions parse_display_options(const std::string& text) {
  DisplayOptions options;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
    parse_line(line, options);
  return options;
}

std::string format_display_options(const DisplayOptions& options) {
  return "keep_aspect=" + std::to_string(options.keep_aspect ? 1 : 0) + "\n" +
         "sharp_pixels=" + std::to_string(options.sharp_pixels ? 1 : 0) + "\n" +
         "scale=" + std::to_string(options.scale) + "\n";
}

std::string options_path() {
  return settings_directory() + "/" + options_file_name;
}

DisplayOptions read_display_options(const std::string& path) {
  std::vector<u8> bytes;
  if (!read_file_prefix(path, options_file_limit, bytes))
    return DisplayOptions();
  return parse_display_options(std::string(bytes.begin(), bytes.end()));
}

bool write_display_options(const std::string& path, const DisplayOptions& options) {
  if (!make_directories(directory_of(path)))
    return false;
  const std::string text = format_display_options(options);
  return write_file_atomically(path, reinterpret_cast<const u8*>(text.data()), text.size());
}

PictureRect picture_rect(int area_width, int area_height, bool keep_aspect) {
  PictureRect rect{0, 0, area_width, area_height};
  if (!keep_aspect || area_width <= 0 || area_height <= 0)
    return rect;
  // The area is wider than the picture's shape: bars left and right;
  // otherwise bars above and below.
  const int width_at_full_height = aspect_width_for(area_height);
  if (width_at_full_height <= area_width) {
    rect.width = width_at_full_height;
  } else {
    rect.height = std::min(area_height, aspect_height_for(area_width));
  }
  rect.x = (area_width - rect.width) / 2;
  rect.y = (area_height - rect.height) / 2;
  return rect;
}

AreaSize preset_area(int scale, bool keep_aspect, AreaSize largest, AreaSize smallest) {
  AreaSize area = default_area;
  if (scale > 0) {
    area.height = scale * screen_height;
    area.width = keep_aspect ? aspect_width_for(area.height) : scale * screen_width;
  }
  // Too large for the screen: the same shape, as large as fits.
  if ((area.width > largest.width || area.height > largest.height) && largest.width > 0 &&
      largest.height > 0) {
    const long long by_width = static_cast<long long>(largest.width) * area.height;
    const long long by_height = static_cast<long long>(largest.height) * area.width;
    if (by_width <= by_height) {
      area.height = divide_rounded(by_width, area.width);
      area.width = largest.width;
    } else {
      area.width = divide_rounded(by_height, area.height);
      area.height = largest.height;
    }
  }
  area.width = std::max(area.width, smallest.width);
  area.height = std::max(area.height, smallest.height);
  return area;
}

// The choices of the View menu and the picture geometry that follows from
// them, free of any window system: where in the picture area the 256 x 240
// picture goes, and how large a window each size preset asks for. The
// choices are kept between runs in a small text file beside the recent list.
#pragma once

#include <string>

constexpr const char* options_file_name = "options.txt";
constexpr int largest_scale = 4;

struct DisplayOptions {
  // Show the NES's pixels in their own shape (8:7 wide) with black bars,
  // instead of stretching the picture over the whole area.
  bool keep_aspect = false;
  // Nearest-neighbour filtering instead of linear.
  bool sharp_pixels = false;
  // The last size preset chosen: 1-4 times the picture, or 0 for the
  // 512 x 512 picture area a new window has.
  int scale = 0;
};

// Lines "name=value": keep_aspect=0|1, sharp_pixels=0|1, scale=0-4. A line
// that is not one of these (unknown name, damaged value) is ignored on its
// own; whatever is not given keeps its default.
DisplayOptions parse_display_options(const std::string& text);
std::string format_display_options(const DisplayOptions& options);

// The options file, beside the recent-list file in the settings directory.
std::string options_path();
// A missing or unreadable file gives the defaults.
DisplayOptions read_display_options(const std::string& path);
// Returns false (any old file left as it was) when the file cannot be written.
bool write_display_options(const std::string& path, const DisplayOptions& options);

// A rectangle in the picture area's pixels, origin at the top-left.
struct PictureRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Where the picture goes in an area of the given size: the whole area, or
// with keep_aspect the largest rectangle of the NES's shape that fits,
// centred (256 pixels of 8:7 are as wide as 292.57 square ones, by 240).
PictureRect picture_rect(int area_width, int area_height, bool keep_aspect);

struct AreaSize {
  int width = 0;
  int height = 0;
};
// The picture area of a new window, which scale 0 stands for.
constexpr AreaSize default_area{512, 512};

// The picture area a size preset asks for: scale times 256 x 240, or
// 293 x 240 with keep_aspect (scale 0: the default area); shrunk in
// proportion to fit within the given largest area (the screen less the menu
// bar), and never below the smallest.
AreaSize preset_area(int scale, bool keep_aspect, AreaSize largest, AreaSize smallest);

// The on-screen message: a short line of text in a 5x5 font, drawn into a
// 256 x 240 RGBA image that the shell lays over the picture for 120 frames.
#pragma once

#include <string>
#include <vector>

#include "core/types.h"

class Platform;

constexpr int message_image_width = 256;
constexpr int message_image_height = 240;
constexpr int message_image_bytes = message_image_width * message_image_height * 4;
constexpr int message_show_frames = 120;
constexpr int message_max_glyphs = 40;  // what fits on the line
constexpr int message_pen_x = 16;
constexpr int message_pen_y = 224;

// Glyphs for codes 32-255, 25 cells each, row by row; 1 is a lit cell.
extern const u8 font_5x5[224][25];

// printf-style formatting with a bound, clipped to the glyphs that fit.
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Draws the text into a zero-filled 256 x 240 RGBA image, on the message
// line (its first glyph at texel (16, 224)).
std::vector<u8> render_message_image(const std::string& text);
// The same with the first glyph's top-left at (pen_x, pen_y).
std::vector<u8> render_text_image(const std::string& text, int pen_x, int pen_y);
// Texels from the left of the first glyph to the right of the last.
int text_width(const std::string& text);

// The message shown over the picture, and how many host frames it has left.
struct OnScreenMessage {
  std::vector<u8> image = std::vector<u8>(message_image_bytes, 0);
  std::string text;
  int message_frames = 0;
  bool image_changed = false;  // set when the image must be uploaded again
};

void set_message(OnScreenMessage& message, const std::string& text);

// Formats the text and hands it to the platform's on-screen message (nothing
// when platform is null).
void show_message(Platform* platform, const char* format, ...) __attribute__((format(printf, 2, 3)));

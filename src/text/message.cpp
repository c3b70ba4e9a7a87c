#include "text/message.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace {

// Room for a little more than one line of text; anything longer is cut.
constexpr int format_buffer_bytes = 260;

constexpr int glyph_size = 5;         // cells per glyph row and column
constexpr int glyph_advance = 6;      // one blank column between glyphs
constexpr int first_glyph_code = 32;  // codes below are control codes: blank

std::string format_message_v(const char* format, va_list arguments) {
  char buffer[format_buffer_bytes];
  int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  if (length < 0)
    return std::string();
  std::string text(buffer);
  if (static_cast<int>(text.size()) > message_max_glyphs)
    text.resize(message_max_glyphs);
  return text;
}

}  // namespace

std::string format_message(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = format_message_v(format, arguments);
  va_end(arguments);
  return text;
}

std::vector<u8> render_message_image(const std::string& text) {
  return render_text_image(text, message_pen_x, message_pen_y);
}

int text_width(const std::string& text) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * glyph_advance - (glyph_advance - glyph_size);
}

std::vector<u8> render_text_image(const std::string& text, int pen_x, int pen_y) {
  std::vector<u8> image(message_image_bytes, 0);
  if (pen_x < 0 || pen_y < 0 || pen_y + glyph_size > message_image_height)
    return image;
  for (char c : text) {
    // The line ends at the right edge: a glyph that would not fit whole is
    // dropped rather than spilling into the next texel row.
    if (pen_x + glyph_size > message_image_width)
      break;
    int code = static_cast<unsigned char>(c);
    if (code >= 'a' && code <= 'z')
      code -= 'a' - 'A';
    if (code >= first_glyph_code) {
      const u8* glyph = font_5x5[code - first_glyph_code];
      for (int row = 0; row < glyph_size; ++row) {
        u8* texel = &image[((pen_y + row) * message_image_width + pen_x) * 4];
        for (int column = 0; column < glyph_size; ++column, texel += 4) {
          u8 level = glyph[row * glyph_size + column] ? 255 : 0;
          texel[0] = texel[1] = texel[2] = texel[3] = level;
        }
      }
    }
    pen_x += glyph_advance;
  }
  return image;
}

void set_message(OnScreenMessage& message, const std::string& text) {
  message.text = text;
  message.image = render_message_image(text);
  message.message_frames = message_show_frames;
  message.image_changed = true;
}

void show_message(Platform* platform, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = format_message_v(format, arguments);
  va_end(arguments);
  if (platform != nullptr)
    platform->show_message(text);
}

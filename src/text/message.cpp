#include "text/message.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace {

// Room for a little more than one line of text; anything longer is cut.
constexpr int format_buffer_bytes = 260;

std::string format_message_v(const char* format, va_list arguments) {
  char buffer[format_buffer_bytes];
  int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  if (length < 0) return std::string();
  std::string text(buffer);
  if (static_cast<int>(text.size()) > message_max_glyphs) text.resize(message_max_glyphs);
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

void show_message(Platform* platform, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = format_message_v(format, arguments);
  va_end(arguments);
  if (platform != nullptr) platform->show_message(text);
}

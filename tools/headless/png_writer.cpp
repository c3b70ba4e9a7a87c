#include "png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void fail(std::string* error, const std::string& text) {
  if (error) {
    *error = text;
  }
}

// libpng reports errors by longjmp back into write_png; its text is kept here.
struct ErrorText {
  char text[200] = {};
};

void on_png_error(png_structp png, png_const_charp message) {
  auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
  if (error) {
    std::snprintf(error->text, sizeof error->text, "%s", message);
  }
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

}  // namespace

bool write_png(const std::string& path, const u8* rgb, int width, int height, std::string* error) {
  if (!rgb || width <= 0 || height <= 0) {
    fail(error, "Cannot write " + path + ": empty picture");
    return false;
  }
  // The picture goes to a temporary file beside the target, which replaces
  // the target only once it is complete.
  std::string temporary = path + ".XXXXXX";
  const int descriptor = mkstemp(temporary.data());
  std::FILE* file = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
  if (!file) {
    fail(error, "Cannot write " + path + ": " + std::strerror(errno));
    if (descriptor >= 0) {
      close(descriptor);
      std::remove(temporary.c_str());
    }
    return false;
  }
  ErrorText png_error;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &png_error, on_png_error, on_png_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    std::remove(temporary.c_str());
    fail(error, "Cannot write " + path + ": out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    std::remove(temporary.c_str());
    fail(error, "Cannot write " + path + ": " + png_error.text);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int row = 0; row < height; ++row) {
    png_write_row(png, rgb + static_cast<std::size_t>(row) * width * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  // A full disk shows up only when the buffered data is flushed.
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed) {
    std::remove(temporary.c_str());
    fail(error, "Cannot write " + path + ": " + std::strerror(errno));
    return false;
  }
  // mkstemp makes the file private; a screenshot gets the usual mode.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temporary.c_str(), 0666 & ~mask);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    fail(error, "Cannot write " + path + ": " + std::strerror(errno));
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

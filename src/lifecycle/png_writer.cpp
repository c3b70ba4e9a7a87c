#include "lifecycle/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "lifecycle/file_write.h"

namespace {

bool fail(std::string* error, const std::string& text) {
  if (error)
    *error = text;
  return false;
}

// libpng reports errors by longjmp back into encode_png; its text is kept here.
struct ErrorText {
  char text[200] = {};
};

void on_png_error(png_structp png, png_const_charp message) {
  auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
  if (error)
    std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The encoded file is collected in memory and written in one piece.
void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<u8>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

// Encodes the picture into out; false with libpng's reason in error_text.
bool encode_png(const u8* rgb, int width, int height, std::vector<u8>& out, ErrorText& error_text) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error_text, on_png_error, on_png_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(error_text.text, sizeof error_text.text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, append_bytes, flush_nothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int row = 0; row < height; ++row)
    png_write_row(png, rgb + static_cast<std::size_t>(row) * width * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_png(const std::string& path, const u8* rgb, int width, int height, std::string* error) {
  if (!rgb || width <= 0 || height <= 0)
    return fail(error, "cannot write " + path + ": empty picture");
  std::vector<u8> bytes;
  ErrorText error_text;
  if (!encode_png(rgb, width, height, bytes, error_text))
    return fail(error, "cannot write " + path + ": " + error_text.text);
  return write_output_file(path, bytes, error);
}

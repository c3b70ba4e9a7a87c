#include "host/presentation.h"

#include <FL/Fl_Gl_Window.H>

#include "core/console.h"
#include "host/pacing.h"
#include "lifecycle/gallery.h"
#include "ppu/ppu.h"

namespace {

// The picture and the message image share the picture's size.
static_assert(message_image_width == screen_width && message_image_height == screen_height);

void upload_message_if_changed(Presentation& presentation) {
  if (!presentation.textures_created || !presentation.message.image_changed)
    return;
  glBindTexture(GL_TEXTURE_2D, presentation.message_texture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, message_image_width, message_image_height, GL_RGBA,
                  GL_UNSIGNED_BYTE, presentation.message.image.data());
  presentation.message.image_changed = false;
}

// A quad over the whole 256 x 240 space, shifted by (dx, dy), with the bound
// texture stretched over it.
void textured_quad(float dx, float dy) {
  glBegin(GL_TRIANGLE_FAN);
  glTexCoord2f(0, 0);
  glVertex2f(dx, dy);
  glTexCoord2f(1, 0);
  glVertex2f(screen_width + dx, dy);
  glTexCoord2f(1, 1);
  glVertex2f(screen_width + dx, screen_height + dy);
  glTexCoord2f(0, 1);
  glVertex2f(dx, screen_height + dy);
  glEnd();
}

// Uploads a whole frame buffer into the picture texture and draws it over
// the 256 x 240 space of the current model-view matrix. Line 0 of the frame
// buffer is the top of the picture.
void draw_picture(Presentation& presentation, const Console& console) {
  glBindTexture(GL_TEXTURE_2D, presentation.frame_texture);
  if (console.ppu && console.ppu->frame_buffer) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, screen_width, screen_height, GL_RGB, GL_UNSIGNED_BYTE,
                    console.ppu->frame_buffer.get());
  }
  glColor3f(1, 1, 1);
  textured_quad(0, 0);
}

void fan(const float (*points)[2], int count) {
  glBegin(GL_TRIANGLE_FAN);
  for (int i = 0; i < count; ++i)
    glVertex2f(points[i][0], points[i][1]);
  glEnd();
}

// The grid is drawn in the space of the three-times-larger picture that the
// cells tile: 768 x 720 units scaled down by three.
void draw_grid_decorations() {
  static const float star[][2] = {{0, 0},  {0, -32}, {8, -8},  {32, 0},  {8, 8},
                                  {0, 32}, {-8, 8},  {-32, 0}, {-8, -8}, {0, -32}};
  static const float vertical_bar[][2] = {{-4, 0}, {4, 0}, {4, 240}, {-4, 240}};
  static const float horizontal_bar[][2] = {{0, -4}, {256, -4}, {256, 4}, {0, 4}};
  for (int y = 0; y <= 3 * screen_height; y += screen_height) {
    for (int x = 0; x <= 3 * screen_width; x += screen_width) {
      glLoadIdentity();
      glScalef(1.0f / 3, 1.0f / 3, 1);
      glTranslatef(static_cast<float>(x), static_cast<float>(y), 0);
      glColor3f(0.3f, 0.3f, 0.3f);
      fan(star, 10);
      fan(vertical_bar, 4);
      fan(horizontal_bar, 4);
    }
  }
}

// White text with a dark outline from an RGBA texture of the picture's size:
// eight copies shifted by one unit, in dark grey, make the outline; the white
// copy on top is the text.
void draw_text_texture(GLuint texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  static const float outline[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, -1}, {-1, -1}, {1, 1}, {-1, 1}};
  glColor3f(0.2f, 0.2f, 0.2f);
  for (const auto& offset : outline)
    textured_quad(offset[0], offset[1]);
  glColor3f(1, 1, 1);
  textured_quad(0, 0);
}

bool picture_fills_area(const Presentation& presentation) {
  const PictureRect rect = current_picture_rect(presentation);
  return rect.width == presentation.viewport_width && rect.height == presentation.viewport_height;
}

// Clears the picture's rectangle to the colour, and whatever lies around it
// (the bars of Keep Aspect Ratio) to black.
void clear_picture(const Presentation& presentation, float red, float green, float blue, float alpha) {
  if (!picture_fills_area(presentation)) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    const PictureRect rect = current_picture_rect(presentation);
    glEnable(GL_SCISSOR_TEST);
    glScissor(rect.x, presentation.viewport_height - rect.y - rect.height, rect.width, rect.height);
  }
  glClearColor(red, green, blue, alpha);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

bool gallery_is_empty(const GallerySlots& slots) {
  for (const auto& slot : slots) {
    if (slot)
      return false;
  }
  return true;
}

void define_texture(GLuint& texture, GLint internal_format, GLenum format, GLint filter_mag,
                    GLint filter_min) {
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(filter_mag));
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(filter_min));
  glTexImage2D(GL_TEXTURE_2D, 0, internal_format, screen_width, screen_height, 0, format, GL_UNSIGNED_BYTE,
               nullptr);
}

// The picture's filtering: linear by default, nearest with Sharp Pixels.
void apply_picture_filter(const Presentation& presentation) {
  const GLfloat filter = presentation.options.sharp_pixels ? GL_NEAREST : GL_LINEAR;
  glBindTexture(GL_TEXTURE_2D, presentation.frame_texture);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

// The message texture's filters are nearest when magnified and linear when
// shrunk; the hint's are the same.
void define_textures(Presentation& presentation) {
  define_texture(presentation.message_texture, GL_RGBA8, GL_RGBA, GL_NEAREST, GL_LINEAR);
  define_texture(presentation.frame_texture, GL_RGB8, GL_RGB, GL_LINEAR, GL_LINEAR);
  apply_picture_filter(presentation);
  define_texture(presentation.hint_texture, GL_RGBA8, GL_RGBA, GL_NEAREST, GL_LINEAR);
  // The hint's line, centred in the grid (a glyph is 5 texels high); the
  // font has no '>'.
  const std::string hint = gallery_empty_hint;
  const std::vector<u8> image =
      render_text_image(hint, (screen_width - text_width(hint)) / 2, (screen_height - 5) / 2);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE,
                  image.data());
  // The message must be uploaded into the new texture.
  presentation.message.image_changed = true;
}

void set_viewport(const Presentation& presentation) {
  const PictureRect rect = current_picture_rect(presentation);
  // GL counts rows from the bottom of the area.
  glViewport(rect.x, presentation.viewport_height - rect.y - rect.height, rect.width, rect.height);
}

// The state that holds for the life of a context.
void set_up_context(Presentation& presentation) {
  glDisable(GL_DEPTH_TEST);
  // Every fragment passes the alpha test; blending does the work of letting
  // the transparent texels of the message show the picture beneath.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_LEQUAL, 1.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  // Rows of 768 bytes need no padding, but say so rather than rely on it.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, screen_width, screen_height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  set_viewport(presentation);
  if (presentation.textures_created)
    define_textures(presentation);
}

void draw_game(Presentation& presentation, const Console& console, bool with_message) {
  clear_picture(presentation, 0, 0, 0, 0);
  glLoadIdentity();
  draw_picture(presentation, console);
  if (with_message)
    draw_message(presentation);
}

void draw_gallery(Presentation& presentation, const GallerySlots& slots) {
  clear_picture(presentation, 0.5f, 0.5f, 0.5f, 1);
  for (int k = 0; k < gallery_cells; ++k) {
    if (!slots[k])
      continue;
    glLoadIdentity();
    glScalef(1.0f / 3, 1.0f / 3, 1);
    glTranslatef(static_cast<float>((k % 3) * screen_width), static_cast<float>((k / 3) * screen_height), 0);
    draw_picture(presentation, *slots[k]);
  }
  // The decorations are drawn untextured.
  glBindTexture(GL_TEXTURE_2D, 0);
  draw_grid_decorations();
  if (gallery_is_empty(slots) && presentation.textures_created) {
    glLoadIdentity();
    draw_text_texture(presentation.hint_texture);
  }
  if (gallery_shows_message(presentation.message.message_frames)) {
    glLoadIdentity();
    draw_message(presentation);
  }
}

}  // namespace

void gl_setup(Presentation& presentation, Fl_Gl_Window& window) {
  presentation.window = &window;
  presentation.viewport_width = window.w();
  presentation.viewport_height = window.h();
  make_view_current(presentation);
}

void create_textures(Presentation& presentation) {
  make_view_current(presentation);
  define_textures(presentation);
  // A message shown while the gallery was built at start-up is not seen.
  presentation.message.message_frames = 0;
  presentation.textures_created = true;
}

void make_view_current(Presentation& presentation) {
  Fl_Gl_Window& window = *presentation.window;
  window.make_current();
  // FLTK marks a context it has just made as not valid.
  if (!window.context_valid()) {
    set_up_context(presentation);
    window.context_valid(1);
  }
}

void resize_viewport(Presentation& presentation, int width, int height) {
  if (!follow_viewport(presentation.viewport_width, presentation.viewport_height, width, height))
    return;
  if (presentation.window == nullptr)
    return;
  make_view_current(presentation);
  set_viewport(presentation);
}

void apply_display_options(Presentation& presentation) {
  if (presentation.window == nullptr)
    return;
  make_view_current(presentation);
  set_viewport(presentation);
  if (presentation.textures_created)
    apply_picture_filter(presentation);
}

PictureRect current_picture_rect(const Presentation& presentation) {
  return picture_rect(presentation.viewport_width, presentation.viewport_height,
                      presentation.options.keep_aspect);
}

void present_frame(Presentation& presentation, const Console& console) {
  make_view_current(presentation);
  const bool with_message = take_message_frame(presentation.message.message_frames);
  draw_game(presentation, console, with_message);
  presentation.window->swap_buffers();
}

void present_gallery(Presentation& presentation, const GallerySlots& slots) {
  make_view_current(presentation);
  draw_gallery(presentation, slots);
  presentation.window->swap_buffers();
}

void draw_message(Presentation& presentation) {
  if (!presentation.textures_created)
    return;
  upload_message_if_changed(presentation);
  draw_text_texture(presentation.message_texture);
}

void repaint(Presentation& presentation, const Session& session) {
  // Called from FLTK's draw(), with the context current: a new one is set up.
  if (!presentation.window->context_valid()) {
    set_up_context(presentation);
    presentation.window->context_valid(1);
  }
  if (!presentation.textures_created) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  if (session.mode == mode_game && session.current) {
    draw_game(presentation, *session.current, presentation.message.message_frames > 0);
  } else {
    draw_gallery(presentation, session.gallery);
  }
}

void gl_teardown(Presentation& presentation) {
  // The context goes with the window; nothing is current afterwards.
  if (presentation.window != nullptr)
    presentation.window->hide();
  presentation.window = nullptr;
}

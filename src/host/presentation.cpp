#include "host/presentation.h"

#include <FL/Fl_Gl_Window.H>

#include "core/console.h"
#include "host/pacing.h"
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

void draw_game(Presentation& presentation, const Console& console, bool with_message) {
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();
  draw_picture(presentation, console);
  if (with_message)
    draw_message(presentation);
}

void draw_gallery(Presentation& presentation, const GallerySlots& slots) {
  glClearColor(0.5f, 0.5f, 0.5f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
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
  if (gallery_shows_message(presentation.message.message_frames)) {
    glLoadIdentity();
    draw_message(presentation);
  }
}

}  // namespace

void gl_setup(Presentation& presentation, Fl_Gl_Window& window) {
  presentation.window = &window;
  window.make_current();
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
  presentation.viewport_width = window.w();
  presentation.viewport_height = window.h();
  glViewport(0, 0, presentation.viewport_width, presentation.viewport_height);
}

void create_textures(Presentation& presentation) {
  presentation.window->make_current();
  glGenTextures(1, &presentation.message_texture);
  glBindTexture(GL_TEXTURE_2D, presentation.message_texture);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, message_image_width, message_image_height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
  // A message shown while the gallery was built at start-up is not seen.
  presentation.message.message_frames = 0;

  glGenTextures(1, &presentation.frame_texture);
  glBindTexture(GL_TEXTURE_2D, presentation.frame_texture);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, screen_width, screen_height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  presentation.textures_created = true;
}

void resize_viewport(Presentation& presentation, int width, int height) {
  if (!follow_viewport(presentation.viewport_width, presentation.viewport_height, width, height))
    return;
  if (presentation.window == nullptr)
    return;
  presentation.window->make_current();
  glViewport(0, 0, width, height);
}

void present_frame(Presentation& presentation, const Console& console) {
  presentation.window->make_current();
  const bool with_message = take_message_frame(presentation.message.message_frames);
  draw_game(presentation, console, with_message);
  presentation.window->swap_buffers();
}

void present_gallery(Presentation& presentation, const GallerySlots& slots) {
  presentation.window->make_current();
  draw_gallery(presentation, slots);
  presentation.window->swap_buffers();
}

void draw_message(Presentation& presentation) {
  if (!presentation.textures_created)
    return;
  upload_message_if_changed(presentation);
  glBindTexture(GL_TEXTURE_2D, presentation.message_texture);
  // Eight copies shifted by one unit, in dark grey, make the outline; the
  // white copy on top is the text.
  static const float outline[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, -1}, {-1, -1}, {1, 1}, {-1, 1}};
  glColor3f(0.2f, 0.2f, 0.2f);
  for (const auto& offset : outline)
    textured_quad(offset[0], offset[1]);
  glColor3f(1, 1, 1);
  textured_quad(0, 0);
}

void repaint(Presentation& presentation, const Session& session) {
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

// Putting pictures on the screen with fixed-function OpenGL: the running
// game's picture stretched over the whole picture area, or the gallery's
// 3 x 3 grid of previews, with the on-screen message laid over either.
//
// Everything is drawn in one coordinate space, the picture's 256 x 240 units
// with the origin at the top-left and y growing downwards; the viewport maps
// it onto the whole GL area, whatever its proportions.
#pragma once

#include <GL/gl.h>

#include <array>
#include <memory>

#include "lifecycle/session.h"
#include "text/message.h"

class Fl_Gl_Window;
struct Console;

struct Presentation {
  Fl_Gl_Window* window = nullptr;
  GLuint frame_texture = 0;
  GLuint message_texture = 0;
  bool textures_created = false;
  // The GL area's size last given to the viewport; 512 x 512 is also the
  // window's initial picture area.
  int viewport_width = 512;
  int viewport_height = 512;
  OnScreenMessage message;
};

using GallerySlots = std::array<std::unique_ptr<Console>, gallery_cells>;

// Makes the window's context current and sets the render state, projection
// and viewport that hold for the whole run.
void gl_setup(Presentation& presentation, Fl_Gl_Window& window);
// Creates the picture and message textures; the message count starts at 0.
void create_textures(Presentation& presentation);
// Follows a new GL area size; zero sizes (a minimised window) are ignored.
void resize_viewport(Presentation& presentation, int width, int height);
// Draws the console's picture and the message (counting it down), then swaps.
void present_frame(Presentation& presentation, const Console& console);
// Draws the grid of previews and the message (not counted here), then swaps.
void present_gallery(Presentation& presentation, const GallerySlots& slots);
// Draws the message texture as white text with a dark outline.
void draw_message(Presentation& presentation);
// Draws the last scene again without swapping or counting anything down;
// used when the window system asks for the window to be repainted.
void repaint(Presentation& presentation, const Session& session);
void gl_teardown(Presentation& presentation);

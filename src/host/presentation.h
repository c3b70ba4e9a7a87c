// Putting pictures on the screen with fixed-function OpenGL: the running
// game's picture, or the gallery's 3 x 3 grid of previews, with the
// on-screen message laid over either.
//
// Everything is drawn in one coordinate space, the picture's 256 x 240 units
// with the origin at the top-left and y growing downwards; the viewport maps
// it onto the picture's rectangle: by default the whole GL area, whatever its
// proportions, or with Keep Aspect Ratio the largest rectangle of the NES's
// pixel shape that fits, black bars around it.
#pragma once

#include <GL/gl.h>

#include <array>
#include <memory>

#include "lifecycle/display_options.h"
#include "lifecycle/session.h"
#include "text/message.h"

class Fl_Gl_Window;
struct Console;

struct Presentation {
  Fl_Gl_Window* window = nullptr;
  GLuint frame_texture = 0;
  GLuint message_texture = 0;
  GLuint hint_texture = 0;  // the empty gallery's line, centred in the grid
  bool textures_created = false;
  // The GL area's size last given to the viewport; 512 x 512 is also the
  // window's initial picture area.
  int viewport_width = 512;
  int viewport_height = 512;
  OnScreenMessage message;
  // The View menu's choices: the picture's shape and its filtering.
  DisplayOptions options;
};

using GallerySlots = std::array<std::unique_ptr<Console>, gallery_cells>;

// Makes the window's context current and sets the render state, projection
// and viewport that hold for as long as the context lives.
void gl_setup(Presentation& presentation, Fl_Gl_Window& window);
// Creates the picture, message and hint textures; the message count starts at 0.
void create_textures(Presentation& presentation);
// Makes the window's context current. A context the window system made anew
// (going full screen may do that) gets the render state and textures again.
void make_view_current(Presentation& presentation);
// Follows a new GL area size; zero sizes (a minimised window) are ignored.
void resize_viewport(Presentation& presentation, int width, int height);
// Follows a change of the display options: the viewport and the filtering.
void apply_display_options(Presentation& presentation);
// Where the picture lies in the GL area, in its pixels from the top-left.
PictureRect current_picture_rect(const Presentation& presentation);
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

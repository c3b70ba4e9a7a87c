// The OpenGL picture area under the menu bar. The host loop draws into it
// itself (make_current, GL calls, swap_buffers); draw() only repaints the
// last scene when the window system asks for it, and resize() keeps the
// viewport in step with the area's size.
#pragma once

#include <FL/Fl_Gl_Window.H>

struct Host;

class GlView : public Fl_Gl_Window {
 public:
  GlView(Host& host, int x, int y, int width, int height);
  void draw() override;
  void resize(int x, int y, int width, int height) override;
  int handle(int event) override;

 private:
  Host& host_;
};

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cstdint>

#include "cartridge/ines.h"
#include "host/about.h"
#include "host/gl_view.h"
#include "host/host.h"
#include "ppu/ppu.h"

GlView::GlView(Host& host, int x, int y, int width, int height)
    : Fl_Gl_Window(x, y, width, height), host_(host) {
  mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
}

void GlView::draw() {
  repaint(host_.presentation, host_.session);
}

void GlView::resize(int x, int y, int width, int height) {
  Fl_Gl_Window::resize(x, y, width, height);
  if (shown())
    resize_viewport(host_.presentation, width, height);
}

int GlView::handle(int event) {
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      // Accepting the focus keeps FLTK's focus widget inside the main window
      // while the window has the keyboard, which is how the platform tells
      // that keys and clicks count. A key released elsewhere is never seen
      // released here: the command keys start afresh.
      run_key_up(0);
      return 1;
    case FL_PUSH:
      take_focus();
      return 1;
    case FL_KEYBOARD:
      return run_key(host_, Fl::event_key()) ? 1 : Fl_Gl_Window::handle(event);
    case FL_KEYUP:
      run_key_up(Fl::event_key());
      return Fl_Gl_Window::handle(event);
    // A file manager's drop: accepting the drag lets the drop through, and
    // its text arrives as a paste.
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_LEAVE:
    case FL_DND_RELEASE:
      return 1;
    case FL_PASTE:
      open_dropped(host_, std::string(Fl::event_text(), Fl::event_length()));
      return 1;
    default:
      return Fl_Gl_Window::handle(event);
  }
}

namespace {

Host& host_of(Fl_Widget* widget) {
  return *static_cast<Host*>(widget->user_data());
}

// The main window lays out its two parts itself: the menu bar keeps its
// height and the picture area takes the rest, or the whole window in full
// screen.
class MainWindow : public Fl_Double_Window {
 public:
  MainWindow(int width, int height, const char* title) : Fl_Double_Window(width, height, title) {}
  void resize(int x, int y, int width, int height) override {
    Fl_Double_Window::resize(x, y, width, height);
    if (user_data() != nullptr)
      lay_out_window(host_of(this));
  }
};

void menu_command(Fl_Widget* menu_bar, void* command) {
  run_command(host_of(menu_bar), static_cast<int>(reinterpret_cast<std::intptr_t>(command)));
}

void* command_data(int command) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(command));
}

// The menu bar, left to right: "File", "Gallery" (a command on the bar
// itself), "Emulation", "Debug" and "View". The separator after "Open
// ROM..." is a divider line under that item.
Fl_Menu_Item menu_items[] = {
    {"File", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Open ROM...", 0, menu_command, command_data(CMD_OPEN_ROM), FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"About", 0, menu_command, command_data(CMD_ABOUT), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Gallery", 0, menu_command, command_data(CMD_GALLERY), 0, 0, 0, 0, 0},
    {"Emulation", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Software Reset", 0, menu_command, command_data(CMD_RESET), 0, 0, 0, 0, 0},
    {"Pause", 'p', menu_command, command_data(CMD_PAUSE), FL_MENU_TOGGLE, 0, 0, 0, 0},
    {"Mute", 'm', menu_command, command_data(CMD_MUTE), FL_MENU_TOGGLE, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Debug", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"View ROM Info", 0, menu_command, command_data(CMD_ROM_INFO), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"View", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Full Screen", FL_F + 11, menu_command, command_data(CMD_FULL_SCREEN), FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Keep Aspect Ratio", 0, menu_command, command_data(CMD_KEEP_ASPECT), FL_MENU_TOGGLE, 0, 0, 0, 0},
    {"Sharp Pixels", 0, menu_command, command_data(CMD_SHARP_PIXELS), FL_MENU_TOGGLE | FL_MENU_DIVIDER, 0, 0,
     0, 0},
    {"Size 1x", 0, menu_command, command_data(CMD_SIZE_1X), 0, 0, 0, 0, 0},
    {"Size 2x", 0, menu_command, command_data(CMD_SIZE_1X + 1), 0, 0, 0, 0, 0},
    {"Size 3x", 0, menu_command, command_data(CMD_SIZE_1X + 2), 0, 0, 0, 0, 0},
    {"Size 4x", 0, menu_command, command_data(CMD_SIZE_1X + 3), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

// The close box and Escape both end the message loop; the window itself is
// destroyed only after the shutdown has run. In full screen Escape only
// leaves full screen.
void window_closed(Fl_Widget* window, void*) {
  Host& host = host_of(window);
  if (Fl::event() != FL_CLOSE && Fl::event_key() == FL_Escape && host.full_screen) {
    run_command(host, CMD_FULL_SCREEN);
    return;
  }
  host.quit = true;
}

}  // namespace

void set_menu_check(int command, bool checked) {
  for (Fl_Menu_Item& item : menu_items) {
    if (item.callback_ == menu_command && item.user_data_ == command_data(command)) {
      if (checked)
        item.set();
      else
        item.clear();
    }
  }
}

AreaSize smallest_area(Host& host) {
  // The bar's items are laid out from 6 pixels in, each its label's width
  // and 16 pixels more; a few pixels are left to spare.
  int width = 6 + 8;
  for (const Fl_Menu_Item* item = menu_items; item->label() != nullptr; item = item->next())
    width += item->measure(nullptr, host.menu_bar) + 16;
  return AreaSize{std::max(width, screen_width), screen_height};
}

AreaSize largest_area(Host& host) {
  int x = 0, y = 0, width = 0, height = 0;
  Fl_Double_Window* window = host.main_window;
  if (window != nullptr && window->shown())
    Fl::screen_work_area(x, y, width, height, window->x() + window->w() / 2, window->y() + window->h() / 2);
  else
    Fl::screen_work_area(x, y, width, height);
  return AreaSize{width, height - menu_bar_height};
}

void create_main_window(Host& host) {
  const DisplayOptions& options = host.presentation.options;
  AreaSize area = default_area;
  if (options.scale != 0)
    area = preset_area(options.scale, options.keep_aspect, largest_area(host), smallest_area(host));
  auto* window = new MainWindow(area.width, menu_bar_height + area.height, "Corvel");
  window->callback(window_closed);
  auto* menu_bar = new Fl_Menu_Bar(0, 0, area.width, menu_bar_height);
  menu_bar->menu(menu_items);
  menu_bar->user_data(&host);
  auto* view = new GlView(host, 0, menu_bar_height, area.width, area.height);
  window->end();
  window->resizable(view);
  host.main_window = window;
  host.menu_bar = menu_bar;
  host.view = view;
  window->user_data(&host);
  const AreaSize smallest = smallest_area(host);
  window->size_range(smallest.width, menu_bar_height + smallest.height);
  set_menu_check(CMD_KEEP_ASPECT, options.keep_aspect);
  set_menu_check(CMD_SHARP_PIXELS, options.sharp_pixels);
  window->show();
  view->show();
  host.platform.set_main_window(window);
}

void lay_out_window(Host& host) {
  Fl_Double_Window& window = *host.main_window;
  if (host.menu_bar == nullptr || host.view == nullptr)
    return;
  if (host.full_screen) {
    host.view->resize(0, 0, window.w(), window.h());
  } else {
    host.menu_bar->resize(0, 0, window.w(), menu_bar_height);
    host.view->resize(0, menu_bar_height, window.w(), window.h() - menu_bar_height);
  }
}

bool choose_rom_file(std::string& path) {
  // FLTK's own chooser rather than GTK's: GTK's runs a loop of its own in
  // which FLTK's timeouts never run, so a SIGTERM could not end Corvel while
  // it is open.
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  Fl_Native_File_Chooser chooser;
  chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
  chooser.filter("NES ROM Images\t*.nes\nAll Files\t*");
  chooser.filter_value(0);
  if (chooser.show() != 0)
    return false;  // cancelled (1) or failed (-1)
  const char* chosen = chooser.filename();
  if (chosen == nullptr || chosen[0] == '\0')
    return false;
  path = chosen;
  return true;
}

void show_about() {
  fl_message_title("About");
  fl_close = "OK";
  fl_message("%s", about_text().c_str());
}

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <cstdint>

#include "cartridge/ines.h"
#include "host/about.h"
#include "host/gl_view.h"
#include "host/host.h"

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
      // that keys and clicks count.
      return 1;
    case FL_PUSH:
      take_focus();
      return 1;
    default:
      return Fl_Gl_Window::handle(event);
  }
}

namespace {

Host& host_of(Fl_Widget* widget) {
  return *static_cast<Host*>(widget->user_data());
}

void menu_command(Fl_Widget* menu_bar, void* command) {
  run_command(host_of(menu_bar), static_cast<int>(reinterpret_cast<std::intptr_t>(command)));
}

void* command_data(int command) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(command));
}

// The menu bar, left to right: "File", "Gallery" (a command on the bar
// itself), "Emulation" and "Debug". The separator after "Open ROM..." is a
// divider line under that item.
Fl_Menu_Item menu_items[] = {
    {"File", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Open ROM...", 0, menu_command, command_data(CMD_OPEN_ROM), FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"About", 0, menu_command, command_data(CMD_ABOUT), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Gallery", 0, menu_command, command_data(CMD_GALLERY), 0, 0, 0, 0, 0},
    {"Emulation", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Software Reset", 0, menu_command, command_data(CMD_RESET), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Debug", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"View ROM Info", 0, menu_command, command_data(CMD_ROM_INFO), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

// The close box and Escape both end the message loop; the window itself is
// destroyed only after the shutdown has run.
void window_closed(Fl_Widget* window, void*) {
  host_of(window).quit = true;
}

}  // namespace

void create_main_window(Host& host) {
  const int width = host.presentation.viewport_width;
  const int height = host.presentation.viewport_height;
  auto* window = new Fl_Double_Window(width, menu_bar_height + height, "Corvel");
  window->user_data(&host);
  window->callback(window_closed);
  auto* menu_bar = new Fl_Menu_Bar(0, 0, width, menu_bar_height);
  menu_bar->menu(menu_items);
  menu_bar->user_data(&host);
  auto* view = new GlView(host, 0, menu_bar_height, width, height);
  window->end();
  window->resizable(view);
  window->show();
  view->show();
  host.main_window = window;
  host.menu_bar = menu_bar;
  host.view = view;
  host.platform.set_main_window(window);
}

void run_command(Host& host, int command) {
  Session& session = host.session;
  switch (command) {
    case CMD_OPEN_ROM: {
      std::string path;
      if (choose_rom_file(path))
        open_rom(session, path, 1);
      break;
    }
    case CMD_GALLERY:
      enter_gallery(session);
      break;
    case CMD_ABOUT:
      show_about();
      break;
    case CMD_ROM_INFO:
      if (session.current)
        show_rom_info(*session.current);
      break;
    case CMD_RESET:
      software_reset(session);
      break;
    default:
      break;
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

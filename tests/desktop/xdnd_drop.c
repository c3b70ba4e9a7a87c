/* Drops a text/uri-list on a window as a file manager does, through XDND
 * version 5: enter, position and drop, then the text handed over as the
 * selection when the window asks for it.
 *
 *   xdnd_drop WINDOW-ID X Y TEXT      (X and Y relative to the window)
 *
 * Exits 0 once the window has finished the drop, 1 when it refused it, 2 on
 * any other failure (no answer within ten seconds). */
#include <X11/Xlib.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static Display* display;
static Window source, target;

static Atom atom(const char* name) {
  return XInternAtom(display, name, False);
}

static void send_message(const char* name, long l1, long l2, long l3, long l4) {
  XEvent event = {.xclient = {.type = ClientMessage, .window = target, .message_type = atom(name), .format = 32,
                              .data.l = {(long)source, l1, l2, l3, l4}}};
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

int main(int argc, char** argv) {
  if (argc != 5 || !(display = XOpenDisplay(NULL)))
    return 2;
  const Atom uri_list = atom("text/uri-list");
  Window root = DefaultRootWindow(display), child;
  target = (Window)strtoul(argv[1], NULL, 0);
  source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);
  int x = 0, y = 0, dropped = 0;
  XTranslateCoordinates(display, target, root, atoi(argv[2]), atoi(argv[3]), &x, &y, &child);
  send_message("XdndEnter", 5L << 24, (long)uri_list, 0, 0);
  send_message("XdndPosition", 0, ((long)x << 16) | y, CurrentTime, (long)atom("XdndActionCopy"));
  for (const time_t deadline = time(NULL) + 10; time(NULL) <= deadline; usleep(10000)) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      const Atom message = event.type == ClientMessage ? event.xclient.message_type : None;
      if (message == atom("XdndStatus") && !dropped) {
        if (!(event.xclient.data.l[1] & 1))
          return 1;  /* the window refuses the drop */
        send_message("XdndDrop", 0, CurrentTime, 0, 0);
        dropped = 1;
      } else if (message == atom("XdndFinished")) {
        /* Some windows leave out whether they took the drop (bit 0 of l[1]):
         * that they finished after asking for the text is the answer. */
        return 0;
      } else if (event.type == SelectionRequest) {
        /* The window asks for the text: it goes on the property named. */
        const XSelectionRequestEvent* request = &event.xselectionrequest;
        XEvent reply = {.xselection = {.type = SelectionNotify, .requestor = request->requestor,
                                       .selection = request->selection, .target = request->target,
                                       .time = request->time}};
        if (request->target == uri_list && request->property != None) {
          XChangeProperty(display, request->requestor, request->property, uri_list, 8, PropModeReplace,
                          (const unsigned char*)argv[4], (int)strlen(argv[4]));
          reply.xselection.property = request->property;
        }
        XSendEvent(display, request->requestor, False, NoEventMask, &reply);
        XFlush(display);
      }
    }
  }
  return 2;
}

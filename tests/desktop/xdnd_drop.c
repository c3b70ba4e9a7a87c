/* Drops text on a window the way a file manager does, through the XDND
 * protocol (version 5): enter, position, drop, then hand the data over as a
 * selection when the target asks for it.
 *
 *   xdnd_drop WINDOW-ID X Y TYPE TEXT
 *
 * X and Y are relative to the window; TYPE is the data's type (text/uri-list).
 * Exits 0 once the target has finished the drop, 1 when it refused it, 2 on
 * any other failure (no answer within ten seconds). */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

static Display* display;
static Window source;
static Window target;
static Atom type;
static const char* text;

static Atom atom(const char* name) {
  return XInternAtom(display, name, False);
}

static void send_message(const char* name, long l1, long l2, long l3, long l4) {
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = atom(name);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)source;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

/* The target asks for the data: it is put on the requestor's property. */
static void answer_request(const XSelectionRequestEvent* request) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request->requestor;
  reply.xselection.selection = request->selection;
  reply.xselection.target = request->target;
  reply.xselection.time = request->time;
  reply.xselection.property = None;
  if (request->target == type && request->property != None) {
    XChangeProperty(display, request->requestor, request->property, type, 8, PropModeReplace,
                    (const unsigned char*)text, (int)strlen(text));
    reply.xselection.property = request->property;
  }
  XSendEvent(display, request->requestor, False, NoEventMask, &reply);
  XFlush(display);
}

/* Waits for the next event, at most until the deadline; 0 on time-out. */
static int next_event(XEvent* event, time_t deadline) {
  while (!XPending(display)) {
    if (time(NULL) > deadline)
      return 0;
    int fd = ConnectionNumber(display);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    struct timeval wait = {0, 100000};
    select(fd + 1, &set, NULL, NULL, &wait);
  }
  XNextEvent(display, event);
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: xdnd_drop WINDOW-ID X Y TYPE TEXT\n");
    return 2;
  }
  display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "xdnd_drop: no display\n");
    return 2;
  }
  target = (Window)strtoul(argv[1], NULL, 0);
  type = atom(argv[4]);
  text = argv[5];
  source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);

  Window child;
  int root_x = 0, root_y = 0;
  XTranslateCoordinates(display, target, DefaultRootWindow(display), atoi(argv[2]), atoi(argv[3]), &root_x,
                        &root_y, &child);

  const time_t deadline = time(NULL) + 10;
  send_message("XdndEnter", 5L << 24, (long)type, 0, 0);
  send_message("XdndPosition", 0, ((long)root_x << 16) | root_y, CurrentTime, (long)atom("XdndActionCopy"));
  int dropped = 0;
  XEvent event;
  while (next_event(&event, deadline)) {
    if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus") && !dropped) {
      if (!(event.xclient.data.l[1] & 1)) {
        fprintf(stderr, "xdnd_drop: the window refuses the drop\n");
        send_message("XdndLeave", 0, 0, 0, 0);
        return 1;
      }
      send_message("XdndDrop", 0, CurrentTime, 0, 0);
      dropped = 1;
    } else if (event.type == SelectionRequest) {
      answer_request(&event.xselectionrequest);
    } else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished")) {
      /* Some targets leave out whether they took the drop (bit 0 of l[1]):
       * that it finished after asking for the data is the answer. */
      return 0;
    }
  }
  fprintf(stderr, "xdnd_drop: no answer from the window\n");
  return 2;
}

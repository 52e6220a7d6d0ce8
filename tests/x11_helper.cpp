// X11 chores for the end-to-end tests that the stock tools cannot do:
//   x11_helper hold                print "ready", map the next window, stop its process (SIGSTOP) once
//                                  it asks to be maximised and print its id: what is sent to it then
//                                  waits for its first pump
//   x11_helper destroy-new         print "ready" and destroy the next 64x48 window as soon as it is made
//                                  (toolkits make other windows first, to probe GL)
//   x11_helper close ID            ask window ID to close (WM_DELETE_WINDOW)
//   x11_helper host WxH [argb|input-only]  map a plain window as a screensaver host would, print its
//                                  id and keep it until it is destroyed; argb: of depth 32, as
//                                  xscreensaver makes them when it has no GL visual
//   x11_helper pixel ID X Y        print the R G B of one pixel of window ID ("root": the root window)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Stands in for a window manager until a window is mapped and has asked to be maximised, the last step
// of its opening. Its process is known from the map request on, so that the stop takes no round trip
// to the server meanwhile, which would give a slow helper's program time to draw.
int hold(Display* display) {
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  pid_t process = 0;
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == ConfigureRequest) {
      const XConfigureRequestEvent& r = event.xconfigurerequest;
      XWindowChanges changes{r.x, r.y, r.width, r.height, r.border_width, r.above, r.detail};
      XConfigureWindow(display, r.window, static_cast<unsigned>(r.value_mask), &changes);
    } else if (event.type == MapRequest) {
      Atom type;
      int format;
      unsigned long count, left;
      unsigned char* pid = nullptr;
      XGetWindowProperty(display, event.xmaprequest.window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False,
                         XA_CARDINAL, &type, &format, &count, &left, &pid);
      if (pid == nullptr || count != 1) return 1;
      process = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(pid));
      XFree(pid);
      XMapWindow(display, event.xmaprequest.window);
    } else if (event.type == ClientMessage && event.xclient.message_type == state && process != 0) {
      kill(process, SIGSTOP);
      std::printf("0x%lx\n", event.xclient.window);
      return 0;
    }
  }
}

int destroy_new(Display* display) {
  XEvent event;
  const XCreateWindowEvent& made = event.xcreatewindow;
  while (XNextEvent(display, &event) == 0 && (event.type != CreateNotify || made.width != 64 || made.height != 48)) continue;
  XDestroyWindow(display, made.window);
  return 0;
}

int close_window(Display* display, Window window) {
  XEvent event{};
  event.xclient = {ClientMessage, 0, False, display, window, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, window, False, NoEventMask, &event);
  return 0;
}

int host(Display* display, const char* size, const std::string& kind) {
  unsigned width = 0, height = 0;
  if (std::sscanf(size, "%ux%u", &width, &height) != 2) return 64;
  const Window root = DefaultRootWindow(display);
  XVisualInfo deep{};
  Window window;
  if (kind == "input-only") {
    window = XCreateWindow(display, root, 0, 0, width, height, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  } else if (kind == "argb" && XMatchVisualInfo(display, DefaultScreen(display), 32, TrueColor, &deep)) {
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(display, root, deep.visual, AllocNone);
    attributes.background_pixel = 0xFFFF00FF;
    window = XCreateWindow(display, root, 0, 0, width, height, 0, 32, InputOutput, deep.visual,
                           CWColormap | CWBackPixel | CWBorderPixel, &attributes);
  } else {  // magenta behind a host's window, so that an undrawn part stands out
    window = XCreateSimpleWindow(display, root, 0, 0, width, height, 0, 0, 0xFF00FF);
  }
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XEvent event;
  while (XNextEvent(display, &event) == 0 && event.type != MapNotify) continue;
  std::printf("0x%lx\n", window);
  std::fflush(stdout);
  while (XNextEvent(display, &event) == 0 && event.type != DestroyNotify) continue;
  return 0;
}

// The servers of the tests are all 24 bits deep, the channels 8 bits each.
int print_pixel(Display* display, Window window, int x, int y) {
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 1;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  std::printf("%lu %lu %lu\n", pixel >> 16 & 255, pixel >> 8 & 255, pixel & 255);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_helper: cannot open the display\n");
    return 2;
  }
  const std::string command = argc > 1 ? argv[1] : "";
  int result = 64;
  // Ready once the server watches the root for it, so that nothing the program does meanwhile is missed.
  if (command == "hold" || command == "destroy-new") {
    XSelectInput(display, DefaultRootWindow(display), command == "hold" ? SubstructureRedirectMask : SubstructureNotifyMask);
    XSync(display, False);
    std::puts("ready");
    std::fflush(stdout);
    result = command == "hold" ? hold(display) : destroy_new(display);
  }
  const Window window =
      argc < 3 || std::strcmp(argv[2], "root") == 0 ? DefaultRootWindow(display) : std::strtoul(argv[2], nullptr, 0);
  if (command == "close" && argc == 3) result = close_window(display, window);
  if (command == "host" && (argc == 3 || argc == 4)) result = host(display, argv[2], argc == 4 ? argv[3] : "");
  if (command == "pixel" && argc == 5) result = print_pixel(display, window, std::atoi(argv[3]), std::atoi(argv[4]));
  XSync(display, False);
  XCloseDisplay(display);
  return result;
}

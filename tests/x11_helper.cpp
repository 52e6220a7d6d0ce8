// X11 chores for the end-to-end tests that the stock tools cannot do:
//   x11_helper close NAME          ask the window titled NAME to close (WM_DELETE_WINDOW)
//   x11_helper stop-on-map PID NAME   SIGSTOP PID the moment a window titled NAME is mapped
//   x11_helper host WxH FILE [argb|input-only]   map a plain window, as a screensaver host would,
//                                  write its id to FILE and keep it until someone destroys it; argb:
//                                  of depth 32, as xscreensaver makes them when it has no GL visual
//   x11_helper pixel ID X Y        print the R G B of one pixel of window ID ("root": the root window)
//   x11_helper resize ID WxH       resize window ID
//   x11_helper children ID         print how many child windows ID has; fails when ID is gone
//   x11_helper destroy ID          destroy window ID
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool has_name(Display* display, Window window, const char* name) {
  char* title = nullptr;
  if (XFetchName(display, window, &title) == 0 || title == nullptr) return false;
  const bool same = std::strcmp(title, name) == 0;
  XFree(title);
  return same;
}

Window find_window(Display* display, Window parent, const char* name) {
  if (has_name(display, parent, name)) return parent;
  Window root, up, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) found = find_window(display, children[i], name);
  if (children != nullptr) XFree(children);
  return found;
}

int close_window(Display* display, const char* name) {
  const Window window = find_window(display, DefaultRootWindow(display), name);
  if (window == 0) {
    std::fprintf(stderr, "x11_helper: no window named %s\n", name);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  return 0;
}

int stop_on_map(Display* display, pid_t pid, const char* name) {
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && has_name(display, event.xmap.window, name)) {
        kill(pid, SIGSTOP);
        std::printf("0x%lx\n", event.xmap.window);
        return 0;
      }
    }
    usleep(200);
  }
  std::fprintf(stderr, "x11_helper: no window named %s was mapped\n", name);
  return 1;
}

// Seen through an unmanaged window with magenta behind it, so an undrawn part stands out.
constexpr unsigned long kHostBackground = 0xFF00FF;

int fail_on_x_error(Display*, XErrorEvent* error) {
  std::fprintf(stderr, "x11_helper: X error %d\n", error->error_code);
  std::exit(3);
}

Window window_arg(Display* display, const char* text) {
  if (std::strcmp(text, "root") == 0) return DefaultRootWindow(display);
  return static_cast<Window>(std::strtoul(text, nullptr, 0));
}

bool size_arg(const char* text, unsigned& width, unsigned& height) {
  return std::sscanf(text, "%ux%u", &width, &height) == 2 && width > 0 && height > 0;
}

// The id appears in FILE all at once, so a reader never sees half of it.
void publish(Window window, const std::string& file) {
  const std::string temporary = file + ".new";
  FILE* out = std::fopen(temporary.c_str(), "w");
  if (out == nullptr) return;
  std::fprintf(out, "0x%lx\n", window);
  std::fclose(out);
  std::rename(temporary.c_str(), file.c_str());
}

Window make_window(Display* display, unsigned width, unsigned height, const std::string& kind) {
  const Window root = DefaultRootWindow(display);
  if (kind == "input-only")
    return XCreateWindow(display, root, 0, 0, width, height, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  const bool argb = kind == "argb";
  XVisualInfo deep{};
  if (!argb || !XMatchVisualInfo(display, DefaultScreen(display), 32, TrueColor, &deep))
    return XCreateSimpleWindow(display, root, 0, 0, width, height, 0, 0, kHostBackground);
  XSetWindowAttributes attributes{};
  attributes.colormap = XCreateColormap(display, root, deep.visual, AllocNone);
  attributes.background_pixel = 0xFFFF00FF;
  attributes.border_pixel = 0;
  return XCreateWindow(display, root, 0, 0, width, height, 0, 32, InputOutput, deep.visual,
                       CWColormap | CWBackPixel | CWBorderPixel, &attributes);
}

int host(Display* display, const char* size, const char* file, const std::string& kind) {
  unsigned width = 0, height = 0;
  if (!size_arg(size, width, height)) return 64;
  const Window window = make_window(display, width, height, kind);
  XStoreName(display, window, "host");
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XEvent event;
  do XNextEvent(display, &event);
  while (event.type != MapNotify);
  publish(window, file);
  do XNextEvent(display, &event);
  while (event.type != DestroyNotify);
  return 0;
}

int print_pixel(Display* display, Window window, int x, int y) {
  XWindowAttributes attributes;
  XGetWindowAttributes(display, window, &attributes);
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 1;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  auto channel = [&](unsigned long mask) {
    unsigned long value = pixel & mask;
    while (mask != 0 && (mask & 1) == 0) {
      mask >>= 1;
      value >>= 1;
    }
    return value * 255 / (mask != 0 ? mask : 1);
  };
  const Visual* visual = attributes.visual;
  std::printf("%lu %lu %lu\n", channel(visual->red_mask), channel(visual->green_mask), channel(visual->blue_mask));
  return 0;
}

int count_children(Display* display, Window window) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  XQueryTree(display, window, &root, &parent, &children, &count);
  if (children != nullptr) XFree(children);
  std::printf("%u\n", count);
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
  if (command == "close" && argc == 3) result = close_window(display, argv[2]);
  if (command == "stop-on-map" && argc == 4) result = stop_on_map(display, std::atoi(argv[2]), argv[3]);
  if (command == "host" && (argc == 4 || argc == 5)) result = host(display, argv[2], argv[3], argc == 5 ? argv[4] : "");
  if (argc >= 3 && command != "close" && command != "stop-on-map" && command != "host") {
    XSetErrorHandler(fail_on_x_error);
    const Window window = window_arg(display, argv[2]);
    unsigned width = 0, height = 0;
    if (command == "pixel" && argc == 5) result = print_pixel(display, window, std::atoi(argv[3]), std::atoi(argv[4]));
    if (command == "resize" && argc == 4 && size_arg(argv[3], width, height)) {
      XResizeWindow(display, window, width, height);
      result = 0;
    }
    if (command == "children" && argc == 3) result = count_children(display, window);
    if (command == "destroy" && argc == 3) {
      XDestroyWindow(display, window);
      result = 0;
    }
    XSync(display, False);
  }
  XCloseDisplay(display);
  return result;
}

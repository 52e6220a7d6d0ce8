// X11 chores for the end-to-end tests that the stock tools cannot do:
//   x11_helper close NAME          ask the window titled NAME to close (WM_DELETE_WINDOW)
//   x11_helper stop-on-map PID NAME   SIGSTOP PID the moment a window titled NAME is mapped
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
  XCloseDisplay(display);
  return result;
}

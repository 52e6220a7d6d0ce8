#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace ovu {

// X11 under the SDL backend: a screensaver host's window, as the backend
// adopts it, and the end of the program on X errors. Internal to the SDL
// backend.

// X errors and a lost connection end the program through the runtime stop
// (code 1) instead of Xlib's dump and exit. Called before SDL opens the
// display, so that SDL's own handler, which passes errors on, passes them to us.
// `own_window`: the window to be made is ours, not a host's.
void x11_route_errors(bool own_window);

// Remembers our own window, so that its destruction from outside is named.
void x11_watch_own_window(SDL_Window* window);

// The window to adopt: `id`, or the screen's root window when `root`. False
// with a reason when there is no display or no such window.
bool x11_find_host_window(std::uint32_t id, bool root, std::uintptr_t& window, std::string& reason);

// Asks for the adopted window's size changes and its destruction, and turns
// X errors, which Xlib would end the process with, into the window's loss.
void x11_watch_host_window(SDL_Window* window);

// True for the X event that says the adopted window is gone.
bool x11_host_window_destroyed(const SDL_SysWMmsg& message);

// True once an X error has shown that the window went away under us.
bool x11_host_window_lost();

}  // namespace ovu

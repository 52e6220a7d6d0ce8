#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace ovu {

// A screensaver host's X11 window, as the SDL backend adopts it. Internal to
// the SDL backend.

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

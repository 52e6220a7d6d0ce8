#pragma once

// The GL 1.1 and GLU headers; on Windows they need the Win32 types first.
#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glu.h>

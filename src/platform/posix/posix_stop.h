#pragma once

namespace ovu {

// Internal to the POSIX runtime: the temporary file being written now (null:
// none), which a fault handler removes before the process ends.
void note_temporary(const char* path);

}  // namespace ovu

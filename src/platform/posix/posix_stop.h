#pragma once

namespace ovu {

// Internal to the POSIX runtime: the temporary files being written now, one
// per kind of output (null: none), which a fault, Ctrl+C or a stop removes
// before the process ends. A whole file is written while a recording runs.
enum class TemporaryKind { WholeFile, Stream };
void note_temporary(TemporaryKind kind, const char* path);

}  // namespace ovu

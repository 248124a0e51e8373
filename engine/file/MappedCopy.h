#pragma once
// Copying out of a file mapped into memory without dying with it.
//
// A page of a mapping that lies past the end of its file (the file was cut by someone else after
// it was mapped) or that the disk cannot give back raises SIGBUS where a read would have
// returned short or failed. CopyFromMapping catches that signal for the duration of the copy and
// answers false instead, so that the caller reads the file the ordinary way and reports what a
// read reports. The handler is installed once per process; a SIGBUS outside such a copy goes on
// to whatever handled it before (by default the process ends, as it would have).
#include <cstddef>

namespace kura {

// Copies count bytes from a mapping; false when the mapping could not give them.
bool CopyFromMapping(void *to, const void *from, size_t count);

}  // namespace kura

#pragma once
// Operating-system error numbers (errno) turned into engine codes.
#include <cstdint>

namespace kura {

// The engine code for an errno value: missing file or path, too many open files, access
// denied (including a lock or sharing conflict), bad descriptor, no memory, no device,
// cross-device move; anything else is KURA_OSUNKNOWN.
uint16_t MapOSError(int osError);

}  // namespace kura

#pragma once
// Putting files and directory entries on the disk by name (files of the in-memory database
// have nothing to put there). Used where a change must survive a power loss: a file's bytes
// are synced before anything depends on them, and the directory is synced after a file was
// made, renamed or removed, because a synced file is only found again if the directory entry
// naming it reached the disk too.
#include <string>

namespace kura {

// Syncs the bytes (and the size) of the named file; failures raise KURA_WRITEERR naming
// errorName with the operating-system error.
void SyncFileNamed(const std::string &name, bool memory, const std::string &errorName);
// Syncs the directory that holds the named file (its entries: names made, moved, removed).
void SyncDirectoryOf(const std::string &fileName, bool memory, const std::string &errorName);

}  // namespace kura

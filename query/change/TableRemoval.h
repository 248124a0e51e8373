#pragma once
// Deleting a table from a statement (DROP TABLE, and SELECT ... INTO over an existing table).
#include <string>

namespace kura {

class TDataDirectory;

// Deletes the table's files only after the table has opened alone and with its password:
// what does not open as a table (a stray NAME.DAT, a damaged file) is never deleted, an
// encrypted table is not deleted without its password, and a table that someone else has
// open is left alone. Each refusal is the engine error of the failed open.
void DeleteTableOpenedAlone(TDataDirectory &directory, const std::string &name, bool inMemory);

}  // namespace kura

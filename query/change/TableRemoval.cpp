#include "query/change/TableRemoval.h"

#include "engine/cursor/DataCursor.h"
#include "engine/table/DataDirectory.h"

namespace kura {

void DeleteTableOpenedAlone(TDataDirectory &directory, const std::string &name, bool inMemory) {
  TDataCursor cursor(&directory, name);
  TCursorOptions options;
  options.InMemory = inMemory;
  options.Exclusive = true;
  cursor.SetOptions(options);
  // Opening checks the file is a table, the password is known and nobody else has it open.
  cursor.OpenCursor();
  cursor.CloseCursor();
  cursor.DeleteTable();
}

}  // namespace kura

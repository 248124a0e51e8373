#include "query/change/StatementTableFiles.h"

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/file/FileNames.h"
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

void CheckNewTableName(const TDataDirectory &directory, const std::string &name) {
  // The longest of the table's file names: the data, index and blob files and their backups
  // all have extensions of the same length.
  const std::string longest = TableFileName(directory.Path(), name, kDataExtension);
  if (longest.size() > kMaxFileNameLength)
    // The reason comes first: error texts are cut at their end.
    RaiseSqlError("Table name too long (its file names may have at most " + std::to_string(kMaxFileNameLength) +
                  " characters with the directory): '" + name + "'");
}

}  // namespace kura

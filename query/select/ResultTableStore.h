#pragma once
// Where the result table of a SELECT lives. A result starts as an in-memory table of the
// session's private directory: a point or small query then makes no file at all. Once its
// records and blobs pass a size limit it is moved to files of the private directory and goes
// on growing there, so a large result never holds more than the limit in memory.
#include <cstdint>
#include <string>
#include <vector>

#include "query/select/SelectPlan.h"

namespace kura {

class TDataDirectory;
class TDataFile;
class TDataTable;
struct TDataFileDefinition;

// Bytes of records and blob values a result table may hold in memory before it is moved to
// files.
inline constexpr int64_t kDefaultResultMemoryLimit = 16 * 1024 * 1024;

// A table without indexes for result rows (records keep insertion order), opened exclusively.
TDataTable *CreateResultTable(TDataDirectory &directory, const std::string &name, const TSelectPlan &plan,
                              bool inMemory);
// The same in two steps: the definition of the plan's result table (an encrypted result's
// password is added to the directory's session here), then the table made from it.
TDataFileDefinition ResultTableDefinition(TDataDirectory &directory, const TSelectPlan &plan);
TDataTable *CreateResultTable(TDataDirectory &directory, const std::string &name,
                              const TDataFileDefinition &definition, bool inMemory);

// Record numbers of the live records of a result table, in order (read past the record
// cache, dirty records written first).
std::vector<int32_t> LiveResultSlots(TDataTable &table);

// A block of consecutive records of a result table read past the record cache, for reading
// its rows in order (the table's records must all be written: LiveResultSlots writes them).
class TResultRecordBlock {
 public:
  // The image of record n (valid until the next call).
  const uint8_t *Record(TDataFile &file, int32_t n);
  void Clear() {
    FFirst = 0;
    FCount = 0;
  }

 private:
  std::vector<uint8_t> FRecords;
  int32_t FFirst = 0;
  int32_t FCount = 0;
};

// Moves an in-memory result table (open once, exclusively) to files of the directory and
// returns the table opened there the same way: under the same name, or another one when files
// of that name exist. The in-memory files are gone
// afterwards. On failure the copies are removed and the in-memory table is opened again (the
// table object the caller held is then a new one: look it up by name).
TDataTable *MoveResultTableToFiles(TDataDirectory &directory, TDataTable *table);

}  // namespace kura

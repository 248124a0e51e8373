#pragma once
// What a table restructure is given (the complete new structure), the data losses it reports
// while carrying records over, and the callbacks that answer them and follow its progress.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/data/FieldDescriptor.h"
#include "engine/index/IndexDefinition.h"

namespace kura {

// Why a value or a record could not be carried over into the new structure.
enum class TDataLossCause : uint8_t {
  LossUnknown = 0,       // a record could not be added for another reason (context empty)
  LossKeyViolation = 1,  // its key exists already in a unique index (context: the index name)
  LossValidity = 2,      // a required, minimum or maximum check fails (context: the field name)
  LossFieldDropped = 3,  // an old field has no counterpart (context: the field name)
  LossConversion = 4,    // a value does not convert to the new type (context: the field name)
};

// Asked for every loss until it sets stopAsking. Leaving continueRestructure true goes on;
// setting it false cancels the whole operation (the table stays as it was). Without a callback
// every loss is taken as "continue".
using TDataLossCallback =
    std::function<void(TDataLossCause cause, const std::string &context, bool &continueRestructure, bool &stopAsking)>;
// Percent done of a loop over the records: whenever it advanced by the session's ProgressSteps,
// and 100 at the end.
using TProgressCallback = std::function<void(int percent)>;

// The complete new structure of a table.
struct TRestructureDefinition {
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
  // The new fields in order. FieldNumber names the old field whose values a field receives
  // (matched by number, not by name); 0 or a number no old field has makes a new field that
  // starts from its default. Old fields whose number no longer occurs are dropped.
  std::vector<TFieldDescriptor> Fields;
  // An entry without a name is the primary index (none: the table has no primary key); the
  // others are the secondary indexes in order. Key fields are positions (1-based) in Fields.
  std::vector<TIndexDefinition> Indexes;
  std::string Description;
  bool Encrypted = false;
  std::string Password;
  uint16_t UserMajorVersion = 0;
  uint16_t UserMinorVersion = 0;
  int32_t BlobBlockSize = 512;
  // The table's last auto-increment value is raised to this one when smaller; -1 keeps it.
  int64_t LastAutoIncValue = -1;
  // No backup files (".DBK", ".IBK", ".BBK") are kept.
  bool NoBackup = false;
};

// How much work a restructure needed.
enum class TRestructureLevel : uint8_t { PropertiesOnly = 0, IndexRebuild = 1, FullRebuild = 2 };

}  // namespace kura

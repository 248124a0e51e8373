#pragma once
// The structure ALTER TABLE works on: a copy of a table's columns, keys and options, changed by
// the alterations in the order they are written, and finally the complete new structure for the
// storage side's restructure.
//
// Columns are followed by an identity: a kept column has its field number in the table, so that
// its values are carried over (converted when its type changed); a new column gets a number the
// table does not use, so it starts from its default.
#include <string>
#include <vector>

#include "engine/cursor/RestructureTypes.h"
#include "engine/data/FieldDescriptor.h"
#include "engine/index/IndexDefinition.h"
#include "query/sql/DefinitionParts.h"

namespace kura {

class TDataCursor;

class TAlterStructure {
 public:
  // The current structure of the table the cursor has open.
  explicit TAlterStructure(TDataCursor &cursor);

  // Applies one alteration (messages: "Column <name> not found", "Cannot REDEFINE the primary
  // key using the ADD keyword", "Invalid field name ..." for key columns that do not exist).
  void Apply(const TAlteration &alteration);
  // Applies the table options that were given.
  void ApplyOptions(const TTableOptions &options);
  void SetNoBackup(bool noBackup) { FDefinition.NoBackup = noBackup; }

  // The new structure: key columns become positions; a key column that no longer exists fails
  // with the "Invalid field name" message naming its index.
  TRestructureDefinition Definition() const;

 private:
  struct TColumn {
    TFieldDescriptor Field;
    int Identity = 0;  // the field number in the table; above its field count for new columns
  };
  struct TKeyColumn {
    int Identity = 0;
    std::string Name;  // for messages
    bool Descending = false;
  };
  struct TKey {
    std::string Name;         // secondary index name; for the primary key the name messages use
    TIndexDefinition Flags;   // everything but the fields
    std::vector<TKeyColumn> Columns;
  };

  int Find(const std::string &name) const;
  int FindOrFail(const std::string &name) const;
  static void MoveTo(std::vector<TColumn> &columns, size_t from, int64_t position);
  TKey KeyFrom(const TCreateIndex &index) const;
  TIndexDefinition Resolve(const TKey &key, bool primary) const;

  std::vector<TColumn> FColumns;
  int FNextIdentity = 0;
  bool FHasPrimary = false;
  TKey FPrimary;
  std::vector<TKey> FSecondaries;
  TRestructureDefinition FDefinition;  // table-level values; fields and indexes filled at the end
};

}  // namespace kura

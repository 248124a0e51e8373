#pragma once
// TKuraTable: a cursor on one table by name, in the order of a chosen index, with key search
// and ranges.
#include <memory>
#include <string>
#include <vector>

#include "engine/cursor/RestructureTypes.h"
#include "query/dataset/KuraDBDataSet.h"

namespace kura {

class TKuraTable : public TKuraDBDataSet {
 public:
  TKuraTable() = default;
  ~TKuraTable() override;

  static const char *EngineVersion();

  const std::string &TableName() const { return FTableName; }
  void SetTableName(const std::string &name);
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool exclusive);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool readOnly);

  // The index by name ("" = the primary index, or natural order for a table without one).
  const std::string &IndexName() const { return FIndexName; }
  void SetIndexName(const std::string &name);
  // The index whose leading fields are these ("A;B"); "" = IndexName decides.
  const std::string &IndexFieldNames() const { return FIndexFieldNames; }
  void SetIndexFieldNames(const std::string &names);
  std::vector<std::string> IndexNames() const;

  // Key search on the current index with one value per leading key field.
  bool FindKey(const std::vector<TKuraValue> &values);
  // Limits the rows to keys between the two value lists (leading key fields).
  void SetRange(const std::vector<TKuraValue> &start, const std::vector<TKuraValue> &end);
  void CancelRange();

  // ---- Table maintenance (the table must be open with Exclusive set) ------------------------
  // A secondary index over the fields named ("A;B"); on a unique index a record whose key is
  // already there is deleted (the one in the lower slot stays).
  void AddIndex(const std::string &name, const std::string &fieldNames, bool unique = false,
                bool descending = false, bool caseInsensitive = false);
  // "" or "PRIMARY" is the primary index.
  void DeleteIndex(const std::string &name);
  // The table's present structure, a starting point for RestructureTable (every field keeps
  // its field number, so its values are carried over).
  TRestructureDefinition CurrentStructure();
  // Brings the table to a new structure; false when OnDataLost cancelled it (the table is then
  // as it was). The dataset is opened again afterwards, since its fields may have changed.
  bool RestructureTable(const TRestructureDefinition &definition);
  // Asked for every value or record a restructure cannot carry over (without a handler every
  // loss is taken as "go on"); set ContinueRestructure false to cancel, StopAsking true to take
  // every later loss as "go on" without asking.
  std::function<void(TKuraTable &sender, TDataLossCause cause, const std::string &contextInfo,
                     bool &continueRestructure, bool &stopAsking)>
      OnDataLost;
  // Percent done of the record loops of AddIndex and RestructureTable.
  std::function<void(TKuraTable &sender, int percentDone)> OnMaintenanceProgress;

 protected:
  TDataCursor *CreateCursor() override;
  void DestroyCursor() override;
  bool LocateOnOtherIndex(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                          const TLocateOptions &options, bool &found) override;

 private:
  void ApplyIndex();
  TDataCursor &MaintenanceCursor();
  void ReopenAfterMaintenance();
  std::vector<int> IndexFieldNumbers(size_t count);

  std::string FTableName, FIndexName, FIndexFieldNames;
  bool FExclusive = false;
  std::unique_ptr<TDataCursor> FTableCursor;
  // The clone Locate searches another index with, kept for the same field list and case.
  std::unique_ptr<TDataCursor> FLocateClone;
  std::string FLocateCloneKey;
};

}  // namespace kura

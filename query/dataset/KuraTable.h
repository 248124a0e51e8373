#pragma once
// TKuraTable: a cursor on one table by name, in the order of a chosen index, with key search
// and ranges.
#include <memory>
#include <string>
#include <vector>

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

 protected:
  TDataCursor *CreateCursor() override;
  void DestroyCursor() override;
  bool LocateOnOtherIndex(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                          const TLocateOptions &options, bool &found) override;

 private:
  void ApplyIndex();
  std::vector<int> IndexFieldNumbers(size_t count);

  std::string FTableName, FIndexName, FIndexFieldNames;
  bool FExclusive = false;
  std::unique_ptr<TDataCursor> FTableCursor;
  // The clone Locate searches another index with, kept for the same field list and case.
  std::unique_ptr<TDataCursor> FLocateClone;
  std::string FLocateCloneKey;
};

}  // namespace kura

// Table components.
#include "query/dataset/KuraTable.h"

#include "engine/cursor/DataCursor.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraSession.h"
#include "query/dataset/TextCompare.h"

namespace kura {

namespace {
ErrorTexts TableTexts(const std::string &table) {
  ErrorTexts texts;
  texts.Table = table;
  return texts;
}
}  // namespace

TKuraTable::~TKuraTable() { Close(); }

const char *TKuraTable::EngineVersion() { return kEngineVersion; }

void TKuraTable::SetTableName(const std::string &name) {
  CheckInactive();
  FTableName = TrimText(name);
}

void TKuraTable::SetExclusive(bool exclusive) {
  CheckInactive();
  FExclusive = exclusive;
}

void TKuraTable::SetReadOnly(bool readOnly) {
  CheckInactive();
  FReadOnly = readOnly;
}

TDataCursor *TKuraTable::CreateCursor() {
  if (FTableName.empty()) RaiseDatabaseError(dsmsg::TableNameMissing);
  TKuraDatabase &db = OpenDatabase();
  try {
    auto cursor = std::make_unique<TDataCursor>(&db.Handle(), FTableName);
    TCursorOptions options;
    options.Exclusive = FExclusive;
    options.ReadOnly = FReadOnly;
    cursor->SetOptions(options);
    cursor->OpenCursor();
    FTableCursor = std::move(cursor);
    ApplyIndex();
  } catch (...) {
    FTableCursor.reset();
    CloseDatabase();
    throw;
  }
  return FTableCursor.get();
}

void TKuraTable::DestroyCursor() {
  FLocateClone.reset();
  FLocateCloneKey.clear();
  if (FTableCursor) FTableCursor->CloseCursor();
  FTableCursor.reset();
}

void TKuraTable::ApplyIndex() {
  TDataCursor &cursor = *FTableCursor;
  if (!FIndexFieldNames.empty()) {
    std::vector<std::string> names = SplitFieldList(FIndexFieldNames);
    std::vector<int> numbers;
    for (const std::string &name : names) numbers.push_back(cursor.FieldNumber(name));
    const std::vector<std::string> indexes = cursor.IndexNames();
    for (int no = 0; no < static_cast<int>(indexes.size()); ++no) {
      if (no == 0 && !cursor.HasPrimaryKey()) continue;
      const TIndexKeyDefinition &keys = cursor.KeysOf(no);
      if (keys.Fields.size() < numbers.size()) continue;
      bool fits = true;
      for (size_t i = 0; i < numbers.size() && fits; ++i) {
        const TFieldDescriptor &f = cursor.Field(numbers[i]);
        fits = f.IsAutoInc() ? keys.Fields[i].AutoInc : keys.Fields[i].NullOffset == f.Offset;
      }
      if (fits) {
        cursor.SetIndexNo(no);
        return;
      }
    }
    ErrorTexts texts;
    texts.Table = FTableName;
    texts.Index = FIndexFieldNames;
    RaiseEngineError(KURA_INVALIDINDEXNAME, texts);
  }
  cursor.SetIndexName(FIndexName);
}

void TKuraTable::SetIndexName(const std::string &name) {
  FIndexName = TrimText(name);
  FIndexFieldNames.clear();
  if (Active()) {
    CheckBrowseMode();
    FTableCursor->SetIndexName(FIndexName);
    SyncFromCursor();
    Notify(&TDataSetObserver::DataSetChanged);
  }
}

void TKuraTable::SetIndexFieldNames(const std::string &names) {
  FIndexFieldNames = TrimText(names);
  if (FIndexFieldNames.empty()) return SetIndexName(FIndexName);
  if (Active()) {
    CheckBrowseMode();
    ApplyIndex();
    SyncFromCursor();
    Notify(&TDataSetObserver::DataSetChanged);
  }
}

std::vector<std::string> TKuraTable::IndexNames() const {
  if (!FTableCursor) return {};
  return FTableCursor->IndexNames();
}

std::vector<int> TKuraTable::IndexFieldNumbers(size_t count) {
  TDataCursor &cursor = *FTableCursor;
  if (cursor.InNaturalOrder()) RaiseEngineError(KURA_INVALIDINDEXNAME, TableTexts(FTableName));
  const TIndexKeyDefinition &keys = cursor.CurrentKeys();
  if (count > keys.Fields.size()) count = keys.Fields.size();
  std::vector<int> numbers;
  const std::vector<TFieldDescriptor> &fields = cursor.Fields();
  for (size_t i = 0; i < count; ++i) {
    int number = 0;
    for (size_t f = 0; f < fields.size() && number == 0; ++f) {
      const bool same = fields[f].IsAutoInc() ? keys.Fields[i].AutoInc
                                              : (!keys.Fields[i].AutoInc && keys.Fields[i].NullOffset == fields[f].Offset);
      if (same) number = static_cast<int>(f) + 1;
    }
    if (number == 0) RaiseEngineError(KURA_INVALIDINDEXNAME, TableTexts(FTableName));
    numbers.push_back(number);
  }
  return numbers;
}

bool TKuraTable::FindKey(const std::vector<TKuraValue> &values) {
  CheckActive();
  CheckBrowseMode();
  const std::vector<int> numbers = IndexFieldNumbers(values.size());
  std::vector<TKuraValue> used(values.begin(), values.begin() + static_cast<long>(numbers.size()));
  std::vector<uint8_t> key;
  int partial = 0;
  if (!FillKeyBuffer(numbers, used, key, TLocateOptions{}, partial)) return false;
  const std::vector<uint8_t> saved = FTableCursor->GetBookmark();
  std::vector<uint8_t> record(FTableCursor->RecordBufferSize(), 0);
  if (FTableCursor->Find(key.data(), false, static_cast<int>(numbers.size()), 0, false, record.data())) {
    SyncFromCursor();
    Notify(&TDataSetObserver::DataSetScrolled);
    if (AfterScroll) AfterScroll(*this);
    return true;
  }
  FTableCursor->SetToBookmark(saved);
  SyncFromCursor();
  return false;
}

void TKuraTable::SetRange(const std::vector<TKuraValue> &start, const std::vector<TKuraValue> &end) {
  CheckActive();
  CheckBrowseMode();
  const size_t count = std::min(start.size(), end.size());
  const std::vector<int> numbers = IndexFieldNumbers(count);
  std::vector<uint8_t> low, high;
  int partial = 0;
  if (!FillKeyBuffer(numbers, std::vector<TKuraValue>(start.begin(), start.begin() + static_cast<long>(numbers.size())),
                     low, TLocateOptions{}, partial) ||
      !FillKeyBuffer(numbers, std::vector<TKuraValue>(end.begin(), end.begin() + static_cast<long>(numbers.size())),
                     high, TLocateOptions{}, partial))
    throw EKuraDatabaseError("Range values do not fit the index fields");
  FTableCursor->SetRange(low.data(), high.data(), false, static_cast<int>(numbers.size()), 0);
  First();
  Notify(&TDataSetObserver::DataSetChanged);
}

void TKuraTable::CancelRange() {
  CheckActive();
  CheckBrowseMode();
  FTableCursor->ResetRange();
  First();
  Notify(&TDataSetObserver::DataSetChanged);
}

bool TKuraTable::LocateOnOtherIndex(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                                    const TLocateOptions &options, bool &found) {
  TDataCursor &cursor = *FTableCursor;
  // A clone does not see this cursor's range or filters, so it would find records this
  // dataset does not show.
  if (cursor.RangeActive() || cursor.FiltersInUse() || FExclusive) return false;
  const std::vector<std::string> indexes = cursor.IndexNames();
  const std::vector<TFieldDescriptor> &fields = cursor.Fields();
  int fitting = -1;
  for (int no = 0; no < static_cast<int>(indexes.size()) && fitting < 0; ++no) {
    if (no == 0 && !cursor.HasPrimaryKey()) continue;
    if (no == cursor.IndexNo()) continue;
    const TIndexKeyDefinition &keys = cursor.KeysOf(no);
    if (keys.Fields.size() < fieldNumbers.size()) continue;
    bool fits = true, anyString = false;
    for (size_t i = 0; i < fieldNumbers.size() && fits; ++i) {
      const TFieldDescriptor &f = fields[static_cast<size_t>(fieldNumbers[i] - 1)];
      fits = f.IsAutoInc() ? keys.Fields[i].AutoInc : (!keys.Fields[i].AutoInc && keys.Fields[i].NullOffset == f.Offset);
      if (f.Type == EngineFieldType::String) anyString = true;
    }
    if (fits && anyString && keys.CaseInsensitive != options.CaseInsensitive) fits = false;
    if (fits) fitting = no;
  }
  if (fitting < 0) return false;
  std::string cloneKey = std::to_string(fitting) + (options.CaseInsensitive ? "/i" : "/c");
  for (int n : fieldNumbers) cloneKey += ";" + std::to_string(n);
  if (!FLocateClone || FLocateCloneKey != cloneKey) {
    FLocateClone.reset();
    auto clone = std::make_unique<TDataCursor>(cursor.Directory(), FTableName);
    TCursorOptions o;
    o.ReadOnly = true;
    clone->SetOptions(o);
    clone->OpenCursor();
    clone->SetIndexNo(fitting);
    FLocateClone = std::move(clone);
    FLocateCloneKey = cloneKey;
  }
  std::vector<uint8_t> key;
  int partialLength = 0;
  found = false;
  // The key buffer has this cursor's layout, which the clone shares (same table, no projection).
  if (!FillKeyBuffer(fieldNumbers, values, key, options, partialLength)) return true;
  int fieldCount = static_cast<int>(fieldNumbers.size());
  if (partialLength > 0) --fieldCount;
  std::vector<uint8_t> record(FLocateClone->RecordBufferSize(), 0);
  if (!FLocateClone->Find(key.data(), false, fieldCount, partialLength, false, record.data())) return true;
  if (FTableCursor->SetToCursor(*FLocateClone) != KURA_NONE) return true;
  SyncFromCursor();
  found = true;
  return true;
}

}  // namespace kura

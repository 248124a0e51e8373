// Locate and Lookup: a key search when an index of the cursor fits the key fields, otherwise
// a temporary filter of equalities.
#include "engine/cursor/DataCursor.h"
#include "engine/data/FieldCodec.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/LocateFilter.h"
#include "query/dataset/KuraDataSet.h"
#include "query/dataset/TextCompare.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

// A Locate value in its own expression type.
void ValueOf(const TKuraValue &value, TTypeInfo &type, TExpValue &out) {
  out.Clear();
  if (value.IsNull()) return;
  if (value.IsInteger()) {
    type.Type = EngineFieldType::LargeInt;
    out = TExpValue::OfInt(value.AsInteger());
  } else if (value.IsFloat()) {
    type.Type = EngineFieldType::Float;
    out = TExpValue::OfFloat(value.AsFloat());
  } else if (value.IsBoolean()) {
    type.Type = EngineFieldType::Boolean;
    out = TExpValue::OfBool(value.AsBoolean());
  } else {
    const std::string text = value.AsString();
    type.Type = EngineFieldType::String;
    type.Size = static_cast<uint32_t>(text.size()) + 1;
    out.Null = false;  // converted below; an empty string then becomes NULL
    out.Str = text;
  }
}

std::string TrimRight(const std::string &s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return s.substr(0, e);
}

// The value converted to the field's expression type. False when it does not convert (no
// record can match then). With a partial key, a string's trailing "*" is dropped.
bool KeyValue(const TFieldDescriptor &field, const TKuraValue &value, bool partial, TExpValue &out) {
  TTypeInfo from;
  TExpValue in;
  ValueOf(value, from, in);
  out.Clear();
  if (value.IsNull()) return true;
  if (from.Type == EngineFieldType::String) {
    in.Str = TrimRight(in.Str);
    if (partial && HoldsString(field.Type) && !in.Str.empty() && in.Str.back() == '*') in.Str.pop_back();
    from.Size = static_cast<uint32_t>(in.Str.size()) + 1;
    if (in.Str.empty()) return true;  // the empty string is NULL
  }
  const TTypeInfo to = FieldTypeInfo(field);
  if (!ConvertValue(from, in, to, out)) return false;
  if (field.Type == EngineFieldType::String)
    out.Str = PrepareStringValue(out.Str, field.CharCase, 0);
  return true;
}

}  // namespace

std::vector<int> TKuraDataSet::KeyFieldNumbers(const std::string &keyFields) const {
  std::vector<int> numbers;
  for (const std::string &name : SplitFieldList(keyFields)) {
    const TField *found = nullptr;
    for (const auto &f : FFields)
      if (SameText(f->FieldName(), name)) found = f.get();
    if (!found) RaiseDatabaseError(dsmsg::FieldNotFound, name);
    numbers.push_back(found->Index() + 1);
  }
  if (numbers.empty()) RaiseDatabaseError(dsmsg::FieldNotFound, keyFields);
  return numbers;
}

bool TKuraDataSet::FillKeyBuffer(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                                 std::vector<uint8_t> &buffer, const TLocateOptions &options,
                                 int &partialLength) const {
  buffer.assign(FCursor->RecordBufferSize(), 0);
  partialLength = 0;
  const std::vector<TFieldDescriptor> &fields = FCursor->Fields();
  for (size_t i = 0; i < fieldNumbers.size(); ++i) {
    const TFieldDescriptor &field = fields[static_cast<size_t>(fieldNumbers[i] - 1)];
    const bool last = i + 1 == fieldNumbers.size();
    TExpValue v;
    if (!KeyValue(field, values[i], options.PartialKey && last, v)) return false;
    WriteFieldValue(field, buffer.data(), v, FCursor->LanguageId());
    if (options.PartialKey && last && HoldsString(field.Type) && !v.Null)
      partialLength = static_cast<int>(v.Str.size());
  }
  return true;
}

namespace {

// Whether the index's first key fields are exactly these fields in this order, with the
// requested case option when any of them is a string.
bool IndexFits(const TIndexKeyDefinition &keys, const std::vector<TFieldDescriptor> &fields,
               const std::vector<int> &fieldNumbers, bool caseInsensitive) {
  if (keys.SystemIndex || keys.Fields.size() < fieldNumbers.size()) return false;
  bool anyString = false;
  for (size_t i = 0; i < fieldNumbers.size(); ++i) {
    const TFieldDescriptor &f = fields[static_cast<size_t>(fieldNumbers[i] - 1)];
    if (f.Calculated != 0) return false;
    const TIndexKeyField &k = keys.Fields[i];
    if (f.IsAutoInc() ? !k.AutoInc : (k.AutoInc || k.NullOffset != f.Offset)) return false;
    if (f.Type == EngineFieldType::String) anyString = true;
  }
  return !anyString || keys.CaseInsensitive == caseInsensitive;
}

}  // namespace

bool TKuraDataSet::LocateByKey(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                               const TLocateOptions &options, bool &found) {
  if (FCursor->InNaturalOrder()) return false;
  if (!IndexFits(FCursor->CurrentKeys(), FCursor->Fields(), fieldNumbers, options.CaseInsensitive)) return false;
  std::vector<uint8_t> key;
  int partialLength = 0;
  found = false;
  if (!FillKeyBuffer(fieldNumbers, values, key, options, partialLength)) return true;
  int fieldCount = static_cast<int>(fieldNumbers.size());
  if (partialLength > 0) --fieldCount;
  const std::vector<uint8_t> saved = FCursor->GetBookmark();
  std::vector<uint8_t> record(FCursor->RecordBufferSize(), 0);
  found = FCursor->Find(key.data(), false, fieldCount, partialLength, false, record.data());
  if (found) {
    TakeRecord(true);
  } else {
    FCursor->SetToBookmark(saved);
    ReadCurrent();
  }
  return true;
}

bool TKuraDataSet::LocateOnOtherIndex(const std::vector<int> &, const std::vector<TKuraValue> &,
                                      const TLocateOptions &, bool &) {
  return false;
}

bool TKuraDataSet::LocateByFilter(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                                  const TLocateOptions &options) {
  std::vector<TLocateFilter::TKey> keys;
  const std::vector<TFieldDescriptor> &fields = FCursor->Fields();
  for (size_t i = 0; i < fieldNumbers.size(); ++i) {
    TLocateFilter::TKey key;
    key.FieldNumber = fieldNumbers[i];
    if (!KeyValue(fields[static_cast<size_t>(fieldNumbers[i] - 1)], values[i], options.PartialKey, key.Value))
      return false;
    keys.push_back(std::move(key));
  }
  const std::vector<uint8_t> saved = FCursor->GetBookmark();
  TCursorFilter *filter =
      FCursor->AddFilter(std::make_unique<TLocateFilter>(std::move(keys), options.CaseInsensitive, options.PartialKey),
                         false);
  std::vector<uint8_t> foundAt;
  try {
    FCursor->ActivateFilter(filter);
    FCursor->SetToBegin();
    std::vector<uint8_t> record(FCursor->RecordBufferSize(), 0);
    if (FCursor->GetNextRecord(record.data()) == KURA_NONE) foundAt = FCursor->GetBookmark();
  } catch (...) {
    FCursor->DropFilter(filter);
    FCursor->SetToBookmark(saved);
    ReadCurrent();
    throw;
  }
  FCursor->DropFilter(filter);
  FCursor->SetToBookmark(foundAt.empty() ? saved : foundAt);
  if (foundAt.empty()) {
    ReadCurrent();
    return false;
  }
  TakeRecord(true);
  return FHasRecord;
}

bool TKuraDataSet::LocateRecord(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                                const TLocateOptions &options) {
  if (values.size() != fieldNumbers.size()) RaiseDatabaseError(dsmsg::LocateValueCount);
  if (!FHasRecord) return false;  // nothing visible to find
  bool found = false;
  if (LocateByKey(fieldNumbers, values, options, found)) return found;
  if (LocateOnOtherIndex(fieldNumbers, values, options, found)) return found;
  return LocateByFilter(fieldNumbers, values, options);
}

bool TKuraDataSet::Locate(const std::string &keyFields, const std::vector<TKuraValue> &values,
                          const TLocateOptions &options) {
  CheckActive();
  CheckBrowseMode();
  const std::vector<int> numbers = KeyFieldNumbers(keyFields);
  if (values.size() != numbers.size()) RaiseDatabaseError(dsmsg::LocateValueCount);
  if (!FHasRecord) return false;
  if (BeforeScroll) BeforeScroll(*this);
  if (!LocateRecord(numbers, values, options)) return false;
  DoScrolled();
  return true;
}

bool TKuraDataSet::Locate(const std::string &keyFields, const TKuraValue &value, const TLocateOptions &options) {
  return Locate(keyFields, std::vector<TKuraValue>{value}, options);
}

std::vector<TKuraValue> TKuraDataSet::Lookup(const std::string &keyFields, const std::vector<TKuraValue> &values,
                                             const std::string &resultFields) {
  CheckActive();
  CheckBrowseMode();
  const std::vector<int> numbers = KeyFieldNumbers(keyFields);
  std::vector<TField *> results;
  for (const std::string &name : SplitFieldList(resultFields)) results.push_back(&FieldByName(name));
  if (values.size() != numbers.size()) RaiseDatabaseError(dsmsg::LocateValueCount);
  if (!FHasRecord) return {};
  const std::vector<uint8_t> savedBookmark = FCursor->GetBookmark();
  const std::vector<uint8_t> savedRecord = FCurrent;
  const bool savedBof = FBof, savedEof = FEof;
  std::vector<TKuraValue> out;
  bool found = false;
  try {
    found = LocateRecord(numbers, values, TLocateOptions{});
    if (found)
      for (TField *f : results) out.push_back(f->Value());
  } catch (...) {
    FCursor->SetToBookmark(savedBookmark);
    FCurrent = savedRecord;
    FHasRecord = true;
    FBof = savedBof;
    FEof = savedEof;
    throw;
  }
  if (found) FCursor->SetToBookmark(savedBookmark);
  FCurrent = savedRecord;
  FHasRecord = true;
  FBof = savedBof;
  FEof = savedEof;
  return out;
}

}  // namespace kura

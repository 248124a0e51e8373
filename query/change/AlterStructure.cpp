// The structure ALTER TABLE changes: read from the open table, altered in order, handed on.
#include "query/change/AlterStructure.h"

#include <algorithm>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/file/FileNames.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"
#include "engine/util/TextScan.h"

namespace kura {

namespace {

KeyCompression CompressionOf(TIndexCompression c) {
  switch (c) {
    case TIndexCompression::DupByte: return KeyCompression::DuplicateBytes;
    case TIndexCompression::TrailByte: return KeyCompression::TrailingBytes;
    case TIndexCompression::Full: return KeyCompression::Full;
    default: return KeyCompression::None;
  }
}

// The type part of a column definition (type, subtype, declared size and scale).
void SetType(TFieldDescriptor &f, const TCreateField &c) {
  f.Type = c.DataType;
  f.SubType = c.SubType;
  f.DeclaredSize = 0;
  f.DeclaredScale = 0;
  // A String's size counts its terminating zero.
  if (c.DataType == EngineFieldType::String) f.DeclaredSize = static_cast<uint8_t>(c.Size > 0 ? c.Size - 1 : 0);
  else if (TypeHasDeclaredSize(c.DataType)) f.DeclaredSize = static_cast<uint8_t>(c.Size);
  if (c.DataType == EngineFieldType::BCD) f.DeclaredScale = c.Scale;
}

// The options of a column definition that were given.
void SetGivenOptions(TFieldDescriptor &f, const TCreateField &c) {
  if (c.DescriptionGiven) f.Description = c.Description;
  if (c.RequiredGiven) f.Required = c.Required;
  if (c.Default.Given) f.DefaultValue = c.Default.Text;
  if (c.Minimum.Given) f.MinValue = c.Minimum.Text;
  if (c.Maximum.Given) f.MaxValue = c.Maximum.Text;
  if (c.CharCaseGiven) f.CharCase = static_cast<FieldCharCase>(c.CharCase);
}

[[noreturn]] void FailKeyColumn(const std::string &column, const std::string &index) {
  RaiseSqlError("Invalid field name '" + column + "'" + " specified for index '" + index + "'");
}

}  // namespace

TAlterStructure::TAlterStructure(TDataCursor &cursor) {
  const TDataHeader &header = cursor.GetDataHeader();
  TDataFile &data = cursor.Table()->DataFile();
  for (const TFieldDescriptor &f : data.Fields()) FColumns.push_back({f, f.FieldNumber});
  FNextIdentity = static_cast<int>(FColumns.size()) + 1;
  FDefinition.LanguageId = data.LanguageId();
  FDefinition.SortId = data.SortId();
  FDefinition.Description = data.Description();
  FDefinition.Encrypted = data.Encrypted();
  FDefinition.Password = data.Password();
  FDefinition.UserMajorVersion = data.UserMajorVersion();
  FDefinition.UserMinorVersion = data.UserMinorVersion();
  FDefinition.BlobBlockSize = header.BlobBlockSize();
  FDefinition.LastAutoIncValue = -1;

  const TIndexHeader &indexes = cursor.IndexFile()->Header();
  auto keyOf = [&](int indexNo) {
    const TIndexDescriptor &d = indexes.Descriptors[indexNo];
    TKey key;
    key.Name = indexNo == kPrimaryIndex ? std::string("PRIMARY") : d.Name;
    key.Flags.Name = indexNo == kPrimaryIndex ? std::string() : d.Name;
    key.Flags.Unique = d.Unique;
    key.Flags.Descending = d.Descending;
    key.Flags.CaseInsensitive = d.CaseInsensitive;
    key.Flags.Compression = d.Compression;
    for (int i = 0; i < d.FieldCount && i < kMaxKeyFields; ++i) {
      const int number = d.FieldNumbers[i];
      const std::string name =
          number >= 1 && number <= static_cast<int>(FColumns.size()) ? FColumns[number - 1].Field.Name : std::string();
      key.Columns.push_back({number, name, d.FieldDescending[i] != 0});
    }
    return key;
  };
  FHasPrimary = cursor.HasPrimaryKey();
  if (FHasPrimary) FPrimary = keyOf(kPrimaryIndex);
  for (int i = 1; i <= indexes.SecondaryCount; ++i) FSecondaries.push_back(keyOf(i));
}

int TAlterStructure::Find(const std::string &name) const {
  const std::string wanted = TrimBlanks(name);
  for (size_t i = 0; i < FColumns.size(); ++i)
    if (SameTextIgnoringCase(TrimBlanks(FColumns[i].Field.Name), wanted)) return static_cast<int>(i);
  return -1;
}

int TAlterStructure::FindOrFail(const std::string &name) const {
  const int at = Find(name);
  if (at < 0) RaiseSqlError("Column " + name + " not found");
  return at;
}

void TAlterStructure::MoveTo(std::vector<TColumn> &columns, size_t from, int64_t position) {
  TColumn column = columns[from];
  columns.erase(columns.begin() + static_cast<long>(from));
  // AT n is 1-based; a position past the end puts the column last.
  const int64_t at = std::clamp<int64_t>(position - 1, 0, static_cast<int64_t>(columns.size()));
  columns.insert(columns.begin() + static_cast<long>(at), column);
}

TAlterStructure::TKey TAlterStructure::KeyFrom(const TCreateIndex &index) const {
  TKey key;
  key.Name = index.Name.empty() ? std::string("PRIMARY") : index.Name;
  key.Flags.Unique = true;
  key.Flags.Descending = index.Descending;
  key.Flags.CaseInsensitive = index.NoCase;
  key.Flags.Compression = CompressionOf(index.Compression);
  for (const std::string &column : index.Columns) {
    const int at = Find(column);
    if (at < 0) FailKeyColumn(column, key.Name);
    key.Columns.push_back({FColumns[static_cast<size_t>(at)].Identity, FColumns[static_cast<size_t>(at)].Field.Name,
                           index.Descending});
  }
  return key;
}

void TAlterStructure::Apply(const TAlteration &a) {
  if (a.OnPrimaryKey) {
    switch (a.Action) {
      case TAlterAction::Add:
        if (FHasPrimary) RaiseSqlError("Cannot REDEFINE the primary key using the ADD keyword");
        [[fallthrough]];
      case TAlterAction::Redefine:
        FPrimary = KeyFrom(a.Index);
        FHasPrimary = true;
        return;
      case TAlterAction::Drop:
        if (!FHasPrimary) {
          ErrorTexts texts;
          texts.Index = "PRIMARY";
          RaiseEngineError(KURA_INVALIDINDEXNAME, texts);
        }
        FHasPrimary = false;
        FPrimary = TKey{};
        return;
    }
    return;
  }
  const TCreateField &c = a.Field;
  switch (a.Action) {
    case TAlterAction::Add: {
      TColumn column;
      column.Field.Name = c.Name;
      SetType(column.Field, c);
      SetGivenOptions(column.Field, c);
      column.Identity = FNextIdentity++;
      FColumns.push_back(column);
      if (c.PositionGiven) MoveTo(FColumns, FColumns.size() - 1, c.Position);
      return;
    }
    case TAlterAction::Redefine: {
      const size_t at = static_cast<size_t>(FindOrFail(c.Name));
      TFieldDescriptor &f = FColumns[at].Field;
      if (c.TypeGiven) SetType(f, c);
      SetGivenOptions(f, c);
      if (c.PositionGiven) MoveTo(FColumns, at, c.Position);
      return;
    }
    case TAlterAction::Drop:
      FColumns.erase(FColumns.begin() + FindOrFail(c.Name));
      return;
  }
}

void TAlterStructure::ApplyOptions(const TTableOptions &o) {
  if (o.TextIndexGiven) RaiseSqlError("TEXT INDEX is not supported yet");
  if (o.DescriptionGiven) FDefinition.Description = o.Description;
  if (o.BlobBlockSizeGiven) FDefinition.BlobBlockSize = static_cast<int32_t>(o.BlobBlockSize);
  if (o.Language.LanguageGiven) {
    FDefinition.LanguageId = o.Language.LanguageId;
    FDefinition.SortId = o.Language.SortGiven ? o.Language.SortId : 0;
  } else if (o.Language.SortGiven) {
    FDefinition.SortId = o.Language.SortId;
  }
  if (o.EncryptedGiven) {
    // An empty password takes the encryption off.
    FDefinition.Encrypted = o.Encrypted;
    FDefinition.Password = o.Encrypted ? o.Password : std::string();
  }
  if (o.UserMajorVersionGiven) FDefinition.UserMajorVersion = static_cast<uint16_t>(o.UserMajorVersion);
  if (o.UserMinorVersionGiven) FDefinition.UserMinorVersion = static_cast<uint16_t>(o.UserMinorVersion);
  if (o.LastAutoIncGiven) FDefinition.LastAutoIncValue = o.LastAutoInc;
}

TIndexDefinition TAlterStructure::Resolve(const TKey &key, bool primary) const {
  TIndexDefinition d = key.Flags;
  d.Name = primary ? std::string() : key.Name;
  if (primary) d.Unique = true;
  for (const TKeyColumn &k : key.Columns) {
    int position = 0;
    for (size_t i = 0; i < FColumns.size(); ++i)
      if (FColumns[i].Identity == k.Identity) position = static_cast<int>(i) + 1;
    if (position == 0) FailKeyColumn(k.Name, key.Name);
    TIndexDefinitionField f;
    f.FieldNumber = static_cast<uint16_t>(position);
    f.FieldName = FColumns[static_cast<size_t>(position - 1)].Field.Name;
    f.Descending = k.Descending;
    d.Fields.push_back(f);
  }
  return d;
}

TRestructureDefinition TAlterStructure::Definition() const {
  TRestructureDefinition def = FDefinition;
  for (const TColumn &c : FColumns) {
    TFieldDescriptor f = c.Field;
    // Kept columns keep their number (their values come along); new ones ask for none.
    f.FieldNumber = static_cast<int16_t>(c.Identity);
    def.Fields.push_back(f);
  }
  if (FHasPrimary) def.Indexes.push_back(Resolve(FPrimary, true));
  for (const TKey &key : FSecondaries) def.Indexes.push_back(Resolve(key, false));
  return def;
}

}  // namespace kura

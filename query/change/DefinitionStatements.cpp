// CREATE TABLE, CREATE INDEX, DROP TABLE and DROP INDEX.
#include <cctype>

#include "engine/cursor/DataCursor.h"
#include "engine/data/DataFile.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexDefinition.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/change/ChangeExecutor.h"
#include "query/change/StatementTableFiles.h"

namespace kura {

namespace {

bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

TFieldDescriptor DescriptorOf(const TCreateField &c) {
  TFieldDescriptor f;
  f.Name = c.Name;
  f.Description = c.Description;
  f.Type = c.DataType;
  f.SubType = c.SubType;
  if (c.DataType == EngineFieldType::String) f.DeclaredSize = static_cast<uint8_t>(c.Size > 0 ? c.Size - 1 : 0);
  else if (TypeHasDeclaredSize(c.DataType)) f.DeclaredSize = static_cast<uint8_t>(c.Size);
  if (c.DataType == EngineFieldType::BCD) f.DeclaredScale = c.Scale;
  f.Required = c.Required;
  f.CharCase = static_cast<FieldCharCase>(c.CharCase);
  if (c.Default.Given) f.DefaultValue = c.Default.Text;
  if (c.Minimum.Given) f.MinValue = c.Minimum.Text;
  if (c.Maximum.Given) f.MaxValue = c.Maximum.Text;
  return f;
}

KeyCompression CompressionOf(TIndexCompression c) {
  switch (c) {
    case TIndexCompression::DupByte: return KeyCompression::DuplicateBytes;
    case TIndexCompression::TrailByte: return KeyCompression::TrailingBytes;
    case TIndexCompression::Full: return KeyCompression::Full;
    default: return KeyCompression::None;
  }
}

// An index definition naming its fields by number; unknown columns fail with the message
// naming the index.
TIndexDefinition IndexOf(const TCreateIndex &index, const std::vector<TFieldDescriptor> &fields,
                         const std::string &displayName) {
  TIndexDefinition d;
  d.Name = index.PrimaryKey ? std::string() : index.Name;
  d.Unique = index.Unique || index.PrimaryKey;
  d.Descending = index.Descending;
  d.CaseInsensitive = index.NoCase;
  d.Compression = CompressionOf(index.Compression);
  for (const std::string &column : index.Columns) {
    int no = 0;
    for (size_t i = 0; i < fields.size(); ++i)
      if (SameName(fields[i].Name, column)) no = static_cast<int>(i) + 1;
    if (no == 0)
      RaiseSqlError("Invalid field name '" + column + "'" + " specified for index '" + displayName + "'");
    TIndexDefinitionField f;
    f.FieldNumber = static_cast<uint16_t>(no);
    f.FieldName = fields[no - 1].Name;
    f.Type = fields[no - 1].Type;
    d.Fields.push_back(f);
  }
  return d;
}

}  // namespace

void TChangeExecutor::ExecuteCreateTable(TDataQuery &query) {
  TDataDirectory *directory = DirectoryOf(query.Target);
  const TTableRef &ref = query.Target;
  if (query.IfNotExists && directory->TableExists(ref.TableName, ref.InMemory)) return;
  CheckNewTableName(*directory, ref.TableName);
  const TTableOptions &o = query.TableOptions;
  if (o.TextIndexGiven) RaiseSqlError("TEXT INDEX is not supported yet");

  TDataFileDefinition definition;
  for (const TCreateField &c : query.CreateFields) definition.Fields.push_back(DescriptorOf(c));
  if (o.Language.LanguageGiven) definition.LanguageId = o.Language.LanguageId;
  if (o.Language.SortGiven) definition.SortId = o.Language.SortId;
  if (o.DescriptionGiven) definition.Description = o.Description;
  if (o.BlobBlockSizeGiven) definition.BlobBlockSize = static_cast<int32_t>(o.BlobBlockSize);
  if (o.UserMajorVersionGiven) definition.UserMajorVersion = static_cast<uint16_t>(o.UserMajorVersion);
  if (o.UserMinorVersionGiven) definition.UserMinorVersion = static_cast<uint16_t>(o.UserMinorVersion);
  if (o.EncryptedGiven && o.Encrypted) {
    definition.Encrypted = true;
    definition.Password = o.Password;
    // The creator may use the table at once.
    FSession.AddPassword(o.Password);
  }
  std::vector<TIndexDefinition> indexes;
  if (query.HasPrimaryKey) {
    TCreateIndex key = query.PrimaryKey;
    key.PrimaryKey = true;
    indexes.push_back(IndexOf(key, definition.Fields, key.Name.empty() ? std::string("PRIMARY") : key.Name));
  }
  TDataCursor cursor(directory, ref.TableName);
  TCursorOptions options;
  options.InMemory = ref.InMemory;
  options.Exclusive = true;
  cursor.SetOptions(options);
  cursor.CreateTable(definition, indexes);
  if (o.LastAutoIncGiven) {
    // The data file keeps the last value given out; set it with the table open alone.
    TDataTable *table = directory->OpenTable(ref.TableName, true, false, ref.InMemory, false);
    try {
      table->DataFile().SetLastAutoIncValue(static_cast<int32_t>(o.LastAutoInc));
    } catch (...) {
      directory->CloseTable(table);
      throw;
    }
    directory->CloseTable(table);
  }
}

void TChangeExecutor::WithTableAlone(const TTableRef &ref, const std::function<void(TDataCursor &)> &work) {
  TDataCursor cursor(DirectoryOf(ref), ref.TableName);
  TCursorOptions options;
  options.InMemory = ref.InMemory;
  options.Exclusive = true;
  cursor.SetOptions(options);
  cursor.OpenCursor();
  try {
    work(cursor);
  } catch (...) {
    cursor.CloseCursor();
    throw;
  }
  cursor.CloseCursor();
}

void TChangeExecutor::ExecuteCreateIndex(TDataQuery &query) {
  WithTableAlone(query.Target, [&](TDataCursor &cursor) {
    bool exists = false;
    for (const std::string &name : cursor.IndexNames())
      if (SameName(name, query.Index.Name)) exists = true;
    if (!(exists && query.IfNotExists)) {
      TCreateIndex index = query.Index;
      index.PrimaryKey = false;
      // A statement never deletes rows to make an index unique: equal keys refuse it.
      cursor.AddSecondaryIndex(IndexOf(index, cursor.Fields(), index.Name), /*refuseDuplicates=*/true);
    }
  });
}

void TChangeExecutor::ExecuteDropTable(TDataQuery &query) {
  TDataDirectory *directory = DirectoryOf(query.Target);
  if (query.IfExists && !directory->TableExists(query.Target.TableName, query.Target.InMemory)) return;
  DeleteTableOpenedAlone(*directory, query.Target.TableName, query.Target.InMemory);
}

void TChangeExecutor::ExecuteDropIndex(TDataQuery &query) {
  TDataDirectory *directory = DirectoryOf(query.Target);
  if (query.IfExists && !directory->TableExists(query.Target.TableName, query.Target.InMemory)) return;
  WithTableAlone(query.Target, [&](TDataCursor &cursor) {
    bool exists = query.Index.PrimaryKey ? cursor.HasPrimaryKey() : false;
    if (!query.Index.PrimaryKey)
      for (const std::string &name : cursor.IndexNames())
        if (SameName(name, query.Index.Name)) exists = true;
    if (exists || !query.IfExists) cursor.DeleteIndex(query.Index.PrimaryKey ? std::string() : query.Index.Name);
  });
}

}  // namespace kura

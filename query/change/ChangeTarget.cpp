#include "query/change/ChangeTarget.h"

#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "query/select/SelectBlobs.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

TChangeTarget::TChangeTarget(TDataDirectory *directory, const TTableRef &ref, const std::string &correlation,
                             bool exclusive)
    : FCursor(std::make_unique<TDataCursor>(directory, ref.TableName)),
      FTableName(ref.TableName),
      FCorrelation(correlation.empty() ? ref.TableName : correlation) {
  TCursorOptions options;
  options.InMemory = ref.InMemory;
  options.Exclusive = exclusive;
  options.NaturalOrder = false;
  FCursor->SetOptions(options);
  FCursor->OpenCursor();
  FRecord = FCursor->NewRecordBuffer();
}

TChangeTarget::TChangeTarget(std::unique_ptr<TDataCursor> cursor, const TTableRef &ref,
                             const std::string &correlation)
    : FCursor(std::move(cursor)),
      FTableName(ref.TableName),
      FCorrelation(correlation.empty() ? ref.TableName : correlation) {
  FRecord = FCursor->NewRecordBuffer();
}

TChangeTarget::~TChangeTarget() {
  try {
    if (FCursor && FCursor->IsOpen()) FCursor->CloseCursor();
  } catch (...) {
    // The statement's own failure (if any) is the one reported.
  }
}

int TChangeTarget::FindField(const std::string &name) const {
  const auto &fields = FCursor->Fields();
  for (size_t i = 0; i < fields.size(); ++i)
    if (SameName(fields[i].Name, name)) return static_cast<int>(i) + 1;
  return 0;
}

void TChangeTarget::Check(TExpTreePtr &tree, const char *contextName, bool condition) {
  if (!tree) return;
  TCheckContext context;
  context.ContextName = contextName;
  context.Resolver = this;
  context.RootIsCondition = condition;
  context.ErrorTable = FTableName;
  TExpToken *root = CheckExpression(tree.get(), context);
  if (root != tree.get()) {
    (void)tree.release();
    tree.reset(root);
  }
}

bool TChangeTarget::ResolveColumn(TExpToken &column) {
  if (!column.TableName.empty() && !SameName(column.TableName, FCorrelation)) return false;
  const int no = FindField(column.ColumnName);
  if (no == 0) return false;
  const TTypeInfo info = FieldTypeInfo(FCursor->Field(no));
  column.DataType = info.Type;
  column.SubType = info.SubType;
  column.Size = info.Size;
  column.Scale = info.Scale;
  column.FieldNo = no;
  column.Source = this;
  return true;
}

bool TChangeTarget::IsSourceTable(const std::string &name) {
  return SameName(name, FTableName) || SameName(name, FCorrelation);
}

bool TChangeTarget::ResolveSubSelect(TExpToken &node) { return FSubSelects && FSubSelects->Resolve(node); }

bool TChangeTarget::SubSelectMatches(const TExpToken &subSelect, const TExpToken &valueNode, const TExpValue &value) {
  if (!FSubSelects) return false;
  TEvaluator evaluator(this, FCursor->LanguageId(), FCursor->SortId());
  return FSubSelects->Matches(evaluator, subSelect, valueNode, value);
}

void TChangeTarget::ReadColumn(const TExpToken &column, TExpValue &value) {
  const TFieldDescriptor &field = FCursor->Field(column.FieldNo);
  if (field.Type == EngineFieldType::Blob) {
    ReadBlobValue(*FCursor->Table(), field, FRecord.data(), value);
    return;
  }
  ReadFieldValue(field, FRecord.data(), value);
}

bool TChangeTarget::LastAutoIncValue(const std::string &table, int64_t &value) {
  if (!IsSourceTable(table)) return false;
  value = FCursor->GetDataHeader().LastAutoIncValue();
  return true;
}

void TChangeTarget::StoreValues(const std::vector<int> &fields, const std::vector<TUpdateValue> &values,
                                const char *statementName, TEvalContext *context) {
  TEvaluator evaluator(context ? context : this, FCursor->LanguageId(), FCursor->SortId());
  // Every value is worked out before the first is stored (a value may read the row's fields). A
  // constant is stored from the statement as it stands: a literal may be a blob of many
  // megabytes, not to be copied once more.
  std::vector<TExpValue> results(fields.size());
  for (size_t i = 0; i < fields.size(); ++i)
    if (values[i].Expression->Kind != TExpNodeKind::Constant) evaluator.Eval(*values[i].Expression, results[i]);
  for (size_t i = 0; i < fields.size(); ++i) {
    const TExpToken &node = *values[i].Expression;
    const TExpValue &value = node.Kind == TExpNodeKind::Constant ? node.Value : results[i];
    StoreTyped(fields[i], TTypeInfo{node.DataType, node.SubType, node.Size, node.Scale}, value, statementName);
  }
}

void TChangeTarget::StoreTyped(int fieldNo, const TTypeInfo &from, const TExpValue &value,
                               const char *statementName) {
  const TFieldDescriptor &field = FCursor->Field(fieldNo);
  uint8_t *record = FRecord.data();
  if (field.Type == EngineFieldType::Blob) {
    // The blob's chain is reused (or freed) by the cursor when the record is posted. Strings
    // and memos go in without a terminator; TExpValue holds none.
    // A string goes in as it is held (a blob's value may be many megabytes: no copy of it).
    std::string converted;
    std::string_view bytes;
    if (!value.Null) {
      if (HoldsString(from.Type)) {
        bytes = value.Str;
      } else {
        converted = ValueText(from, value);
        bytes = converted;
      }
    }
    FCursor->OpenBlob(record, fieldNo);
    FCursor->TruncateBlob(record, fieldNo, 0);
    if (!bytes.empty())
      FCursor->PutBlob(record, fieldNo, 0, static_cast<uint32_t>(bytes.size()),
                       reinterpret_cast<const uint8_t *>(bytes.data()));
    // Closed again at once: the changed value waits for the post (or the cancel) all the
    // same, and is then released, so a statement writing many rows never holds more than one
    // open blob per field.
    FCursor->FreeBlob(record, fieldNo);
    return;
  }
  if (value.Null) {
    FCursor->SetFieldNull(fieldNo, record);
    return;
  }
  const TTypeInfo to = FieldTypeInfo(field);
  TExpValue converted;
  if (!ConvertValue(from, value, to, converted))
    RaiseSqlError("Type mismatch between column " + field.Name + " and constant value " + ValueText(from, value) +
                  " in " + statementName + " statement");
  if (field.IsAutoInc()) {
    // The value lives in the record prefix; it is kept only when auto-increment is suppressed.
    if (!converted.Null) FCursor->SetInteger(fieldNo, record, converted.Int);
    return;
  }
  WriteFieldValue(field, record, converted, FCursor->LanguageId());
}

}  // namespace kura

#include "query/change/JoinedSources.h"

#include <cctype>

#include "engine/errors/EngineError.h"
#include "engine/table/DataTable.h"
#include "query/change/ChangeExecutor.h"
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

TJoinedSources::TJoinedSources(TChangeExecutor &executor, TChangeTarget &target, TDataQuery &query)
    : FTarget(target) {
  for (size_t i = 1; i < query.Sources.size(); ++i) {
    const TSourceTable &parsed = query.Sources[i];
    auto source = std::make_unique<TSource>();
    source->TableName = parsed.TableName;
    source->Correlation = parsed.CorrelationName.empty() ? parsed.TableName : parsed.CorrelationName;
    source->Cursor = std::make_unique<TDataCursor>(executor.DirectoryOf(parsed), parsed.TableName);
    TCursorOptions options;
    options.InMemory = parsed.InMemory;
    options.ReadOnly = true;
    options.NaturalOrder = true;
    source->Cursor->SetOptions(options);
    source->Cursor->OpenCursor();
    source->Record = source->Cursor->NewRecordBuffer();
    for (const TJoinExpression &join : query.Joins) {
      if (join.JoinedPosition != static_cast<int>(i) + 1) continue;
      if (join.Kind == TJoinKind::RightOuter)
        RaiseSqlError("RIGHT OUTER JOIN in UPDATE and DELETE statements is not supported yet");
      source->Outer = join.Kind == TJoinKind::LeftOuter;
    }
    FSources.push_back(std::move(source));
  }
  for (const TJoinExpression &join : query.Joins)
    if (join.JoinedPosition == 1) RaiseSqlError("The table being changed cannot be the joined table of a join");
  FEvaluator = std::make_unique<TEvaluator>(this, target.Cursor().LanguageId(), target.Cursor().SortId());
}

TJoinedSources::~TJoinedSources() {
  for (auto &source : FSources) {
    try {
      if (source->Cursor->IsOpen()) source->Cursor->CloseCursor();
    } catch (...) {
    }
  }
}

void TJoinedSources::CheckTree(TExpTreePtr &tree, const char *contextName, bool condition) {
  if (!tree) return;
  TCheckContext context;
  context.ContextName = contextName;
  context.Resolver = this;
  context.RootIsCondition = condition;
  TExpToken *root = CheckExpression(tree.get(), context);
  if (root != tree.get()) {
    (void)tree.release();
    tree.reset(root);
  }
}

void TJoinedSources::Check(TDataQuery &query, bool checkValues) {
  if (checkValues)
    for (TUpdateValue &v : query.UpdateValues) CheckTree(v.Expression, "value expression", false);
  CheckTree(query.Where, "WHERE clause", true);
  for (TJoinExpression &join : query.Joins) {
    CheckTree(join.Condition, "JOIN clause", true);
    const size_t k = static_cast<size_t>(join.JoinedPosition) - 2;
    if (k < FSources.size()) FSources[k]->On = join.Condition.get();
  }
}

bool TJoinedSources::ResolveColumn(TExpToken &column) {
  // The changed table first, then the others in the order written.
  if (FTarget.ResolveColumn(column)) return true;
  for (auto &source : FSources) {
    if (!column.TableName.empty() && !SameName(column.TableName, source->Correlation)) continue;
    const auto &fields = source->Cursor->Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
      if (!SameName(fields[i].Name, column.ColumnName)) continue;
      const TTypeInfo info = FieldTypeInfo(fields[i]);
      column.DataType = info.Type;
      column.SubType = info.SubType;
      column.Size = info.Size;
      column.Scale = info.Scale;
      column.FieldNo = static_cast<int>(i) + 1;
      column.Source = source.get();
      return true;
    }
    if (!column.TableName.empty()) return false;
  }
  return false;
}

bool TJoinedSources::IsSourceTable(const std::string &name) {
  if (FTarget.IsSourceTable(name)) return true;
  for (auto &source : FSources)
    if (SameName(name, source->TableName) || SameName(name, source->Correlation)) return true;
  return false;
}

void TJoinedSources::ReadColumn(const TExpToken &column, TExpValue &value) {
  if (column.Source == &FTarget) {
    FTarget.ReadColumn(column, value);
    return;
  }
  const TSource &source = *static_cast<const TSource *>(column.Source);
  value.Clear();
  if (source.NullRow) return;
  const TFieldDescriptor &field = source.Cursor->Field(column.FieldNo);
  if (field.Type == EngineFieldType::Blob) {
    ReadBlobValue(*source.Cursor->Table(), field, source.Record.data(), value);
    return;
  }
  ReadFieldValue(field, source.Record.data(), value);
}

bool TJoinedSources::FindMatch(const TExpToken *where) { return Match(0, where); }

bool TJoinedSources::Match(size_t k, const TExpToken *where) {
  if (k == FSources.size()) return !where || FEvaluator->Condition(*where);
  TSource &source = *FSources[k];
  bool matchedAny = false;
  source.NullRow = false;
  source.Cursor->SetToBegin();
  while (source.Cursor->GetNextRecord(source.Record.data()) == 0) {
    if (source.On && !FEvaluator->Condition(*source.On)) continue;
    matchedAny = true;
    if (Match(k + 1, where)) return true;
  }
  if (source.Outer && !matchedAny) {
    source.NullRow = true;
    if (Match(k + 1, where)) return true;
    source.NullRow = false;
  }
  return false;
}

}  // namespace kura

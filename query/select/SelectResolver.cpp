#include "query/select/SelectResolver.h"

#include <cctype>
#include <string_view>

#include "engine/util/TextScan.h"

#include "query/select/SelectBlobs.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectValues.h"

namespace kura {

bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

namespace {

std::string_view WithoutBlanks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

// The number of the field a column name names (blanks around either and case do not count),
// 0 for none: the data file's own lookup, without copying every field's name for it.
int FieldNumberOf(const TDataFile &file, std::string_view name) {
  name = WithoutBlanks(name);
  for (int no = 1; no <= file.FieldCount(); ++no)
    if (SameTextIgnoringCase(WithoutBlanks(file.Field(no).Name), name)) return no;
  return 0;
}

}  // namespace

void BindColumn(TExpToken &column, const TFieldDescriptor &field, int fieldNo, TRowSource *row) {
  TTypeInfo info = FieldTypeInfo(field);
  column.DataType = info.Type;
  column.SubType = info.SubType;
  column.Size = info.Size;
  column.Scale = info.Scale;
  column.FieldNo = fieldNo;
  column.Source = row;
}

bool TSourceResolver::ResolveColumn(TExpToken &column) {
  for (auto &source : FPlan.Sources) {
    if (!column.TableName.empty() && !SameName(column.TableName, source->Parsed->CorrelationName))
      continue;
    const TDataFile &file = source->Table->DataFile();
    const int no = FieldNumberOf(file, column.ColumnName);
    if (no == 0) {
      if (!column.TableName.empty()) return false;
      continue;
    }
    BindColumn(column, file.Field(no), no, &source->Row);
    return true;
  }
  return false;
}

bool TSourceResolver::ResolveSubSelect(TExpToken &node) {
  TSelectPlan *sub = FOwner.PlanOf(node.SubQuery);
  if (!sub || sub->VisibleCount != 1) return false;
  const TTypeInfo info = FieldTypeInfo(sub->Columns[0].Field);
  node.DataType = info.Type;
  node.SubType = info.SubType;
  node.Size = info.Size;
  node.Scale = info.Scale;
  return true;
}

bool TSourceResolver::IsSourceTable(const std::string &name) {
  for (auto &source : FPlan.Sources)
    if (SameName(source->Parsed->TableName, name) || SameName(source->Parsed->CorrelationName, name))
      return true;
  return false;
}

bool TResultResolver::ResolveColumn(TExpToken &column) {
  // Rewritten aggregates carry their column index already.
  if (column.FieldNo > 0 && column.Source == &FPlan.ResultRow) {
    BindColumn(column, FPlan.ResultFields[column.FieldNo - 1], column.FieldNo, &FPlan.ResultRow);
    return true;
  }
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (c.Kind == TColumnKind::AvgCount) continue;
    bool match = false;
    if (column.TableName.empty() && SameName(c.DisplayName, column.ColumnName)) match = true;
    if (!match && c.Kind == TColumnKind::Plain && c.Source &&
        SameName(c.Source->Table->DataFile().Field(c.SourceField).Name, column.ColumnName) &&
        (column.TableName.empty() || SameName(column.TableName, c.Source->Parsed->CorrelationName)))
      match = true;
    if (match) {
      BindColumn(column, FPlan.ResultFields[i], static_cast<int>(i) + 1, &FPlan.ResultRow);
      return true;
    }
  }
  return false;
}

void TRowEvalContext::ReadColumn(const TExpToken &column, TExpValue &value) {
  auto *row = static_cast<TRowSource *>(column.Source);
  if (!row || row->NullRow || !row->Record || !row->Fields || column.FieldNo < 1 ||
      column.FieldNo > static_cast<int>(row->Fields->size())) {
    value.Clear();
    return;
  }
  const TFieldDescriptor &field = (*row->Fields)[column.FieldNo - 1];
  if (field.Type == TDataType::Blob && row->Table) ReadBlobValue(*row->Table, field, row->Record, value);
  else ReadFieldValue(field, row->Record, value);
}

bool TRowEvalContext::SubSelectMatches(const TExpToken &subSelect, const TExpToken &valueNode,
                                       const TExpValue &value) {
  if (!subSelect.SubQuery) return false;
  // True when a row of the sub-select has a column equal to the value, by the rules of "="
  // (so a NULL value finds a NULL column).
  const std::vector<TExpValue> &values = FOwner.SubSelectValues(subSelect.SubQuery);
  TEvaluator evaluator(this, FPlan ? FPlan->LanguageId : 0, FPlan ? FPlan->SortId : 0);
  for (const TExpValue &v : values)
    if (evaluator.CompareOperands(TExpCode::Equal, valueNode, value, subSelect, v)) return true;
  return false;
}

bool TRowEvalContext::LastAutoIncValue(const std::string &table, int64_t &value) {
  if (!FPlan) return false;
  for (auto &source : FPlan->Sources)
    if (SameName(source->Parsed->TableName, table) || SameName(source->Parsed->CorrelationName, table)) {
      value = source->Table->DataFile().LastAutoIncValue();
      return true;
    }
  return false;
}

}  // namespace kura

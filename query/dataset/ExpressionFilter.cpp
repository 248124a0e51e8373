// The dataset's filters on its cursor.
#include "query/dataset/ExpressionFilter.h"

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "query/dataset/TextCompare.h"
#include "query/expr/Evaluator.h"
#include "query/expr/Parser.h"
#include "query/expr/TypeChecker.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

class TCursorColumns : public TColumnResolver, public TEvalContext {
 public:
  TCursorColumns(TDataCursor &cursor, const uint8_t *record) : FCursor(cursor), FRecord(record) {}

  bool ResolveColumn(TExpToken &column) override {
    const std::vector<TFieldDescriptor> &fields = FCursor.Fields();
    const std::string name = TrimText(column.ColumnName.empty() ? column.Text : column.ColumnName);
    for (size_t i = 0; i < fields.size(); ++i) {
      if (!SameText(fields[i].Name, name)) continue;
      TTypeInfo t = FieldTypeInfo(fields[i]);
      column.DataType = t.Type;
      column.SubType = t.SubType;
      column.Size = t.Size;
      column.Scale = t.Scale;
      column.FieldNo = static_cast<int>(i) + 1;
      column.Source = &FCursor;
      return true;
    }
    return false;
  }
  bool ResolvesStringConstants() const override { return true; }

  void ReadColumn(const TExpToken &column, TExpValue &value) override {
    value.Clear();
    const std::vector<TFieldDescriptor> &fields = FCursor.Fields();
    if (!FRecord || column.FieldNo < 1 || column.FieldNo > static_cast<int>(fields.size())) return;
    ReadFieldValue(fields[static_cast<size_t>(column.FieldNo - 1)], FRecord, value);
  }

 private:
  TDataCursor &FCursor;
  const uint8_t *FRecord;
};

[[noreturn]] void RaiseFilterError(const TDataCursor &cursor, const char *detail) {
  ErrorTexts texts;
  texts.Table = cursor.TableName();
  texts.Message = detail;
  RaiseEngineError(KURA_INVALIDFILTER, texts);
}

// Case and partial options go onto the comparisons of the tree.
void ApplyOptions(TExpToken *node, bool caseInsensitive, bool partialCompare) {
  if (!node) return;
  if ((node->Kind == TExpNodeKind::Binary || node->Kind == TExpNodeKind::Compare) && IsComparisonCode(node->Code)) {
    const bool stringOperands = node->Left && HoldsString(node->Left->DataType) && node->Right &&
                                HoldsString(node->Right->DataType);
    if (stringOperands && caseInsensitive) {
      node->Kind = TExpNodeKind::Compare;
      node->CaseInsensitive = true;
    }
    // 'abc*' compares as a prefix unless partial comparison is switched off.
    TExpToken *constant = node->Right;
    if (stringOperands && partialCompare && node->Code == TExpCode::Equal && constant && constant->IsConstant() &&
        !constant->Value.Null && constant->Value.Str.size() > 1 && constant->Value.Str.back() == '*') {
      constant->Value.Str.pop_back();
      node->Kind = TExpNodeKind::Compare;
      node->PartialLength = static_cast<uint32_t>(constant->Value.Str.size());
    }
  }
  ApplyOptions(node->Left, caseInsensitive, partialCompare);
  ApplyOptions(node->Right, caseInsensitive, partialCompare);
  for (TExpToken *a : node->Args) ApplyOptions(a, caseInsensitive, partialCompare);
}

}  // namespace

TExpressionFilter::TExpressionFilter(TDataCursor &cursor, const std::string &text, bool caseInsensitive,
                                     bool partialCompare)
    : FLanguageId(cursor.LanguageId()), FSortId(cursor.SortId()) {
  if (TrimText(text).empty()) RaiseFilterError(cursor, "filter expression is empty");
  TCursorColumns columns(cursor, nullptr);
  try {
    TExpressionParser parser;
    TExpToken *parsed = parser.ParseWholeText(text, contexts::Filter, KURA_INVALIDFILTER);
    TExpTreePtr guard(parsed);
    TCheckContext check;
    check.ContextName = "filter expression";
    check.Resolver = &columns;
    check.ErrorCode = KURA_INVALIDFILTER;
    check.ErrorTable = cursor.TableName();
    check.RootIsCondition = true;
    TExpToken *root = CheckExpression(guard.get(), check);
    guard.release();  // now below (or equal to) the checked root
    FRoot.reset(root);
  } catch (const EKuraEngineError &) {
    RaiseFilterError(cursor, "filter expression is invalid");
  }
  if (FRoot->DataType != TDataType::Boolean) RaiseFilterError(cursor, "filter expression must be a boolean expression");
  ApplyOptions(FRoot.get(), caseInsensitive, partialCompare);
}

bool TExpressionFilter::Accepts(TDataCursor &cursor, const uint8_t *record) {
  TCursorColumns columns(cursor, record);
  TEvaluator evaluator(&columns, FLanguageId, FSortId);
  return evaluator.Condition(*FRoot);
}

bool TLocateFilter::Accepts(TDataCursor &cursor, const uint8_t *record) {
  const std::vector<TFieldDescriptor> &fields = cursor.Fields();
  TExpValue v;
  for (const TKey &key : FKeys) {
    const TFieldDescriptor &field = fields[static_cast<size_t>(key.FieldNumber - 1)];
    ReadFieldValue(field, record, v);
    if (key.Value.Null) {
      if (!v.Null) return false;
      continue;
    }
    if (v.Null) return false;
    if (HoldsString(field.Type)) {
      std::string have = FCaseInsensitive ? UpperText(v.Str) : v.Str;
      std::string want = FCaseInsensitive ? UpperText(key.Value.Str) : key.Value.Str;
      if (FPartial ? have.compare(0, want.size(), want) != 0 : have != want) return false;
    } else if (HoldsFloat(field.Type)) {
      if (v.Float != key.Value.Float) return false;
    } else if (v.Int != key.Value.Int) {
      return false;
    }
  }
  return true;
}

}  // namespace kura

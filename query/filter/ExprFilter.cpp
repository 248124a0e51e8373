#include "query/filter/ExprFilter.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/errors/EngineError.h"
#include "query/expr/ConstantFolding.h"
#include "query/expr/Evaluator.h"
#include "query/expr/Parser.h"
#include "query/expr/TypeChecker.h"
#include "query/filter/FilterIndexRanges.h"
#include "query/select/SelectBlobs.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

bool SameFieldName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Column names of a filter are the cursor's fields (calculated fields of a projection too).
class TCursorFieldResolver : public TColumnResolver {
 public:
  explicit TCursorFieldResolver(TDataCursor &cursor) : FCursor(cursor) {}
  bool ResolveColumn(TExpToken &column) override {
    const auto &fields = FCursor.Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
      if (!SameFieldName(fields[i].Name, column.ColumnName)) continue;
      const TTypeInfo info = FieldTypeInfo(fields[i]);
      column.DataType = info.Type;
      column.SubType = info.SubType;
      column.Size = info.Size;
      column.Scale = info.Scale;
      column.FieldNo = static_cast<int>(i) + 1;
      column.Source = &FCursor;
      return true;
    }
    return false;
  }
  bool ResolvesStringConstants() const override { return true; }

 private:
  TDataCursor &FCursor;
};

// Column nodes read from the record buffer being judged.
class TRecordEvalContext : public TEvalContext {
 public:
  TRecordEvalContext(TDataCursor &cursor, const uint8_t *record) : FCursor(cursor), FRecord(record) {}
  void ReadColumn(const TExpToken &column, TExpValue &value) override {
    if (column.FieldNo < 1 || column.FieldNo > FCursor.FieldCount()) {
      value.Clear();
      return;
    }
    const TFieldDescriptor &field = FCursor.Field(column.FieldNo);
    // Memo and other Blob fields read their contents from the table's blob file.
    if (field.Type == TDataType::Blob && field.Calculated == 0 && FCursor.Table())
      ReadBlobValue(*FCursor.Table(), field, FRecord, value);
    else
      ReadFieldValue(field, FRecord, value);
  }

 private:
  TDataCursor &FCursor;
  const uint8_t *FRecord;
};

[[noreturn]] void RaiseFilterError(TDataCursor &cursor, const char *detail) {
  ErrorTexts texts;
  texts.Table = cursor.TableName();
  texts.Message = detail;
  RaiseEngineError(KURA_INVALIDFILTER, texts);
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

}  // namespace

TExpTreePtr CompileFilterText(TDataCursor &cursor, std::string_view text, const TExprFilterOptions &options) {
  if (IsBlank(text)) RaiseFilterError(cursor, "filter expression is empty");
  TExpTreePtr checked;
  try {
    TExpressionParser parser;
    parser.SetErrorTable(cursor.TableName());
    TExpTreePtr parsed(parser.ParseWholeText(text, contexts::Filter, KURA_INVALIDFILTER));
    TCursorFieldResolver resolver(cursor);
    TCheckContext context;
    context.ContextName = contexts::Filter.Name;
    context.Resolver = &resolver;
    context.ErrorCode = KURA_INVALIDFILTER;
    context.ErrorTable = cursor.TableName();
    context.RootIsCondition = true;
    TExpToken *root = CheckExpression(parsed.get(), context);
    if (root != parsed.get()) {
      (void)parsed.release();  // the checker hung the old root below the new one
      checked.reset(root);
    } else {
      checked = std::move(parsed);
    }
  } catch (const EKuraEngineError &) {
    RaiseFilterError(cursor, "filter expression is invalid");
  }
  if (checked->DataType != TDataType::Boolean) RaiseFilterError(cursor, "filter expression must be a boolean expression");
  TurnConstantComparisons(checked.get());
  TFoldOptions fold;
  fold.CaseInsensitive = options.CaseInsensitive;
  fold.NoPartialCompare = !options.PartialCompare;
  return TExpTreePtr(CopyTreeFolded(checked.get(), fold, cursor.LanguageId(), cursor.SortId()));
}

TExprFilter *AddExprFilter(TDataCursor &cursor, std::string_view text, const TExprFilterOptions &options) {
  return AddExprFilter(cursor, CompileFilterText(cursor, text, options), options);
}

TExprFilter *AddExprFilter(TDataCursor &cursor, TExpTreePtr tree, const TExprFilterOptions &options) {
  if (!tree) RaiseFilterError(cursor, "filter expression is empty");
  if (tree->DataType != TDataType::Boolean) RaiseFilterError(cursor, "filter expression must be a boolean expression");
  auto filter = std::make_unique<TExprFilter>(cursor, std::move(tree), options);
  return static_cast<TExprFilter *>(cursor.AddFilter(std::move(filter), options.EndGroup));
}

TExprFilter::TExprFilter(TDataCursor &cursor, TExpTreePtr tree, const TExprFilterOptions &options)
    : FTree(std::move(tree)), FOptions(options) {
  if (FOptions.UseIndexes) Assign(cursor, *FTree);
}

TOptLevel TExprFilter::Level(const TExpToken &node) const {
  auto it = FInfo.find(&node);
  return it == FInfo.end() ? TOptLevel::None : it->second.Level;
}

TOptLevel TExprFilter::Assign(TDataCursor &cursor, TExpToken &node) {
  TNodeInfo info;
  const bool logical = node.Kind == TExpNodeKind::Binary && (node.Code == TExpCode::And || node.Code == TExpCode::Or);
  const bool passThrough = node.Kind == TExpNodeKind::Unary &&
                           (node.Code == TExpCode::Not || node.Code == TExpCode::Plus || node.Code == TExpCode::Negate);
  if (logical && node.Left && node.Right) {
    const TOptLevel l = Assign(cursor, *node.Left);
    const TOptLevel r = Assign(cursor, *node.Right);
    if (node.Code == TExpCode::And) {
      if (l == TOptLevel::Full && r == TOptLevel::Full) {
        info.Level = TOptLevel::Full;
      } else if (l != TOptLevel::None || r != TOptLevel::None) {
        info.Level = TOptLevel::Partial;
        // The answerable operand goes first: its set limits what the other one reads.
        if (l == TOptLevel::None || (l == TOptLevel::Partial && r == TOptLevel::Full)) std::swap(node.Left, node.Right);
      }
    } else if (l == TOptLevel::Full && r == TOptLevel::Full) {
      info.Level = TOptLevel::Full;
    }
  } else if (passThrough && node.Left) {
    // A partly answered operand still yields its exact set (the answered part narrows what
    // is read for the rest), so NOT can complement it.
    info.Level = Assign(cursor, *node.Left);
  } else {
    info.IndexNo = ServingIndex(cursor, node);
    if (info.IndexNo >= 0) info.Level = TOptLevel::Full;
  }
  FInfo[&node] = info;
  return info.Level;
}

int64_t TExprFilter::EstimatedCount(TDataCursor &cursor, const TExpToken &node) {
  const TNodeInfo info = FInfo.count(&node) ? FInfo.at(&node) : TNodeInfo{};
  if (info.Level == TOptLevel::None) return -1;
  if (info.IndexNo >= 0) return IndexMatchCount(cursor, info.IndexNo, node);
  if (node.Kind == TExpNodeKind::Binary && node.Code == TExpCode::And) {
    const int64_t l = EstimatedCount(cursor, *node.Left), r = EstimatedCount(cursor, *node.Right);
    if (l < 0) return r;
    if (r < 0) return l;
    return std::min(l, r);
  }
  if (node.Kind == TExpNodeKind::Binary && node.Code == TExpCode::Or)
    return std::max(EstimatedCount(cursor, *node.Left), EstimatedCount(cursor, *node.Right));
  if (node.Kind == TExpNodeKind::Unary && node.Code == TExpCode::Not) {
    const int64_t n = EstimatedCount(cursor, *node.Left);
    const int indexNo = AnyServingIndex(node);
    if (n < 0 || indexNo < 0) return -1;
    // Every index holds a key for each live record.
    return std::max<int64_t>(0, cursor.IndexTree(indexNo).KeyCount() - n);
  }
  return EstimatedCount(cursor, *node.Left);
}

int TExprFilter::AnyServingIndex(const TExpToken &node) const {
  const auto it = FInfo.find(&node);
  if (it != FInfo.end() && it->second.IndexNo >= 0) return it->second.IndexNo;
  for (const TExpToken *child : {node.Left, node.Right})
    if (child) {
      const int n = AnyServingIndex(*child);
      if (n >= 0) return n;
    }
  return -1;
}

bool TExprFilter::Check(TDataCursor &cursor, const TExpToken &node, const uint8_t *record) {
  TRecordEvalContext context(cursor, record);
  TEvaluator evaluator(&context, cursor.LanguageId(), cursor.SortId());
  return evaluator.Condition(node);
}

bool TExprFilter::Accepts(TDataCursor &cursor, const uint8_t *record) { return Check(cursor, *FTree, record); }

bool TExprFilter::BuildRecordSet(TDataCursor &cursor, const TRecordsBitmap &candidates, TRecordsBitmap &result) {
  TCandidateRecords matched;
  if (!MatchingRecords(cursor, TCandidateRecords::FromBitmap(candidates), matched)) return false;
  result = matched.ToBitmap();
  result.Resize(candidates.Capacity());
  return true;
}

bool TExprFilter::MatchingRecords(TDataCursor &cursor, const TCandidateRecords &candidates,
                                  TCandidateRecords &result) {
  // Indexes may have been added or deleted since the levels were given.
  if (FOptions.UseIndexes) {
    FInfo.clear();
    Assign(cursor, *FTree);
  }
  if (Level(*FTree) == TOptLevel::None) return false;
  Evaluate(cursor, *FTree, candidates, result);
  return true;
}

void TExprFilter::EvaluateEach(TDataCursor &cursor, const TExpToken &node, const TCandidateRecords &candidates,
                               TCandidateRecords &result) {
  std::vector<uint32_t> accepted;
  std::vector<uint8_t> buffer(cursor.RecordBufferSize());
  // Slot order: the data file's read-ahead pays when many candidates are read.
  candidates.ForEach([&](uint32_t n) {
    if (cursor.ReadRecordInto(static_cast<int32_t>(n), buffer.data(), 0) && Check(cursor, node, buffer.data()))
      accepted.push_back(n);
    return true;
  });
  result = TCandidateRecords::Of(std::move(accepted));
}

void TExprFilter::Evaluate(TDataCursor &cursor, const TExpToken &node, const TCandidateRecords &candidates,
                           TCandidateRecords &result) {
  const auto it = FInfo.find(&node);
  const TNodeInfo info = it == FInfo.end() ? TNodeInfo{} : it->second;
  if (info.Level == TOptLevel::None) {
    EvaluateEach(cursor, node, candidates, result);
    return;
  }
  if (info.IndexNo >= 0) {
    IndexMatchSet(cursor, info.IndexNo, node, candidates, result);
    return;
  }
  if (node.Kind == TExpNodeKind::Binary && node.Code == TExpCode::And) {
    // Full: both sets intersected; partial: the answerable (left) operand's set, and the other
    // operand only over that set.
    TCandidateRecords left;
    Evaluate(cursor, *node.Left, candidates, left);
    Evaluate(cursor, *node.Right, left, result);
    return;
  }
  if (node.Kind == TExpNodeKind::Binary && node.Code == TExpCode::Or) {
    TCandidateRecords right;
    Evaluate(cursor, *node.Left, candidates, result);
    Evaluate(cursor, *node.Right, candidates, right);
    result.UnionWith(right);
    return;
  }
  if (node.Kind == TExpNodeKind::Unary && node.Code == TExpCode::Not) {
    Evaluate(cursor, *node.Left, candidates, result);
    result.ComplementWithin(candidates);
    return;
  }
  Evaluate(cursor, *node.Left, candidates, result);  // unary plus and minus
}

}  // namespace kura

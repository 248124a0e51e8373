#include "query/expr/ConstantFolding.h"

#include "query/expr/Evaluator.h"
#include "query/expr/Like.h"
#include "query/expr/ValueConvert.h"

namespace kura {

namespace {

using T = TDataType;

class Folder {
 public:
  Folder(const TFoldOptions &o, uint16_t lang, uint16_t sort) : O(o), Lang(lang), Sort(sort) {}

  TExpToken *Fold(const TExpToken *n) {
    if (!n) return nullptr;
    if (n->Kind != TExpNodeKind::Constant && !n->IsAllColumns && !RefersToColumn(n)) {
      TExpToken *c = Evaluate(n, nullptr, Lang, Sort);
      return c;
    }
    TExpToken *copy = NewExpToken();
    TExpTreePtr guard(copy);
    TExpToken *left = Fold(n->Left);
    TExpToken *right = Fold(n->Right);
    std::vector<TExpToken *> args;
    for (const TExpToken *a : n->Args) args.push_back(Fold(a));
    CopyNodeWithChildren(copy, *n, left, right, args);
    Rewrite(copy, n);
    return guard.release();
  }

 private:
  // A constant meeting a column of another type takes the column's type.
  void MatchType(const TExpToken *left, TExpToken *constant) {
    if (!constant || constant->Kind != TExpNodeKind::Constant || constant->Value.Null ||
        constant->IsParameter || constant->DataType == T::String ||
        constant->DataType == left->DataType || left->DataType == T::Unknown)
      return;
    const T to = left->DataType;
    const T from = constant->DataType;
    bool wanted = false;
    if (IsIntegerType(to)) wanted = IsNumericType(from);
    else if (to == T::Float) wanted = IsIntegerType(from) || from == T::BCD;
    else if (to == T::BCD) wanted = IsIntegerType(from) || from == T::Float;
    else if (to == T::Date) wanted = from == T::TimeStamp;
    else if (to == T::TimeStamp) wanted = from == T::Date;
    if (!wanted) return;
    TTypeInfo fi{from, constant->SubType, constant->Size, constant->Scale};
    TTypeInfo ti{to, FieldSubType::None, DataTypeSize(to), to == T::BCD ? uint8_t(4) : uint8_t(0)};
    TExpValue v;
    if (!ConvertValue(fi, constant->Value, ti, v)) return;
    constant->Value = v;
    constant->DataType = to;
    constant->SubType = FieldSubType::None;
    constant->Size = ti.Size;
    constant->Scale = ti.Scale;
  }

  static bool IsUpperOfColumn(const TExpToken *n) {
    return n && n->Kind == TExpNodeKind::Function && n->Code == TExpCode::Upper &&
           n->Args.size() == 1 && n->Args[0]->Kind == TExpNodeKind::Column;
  }
  static bool IsUpperCall(const TExpToken *n) {
    return n && n->Kind == TExpNodeKind::Function && n->Code == TExpCode::Upper;
  }

  // `n` is the copy being built, `original` the node it was copied from (whose operands
  // have not been folded, so UPPER calls are still visible there).
  void Rewrite(TExpToken *n, const TExpToken *original) {
    const bool comparison =
        (n->Kind == TExpNodeKind::Binary || n->Kind == TExpNodeKind::Compare) &&
        IsComparisonCode(n->Code);
    if (comparison) {
      MatchType(n->Left, n->Right);
      StringComparison(n);
      if (IsUpperOfColumn(original->Left) && IsUpperCall(original->Right))
        n->CaseInsensitive = true;
      return;
    }
    if (n->Kind != TExpNodeKind::ExtPredicate || n->Args.empty()) return;
    const TExpToken *value = n->Args[0];
    bool allUpper = IsUpperOfColumn(original->Args[0]);
    for (size_t i = 1; i < n->Args.size(); ++i) {
      MatchType(value, n->Args[i]);
      allUpper = allUpper && IsUpperCall(original->Args[i]);
    }
    if (allUpper && n->Code != TExpCode::InSelect && n->Code != TExpCode::NotInSelect)
      n->CaseInsensitive = true;
    if (n->Code == TExpCode::Like || n->Code == TExpCode::NotLike) LikePrefix(n);
  }

  static bool IsStringConstant(const TExpToken *n) {
    return n && n->Kind == TExpNodeKind::Constant && n->DataType == T::String &&
           !n->IsParameter && !n->Value.Null;
  }

  void StringComparison(TExpToken *n) {
    if (n->Code != TExpCode::Equal && n->Code != TExpCode::NotEqual) return;
    if (n->Left->Kind != TExpNodeKind::Column || !IsStringConstant(n->Right)) return;
    std::string &text = n->Right->Value.Str;
    const bool star = !text.empty() && text.back() == '*' && text.front() != '*';
    if (!O.CaseInsensitive && !star) return;
    n->Kind = TExpNodeKind::Compare;
    n->CaseInsensitive = O.CaseInsensitive;
    if (star && !O.NoPartialCompare) {
      while (!text.empty() && text.back() == '*') text.pop_back();
      n->Right->Size = static_cast<uint32_t>(text.size()) + 1;
      n->PartialLength = static_cast<uint32_t>(Utf8CharCount(text));
    }
  }

  void LikePrefix(TExpToken *n) {
    TExpToken *value = n->Args[0];
    TExpToken *pattern = n->Args[1];
    if (value->Kind != TExpNodeKind::Column || !IsStringConstant(pattern)) return;
    const std::string &p = pattern->Value.Str;
    if (p.find('_') != std::string::npos || p.front() == '%') return;
    size_t first = p.find('%');
    if (first == std::string::npos) return;
    if (p.find_first_not_of('%', first) != std::string::npos) return;
    // column LIKE 'abc%' is the prefix comparison column = 'abc' over three characters.
    const std::string prefix = p.substr(0, first);
    const TExpCode code = n->Code == TExpCode::Like ? TExpCode::Equal : TExpCode::NotEqual;
    const bool caseInsensitive = n->CaseInsensitive;
    n->Args.clear();
    n->Kind = TExpNodeKind::Compare;
    n->Code = code;
    n->Text = code == TExpCode::Equal ? "=" : "<>";
    pattern->Value.Str = prefix;
    pattern->Size = static_cast<uint32_t>(prefix.size()) + 1;
    n->SetLeft(value);
    n->SetRight(pattern);
    n->PartialLength = static_cast<uint32_t>(Utf8CharCount(prefix));
    n->CaseInsensitive = caseInsensitive;
  }

  const TFoldOptions &O;
  uint16_t Lang, Sort;
};

}  // namespace

TExpToken *CopyTreeFolded(const TExpToken *root, const TFoldOptions &options,
                          uint16_t languageId, uint16_t sortId) {
  Folder f(options, languageId, sortId);
  return f.Fold(root);
}

}  // namespace kura

namespace kura {

void TurnConstantComparisons(TExpToken *root) {
  if (!root) return;
  std::vector<TExpToken *> pending{root};
  while (!pending.empty()) {
    TExpToken *n = pending.back();
    pending.pop_back();
    if ((n->Kind == TExpNodeKind::Binary || n->Kind == TExpNodeKind::Compare) &&
        IsComparisonCode(n->Code) && n->Left && n->Right && n->Left->IsConstant() &&
        !n->Right->IsConstant()) {
      std::swap(n->Left, n->Right);
      switch (n->Code) {
        case TExpCode::Greater: n->Code = TExpCode::Less, n->Text = "<"; break;
        case TExpCode::Less: n->Code = TExpCode::Greater, n->Text = ">"; break;
        case TExpCode::GreaterEqual: n->Code = TExpCode::LessEqual, n->Text = "<="; break;
        case TExpCode::LessEqual: n->Code = TExpCode::GreaterEqual, n->Text = ">="; break;
        default: break;
      }
    }
    if (n->Left) pending.push_back(n->Left);
    if (n->Right) pending.push_back(n->Right);
    for (TExpToken *a : n->Args)
      if (a) pending.push_back(a);
  }
}

}  // namespace kura

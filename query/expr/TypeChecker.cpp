#include "query/expr/TypeChecker.h"

#include "engine/errors/EngineError.h"
#include "query/expr/DateTimeText.h"
#include "query/expr/ValueConvert.h"

namespace kura {

namespace {

using T = TDataType;

TTypeInfo InfoOf(const TExpToken &n) { return {n.DataType, n.SubType, n.Size, n.Scale}; }
void SetInfo(TExpToken &n, const TTypeInfo &i) {
  n.DataType = i.Type;
  n.SubType = i.SubType;
  n.Size = i.Size;
  n.Scale = i.Scale;
}

bool IsStr(const TTypeInfo &i) { return IsStringLike(i.Type, i.SubType); }
bool IsMemoT(const TTypeInfo &i) { return IsMemo(i.Type, i.SubType); }
bool IsUntyped(const TTypeInfo &i) { return i.Type == T::Unknown; }

bool IsDateOrStamp(T t) { return t == T::Date || t == T::TimeStamp; }

bool ComparisonAllows(bool equality, const TTypeInfo &l, const TTypeInfo &r) {
  if (IsUntyped(l) || IsUntyped(r)) return true;
  if (IsDateOrStamp(l.Type)) return IsDateOrStamp(r.Type);
  if (IsStr(l)) return IsStr(r);
  if (IsNumericType(l.Type)) return IsNumericType(r.Type);
  if (l.Type == T::Time) return r.Type == T::Time;
  if (!equality) return false;
  if (l.Type == T::Boolean) return r.Type == T::Boolean;
  if (l.Type == T::Bytes || l.Type == T::VarBytes) return r.Type == T::Bytes || r.Type == T::VarBytes;
  return false;  // other Blobs compare with NULL only
}

}  // namespace

bool OperatorAllows(TExpCode op, const TTypeInfo &l, const TTypeInfo &r) {
  switch (op) {
    case TExpCode::Equal:
    case TExpCode::NotEqual: return ComparisonAllows(true, l, r);
    case TExpCode::Greater:
    case TExpCode::Less:
    case TExpCode::GreaterEqual:
    case TExpCode::LessEqual: return ComparisonAllows(false, l, r);
    case TExpCode::And:
    case TExpCode::Or:
      return (IsUntyped(l) || l.Type == T::Boolean) && (IsUntyped(r) || r.Type == T::Boolean);
    default: break;
  }
  if (IsUntyped(l) && IsUntyped(r)) return true;
  if (IsUntyped(l)) {
    // NULL on the left takes whatever the right side could be combined with.
    return IsNumericType(r.Type) || IsDateTimeType(r.Type) || (op == TExpCode::Add && IsStr(r));
  }
  const bool rInt = IsIntegerType(r.Type), rNum = IsNumericType(r.Type), rNull = IsUntyped(r);
  switch (op) {
    case TExpCode::Add:
      if (IsDateTimeType(l.Type)) return rNull || rInt;
      if (IsStr(l)) return rNull || IsStr(r);
      if (IsIntegerType(l.Type)) return rNull || rNum || IsDateTimeType(r.Type);
      if (l.Type == T::Float || l.Type == T::BCD) return rNull || rNum;
      return false;
    case TExpCode::Subtract:
      if (l.Type == T::Date) return rNull || r.Type == T::Date || rInt;
      if (IsNumericType(l.Type)) return rNull || rNum;
      if (l.Type == T::Time)
        return rNull || r.Type == T::Time || r.Type == T::SmallInt || r.Type == T::Integer ||
               r.Type == T::Word || r.Type == T::LargeInt;
      if (l.Type == T::TimeStamp) return rNull || IsDateTimeType(r.Type) || rInt;
      return false;
    case TExpCode::Multiply:
    case TExpCode::Divide: return IsNumericType(l.Type) && (rNull || rNum);
    default: return false;
  }
}

TTypeInfo ArithmeticResultType(TExpCode op, const TTypeInfo &l, const TTypeInfo &r) {
  TTypeInfo out;
  if (!OperatorAllows(op, l, r)) return out;
  auto sized = [](T t, FieldSubType s = FieldSubType::None, uint8_t scale = 0) {
    return TTypeInfo{t, s, DataTypeSize(t), scale};
  };
  if (IsUntyped(l) && IsUntyped(r)) return out;
  if (IsUntyped(r)) return l;
  if (IsUntyped(l)) return op == TExpCode::Divide && IsIntegerType(r.Type) ? sized(T::Float) : r;

  if (op == TExpCode::Add && IsStr(l)) {
    if (IsMemoT(l) || IsMemoT(r)) return sized(T::Blob, FieldSubType::Memo);
    return TTypeInfo{T::String, FieldSubType::None, l.Size + r.Size - 1, 0};
  }
  if (op == TExpCode::Add) {
    if (l.Type == T::Date || r.Type == T::Date) return sized(T::Date);
    if (l.Type == T::Time || r.Type == T::Time) return sized(T::Time);
    if (l.Type == T::TimeStamp || r.Type == T::TimeStamp) return sized(T::TimeStamp);
  }
  if (op == TExpCode::Subtract) {
    if (l.Type == T::Date) return r.Type == T::Date ? sized(T::Integer) : sized(T::Date);
    if (l.Type == T::Time) return r.Type == T::Time ? sized(T::Integer) : sized(T::Time);
    if (l.Type == T::TimeStamp) {
      if (r.Type == T::TimeStamp) return sized(T::Float);
      if (r.Type == T::Date || r.Type == T::Time) return sized(T::Integer);
      return sized(T::TimeStamp);
    }
  }
  // Numeric pairs.
  const bool anyFloat = l.Type == T::Float || r.Type == T::Float;
  const bool anyBcd = l.Type == T::BCD || r.Type == T::BCD;
  const bool anyLarge = l.Type == T::LargeInt || r.Type == T::LargeInt;
  if (op == TExpCode::Divide) {
    if (anyFloat) out = sized(T::Float);
    else if (anyBcd) out = sized(T::BCD, FieldSubType::None, std::max(l.Scale, r.Scale));
    else out = sized(T::Float);
  } else if (anyFloat) {
    out = sized(T::Float);
  } else if (anyBcd) {
    out = sized(T::BCD, FieldSubType::None, std::max(l.Scale, r.Scale));
  } else if (anyLarge) {
    out = sized(T::LargeInt);
  } else {
    out = sized(T::Integer);
  }
  const bool lMoney = l.SubType == FieldSubType::Money, rMoney = r.SubType == FieldSubType::Money;
  if (out.Type == T::Float &&
      ((lMoney && IsNumericType(r.Type)) ||
       ((op == TExpCode::Add || op == TExpCode::Multiply) && l.SubType == FieldSubType::None &&
        rMoney)))
    out.SubType = FieldSubType::Money;
  return out;
}

bool CastAllowed(T from, T to) {
  if (from == T::Unknown) return true;
  auto in = [from](std::initializer_list<T> list) {
    for (T t : list)
      if (t == from) return true;
    return false;
  };
  switch (to) {
    case T::Date: return in({T::String, T::Date, T::Bytes, T::TimeStamp, T::VarBytes});
    case T::Boolean:
      return in({T::String, T::Boolean, T::SmallInt, T::Integer, T::BCD, T::Bytes, T::Word,
                 T::VarBytes, T::LargeInt});
    case T::SmallInt:
    case T::Word:
      return in({T::String, T::Boolean, T::SmallInt, T::Integer, T::Float, T::BCD, T::Bytes,
                 T::Word, T::VarBytes, T::LargeInt});
    case T::Integer:
    case T::Float:
    case T::BCD:
    case T::LargeInt:
      return in({T::String, T::SmallInt, T::Integer, T::Float, T::BCD, T::Bytes, T::Word,
                 T::VarBytes, T::LargeInt});
    case T::Time: return in({T::String, T::Bytes, T::Time, T::TimeStamp, T::VarBytes});
    case T::TimeStamp:
      return in({T::String, T::Date, T::Bytes, T::Time, T::TimeStamp, T::VarBytes});
    case T::String:
    case T::Blob:
    case T::Bytes:
    case T::VarBytes: return true;
    default: return false;
  }
}

namespace {

class Checker {
 public:
  explicit Checker(const TCheckContext &c) : C(c) {}

  [[noreturn]] void Fail(const std::string &detail) const {
    if (C.ErrorCode == KURA_SQLPARSE) RaiseSqlError(detail);
    ErrorTexts texts;
    texts.Table = C.ErrorTable;
    texts.Message = detail;
    RaiseEngineErrorOS(C.ErrorCode, 0, texts);
  }
  [[noreturn]] void FailIn(const std::string &prefix) const { Fail(prefix + C.ContextName); }

  static std::string Word(const TExpToken &n) {
    switch (n.Kind) {
      case TExpNodeKind::Column:
      case TExpNodeKind::SubSelect: return "column";
      case TExpNodeKind::Constant: return "constant";
      case TExpNodeKind::Function: return "function";
      default: return "expression";
    }
  }
  static std::string Described(const TExpToken &n) { return Word(n) + " '" + n.Text + "'"; }

  [[noreturn]] void Mismatch(const TExpToken &l, const TExpToken &r) const {
    Fail("Type mismatch between " + Described(l) + " and " + Described(r) + " in " +
         C.ContextName);
  }

  // Checks a node and returns the node that now stands in its place.
  TExpToken *Check(TExpToken *n, bool asCondition) {
    switch (n->Kind) {
      case TExpNodeKind::Constant: return Constant(n, asCondition);
      case TExpNodeKind::Column: return Column(n, asCondition);
      case TExpNodeKind::SubSelect:
        if (!C.Resolver || !C.Resolver->ResolveSubSelect(*n))
          FailIn("More than 1 column for sub-select  specified in ");
        return n;
      case TExpNodeKind::Unary: return Unary(n);
      case TExpNodeKind::Binary:
      case TExpNodeKind::Compare: return Binary(n);
      case TExpNodeKind::ExtPredicate: return Extended(n);
      case TExpNodeKind::Function: return Function(n);
      default: Fail("Unknown or unexpected symbol '" + n->Text + "' found in " + C.ContextName);
    }
  }

  TExpToken *CheckChild(TExpToken *parent, TExpToken *child, bool asCondition) {
    TExpToken *now = Check(child, asCondition);
    if (now != child) parent->ReplaceChild(child, now);
    return now;
  }

  TExpToken *AsCondition(TExpToken *n, bool asCondition) {
    if (!asCondition || n->DataType != T::Boolean || n->Kind != TExpNodeKind::Column) return n;
    // A Boolean column standing alone as a condition means "column = True".
    TExpToken *eq = NewExpToken();
    TExpToken *truth = MakeConstant(T::Boolean, TExpValue::OfBool(true));
    truth->Text = "TRUE";
    eq->Kind = TExpNodeKind::Binary;
    eq->Code = TExpCode::Equal;
    eq->Text = "=";
    eq->DataType = T::Boolean;
    eq->Size = 2;
    TExpToken *parent = n->Parent;
    eq->Parent = parent;
    eq->SetLeft(n);
    eq->SetRight(truth);
    return eq;
  }

  TExpToken *Constant(TExpToken *n, bool asCondition) {
    if (n->DataType == T::String && !n->IsParameter && !n->Value.Null && C.Resolver &&
        C.Resolver->ResolvesStringConstants()) {
      TExpToken saved = *n;
      n->Kind = TExpNodeKind::Column;
      n->ColumnName = n->Text;
      n->TableName.clear();
      if (C.Resolver->ResolveColumn(*n)) {
        n->StringAsColumn = true;
        n->ConstDataType = saved.DataType;
        n->ConstSubType = saved.SubType;
        n->ConstSize = saved.Size;
        n->ConstScale = saved.Scale;
        return AsCondition(n, asCondition);
      }
      n->Kind = saved.Kind;
      n->ColumnName.clear();
      SetInfo(*n, InfoOf(saved));
    }
    return n;
  }

  TExpToken *Column(TExpToken *n, bool asCondition) {
    if (n->IsAllColumns) return n;  // COUNT(*) and select lists; the caller handles these
    if (!C.Resolver || !C.Resolver->ResolveColumn(*n))
      Fail("Invalid column name '" + n->ColumnName + "' or table correlation name '" +
           n->TableName + "' specified in " + C.ContextName);
    return AsCondition(n, asCondition);
  }

  TExpToken *Unary(TExpToken *n) {
    const bool isNot = n->Code == TExpCode::Not;
    TExpToken *op = CheckChild(n, n->Left, isNot);
    const T t = op->DataType;
    bool ok;
    switch (n->Code) {
      case TExpCode::Not: ok = t == T::Boolean || t == T::Unknown; break;
      case TExpCode::Negate:
        ok = t == T::Unknown || t == T::Date || t == T::SmallInt || t == T::Integer ||
             t == T::Float || t == T::BCD || t == T::Time || t == T::TimeStamp ||
             t == T::LargeInt;
        break;
      case TExpCode::Plus:
        ok = t == T::Unknown || t == T::Date || t == T::SmallInt || t == T::Integer ||
             t == T::Float || t == T::BCD || t == T::Time || t == T::TimeStamp ||
             t == T::LargeInt || t == T::Word;
        break;
      case TExpCode::IsNull:
      case TExpCode::IsNotNull: ok = true; break;
      default: ok = false;
    }
    if (!ok)
      Fail("Type mismatch between '" + n->Text + "' operator and '" + op->Text + "' in " +
           C.ContextName);
    if (n->Code == TExpCode::Negate || n->Code == TExpCode::Plus) {
      SetInfo(*n, InfoOf(*op));
      if (n->SubType == FieldSubType::AutoInc) n->SubType = FieldSubType::None;
    } else {
      SetInfo(*n, {T::Boolean, FieldSubType::None, 2, 0});
    }
    return n;
  }

  // A String constant meeting a date, time or timestamp becomes a value of that type.
  void ConvertDateConstant(TExpToken *constant, T target) {
    if (constant->Kind != TExpNodeKind::Constant || constant->DataType != T::String ||
        constant->IsParameter)
      return;
    if (!constant->Value.Null) {
      TExpValue v;
      v.Null = false;
      bool ok = false;
      if (target == T::Date) {
        int32_t d;
        ok = TryParseDate(constant->Value.Str, d);
        v.Int = d;
      } else if (target == T::Time) {
        int32_t t;
        ok = TryParseTime(constant->Value.Str, t);
        v.Int = t;
      } else {
        ok = TryParseTimeStamp(constant->Value.Str, v.Float);
      }
      if (!ok)
        Fail("Date, time, or timestamp expression expected, instead found '" + constant->Text +
             "' in " + C.ContextName);
      constant->Value = v;
    }
    constant->DataType = target;
    constant->SubType = FieldSubType::None;
    constant->Size = DataTypeSize(target);
  }

  void ConvertDatePair(TExpToken *a, TExpToken *b) {
    if (IsDateTimeType(a->DataType)) ConvertDateConstant(b, a->DataType);
    if (IsDateTimeType(b->DataType)) ConvertDateConstant(a, b->DataType);
  }

  TExpToken *Binary(TExpToken *n) {
    const bool logical = n->Code == TExpCode::And || n->Code == TExpCode::Or;
    TExpToken *l = CheckChild(n, n->Left, logical);
    TExpToken *r = CheckChild(n, n->Right, logical);
    ConvertDatePair(l, r);
    TTypeInfo li = InfoOf(*l), ri = InfoOf(*r);
    if (!OperatorAllows(n->Code, li, ri)) Mismatch(*l, *r);
    if (IsComparisonCode(n->Code) || logical) {
      SetInfo(*n, {T::Boolean, FieldSubType::None, 2, 0});
    } else {
      SetInfo(*n, ArithmeticResultType(n->Code, li, ri));
    }
    return n;
  }

  void RequireComparable(TExpToken *value, TExpToken *item, TExpCode op) {
    ConvertDatePair(value, item);
    if (!OperatorAllows(op, InfoOf(*value), InfoOf(*item))) Mismatch(*value, *item);
  }

  TExpToken *Extended(TExpToken *n) {
    for (size_t i = 0; i < n->Args.size(); ++i) CheckChild(n, n->Args[i], false);
    TExpToken *value = n->Args[0];
    switch (n->Code) {
      case TExpCode::Like:
      case TExpCode::NotLike: {
        TExpToken *pattern = n->Args[1];
        const TTypeInfo vi = InfoOf(*value), pi = InfoOf(*pattern);
        if (!(IsStr(vi) || IsUntyped(vi)) || !(IsStr(pi) || IsUntyped(pi))) Mismatch(*value, *pattern);
        break;
      }
      case TExpCode::Between:
      case TExpCode::NotBetween:
        RequireComparable(value, n->Args[1], TExpCode::GreaterEqual);
        RequireComparable(value, n->Args[2], TExpCode::LessEqual);
        break;
      default:  // IN lists and sub-selects
        for (size_t i = 1; i < n->Args.size(); ++i)
          RequireComparable(value, n->Args[i], TExpCode::Equal);
        break;
    }
    SetInfo(*n, {T::Boolean, FieldSubType::None, 2, 0});
    return n;
  }

  std::string Name(const TExpToken *n) const { return n->Text; }

  bool StrOrNull(const TExpToken *a) const { return IsStr(InfoOf(*a)) || a->DataType == T::Unknown; }
  bool IntOrNull(const TExpToken *a) const {
    return IsIntegerType(a->DataType) || a->DataType == T::Unknown;
  }

  TExpToken *Function(TExpToken *n) {
    const TExpCode code = n->Code;
    const bool ifFirstIsCondition = code == TExpCode::If;
    for (size_t i = 0; i < n->Args.size(); ++i)
      CheckChild(n, n->Args[i], i == 0 && ifFirstIsCondition);
    auto &a = n->Args;
    const std::string fn = n->Text;
    auto result = [&](T t, FieldSubType s = FieldSubType::None, uint32_t size = 0, uint8_t scale = 0) {
      SetInfo(*n, {t, s, size ? size : DataTypeSize(t), scale});
    };

    if (IsAggregateCode(code)) return Aggregate(n);
    switch (code) {
      case TExpCode::Upper:
      case TExpCode::Lower:
        if (!StrOrNull(a[0]))
          FailIn("Expression argument of " + fn + " function must be a string or memo in ");
        SetInfo(*n, InfoOf(*a[0]));
        if (a[0]->DataType == T::Unknown) result(T::String, FieldSubType::None, 1);
        return n;
      case TExpCode::Length:
        if (!StrOrNull(a[0]))
          FailIn("Type mismatch between LENGTH function and function argument in ");
        result(T::Integer);
        return n;
      case TExpCode::Substring:
        if (!StrOrNull(a[0]))
          FailIn("Expression argument of SUBSTRING function must be a string or memo in ");
        if (!IntOrNull(a[1])) FailIn("FROM argument of SUBSTRING function must be an integer value in ");
        if (a.size() > 2 && !IntOrNull(a[2]))
          FailIn("FOR argument of SUBSTRING function must be an integer value in ");
        SetInfo(*n, InfoOf(*a[0]));
        if (a[0]->DataType == T::Unknown) result(T::String, FieldSubType::None, 1);
        return n;
      case TExpCode::Replace: {
        if (!StrOrNull(a[0]))
          FailIn("Search argument of REPLACE function must be a string or memo in ");
        if (!StrOrNull(a[1]))
          FailIn("WITH argument of REPLACE function must be a string or memo in ");
        if (!StrOrNull(a[2])) FailIn("IN argument of REPLACE function must be a string or memo in ");
        if (IsMemoT(InfoOf(*a[2])) || IsMemoT(InfoOf(*a[1]))) {
          result(T::Blob, FieldSubType::Memo);
          return n;
        }
        uint32_t xs = a[2]->Size > 0 ? a[2]->Size - 1 : 0;
        uint32_t ss = a[0]->Size > 1 ? a[0]->Size - 1 : 1;
        uint32_t rs = a[1]->Size > 0 ? a[1]->Size - 1 : 0;
        uint64_t size = rs <= ss ? xs : uint64_t(xs / ss + 1) * rs + xs;
        result(T::String, FieldSubType::None, static_cast<uint32_t>(std::min<uint64_t>(size, 1u << 30)) + 1);
        return n;
      }
      case TExpCode::Pos:
      case TExpCode::Occurs:
        if (!StrOrNull(a[0]))
          FailIn("Type mismatch between " + fn + " function and search string argument in ");
        if (!StrOrNull(a[1])) FailIn("Type mismatch between " + fn + " function and IN argument in ");
        result(T::Integer);
        return n;
      case TExpCode::TrimLeading:
      case TExpCode::TrimTrailing:
      case TExpCode::TrimBoth:
        if (a[0]->Kind != TExpNodeKind::Constant || a[0]->DataType != T::String ||
            a[0]->Value.Str.size() != 1)
          FailIn("Trim character argument of TRIM function must be a single character constant in ");
        if (!StrOrNull(a[1])) FailIn("FROM argument of TRIM function must be a string or memo in ");
        SetInfo(*n, InfoOf(*a[1]));
        if (a[1]->DataType == T::Unknown) result(T::String, FieldSubType::None, 1);
        return n;
      case TExpCode::Cast: return Cast(n);
      case TExpCode::Abs:
        if (!IsNumericType(a[0]->DataType) && a[0]->DataType != T::Unknown)
          FailIn("Expression argument of ABS function must be an integer, floating-point, or BCD type in ");
        SetInfo(*n, InfoOf(*a[0]));
        if (n->SubType == FieldSubType::AutoInc) n->SubType = FieldSubType::None;
        return n;
      case TExpCode::Round:
        if (a[0]->DataType != T::Float && a[0]->DataType != T::BCD && a[0]->DataType != T::Unknown)
          FailIn("Expression argument of ROUND function must be a floating-point or BCD type in ");
        if (a.size() > 1) {
          const TExpToken *places = a[1];
          if (places->Kind != TExpNodeKind::Constant || !IsIntegerType(places->DataType) ||
              places->Value.Null)
            FailIn("Decimal places argument of ROUND function must be an integer constant in ");
          if (places->Value.Int < 0 || places->Value.Int > 32)
            FailIn("Decimal places argument of ROUND function must be an integer constant between 0 and 32 in ");
        }
        SetInfo(*n, InfoOf(*a[0]));
        return n;
      case TExpCode::If:
      case TExpCode::IfNull:
      case TExpCode::Coalesce: return Conditional(n);
      case TExpCode::TextSearch:
      case TExpCode::TextOccurs:
        if (a[0]->Kind != TExpNodeKind::Constant || a[0]->DataType != T::String)
          FailIn(fn + " search text function argument must be a string constant in ");
        if (a[1]->Kind != TExpNodeKind::Column || !C.Resolver || !C.Resolver->HasTextIndex(*a[1]))
          FailIn(fn + " function column argument must be a valid column name in ");
        if (code == TExpCode::TextSearch) result(T::Boolean); else result(T::Word);
        return n;
      case TExpCode::LastAutoInc:
      case TExpCode::IdentCurrent:
        if (a[0]->Kind != TExpNodeKind::Constant || a[0]->DataType != T::String ||
            !C.Resolver || !C.Resolver->IsSourceTable(a[0]->Value.Str))
          FailIn(fn + " table argument must be a string constant naming a source table in ");
        result(T::Integer);
        return n;
      default:
        if (IsExtractCode(code)) {
          TExpToken *x = a[0];
          if (x->Kind == TExpNodeKind::Constant && x->DataType == T::String && !x->IsParameter) {
            // A String constant that reads as a date, time or timestamp is converted.
            int32_t d, t;
            double ts;
            const std::string &s = x->Value.Str;
            if (x->Value.Null) ConvertDateConstant(x, T::Date);
            else if (TryParseDate(s, d)) ConvertDateConstant(x, T::Date);
            else if (TryParseTime(s, t)) ConvertDateConstant(x, T::Time);
            else if (TryParseTimeStamp(s, ts)) ConvertDateConstant(x, T::TimeStamp);
          }
          if (!IsDateTimeType(x->DataType) && x->DataType != T::Unknown)
            FailIn("FROM argument of EXTRACT function must be a date, time, or timestamp in ");
          result(T::Integer);
          return n;
        }
        Fail("Unknown or unexpected function '" + fn + "' in " + C.ContextName);
    }
  }

  TExpToken *Aggregate(TExpToken *n) {
    const std::string fn = n->Text;
    TExpToken *x = n->Args[0];
    const T t = x->DataType;
    switch (n->Code) {
      case TExpCode::Count: SetInfo(*n, {T::Integer, FieldSubType::None, 4, 0}); return n;
      case TExpCode::Sum:
      case TExpCode::RunSum: {
        if (!IsNumericType(t) && t != T::Unknown)
          FailIn(fn + " aggregate function must contain a numeric expression in ");
        T r = t == T::SmallInt || t == T::Word ? T::Integer : t == T::Integer ? T::LargeInt : t;
        SetInfo(*n, {r, r == t ? x->SubType : FieldSubType::None, DataTypeSize(r), x->Scale});
        if (n->SubType == FieldSubType::AutoInc) n->SubType = FieldSubType::None;
        return n;
      }
      default: {
        if (!IsNumericType(t) && !IsDateTimeType(t) && t != T::Unknown)
          FailIn(fn + " aggregate function must contain a numeric, date, time, or timestamp expression in ");
        if (n->Code == TExpCode::Avg && IsIntegerType(t)) {
          SetInfo(*n, {T::Float, FieldSubType::None, 8, 0});
        } else {
          SetInfo(*n, InfoOf(*x));
          if (n->SubType == FieldSubType::AutoInc) n->SubType = FieldSubType::None;
        }
        return n;
      }
    }
  }

  TExpToken *Conditional(TExpToken *n) {
    const std::string fn = n->Text;
    size_t first = 0;
    if (n->Code == TExpCode::If) {
      TExpToken *c = n->Args[0];
      if (c->DataType != T::Boolean && c->DataType != T::Unknown)
        FailIn("First expression argument of IF function must be a boolean type in ");
      first = 1;
    } else if (n->Code == TExpCode::IfNull) {
      first = 1;
    }
    bool anyValue = false;
    for (size_t i = first; i < n->Args.size(); ++i)
      if (!n->Args[i]->IsNullConstant() || n->Args[i]->IsParameter) anyValue = true;
    if (!anyValue)
      Fail("At least one of the " + fn + " expression arguments in " + C.ContextName +
           " must be a non-NULL value");
    for (size_t i = first; i + 1 < n->Args.size(); ++i) {
      TExpToken *x = n->Args[i], *y = n->Args[i + 1];
      ConvertDatePair(x, y);
      if (!OperatorAllows(TExpCode::Equal, InfoOf(*x), InfoOf(*y)))
        FailIn("Type mismatch between " + fn + " expression arguments in ");
    }
    // The type of the first value argument (the first typed one when it is a bare NULL).
    TTypeInfo r;
    for (size_t i = first; i < n->Args.size() && r.Type == T::Unknown; ++i) r = InfoOf(*n->Args[i]);
    if (r.Type == T::String) {
      for (size_t i = first; i < n->Args.size(); ++i) {
        const TTypeInfo v = InfoOf(*n->Args[i]);
        if (IsMemoT(v)) {
          r = {T::Blob, FieldSubType::Memo, 8, 0};
          break;
        }
        if (v.Type == T::String) r.Size = std::max(r.Size, v.Size);
      }
    } else if (r.Type == T::BCD) {
      for (size_t i = first; i < n->Args.size(); ++i) r.Scale = std::max(r.Scale, n->Args[i]->Scale);
    }
    SetInfo(*n, r);
    return n;
  }

  TExpToken *Cast(TExpToken *n) {
    TExpToken *x = n->Args[0];
    if (!x->IsNullConstant() && !CastAllowed(x->DataType, n->DataType))
      Fail("Type mismatch between " + Described(*x) + " and AS argument in " + C.ContextName);
    if ((n->DataType == T::String || n->DataType == T::Bytes) && n->Size == 0) {
      // Without a length the operand's size is kept, else 10 characters.
      if (x->DataType == T::String && n->DataType == T::String) n->Size = x->Size;
      else if ((x->DataType == T::Bytes || x->DataType == T::VarBytes) && n->DataType == T::Bytes)
        n->Size = x->Size;
      else n->Size = n->DataType == T::String ? 11 : 10;
    }
    return n;
  }

 private:
  const TCheckContext &C;
};

}  // namespace

TExpToken *CheckExpression(TExpToken *root, const TCheckContext &context) {
  Checker checker(context);
  TExpToken *now = checker.Check(root, context.RootIsCondition);
  now->Parent = nullptr;
  return now;
}

}  // namespace kura

// The expression grammar, lowest precedence first: OR, AND, NOT, predicate (comparison or
// extended predicate), additive, multiplicative, sign, primary.
#include "query/expr/Parser.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "engine/util/TextScan.h"
#include "query/expr/DateTimeText.h"

namespace kura {

namespace {

enum class FunctionForm {
  None,
  Aggregate,
  OneString,  // UPPER, LOWER, LENGTH, ABS
  Substring,
  Replace,
  InSearch,  // POS, OCCURS, TEXTSEARCH, TEXTOCCURS
  Cast,
  Trim,
  Extract,
  Round,
  IfLike,  // IF, IFNULL
  Coalesce,
  TableName,  // LASTAUTOINC, IDENT_CURRENT
  BoolConst,
  NullConst,
  CurrentValue,
};

struct FunctionWord {
  const char *Word;
  FunctionForm Form;
  TExpCode Code;
};

const FunctionWord kFunctions[] = {
    {"SUM", FunctionForm::Aggregate, TExpCode::Sum},
    {"RUNSUM", FunctionForm::Aggregate, TExpCode::RunSum},
    {"COUNT", FunctionForm::Aggregate, TExpCode::Count},
    {"MIN", FunctionForm::Aggregate, TExpCode::Min},
    {"MAX", FunctionForm::Aggregate, TExpCode::Max},
    {"AVG", FunctionForm::Aggregate, TExpCode::Avg},
    {"UPPER", FunctionForm::OneString, TExpCode::Upper},
    {"LOWER", FunctionForm::OneString, TExpCode::Lower},
    {"LENGTH", FunctionForm::OneString, TExpCode::Length},
    {"ABS", FunctionForm::OneString, TExpCode::Abs},
    {"SUBSTRING", FunctionForm::Substring, TExpCode::Substring},
    {"REPLACE", FunctionForm::Replace, TExpCode::Replace},
    {"POS", FunctionForm::InSearch, TExpCode::Pos},
    {"OCCURS", FunctionForm::InSearch, TExpCode::Occurs},
    {"TEXTSEARCH", FunctionForm::InSearch, TExpCode::TextSearch},
    {"TEXTOCCURS", FunctionForm::InSearch, TExpCode::TextOccurs},
    {"CAST", FunctionForm::Cast, TExpCode::Cast},
    {"TRIM", FunctionForm::Trim, TExpCode::TrimBoth},
    {"EXTRACT", FunctionForm::Extract, TExpCode::ExtractYear},
    {"ROUND", FunctionForm::Round, TExpCode::Round},
    {"IF", FunctionForm::IfLike, TExpCode::If},
    {"IFNULL", FunctionForm::IfLike, TExpCode::IfNull},
    {"COALESCE", FunctionForm::Coalesce, TExpCode::Coalesce},
    {"LASTAUTOINC", FunctionForm::TableName, TExpCode::LastAutoInc},
    {"IDENT_CURRENT", FunctionForm::TableName, TExpCode::IdentCurrent},
    {"TRUE", FunctionForm::BoolConst, TExpCode::None},
    {"FALSE", FunctionForm::BoolConst, TExpCode::None},
    {"NULL", FunctionForm::NullConst, TExpCode::None},
    {"CURRENT_DATE", FunctionForm::CurrentValue, TExpCode::None},
    {"CURRENT_TIME", FunctionForm::CurrentValue, TExpCode::None},
    {"CURRENT_TIMESTAMP", FunctionForm::CurrentValue, TExpCode::None},
};

const FunctionWord *FindFunction(const std::string &upperWord) {
  // Asked for every name in an expression (columns too): a hash lookup, not a walk of the list.
  static const std::unordered_map<std::string_view, const FunctionWord *> byWord = [] {
    std::unordered_map<std::string_view, const FunctionWord *> words;
    for (const FunctionWord &f : kFunctions) words.emplace(f.Word, &f);
    return words;
  }();
  const auto found = byWord.find(upperWord);
  return found == byWord.end() ? nullptr : found->second;
}

const char *const kExtractParts[] = {"YEAR", "MONTH", "WEEK", "DAY", "DAYOFWEEK",
                                     "DAYOFYEAR", "HOUR", "MINUTE", "SECOND"};

}  // namespace

// One parse: every node made is remembered so that a failure returns them all to the pool.
class TExpressionParser::Builder {
 public:
  explicit Builder(TExpressionParser &p) : P(p), FFirstMarker(p.FPendingMarkers.size()) {
    ++P.FBuilderDepth;
  }
  ~Builder() {
    --P.FBuilderDepth;
    if (!FDone) {
      P.FPendingMarkers.resize(FFirstMarker);
      for (TExpToken *n : FNodes) TExpTokenStack::Instance().Give(n);
    }
  }

  TExpToken *Finish(TExpToken *root) {
    FDone = true;
    if (P.FBuilderDepth == 1) {
      if (P.FOwner)
        for (TExpToken *marker : P.FPendingMarkers) P.FOwner->AddParameter(marker);
      P.FPendingMarkers.clear();
    }
    return root;
  }

  TExpToken *Node(TExpNodeKind kind, TExpCode code, std::string text) {
    // Room first, so that the push cannot fail once the node exists; grown geometrically (one
    // more place at a time would copy the list for every node of a long argument list).
    if (FNodes.size() == FNodes.capacity()) FNodes.reserve(FNodes.size() * 2 + 16);
    TExpToken *n = NewExpToken();
    FNodes.push_back(n);
    n->Kind = kind;
    n->Code = code;
    n->Text = std::move(text);
    return n;
  }

  TExpToken *Binary(TExpCode code, std::string text, TExpToken *l, TExpToken *r,
                    TExpNodeKind kind = TExpNodeKind::Binary) {
    TExpToken *n = Node(kind, code, std::move(text));
    n->SetLeft(l);
    n->SetRight(r);
    CheckHeight(n);
    return n;
  }

  void CheckHeight(const TExpToken *n) {
    if (n->Height > kMaxTreeHeight) P.FailIn("Expression is nested too deeply in ");
  }

  void Enter() {
    if (++FNesting > kMaxNesting) P.FailIn("Expression is nested too deeply in ");
  }
  void Leave() { --FNesting; }

  // OR-expression. Each level below takes `first`, an operand already read by Unary, as the
  // start of its own first operand.
  TExpToken *Or(uint8_t flags, TExpToken *first = nullptr) {
    TExpToken *left = And(flags, first);
    while (P.IsKeyword("OR")) {
      std::string text = P.TokenText();
      P.NextToken();
      left = Binary(TExpCode::Or, text, left, And(flags));
    }
    return left;
  }

  TExpToken *And(uint8_t flags, TExpToken *first = nullptr) {
    TExpToken *left = Not(flags, first);
    while (P.IsKeyword("AND")) {
      std::string text = P.TokenText();
      P.NextToken();
      left = Binary(TExpCode::And, text, left, Not(flags));
    }
    return left;
  }

  TExpToken *Not(uint8_t flags, TExpToken *first = nullptr) {
    if (first || !P.IsKeyword("NOT")) return Predicate(flags, first);
    std::string text = P.TokenText();
    P.NextToken();
    TExpToken *n = Node(TExpNodeKind::Unary, TExpCode::Not, text);
    n->SetLeft(Predicate(flags));
    CheckHeight(n);
    return n;
  }

  TExpToken *Predicate(uint8_t flags, TExpToken *first = nullptr) {
    TExpToken *left = Additive(flags, first);
    TExpCode op = TExpCode::None;
    std::string text;
    switch (P.TokenKind()) {
      case '=':
        op = TExpCode::Equal;
        text = "=";
        P.NextToken();
        break;
      case '<':
        P.NextToken();
        if (P.IsKind('>')) {
          op = TExpCode::NotEqual, text = "<>";
          P.NextToken();
        } else if (P.IsKind('=')) {
          op = TExpCode::LessEqual, text = "<=";
          P.NextToken();
        } else {
          op = TExpCode::Less, text = "<";
        }
        break;
      case '>':
        P.NextToken();
        if (P.IsKind('=')) {
          op = TExpCode::GreaterEqual, text = ">=";
          P.NextToken();
        } else {
          op = TExpCode::Greater, text = ">";
        }
        break;
      default: break;
    }
    if (op != TExpCode::None) return Binary(op, text, left, Additive(flags));

    bool isExtended = P.IsKeyword("NOT") || P.IsKeyword("LIKE") || P.IsKeyword("BETWEEN") ||
                      P.IsKeyword("IN") || P.IsKeyword("IS");
    if (!isExtended) return left;
    if (!(flags & PF_EXTENDED))
      P.FailIn("Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in ");

    if (P.IsKeyword("IS")) {
      P.NextToken();
      bool negated = false;
      if (P.IsKeyword("NOT")) {
        negated = true;
        P.NextToken();
      }
      if (!P.IsKeyword("NULL")) P.FailFound("NULL keyword expected after IS keyword, instead found '");
      P.NextToken();
      TExpToken *null = Node(TExpNodeKind::Constant, TExpCode::None, "NULL");
      return Binary(negated ? TExpCode::NotEqual : TExpCode::Equal, negated ? "<>" : "=", left,
                    null);
    }

    bool negated = false;
    if (P.IsKeyword("NOT")) {
      negated = true;
      P.NextToken();
      if (!P.IsKeyword("LIKE") && !P.IsKeyword("BETWEEN") && !P.IsKeyword("IN"))
        P.Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " +
               P.ContextName());
    }
    const std::string notText = negated ? "NOT " : "";

    if (P.IsKeyword("LIKE")) {
      P.NextToken();
      TExpToken *n = Node(TExpNodeKind::ExtPredicate, negated ? TExpCode::NotLike : TExpCode::Like,
                          notText + "LIKE");
      n->AddArg(left);
      n->AddArg(Additive(flags));
      CheckHeight(n);
      return n;
    }
    if (P.IsKeyword("BETWEEN")) {
      P.NextToken();
      TExpToken *n = Node(TExpNodeKind::ExtPredicate,
                          negated ? TExpCode::NotBetween : TExpCode::Between, notText + "BETWEEN");
      n->AddArg(left);
      n->AddArg(Additive(flags));
      if (!P.IsKeyword("AND"))
        P.FailFound("Expected AND operator in " + notText + "BETWEEN operator, instead found '");
      P.NextToken();
      n->AddArg(Additive(flags));
      CheckHeight(n);
      return n;
    }
    // IN
    P.NextToken();
    const std::string inName = notText + "IN";
    if (!P.IsKind('('))
      P.FailFound("Expected left parentheses for " + inName + " operator, instead found '");
    P.NextToken();
    if (P.IsKeyword("SELECT")) {
      if (!(flags & PF_SUBSELECTS) || !P.FOwner) P.FailIn("Sub-select queries are not allowed in ");
      TExpToken *n = Node(TExpNodeKind::ExtPredicate,
                          negated ? TExpCode::NotInSelect : TExpCode::InSelect, inName);
      TExpToken *sub = Node(TExpNodeKind::SubSelect, TExpCode::None, "SELECT");
      sub->SubQuery = P.FOwner->ParseSubSelect(P);
      n->AddArg(left);
      n->AddArg(sub);
      if (!P.IsKind(')'))
        P.FailFound("Expected right parentheses after " + inName + " operator, instead found '");
      P.NextToken();
      return n;
    }
    if (P.IsKind(')'))
      P.FailIn("You must provide at least one value as an operand of the " + inName +
               " operator  in ");
    TExpToken *n = Node(TExpNodeKind::ExtPredicate, negated ? TExpCode::NotIn : TExpCode::In, inName);
    n->AddArg(left);
    Enter();
    for (;;) {
      n->AddArg(Additive(flags));
      if (!P.IsKind(',')) break;
      P.NextToken();
    }
    Leave();
    if (!P.IsKind(')'))
      P.FailFound("Expected right parentheses for " + inName + " operator, instead found '");
    P.NextToken();
    CheckHeight(n);
    return n;
  }

  TExpToken *Additive(uint8_t flags, TExpToken *first = nullptr) {
    TExpToken *left = Multiplicative(flags, first);
    for (;;) {
      if (P.IsKind('+')) {
        P.NextToken();
        left = Binary(TExpCode::Add, "+", left, Multiplicative(flags));
      } else if (P.IsKind('-')) {
        P.NextToken();
        left = Binary(TExpCode::Subtract, "-", left, Multiplicative(flags));
      } else if (P.IsKind('|')) {
        P.NextToken();
        if (!P.IsKind('|'))
          P.FailFound(
              "Second concatenation symbol '|' expected after first concatentation symbol, "
              "instead found '");
        P.NextToken();
        left = Binary(TExpCode::Add, "||", left, Multiplicative(flags));
      } else {
        return left;
      }
    }
  }

  TExpToken *Multiplicative(uint8_t flags, TExpToken *first = nullptr) {
    TExpToken *left = first ? first : Unary(flags);
    for (;;) {
      if (P.IsKind('*')) {
        P.NextToken();
        left = Binary(TExpCode::Multiply, "*", left, Unary(flags));
      } else if (P.IsKind('/')) {
        P.NextToken();
        left = Binary(TExpCode::Divide, "/", left, Unary(flags));
      } else {
        return left;
      }
    }
  }

  TExpToken *Unary(uint8_t flags) {
    if (P.IsKind('+') || P.IsKind('-')) {
      bool minus = P.IsKind('-');
      P.NextToken();
      // -9223372036854775808 is the smallest LargeInt; its digits alone do not fit, so the
      // sign is taken into the constant.
      if (minus && P.IsKind(TK_INTEGER)) {
        uint64_t magnitude = 0;
        const std::string &digits = P.TokenText();
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        if (r.ec == std::errc() && r.ptr == digits.data() + digits.size() &&
            magnitude == static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) {
          TExpToken *n = Node(TExpNodeKind::Constant, TExpCode::None, "-" + digits);
          n->DataType = TDataType::LargeInt;
          n->Value = TExpValue::OfInt(std::numeric_limits<int64_t>::min());
          n->Size = DataTypeSize(TDataType::LargeInt);
          P.NextToken();
          return n;
        }
      }
      TExpToken *n = Node(TExpNodeKind::Unary, minus ? TExpCode::Negate : TExpCode::Plus,
                          minus ? "-" : "+");
      n->SetLeft(Primary(flags));
      CheckHeight(n);
      return n;
    }
    return Primary(flags);
  }

  // ---- primary ----

  TExpToken *Primary(uint8_t flags) {
    const uint8_t kind = P.TokenKind();
    if (kind == '(') {
      Enter();
      P.NextToken();
      TExpToken *e = Or(flags);
      if (!P.IsKind(')')) P.FailFound("Right parentheses expected, instead found '");
      P.NextToken();
      Leave();
      return e;
    }
    if (kind == TK_SYMBOL) {
      if (const FunctionWord *f = FindFunction(UpperAscii(P.TokenText()))) return Function(*f, flags);
      std::string name = P.TokenText();
      P.NextToken();
      if (P.IsKind('(')) P.Fail("Unknown or unexpected function '" + name + "' in " + P.ContextName());
      return ColumnAfterName(name, flags);
    }
    if (kind == TK_BRACKETED) {
      std::string name = P.TokenText();
      P.NextToken();
      return ColumnAfterName(name, flags);
    }
    if (kind == TK_SQUOTED || kind == TK_DQUOTED) {
      std::string text = P.TakeTokenText();
      P.NextToken();
      if (P.IsKind('.')) return ColumnAfterName(text, flags);
      return StringConstant(std::move(text));
    }
    if (kind == TK_CHARCONST) {
      std::string text = P.TokenText();
      // Any number of digits (leading zeros too) for a value of 0 to 255.
      int value = -1;
      if (text.size() > 1) {
        value = 0;
        for (size_t i = 1; i < text.size() && value <= 255; ++i) value = value * 10 + (text[i] - '0');
      }
      if (value < 0 || value > 255)
        P.FailIn("Character constants (#) must be within the range of 0 to 255 in ");
      P.NextToken();
      TExpToken *n = StringConstant(value == 0 ? std::string() : std::string(1, char(value)));
      n->Text = text;
      return n;
    }
    if (kind == TK_INTEGER || kind == TK_REAL) return Number();
    if (kind == '*') {
      if (!(flags & PF_ALLCOLUMNS)) P.FailIn("* (all columns) symbol is not allowed in ");
      P.NextToken();
      return AllColumns("");
    }
    if (kind == '?') {
      if (!(flags & PF_PARAMETERS)) P.FailIn("Parameters are not allowed in ");
      P.NextToken();
      TExpToken *n = Node(TExpNodeKind::Constant, TExpCode::None, "?");
      n->IsParameter = true;
      P.FPendingMarkers.push_back(n);
      return n;
    }
    P.Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " + P.ContextName());
  }

  TExpToken *AllColumns(const std::string &table) {
    TExpToken *n = Node(TExpNodeKind::Column, TExpCode::None, table.empty() ? "*" : table + ".*");
    n->IsAllColumns = true;
    n->ColumnName = "*";
    n->TableName = table;
    return n;
  }

  // After a name: a column, or "name.column", or "name.*".
  TExpToken *ColumnAfterName(const std::string &name, uint8_t flags) {
    if (!P.IsKind('.')) {
      TExpToken *n = Node(TExpNodeKind::Column, TExpCode::None, name);
      n->ColumnName = name;
      return n;
    }
    P.NextToken();
    if (P.IsKind('*')) {
      if (!(flags & PF_ALLCOLUMNS)) P.FailIn("* (all columns) symbol is not allowed in ");
      P.NextToken();
      return AllColumns(name);
    }
    if (!P.IsSymbol())
      P.FailFound("Column name expected after table correlation name, instead found '");
    std::string column = P.TokenText();
    P.NextToken();
    TExpToken *n = Node(TExpNodeKind::Column, TExpCode::None, name + "." + column);
    n->ColumnName = column;
    n->TableName = name;
    return n;
  }

  TExpToken *StringConstant(std::string text) {
    const uint32_t size = static_cast<uint32_t>(text.size()) + 1;
    TExpValue value = TExpValue::OfStr(text);
    TExpToken *n = Node(TExpNodeKind::Constant, TExpCode::None, std::move(text));
    n->DataType = TDataType::String;
    n->Value = std::move(value);
    n->Size = size;
    return n;
  }

  TExpToken *Number() {
    bool real = P.IsKind(TK_REAL);
    TExpToken *n = Node(TExpNodeKind::Constant, TExpCode::None, P.TokenText());
    const std::string &text = n->Text;  // read from the node: one copy of the token
    if (!real) {
      int64_t v;
      auto r = std::from_chars(text.data(), text.data() + text.size(), v);
      if (r.ec == std::errc() && r.ptr == text.data() + text.size()) {
        n->DataType = v <= std::numeric_limits<int32_t>::max() ? TDataType::Integer
                                                                : TDataType::LargeInt;
        n->Value = TExpValue::OfInt(v);
        n->Size = DataTypeSize(n->DataType);
        P.NextToken();
        return n;
      }
    }
    double d;
    auto r = std::from_chars(text.data(), text.data() + text.size(), d);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(d))
      P.FailIn("Constant '" + text + "' is not a valid number  in ");
    n->DataType = TDataType::Float;
    n->Value = TExpValue::OfFloat(d);
    n->Size = 8;
    P.NextToken();
    return n;
  }

  // ---- functions ----

  void ExpectLeftParen(const std::string &word) {
    if (!P.IsKind('('))
      P.FailFound("Left parentheses expected after " + word + " keyword, instead found '");
    P.NextToken();
  }
  void ExpectRightParen(const std::string &word, bool several) {
    if (!P.IsKind(')'))
      P.FailFound("Right parentheses expected after " + word + " function argument" +
                  (several ? "s" : "") + ", instead found '");
    P.NextToken();
  }
  void ExpectKeyword(const char *keyword, const std::string &word) {
    if (!P.IsKeyword(keyword))
      P.FailFound(std::string(keyword) + " keyword expected in " + word +
                  " function, instead found '");
    P.NextToken();
  }

  TExpToken *Function(const FunctionWord &f, uint8_t flags) {
    const std::string word = f.Word;
    const std::string written = P.TokenText();
    switch (f.Form) {
      case FunctionForm::BoolConst: {
        P.NextToken();
        TExpToken *n = Node(TExpNodeKind::Constant, TExpCode::None, written);
        n->DataType = TDataType::Boolean;
        n->Value = TExpValue::OfBool(word == "TRUE");
        n->Size = 2;
        return n;
      }
      case FunctionForm::NullConst: {
        P.NextToken();
        return Node(TExpNodeKind::Constant, TExpCode::None, written);
      }
      case FunctionForm::CurrentValue: {
        P.NextToken();
        if (P.IsKind('(')) {
          P.NextToken();
          ExpectRightParen(word, false);
        }
        TExpToken *n = Node(TExpNodeKind::Constant, TExpCode::None, written);
        if (word == "CURRENT_DATE") {
          n->DataType = TDataType::Date;
          n->Value = TExpValue::OfInt(CurrentDate());
        } else if (word == "CURRENT_TIME") {
          n->DataType = TDataType::Time;
          n->Value = TExpValue::OfInt(CurrentTime());
        } else {
          n->DataType = TDataType::TimeStamp;
          n->Value = TExpValue::OfFloat(CurrentTimeStamp());
        }
        n->Size = DataTypeSize(n->DataType);
        return n;
      }
      default: break;
    }

    TExpToken *n = Node(TExpNodeKind::Function, f.Code, word);
    P.NextToken();
    Enter();
    switch (f.Form) {
      case FunctionForm::Aggregate: {
        if (!(flags & PF_AGGREGATES)) P.FailIn("Aggregate functions are not allowed in ");
        if (!P.IsKind('('))
          P.FailFound("Left parentheses expected after aggregate function '");
        P.NextToken();
        if (f.Code == TExpCode::Count && P.IsKind('*')) {
          P.NextToken();
          n->AddArg(AllColumns(""));
        } else {
          n->AddArg(Additive(flags));
        }
        ExpectRightParen(word, false);
        break;
      }
      case FunctionForm::OneString:
        ExpectLeftParen(word);
        n->AddArg(Additive(flags));
        ExpectRightParen(word, false);
        break;
      case FunctionForm::Substring:
        ExpectLeftParen(word);
        n->AddArg(Additive(flags));
        ExpectKeyword("FROM", word);
        n->AddArg(Additive(flags));
        if (P.IsKeyword("FOR")) {
          P.NextToken();
          n->AddArg(Additive(flags));
        }
        ExpectRightParen(word, true);
        break;
      case FunctionForm::Replace:
        ExpectLeftParen(word);
        n->AddArg(Additive(flags));
        ExpectKeyword("WITH", word);
        n->AddArg(Additive(flags));
        ExpectKeyword("IN", word);
        n->AddArg(Additive(flags));
        ExpectRightParen(word, true);
        break;
      case FunctionForm::InSearch:
        ExpectLeftParen(word);
        n->AddArg(Additive(flags));
        ExpectKeyword("IN", word);
        n->AddArg(Additive(flags));
        ExpectRightParen(word, true);
        break;
      case FunctionForm::Cast: {
        ExpectLeftParen(word);
        TExpToken *operand = Additive(flags);
        n->AddArg(operand);
        ExpectKeyword("AS", word);
        P.ParseDataType(*n, operand);
        ExpectRightParen(word, true);
        break;
      }
      case FunctionForm::Trim:
        ExpectLeftParen(word);
        if (P.IsKeyword("LEADING")) n->Code = TExpCode::TrimLeading;
        else if (P.IsKeyword("TRAILING")) n->Code = TExpCode::TrimTrailing;
        else if (P.IsKeyword("BOTH")) n->Code = TExpCode::TrimBoth;
        else
          P.FailFound("LEADING, TRAILING, or BOTH keyword expected after TRIM keyword, instead found '");
        P.NextToken();
        n->AddArg(Additive(flags));
        ExpectKeyword("FROM", word);
        n->AddArg(Additive(flags));
        ExpectRightParen(word, true);
        break;
      case FunctionForm::Extract: {
        ExpectLeftParen(word);
        int part = -1;
        for (int i = 0; i < 9; ++i)
          if (P.IsKeyword(kExtractParts[i])) part = i;
        if (part < 0)
          P.FailFound(
              "YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, or SECOND keyword "
              "expected after EXTRACT keyword, instead found '");
        n->Code = static_cast<TExpCode>(static_cast<int>(TExpCode::ExtractYear) + part);
        P.NextToken();
        ExpectKeyword("FROM", word);
        n->AddArg(Additive(flags));
        ExpectRightParen(word, true);
        break;
      }
      case FunctionForm::Round:
        ExpectLeftParen(word);
        n->AddArg(Additive(flags));
        if (P.IsKeyword("TO")) {
          P.NextToken();
          n->AddArg(Additive(flags));
        }
        ExpectRightParen(word, n->Args.size() > 1);
        break;
      case FunctionForm::IfLike: {
        ExpectLeftParen(word);
        uint8_t first = f.Code == TExpCode::If ? uint8_t(flags | PF_EXTENDED) : flags;
        n->AddArg(Or(first));
        bool comma = P.IsKind(',');
        if (!comma && !P.IsKeyword("THEN"))
          P.FailFound("THEN keyword or comma expected in " + word + " function, instead found '");
        P.NextToken();
        n->AddArg(Additive(flags));
        if (comma ? !P.IsKind(',') : !P.IsKeyword("ELSE"))
          P.FailFound(std::string(comma ? "Comma" : "ELSE keyword") + " expected in " + word +
                      " function, instead found '");
        P.NextToken();
        n->AddArg(Additive(flags));
        ExpectRightParen(word, true);
        break;
      }
      case FunctionForm::Coalesce:
        ExpectLeftParen(word);
        for (;;) {
          n->AddArg(Additive(flags));
          if (!P.IsKind(',')) break;
          P.NextToken();
        }
        ExpectRightParen(word, true);
        break;
      case FunctionForm::TableName:
        ExpectLeftParen(word);
        n->AddArg(Additive(flags));
        ExpectRightParen(word, false);
        break;
      default: break;
    }
    Leave();
    CheckHeight(n);
    return n;
  }

 private:
  TExpressionParser &P;
  std::vector<TExpToken *> FNodes;
  size_t FFirstMarker;
  int FNesting = 0;
  bool FDone = false;
};

TExpToken *TExpressionParser::ParseExpression(uint8_t flags) {
  Builder b(*this);
  if (IsKeyword("NOT")) return b.Finish(b.Or(flags));
  // Every level of the precedence chain starts with a unary operand. Most expressions of a
  // statement (a value of INSERT, an argument) are only that: after it, a comma, a right
  // parenthesis or the end leaves nothing for the levels above, which are then not entered.
  TExpToken *first = b.Unary(flags);
  if (IsKind(',') || IsKind(')') || AtEnd()) return b.Finish(first);
  return b.Finish(b.Or(flags, first));
}

TExpToken *TExpressionParser::ParseWholeText(std::string_view text, const TParseContext &context,
                                             uint16_t errorCode) {
  SetErrorCode(errorCode);
  SetContextName(context.Name);
  SetText(text);
  NextToken();
  TExpTreePtr root(ParseExpression(context.Flags));
  if (!AtEnd())
    Fail("Unknown or unexpected symbol '" + TokenText() + "' found in " + ContextName());
  return root.release();
}

}  // namespace kura

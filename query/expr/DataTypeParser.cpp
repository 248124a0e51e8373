// SQL type names with their arguments, for CAST and for column definitions.
#include <charconv>
#include <limits>

#include "engine/util/TextScan.h"
#include "query/expr/Parser.h"

namespace kura {

namespace {

enum class Args { None, Length, Decimal, FloatArgs, Blob };

struct TypeWord {
  const char *Word;
  TDataType Type;
  FieldSubType SubType;
  Args Arguments;
};

const TypeWord kTypeWords[] = {
    {"SMALLINT", TDataType::SmallInt, FieldSubType::None, Args::None},
    {"WORD", TDataType::Word, FieldSubType::None, Args::None},
    {"INTEGER", TDataType::Integer, FieldSubType::None, Args::None},
    {"INT", TDataType::Integer, FieldSubType::None, Args::None},
    {"LARGEINT", TDataType::LargeInt, FieldSubType::None, Args::None},
    {"AUTOINC", TDataType::Integer, FieldSubType::AutoInc, Args::None},
    {"DECIMAL", TDataType::BCD, FieldSubType::None, Args::Decimal},
    {"NUMERIC", TDataType::BCD, FieldSubType::None, Args::Decimal},
    {"FLOAT", TDataType::Float, FieldSubType::None, Args::FloatArgs},
    {"MONEY", TDataType::Float, FieldSubType::Money, Args::None},
    {"CHARACTER", TDataType::String, FieldSubType::None, Args::Length},
    {"CHAR", TDataType::String, FieldSubType::None, Args::Length},
    {"VARCHAR", TDataType::String, FieldSubType::None, Args::Length},
    {"BYTES", TDataType::Bytes, FieldSubType::None, Args::Length},
    {"VARBYTES", TDataType::Bytes, FieldSubType::None, Args::Length},
    {"BINARY", TDataType::Bytes, FieldSubType::None, Args::Length},
    {"VARBINARY", TDataType::Bytes, FieldSubType::None, Args::Length},
    {"DATE", TDataType::Date, FieldSubType::None, Args::None},
    {"TIME", TDataType::Time, FieldSubType::None, Args::None},
    {"TIMESTAMP", TDataType::TimeStamp, FieldSubType::None, Args::None},
    {"BOOLEAN", TDataType::Boolean, FieldSubType::None, Args::None},
    {"BOOL", TDataType::Boolean, FieldSubType::None, Args::None},
    {"BIT", TDataType::Boolean, FieldSubType::None, Args::None},
    {"BLOB", TDataType::Blob, FieldSubType::Binary, Args::Blob},
    {"LONGVARBINARY", TDataType::Blob, FieldSubType::Binary, Args::None},
    {"LONGVARCHAR", TDataType::Blob, FieldSubType::Memo, Args::None},
    {"MEMO", TDataType::Blob, FieldSubType::Memo, Args::None},
    {"GRAPHIC", TDataType::Blob, FieldSubType::Graphic, Args::None},
};

constexpr int kMaxLength = 250;

}  // namespace

void TExpressionParser::ParseDataType(TExpToken &node, const TExpToken *castOperand) {
  const TypeWord *found = nullptr;
  if (TokenKind() == TK_SYMBOL) {
    std::string word = UpperAscii(TokenText());
    for (const TypeWord &t : kTypeWords)
      if (word == t.Word) found = &t;
  }
  if (!found) FailFound("SQL data type keyword expected, instead found '");
  const std::string word = found->Word;
  node.DataType = found->Type;
  node.SubType = found->SubType;
  node.Scale = 0;
  node.Size = DataTypeSize(found->Type);
  NextToken();

  // Reads an integer argument token; `message` when the token is no integer.
  auto integerArgument = [&](const char *message) -> int64_t {
    bool negative = false;
    if (IsKind('-')) {
      negative = true;
      NextToken();
    }
    if (!IsKind(TK_INTEGER)) FailIn(message);
    int64_t v = 0;
    auto r = std::from_chars(TokenText().data(), TokenText().data() + TokenText().size(), v);
    if (r.ec != std::errc()) v = std::numeric_limits<int64_t>::max();
    NextToken();
    return negative ? -v : v;
  };
  auto rightParen = [&] {
    if (!IsKind(')'))
      Fail("Right parentheses expected after " + word + " data type arguments, instead found '" +
           TokenText() + "' in " + ContextName());
    NextToken();
  };
  auto leftParen = [&] {
    if (!IsKind('('))
      Fail("Left parentheses expected after " + word + " data type, instead found '" +
           TokenText() + "' in " + ContextName());
    NextToken();
  };
  auto commaAfterFirst = [&] {
    if (!IsKind(','))
      Fail("Comma expected after first " + word + " argument, instead found '" + TokenText() +
           "' in " + ContextName());
    NextToken();
  };

  switch (found->Arguments) {
    case Args::None: break;
    case Args::Length: {
      if (castOperand && !IsKind('(')) {
        // CAST without a length takes the operand's size when the check knows it.
        node.Size = 0;
        break;
      }
      leftParen();
      int64_t length = integerArgument("Length argument must be an integer in ");
      if (length < 1 || length > kMaxLength)
        FailIn("Length argument must be an integer greater than 0 and less than or equal to " +
               std::to_string(kMaxLength) + " in ");
      rightParen();
      node.Size = node.DataType == TDataType::String ? uint32_t(length) + 1 : uint32_t(length);
      break;
    }
    case Args::Decimal: {
      node.Size = 34;
      if (!IsKind('(')) break;
      NextToken();
      integerArgument("Length argument must be an integer in ");
      if (IsKind(',')) {
        NextToken();
        int64_t scale = integerArgument("Scale argument must be an integer in ");
        if (scale < 0 || scale > 4)
          FailIn(
              "Scale argument must be an integer less than or equal to 4 but greater than or "
              "equal to 0 for the BCD data type in ");
        node.Scale = static_cast<uint8_t>(scale);
      }
      rightParen();
      break;
    }
    case Args::FloatArgs: {
      if (!IsKind('(')) break;
      NextToken();
      integerArgument("Length argument must be an integer in ");
      if (IsKind(',')) {
        NextToken();
        integerArgument("Scale argument must be an integer in ");
      }
      rightParen();
      break;
    }
    case Args::Blob: {
      if (!IsKind('(')) break;
      NextToken();
      integerArgument("First BLOB type argument must be an integer in ");
      commaAfterFirst();
      int64_t type = integerArgument("BLOB type argument must be an integer in ");
      if (type != 1 && type != 2 && type != 3 && type != 5 && type != 7)
        FailIn("BLOB type argument must be an integer with a value of 1,2,3,5, or 7 in ");
      node.SubType = static_cast<FieldSubType>(type + 21);
      rightParen();
      break;
    }
  }
}

}  // namespace kura

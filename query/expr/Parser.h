#pragma once
// TExpressionParser: the lexer together with the recursive-descent expression grammar.
#include <cstdint>
#include <string>

#include "query/expr/ExpToken.h"
#include "query/expr/Lexer.h"

namespace kura {

// Parser flags, passed down through every level of the grammar.
enum : uint8_t {
  PF_AGGREGATES = 1,
  PF_ALLCOLUMNS = 2,
  PF_EXTENDED = 4,
  PF_PARAMETERS = 8,
  PF_SUBSELECTS = 16,
};

// A clause of the language: the name messages append after " in ", and what it allows.
struct TParseContext {
  const char *Name;
  uint8_t Flags;
};

namespace contexts {
inline constexpr TParseContext SqlStatement{"SQL statement", 0};
inline constexpr TParseContext SourceColumn{"source column expression",
                                            PF_AGGREGATES | PF_ALLCOLUMNS | PF_EXTENDED};
inline constexpr TParseContext Where{"WHERE clause", PF_EXTENDED | PF_PARAMETERS | PF_SUBSELECTS};
inline constexpr TParseContext Join{"JOIN clause", PF_EXTENDED | PF_PARAMETERS};
inline constexpr TParseContext Having{"HAVING clause", PF_AGGREGATES};
inline constexpr TParseContext ValueExpression{"value expression", PF_PARAMETERS};
inline constexpr TParseContext TableColumn{"table column", 0};
inline constexpr TParseContext IndexColumn{"index column", 0};
inline constexpr TParseContext IndexName{"index name expression", 0};
inline constexpr TParseContext NextAutoInc{"next auto-increment number", 0};
inline constexpr TParseContext StopWords{"stop words", 0};
inline constexpr TParseContext CharacterSet{"character set", 0};
// Filters and Locate of cursors and datasets: every predicate, no parameters or sub-selects.
inline constexpr TParseContext Filter{"filter expression", PF_EXTENDED};
}  // namespace contexts

class TExpressionParser;

// The object a parser works for. A statement collects parameter markers and parses the
// SELECT of an IN ( SELECT ... ) predicate.
class TExpressionOwner {
 public:
  virtual ~TExpressionOwner() = default;
  virtual void AddParameter(TExpToken *marker) { (void)marker; }
  // Called with the lexer on the SELECT keyword; parses the sub-select up to (not including)
  // its closing ")" and returns it.
  virtual TDataQuery *ParseSubSelect(TExpressionParser &parser) = 0;
};

class TExpressionParser : public TSqlLexer {
 public:
  // Parentheses and function calls may nest this deep.
  static constexpr int kMaxNesting = 256;
  // Trees may grow this high (long chains of binary operators).
  static constexpr uint32_t kMaxTreeHeight = 1000;

  void SetOwner(TExpressionOwner *owner) { FOwner = owner; }
  TExpressionOwner *Owner() const { return FOwner; }

  // From the current token: the root of an OR-level expression (owned by the caller); the
  // lexer is left on the first token after it. Where no expression starts, this fails with
  // the unknown-symbol message; callers that have a message for an empty expression check
  // for it first.
  TExpToken *ParseExpression(uint8_t flags);

  // Sets text, context and code, reads the first token, parses one expression and requires
  // the end of the text after it (filter texts, Locate, default values).
  TExpToken *ParseWholeText(std::string_view text, const TParseContext &context,
                            uint16_t errorCode = KURA_SQLPARSE);

  // Reads an SQL type name with its arguments into the node's type, subtype, size and scale;
  // the lexer is left after it. `castOperand` (may be null) gives CAST its default length.
  void ParseDataType(TExpToken &node, const TExpToken *castOperand = nullptr);

 private:
  class Builder;
  friend class Builder;
  TExpressionOwner *FOwner = nullptr;
  // Parameter markers of the expression being parsed, in order of appearance (a sub-select
  // parsed inside it adds its own in between); handed to the owner when the outermost
  // expression is complete, dropped with the nodes when it fails.
  std::vector<TExpToken *> FPendingMarkers;
  int FBuilderDepth = 0;
};

}  // namespace kura

#pragma once
// TQueryStatement: one SQL text (possibly a script of statements separated by ";"), its
// lexer-and-expression parser, the parsed parts of the current statement and its parameters.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "query/expr/Parser.h"
#include "query/sql/DataQuery.h"

namespace kura {

class TQueryStatement : public TExpressionOwner {
 public:
  // Checks one parsed part against the database (name resolution, typing, the choice of a
  // live result). Called for every part from the last created to the master. The execution
  // layer installs it; without one a statement is parsed only.
  using TValidator = std::function<void(TQueryStatement &statement, TDataQuery &query)>;

  TQueryStatement();
  ~TQueryStatement() override;
  TQueryStatement(const TQueryStatement &) = delete;
  TQueryStatement &operator=(const TQueryStatement &) = delete;

  // Component settings.
  void SetRequestLive(bool live) { FRequestLive = live; }
  bool RequestLive() const { return FRequestLive; }
  void SetMaxRowCount(int64_t count) { FMaxRowCount = count; }
  int64_t MaxRowCount() const { return FMaxRowCount; }
  void SetValidator(TValidator validator) { FValidator = std::move(validator); }

  // Parses the first statement of the text and validates it. The lexer is left on the token
  // after it. A failure leaves the statement unprepared and raises the SQL error.
  void Prepare(std::string_view text);
  // The same without copying the text, which the caller keeps unchanged and alive for as long
  // as this object parses it (until the next Prepare, or its end).
  void PrepareBorrowed(std::string_view text);
  // Whether the script holds a further statement after the current one (never after a
  // statement that failed to parse).
  bool HasNextStatement() const;
  // Frees the current statement's parts, then parses and validates the next statement
  // (nothing happens when there is none).
  void PrepareNext();
  // Takes over the current statement another statement object has parsed (without a
  // validator) and validates it here, as Prepare would have: the text is not parsed again.
  // The other object keeps its place in its script; this one has no next statement.
  void AdoptParsed(TQueryStatement &parsed);
  void Unprepare();

  bool Prepared() const { return FPrepared; }
  TStatementKind Kind() const { return FKind; }
  // The select list of a SELECT is exactly "*".
  bool SelectsAllColumns() const;
  // Set by the validator when the result will be a cursor on the source table itself.
  void SetResultLive(bool live) { FResultLive = live; }
  bool ResultLive() const { return FResultLive; }

  // The parameter markers ("?") of the current statement in the order they are written,
  // across sub-selects and UNION parts.
  const std::vector<TExpToken *> &Parameters() const { return FParameters; }
  size_t ParameterCount() const { return FParameters.size(); }

  // The master part first created, then every UNION part and sub-select in creation order.
  TDataQuery *Master() const { return FQueries.empty() ? nullptr : FQueries.front().get(); }
  const std::vector<std::unique_ptr<TDataQuery>> &Queries() const { return FQueries; }
  TDataQuery *NewQuery();

  TExpressionParser &Parser() { return FParser; }
  const TExpressionParser &Parser() const { return FParser; }

  // TExpressionOwner: the SELECT of IN ( SELECT ... ).
  TDataQuery *ParseSubSelect(TExpressionParser &parser) override;

  // Sub-selects may nest this deep inside one another.
  static constexpr int kMaxSubSelectNesting = 32;
  // ... and within this many bytes of machine stack (well inside the 8 MiB of a main thread,
  // leaving room for one more fully parenthesised expression).
  static constexpr size_t kMaxSubSelectStack = 1024 * 1024;

 private:
  friend class TStatementParser;
  void ParseAndValidate();
  void PrepareText();
  void ValidateParts();
  void CollectParameters();
  void ClearStatement();

  TExpressionParser FParser;
  std::vector<std::unique_ptr<TDataQuery>> FQueries;
  std::vector<TExpToken *> FParameters;
  TValidator FValidator;
  bool FRequestLive = false;
  int64_t FMaxRowCount = -1;
  bool FPrepared = false;
  bool FScriptFailed = false;  // a statement of the script failed: the rest is not parsed
  bool FResultLive = false;
  TStatementKind FKind = TStatementKind::Unknown;
  class TStatementParser *FActiveParser = nullptr;  // while a statement is being parsed
};

}  // namespace kura

#pragma once
// TStatementParser: the grammar of the twelve statement kinds over a statement's lexer. One
// object parses one statement (with its UNION parts and sub-selects) into TDataQuery parts
// created through the statement. The grammar of each statement family lives in its own file.
#include <cstdint>
#include <string>
#include <vector>

#include "query/expr/Parser.h"
#include "query/sql/DataQuery.h"

namespace kura {

class TQueryStatement;

// How a SELECT stands in its statement.
enum class TSelectRole : uint8_t {
  Master,     // the statement itself
  UnionPart,  // a part after UNION: no INTO, no ORDER BY or TOP of its own
  SubSelect,  // IN ( SELECT ... )
  InsertSource,  // INSERT ... SELECT: a sub-select followed by NOAUTOINC / COMMIT
};

class TStatementParser {
 public:
  TStatementParser(TQueryStatement &statement, TExpressionParser &parser);

  // Reads the statement words from the current token and parses one statement into the
  // master, up to and including its ";" (or the end of the text).
  TStatementKind ParseStatement(TDataQuery &master);
  // With the lexer on SELECT: a sub-select of IN ( ... ), up to its closing ")".
  TDataQuery *ParseSubSelect();

 private:
  // ---- shared pieces (StatementParser.cpp) ----
  [[noreturn]] void FailToken(const std::string &prefix) const;  // prefix + token + "'"
  [[noreturn]] void Fail(const std::string &detail) const;
  void Next();
  // Reads the next token as the first of a clause with its own context.
  void NextIn(const TParseContext &context);
  bool Keyword(const char *word) const { return P.IsKeyword(word); }
  // Parses an expression in a context; the context name is restored afterwards.
  TExpToken *Expression(const TParseContext &context, std::string *text = nullptr);
  // [MEMORY] name [ "\" name ]; `missing` is the message prefix when no name stands here.
  void ParseTableReference(TTableRef &ref, const char *missing);
  // Splits a written table name that may be a path into directory and table name.
  void SplitTablePath(const std::string &written, TTableRef &ref, const char *missing) const;
  // An integer token as a 64-bit number; false when it is none or does not fit.
  bool IntegerToken(int64_t &value) const;
  void ParseLanguage(TLanguageOption &language);
  // ENCRYPTED WITH 'password' with the lexer on ENCRYPTED.
  void ParseEncrypted(std::string &password, bool &encrypted);
  void ParseCommitClause(TCommitOptions &commit);
  std::string StringConstant(const TParseContext &context);
  void CheckEnd(TStatementKind kind);

  // ---- SELECT (SelectParser.cpp) ----
  void ParseSelect(TDataQuery &q, TSelectRole role, bool beganWithParen);
  void ParseSelectPart(TDataQuery &q, TSelectRole role, bool commitMayFollow);
  void ParseSelectList(TDataQuery &q);
  void ParseSelectColumn(TDataQuery &q);
  void ParseInto(TDataQuery &q, TSelectRole role);
  void ParseOrderBy(TDataQuery &q);
  void ParseGroupBy(TDataQuery &q);
  void ParseSelectOptions(TDataQuery &q, bool withTop);
  void ParseTop(TDataQuery &q);

  // ---- FROM and joins (SourceListParser.cpp) ----
  // FROM has been read. `commitMayFollow`: NOAUTOINC and COMMIT end a source list here.
  void ParseSourceList(TDataQuery &q, bool commitMayFollow);
  void ParseSource(TDataQuery &q, TSourceTable &source, const char *missing, bool joined,
                   bool commitMayFollow);
  bool ParseJoin(TDataQuery &q, int outerPosition, int &openParens, bool commitMayFollow);
  void AddSource(TDataQuery &q, TSourceTable source);

  // ---- INSERT, UPDATE, DELETE (InsertParser.cpp, UpdateDeleteParser.cpp) ----
  void ParseInsert(TDataQuery &q);
  void ParseUpdate(TDataQuery &q);
  void ParseDelete(TDataQuery &q);
  void ParseTableColumn(TUpdateField &field);
  void ParseTargetAlias(TDataQuery &q, std::initializer_list<const char *> stopWords);

  // ---- CREATE TABLE, CREATE INDEX (CreateTableParser.cpp, CreateIndexParser.cpp) ----
  void ParseCreateTable(TDataQuery &q);
  void ParseColumnDefinition(TCreateField &field, bool typeOptional, bool allowAt);
  void ParseColumnOptions(TCreateField &field, bool allowAt);
  void ParseColumnValue(TColumnValueText &value, const char *missing);
  bool AtPrimaryKeyWords() const;
  void ParsePrimaryKey(TCreateIndex &key);
  void ParseIndexModifiers(TCreateIndex &index);
  void ParseIndexColumns(std::vector<std::string> &columns);
  void ParseCompression(TCreateIndex &index);
  void ParseTableOptions(TTableOptions &options);
  void ParseIfNotExists(bool &ifNotExists);
  void ParseCreateIndex(TDataQuery &q);
  void ParseAtPosition(TCreateField &field);

  // ---- ALTER, DROP (AlterParser.cpp, DropParser.cpp); START, COMMIT, ROLLBACK are all words ----
  void ParseAlterTable(TDataQuery &q);
  void ParseAlteration(TDataQuery &q);
  void ParseDropTable(TDataQuery &q);
  void ParseDropIndex(TDataQuery &q);
  void ParseIfExists(bool &ifExists);

  TQueryStatement &S;
  TExpressionParser &P;
  int FSubSelectDepth = 0;
  // Where the machine stack stood when the statement began: each sub-select may hold a deeply
  // parenthesised expression open, so the depth allowed is also measured in stack bytes.
  uintptr_t FStackBase = 0;
};

// Whether the word names an SQL data type (the first word of a type).
bool IsDataTypeWord(const std::string &word);

}  // namespace kura

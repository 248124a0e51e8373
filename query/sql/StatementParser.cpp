// Statement framing: the statement words, the end of a statement, and the pieces every
// statement grammar shares (table references, LANGUAGE, ENCRYPTED WITH, COMMIT clauses).
#include "query/sql/StatementParser.h"

#include <charconv>

#include "engine/locale/Collation.h"
#include "query/sql/QueryStatement.h"

namespace kura {

namespace {

// Restores the context name of the lexer when an expression (or a sub-select) is done.
class ContextGuard {
 public:
  ContextGuard(TSqlLexer &lexer, const char *name) : L(lexer), FSaved(lexer.ContextName()) {
    L.SetContextName(name);
  }
  ~ContextGuard() { L.SetContextName(FSaved); }

 private:
  TSqlLexer &L;
  std::string FSaved;
};

const char *const kTypeWords[] = {
    "SMALLINT", "WORD",      "INTEGER",   "INT",       "LARGEINT", "AUTOINC",   "DECIMAL",
    "NUMERIC",  "FLOAT",     "MONEY",     "CHARACTER", "CHAR",     "VARCHAR",   "BYTES",
    "VARBYTES", "BINARY",    "VARBINARY", "DATE",      "TIME",     "TIMESTAMP", "BOOLEAN",
    "BOOL",     "BIT",       "BLOB",      "LONGVARBINARY", "LONGVARCHAR", "MEMO", "GRAPHIC"};

bool SameText(const std::string &a, const char *b) {
  size_t n = 0;
  for (; b[n]; ++n) {
    if (n >= a.size()) return false;
    char x = a[n], y = b[n];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return n == a.size();
}

bool HasAllColumns(const TExpToken *n) {
  if (!n) return false;
  if (n->IsAllColumns) return true;
  if (HasAllColumns(n->Left) || HasAllColumns(n->Right)) return true;
  for (const TExpToken *a : n->Args)
    if (HasAllColumns(a)) return true;
  return false;
}

}  // namespace

bool IsDataTypeWord(const std::string &word) {
  for (const char *w : kTypeWords)
    if (SameText(word, w)) return true;
  return false;
}

const char *StatementKindName(TStatementKind kind) {
  switch (kind) {
    case TStatementKind::Select: return "SELECT";
    case TStatementKind::Insert: return "INSERT";
    case TStatementKind::Update: return "UPDATE";
    case TStatementKind::Delete: return "DELETE";
    case TStatementKind::CreateTable: return "CREATE TABLE";
    case TStatementKind::AlterTable: return "ALTER TABLE";
    case TStatementKind::DropTable: return "DROP TABLE";
    case TStatementKind::CreateIndex: return "CREATE INDEX";
    case TStatementKind::DropIndex: return "DROP INDEX";
    case TStatementKind::StartTransaction: return "START TRANSACTION";
    case TStatementKind::Rollback: return "ROLLBACK";
    case TStatementKind::Commit: return "COMMIT";
    case TStatementKind::Unknown: break;
  }
  return "UNKNOWN";
}

TStatementParser::TStatementParser(TQueryStatement &statement, TExpressionParser &parser)
    : S(statement), P(parser) {}

void TStatementParser::Fail(const std::string &detail) const { P.Fail(detail); }

void TStatementParser::FailToken(const std::string &prefix) const {
  P.Fail(prefix + P.TokenText() + "'");
}

void TStatementParser::Next() { P.NextToken(); }

void TStatementParser::NextIn(const TParseContext &context) {
  // The token read belongs to that context: a lexer failure there names it.
  ContextGuard guard(P, context.Name);
  P.NextToken();
}

TExpToken *TStatementParser::Expression(const TParseContext &context, std::string *text) {
  ContextGuard guard(P, context.Name);
  size_t mark = P.TokenStart();
  TExpTreePtr root(P.ParseExpression(context.Flags));
  if (text) *text = P.TextSince(mark);
  // COUNT(*) reads as the all-columns symbol too, which only the select list allows.
  if (!(context.Flags & PF_ALLCOLUMNS) && HasAllColumns(root.get()))
    P.FailIn("* (all columns) symbol is not allowed in ");
  return root.release();
}

bool TStatementParser::IntegerToken(int64_t &value) const {
  if (!P.IsKind(TK_INTEGER)) return false;
  const std::string &t = P.TokenText();
  auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

std::string TStatementParser::StringConstant(const TParseContext &context) {
  if (!P.IsKind(TK_SQUOTED) && !P.IsKind(TK_DQUOTED))
    Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " + context.Name);
  std::string text = P.TokenText();
  Next();
  return text;
}

void TStatementParser::ParseTableReference(TTableRef &ref, const char *missing) {
  if (Keyword("MEMORY")) {
    ref.InMemory = true;
    Next();
  }
  if (!P.IsSymbol()) FailToken(missing);
  std::string first = P.TokenText();
  Next();
  if (P.IsKind('\\')) {
    Next();
    if (!P.IsSymbol()) FailToken(missing);
    ref.Database = first;
    ref.TableName = P.TokenText();
    ref.WrittenName = first + "\\" + ref.TableName;
    Next();
    return;
  }
  SplitTablePath(first, ref, missing);
}

void TStatementParser::SplitTablePath(const std::string &written, TTableRef &ref, const char *missing) const {
  ref.WrittenName = written;
  // A path names a table by its data file: the directory, and the file name without extension.
  size_t slash = written.find_last_of("/\\");
  if (slash == std::string::npos) {
    ref.TableName = written;
    return;
  }
  ref.Directory = written.substr(0, slash);
  if (ref.Directory.empty()) ref.Directory = written.substr(0, 1);  // a table in the root
  std::string file = written.substr(slash + 1);
  size_t dot = file.find_last_of('.');
  if (dot != std::string::npos && dot > 0) file.resize(dot);
  ref.TableName = file;
  // The message names the written name: the lexer has already moved past it.
  if (ref.TableName.empty()) Fail(std::string(missing) + written + "'");
}

void TStatementParser::ParseLanguage(TLanguageOption &language) {
  // On LANGUAGE.
  Next();
  std::string name = P.TokenText();
  uint16_t id = 0;
  if ((!P.IsKind(TK_SQUOTED) && !P.IsKind(TK_DQUOTED)) || !LanguageIdFromName(name, id))
    Fail("Invalid language constant '" + name + "' specified after LANGUAGE keyword");
  language.LanguageGiven = true;
  language.LanguageId = id;
  Next();
  if (!Keyword("SORT")) return;
  Next();
  std::string sortName = P.TokenText();
  uint16_t sortId = 0;
  if ((!P.IsKind(TK_SQUOTED) && !P.IsKind(TK_DQUOTED)) || !SortIdFromName(id, sortName, sortId))
    Fail("Invalid sort constant '" + sortName + "' specified after SORT keyword");
  language.SortGiven = true;
  language.SortId = sortId;
  Next();
}

void TStatementParser::ParseEncrypted(std::string &password, bool &encrypted) {
  Next();
  if (!Keyword("WITH")) FailToken("WITH keyword expected after ENCRYPTED keyword, instead found '");
  Next();
  password = StringConstant(contexts::SqlStatement);
  encrypted = !password.empty();
}

void TStatementParser::ParseCommitClause(TCommitOptions &commit) {
  if (!Keyword("COMMIT")) return;
  Next();
  commit.Given = true;
  if (Keyword("INTERVAL")) {
    Next();
    int64_t n = 0;
    if (!IntegerToken(n))
      FailToken("Integer value expected after INTERVAL keyword, instead found '");
    commit.IntervalGiven = true;
    commit.Interval = n;
    Next();
    if (Keyword("FLUSH")) {
      commit.Flush = true;
      Next();
    }
    return;
  }
  if (!Keyword("FLUSH"))
    FailToken("INTERVAL and/or FLUSH keywords expected after COMMIT keyword, instead found '");
  commit.Flush = true;
  Next();
}

void TStatementParser::CheckEnd(TStatementKind kind) {
  if (P.IsKind(';')) {
    Next();
    return;
  }
  if (P.AtEnd()) return;
  Fail(std::string("End of ") + StatementKindName(kind) + " statement expected, instead found '" +
       P.TokenText() + "'");
}

namespace {

uintptr_t StackPosition() { return reinterpret_cast<uintptr_t>(__builtin_frame_address(0)); }

}  // namespace

TStatementKind TStatementParser::ParseStatement(TDataQuery &master) {
  FStackBase = StackPosition();
  TStatementKind kind = TStatementKind::Unknown;
  if (P.IsKind('(')) {
    Next();
    if (!Keyword("SELECT")) FailToken("SELECT keyword expected, instead found '");
    kind = TStatementKind::Select;
    master.Kind = kind;
    ParseSelect(master, TSelectRole::Master, true);
    CheckEnd(kind);
    return kind;
  }
  if (Keyword("SELECT")) {
    kind = TStatementKind::Select;
  } else if (Keyword("INSERT")) {
    kind = TStatementKind::Insert;
  } else if (Keyword("UPDATE")) {
    kind = TStatementKind::Update;
  } else if (Keyword("DELETE")) {
    kind = TStatementKind::Delete;
  } else if (Keyword("ROLLBACK")) {
    kind = TStatementKind::Rollback;
  } else if (Keyword("COMMIT")) {
    kind = TStatementKind::Commit;
  } else if (Keyword("CREATE")) {
    Next();
    if (Keyword("TABLE"))
      kind = TStatementKind::CreateTable;
    else if (Keyword("INDEX") || Keyword("UNIQUE") || Keyword("ASC") || Keyword("ASCENDING") ||
             Keyword("DESC") || Keyword("DESCENDING") || Keyword("NOCASE"))
      kind = TStatementKind::CreateIndex;
    else
      FailToken(
          "TABLE, INDEX, UNIQUE, ASC, ASCENDING, DESC, DESCENDING, or NOCASE keyword expected, "
          "instead found '");
  } else if (Keyword("ALTER")) {
    Next();
    if (!Keyword("TABLE")) FailToken("TABLE keyword expected, instead found '");
    kind = TStatementKind::AlterTable;
  } else if (Keyword("DROP")) {
    Next();
    if (Keyword("TABLE"))
      kind = TStatementKind::DropTable;
    else if (Keyword("INDEX"))
      kind = TStatementKind::DropIndex;
    else
      FailToken("TABLE or INDEX keyword expected, instead found '");
  } else if (Keyword("START")) {
    Next();
    if (!Keyword("TRANSACTION")) FailToken("TRANSACTION keyword expected, instead found '");
    kind = TStatementKind::StartTransaction;
  } else {
    FailToken(
        "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found '");
  }
  master.Kind = kind;

  switch (kind) {
    case TStatementKind::Select: ParseSelect(master, TSelectRole::Master, false); break;
    case TStatementKind::Insert: ParseInsert(master); break;
    case TStatementKind::Update: ParseUpdate(master); break;
    case TStatementKind::Delete: ParseDelete(master); break;
    case TStatementKind::CreateTable: ParseCreateTable(master); break;
    case TStatementKind::AlterTable: ParseAlterTable(master); break;
    case TStatementKind::DropTable: ParseDropTable(master); break;
    case TStatementKind::CreateIndex: ParseCreateIndex(master); break;  // on its first word
    case TStatementKind::DropIndex: ParseDropIndex(master); break;
    case TStatementKind::StartTransaction: Next(); break;
    case TStatementKind::Rollback:
      Next();
      if (Keyword("WORK")) Next();
      break;
    case TStatementKind::Commit:
      Next();
      if (Keyword("WORK")) Next();
      if (Keyword("FLUSH")) {
        master.Flush = true;
        Next();
      }
      break;
    case TStatementKind::Unknown: break;
  }
  CheckEnd(kind);
  return kind;
}

TDataQuery *TStatementParser::ParseSubSelect() {
  const uintptr_t here = StackPosition();
  const size_t stackUsed = FStackBase > here ? FStackBase - here : here - FStackBase;
  if (FSubSelectDepth >= TQueryStatement::kMaxSubSelectNesting ||
      stackUsed > TQueryStatement::kMaxSubSelectStack)
    P.FailIn("Sub-select queries are nested too deeply in ");
  // The sub-select's clauses set their own contexts; the enclosing one continues after it.
  ContextGuard guard(P, P.ContextName().c_str());
  ++FSubSelectDepth;
  TDataQuery *q = S.NewQuery();
  q->Kind = TStatementKind::Select;
  q->IsSubSelect = true;
  const size_t mark = P.TokenStart();
  ParseSelect(*q, TSelectRole::SubSelect, false);
  q->SourceText = P.Text().substr(mark, P.PreviousTokenEnd() - mark);
  --FSubSelectDepth;
  return q;
}

}  // namespace kura

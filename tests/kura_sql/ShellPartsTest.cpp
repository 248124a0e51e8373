// The statement splitter and the two output forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "ShellOptions.h"
#include "ShellOutput.h"
#include "ShellSplitter.h"
#include "query/expr/Lexer.h"

namespace kura::shell {
namespace {

TEST(ShellSplitter, StatementsEndAtSemicolonsOutsideQuotesAndComments) {
  TStatementSplitter s;
  auto done = s.AddLine("select 'a;b' from t; select \"x;y\" from u");
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], "select 'a;b' from t");
  EXPECT_EQ(s.Finish(), " select \"x;y\" from u\n");
  EXPECT_TRUE(s.AddLine("select /* ; */ 1").empty());
  EXPECT_TRUE(s.Pending());
  done = s.AddLine("from t;");
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], "select /* ; */ 1\nfrom t");
  EXPECT_FALSE(s.Pending());
  EXPECT_TRUE(s.AddLine(";;  ;").empty());
  s.AddLine("select 1 from t");
  EXPECT_EQ(s.Finish(), "select 1 from t\n");
  EXPECT_EQ(s.Finish(), "");
}

// The splitter cuts where the language's lexer finds ";" tokens, and nowhere else.
TEST(ShellSplitter, FollowsTheLexer) {
  const struct {
    std::vector<std::string> lines;
    std::vector<std::string> statements;
    std::string rest;
  } cases[] = {
      // No line comment: "--" is two minus signs, and the ";" after it ends the statement.
      {{"update m set v = 'HIT' where id = 3--1; select 1 from m;"},
       {"update m set v = 'HIT' where id = 3--1", " select 1 from m"}, ""},
      {{"select 5--3 from t -- no comment;", "select 2 from t;"},
       {"select 5--3 from t -- no comment", "select 2 from t"}, ""},
      // A bracketed name may hold ";" and quotes; it ends at the first "]".
      {{"create table [a;b] (x integer); drop table [it's;\"x\"];"},
       {"create table [a;b] (x integer)", " drop table [it's;\"x\"]"}, ""},
      // Doubled quotes stay inside the string.
      {{"select 'it''s;' from t; select \"a\"\";\" from t;"},
       {"select 'it''s;' from t", " select \"a\"\";\" from t"}, ""},
      // A comment, a string and a bracket left open across lines.
      {{"select /* a;", "b */ 1 from t;"}, {"select /* a;\nb */ 1 from t"}, ""},
      {{"select 'a;", "b;' from t;"}, {"select 'a;\nb;' from t"}, ""},
      {{"select [a;", "b] from t; sel"}, {"select [a;\nb] from t"}, " sel\n"},
      // Left open at the end: handed over whole for the engine to report.
      {{"select 'never closed; from t"}, {}, "select 'never closed; from t\n"},
      {{"select 1 /* ; */ from t /* ;"}, {}, "select 1 /* ; */ from t /* ;\n"},
      // "/" and "*" apart are no comment; "*/" alone is two tokens.
      {{"select 4/ *2; select */ 1;"}, {"select 4/ *2", " select */ 1"}, ""},
      // Blanks and comments alone make no statement, but an open comment waits for its end.
      {{"select 1 from t; /* the end */", "/* ; */ ;"}, {"select 1 from t"}, ""},
      {{"/* open", ".quit */ select 1 from t;"}, {"/* open\n.quit */ select 1 from t"}, ""},
      // A zero byte is read as a blank, not as the end of the text.
      {{std::string("select 1\0; select 2;", 21)}, {"select 1 ", " select 2"}, ""},
  };
  for (const auto &c : cases) {
    TStatementSplitter s;
    std::vector<std::string> got;
    for (const std::string &line : c.lines)
      for (std::string &statement : s.AddLine(line)) got.push_back(statement);
    EXPECT_EQ(got, c.statements) << c.lines[0];
    EXPECT_EQ(s.Finish(), c.rest) << c.lines[0];
  }
}

// A short run of what the libFuzzer target in bench/sql_fuzz checks at length: random texts
// of token pieces cut into statements whose tokens are, in order, those of the whole text
// without its ";" tokens, no statement holding a ";" token or ending inside a token.
TEST(ShellSplitter, RandomTextsSplitWhereTheLexerDoes) {
  const std::string pieces[] = {"select", " ", "\n", ";", "'", "''", "\"", "[", "]", "/*", "*/", "*", "/",
                                "--", "5", "1.5e-3", "#65", "a", "(", ")", ",", "x;y", std::string("\0", 1)};
  auto lex = [](const std::string &text, bool &semicolon, bool &unclosed) {
    std::vector<std::string> tokens;
    TSqlLexer lexer;
    lexer.SetText(text);
    semicolon = unclosed = false;
    try {
      for (uint8_t kind = lexer.NextToken(); kind != TK_END; kind = lexer.NextToken()) {
        if (kind == ';') semicolon = true;
        else tokens.push_back(std::to_string(kind) + ":" + lexer.TokenText());
      }
    } catch (const std::exception &) {
      unclosed = true;
    }
    return tokens;
  };
  std::mt19937 rng(14);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 40); n > 0; --n) text += pieces[rng() % (sizeof(pieces) / sizeof(*pieces))];
    TStatementSplitter s;
    std::vector<std::string> joined;
    std::string whole;
    size_t begin = 0;
    for (;;) {
      const size_t end = std::min(text.find('\n', begin), text.size());
      const std::string line = text.substr(begin, end - begin);
      for (const std::string &statement : s.AddLine(line)) {
        bool semicolon = false, unclosed = false;
        std::vector<std::string> tokens = lex(statement, semicolon, unclosed);
        ASSERT_FALSE(semicolon || unclosed || tokens.empty()) << text;
        joined.insert(joined.end(), tokens.begin(), tokens.end());
      }
      whole += line + "\n";
      if (end == text.size()) break;
      begin = end + 1;
    }
    std::replace(whole.begin(), whole.end(), '\0', ' ');
    bool semicolon = false, restUnclosed = false, wholeUnclosed = false;
    const std::vector<std::string> rest = lex(s.Finish(), semicolon, restUnclosed);
    ASSERT_FALSE(semicolon) << text;
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_EQ(joined, lex(whole, semicolon, wholeUnclosed)) << text;
    EXPECT_EQ(restUnclosed, wholeUnclosed) << text;
  }
}

TEST(ShellSplitter, QuotesSpanLines) {
  TStatementSplitter s;
  EXPECT_TRUE(s.AddLine("select 'one;").empty());
  auto done = s.AddLine("two' from t;");
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], "select 'one;\ntwo' from t");
}

TEST(ShellOutput, TsvEscapesAndWritesNull) {
  TResultText r;
  r.Names = {"a", "b"};
  r.Rows = {{"x\ty", ""}, {"back\\slash\nline", "7"}};
  r.Null = {{false, true}, {false, false}};
  std::ostringstream out;
  WriteTsv(out, r);
  EXPECT_EQ(out.str(), "a\tb\nx\\ty\tNULL\nback\\\\slash\\nline\t7\n");
}

TEST(ShellOutput, TableAlignsColumns) {
  TResultText r;
  r.Names = {"Name", "N"};
  r.RightAligned = {false, true};
  r.Rows = {{"Aoki", "1"}, {"B", "100"}};
  r.Null = {{false, false}, {false, true}};
  std::ostringstream out;
  WriteTable(out, r);
  EXPECT_EQ(out.str(),
            " Name | N\n"
            "------+---\n"
            " Aoki | 1\n"
            " B    |  \n"
            "(2 rows)\n");
  std::ostringstream shown;
  WriteTable(shown, r, "(null)");
  EXPECT_NE(shown.str().find(" B    | (null)\n"), std::string::npos) << shown.str();
}

TEST(ShellOutput, CsvQuotesWhatNeedsIt) {
  TResultText r;
  r.Names = {"Name", "Note"};
  r.Rows = {{"a,b", "say \"hi\""}, {"plain", ""}, {"line\nbreak", ""}};
  r.Null = {{false, false}, {false, true}, {false, false}};
  std::ostringstream out;
  WriteCsv(out, r);
  EXPECT_EQ(out.str(), "Name,Note\n\"a,b\",\"say \"\"hi\"\"\"\nplain,\n\"line\nbreak\",\n");
  std::ostringstream nulls;
  WriteCsv(nulls, r, "NULL");
  EXPECT_NE(nulls.str().find("plain,NULL\n"), std::string::npos);
}

TEST(ShellOptions, ParsesAndRefuses) {
  const char *argv[] = {"kura-sql", "--db", "dir", "-c", "select 1", "--tsv", "--keep-going", "f.sql", "--sync"};
  TShellOptions o;
  std::string error;
  ASSERT_TRUE(ParseShellOptions(9, argv, o, error)) << error;
  EXPECT_TRUE(o.Sync);
  EXPECT_EQ(o.Database, "dir");
  EXPECT_EQ(o.Commands, std::vector<std::string>{"select 1"});
  EXPECT_EQ(o.Files, std::vector<std::string>{"f.sql"});
  EXPECT_TRUE(o.Tsv);
  EXPECT_TRUE(o.KeepGoing);
  const char *bad[] = {"kura-sql", "--frobnicate"};
  TShellOptions o2;
  EXPECT_FALSE(ParseShellOptions(2, bad, o2, error));
  EXPECT_EQ(error, "unknown option --frobnicate");
  const char *missing[] = {"kura-sql", "-c"};
  EXPECT_FALSE(ParseShellOptions(2, missing, o2, error));
}

}  // namespace
}  // namespace kura::shell

#include <gtest/gtest.h>

#include "engine/errors/EngineError.h"
#include "query/expr/Lexer.h"

using namespace kura;

namespace {

struct Tok {
  int Kind;
  std::string Text;
};

std::vector<Tok> Lex(const std::string &text) {
  TSqlLexer lx;
  lx.SetText(text);
  std::vector<Tok> out;
  while (lx.NextToken() != TK_END) out.push_back({lx.TokenKind(), lx.TokenText()});
  return out;
}

std::string LexError(const std::string &text, const std::string &context = "SQL statement") {
  TSqlLexer lx;
  lx.SetContextName(context);
  lx.SetText(text);
  try {
    while (lx.NextToken() != TK_END) {
    }
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_SQLPARSE);
    return e.Context().Message;
  }
  return "";
}

TEST(LexerTest, TokenKindsAndTexts) {
  auto t = Lex("select a_1$@! [my col] 'it''s' \"say \"\"hi\"\"\" #65 123 1.5 (,)*+-./;<=>?\\|");
  std::vector<Tok> want = {{TK_SYMBOL, "select"}, {TK_SYMBOL, "a_1$@!"}, {TK_BRACKETED, "my col"},
                           {TK_SQUOTED, "it's"},  {TK_DQUOTED, "say \"hi\""}, {TK_CHARCONST, "#65"},
                           {TK_INTEGER, "123"},   {TK_REAL, "1.5"},   {'(', "("}, {',', ","},
                           {')', ")"},   {'*', "*"},  {'+', "+"}, {'-', "-"}, {'.', "."},
                           {'/', "/"},   {';', ";"},  {'<', "<"}, {'=', "="}, {'>', ">"},
                           {'?', "?"},   {'\\', "\\"}, {'|', "|"}};
  ASSERT_EQ(t.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(t[i].Kind, want[i].Kind) << i;
    EXPECT_EQ(t[i].Text, want[i].Text) << i;
  }
}

TEST(LexerTest, Numbers) {
  struct {
    const char *Text;
    std::vector<Tok> Want;
  } cases[] = {
      {"1.5", {{TK_REAL, "1.5"}}},
      {"2E10", {{TK_REAL, "2E10"}}},
      {"3e-4", {{TK_REAL, "3e-4"}}},
      {"12.3.4", {{TK_REAL, "12.3.4"}}},
      {"1-2", {{TK_INTEGER, "1"}, {'-', "-"}, {TK_INTEGER, "2"}}},
      {"12efg", {{TK_REAL, "12e"}, {TK_SYMBOL, "fg"}}},
      {".5", {{TK_REAL, ".5"}}},
      {".5.6", {{TK_REAL, ".5"}, {TK_REAL, ".6"}}},
      {".e", {{'.', "."}, {TK_SYMBOL, "e"}}},
      {"007", {{TK_INTEGER, "007"}}},
      {"1e+5+2", {{TK_REAL, "1e+5"}, {'+', "+"}, {TK_INTEGER, "2"}}},
  };
  for (const auto &c : cases) {
    auto t = Lex(c.Text);
    ASSERT_EQ(t.size(), c.Want.size()) << c.Text;
    for (size_t i = 0; i < t.size(); ++i) {
      EXPECT_EQ(t[i].Kind, c.Want[i].Kind) << c.Text;
      EXPECT_EQ(t[i].Text, c.Want[i].Text) << c.Text;
    }
  }
}

TEST(LexerTest, WhiteSpaceAndComments) {
  auto t = Lex("select *\r\nfrom t /* a comment */ /**/where\tx\x01=1");
  ASSERT_EQ(t.size(), 8u);
  EXPECT_EQ(t[3].Text, "t");
  EXPECT_EQ(t[4].Text, "where");
  // A comment marker inside a string is text.
  auto s = Lex("'/* no */'");
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Text, "/* no */");
  // There is no line comment: "--" is two minus signs.
  EXPECT_EQ(Lex("--x").size(), 3u);
}

TEST(LexerTest, IdentifierCharacterClasses) {
  // Bytes 128 to 254 start identifiers (UTF-8 names), 255 does not.
  auto t = Lex("\xE5\x90\x8D\xE5\x89\x8D x\xFF");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].Kind, TK_SYMBOL);
  EXPECT_EQ(t[0].Text, "\xE5\x90\x8D\xE5\x89\x8D");
  EXPECT_EQ(t[1].Text, "x");
  EXPECT_EQ(t[2].Kind, 255);
  // Digits and !$@ continue but do not start a symbol.
  auto u = Lex("$a");
  ASSERT_EQ(u.size(), 2u);
  EXPECT_EQ(u[0].Kind, '$');
}

TEST(LexerTest, EmptyCharacterConstantAndQuotes) {
  auto t = Lex("# '' [] \"\"");
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].Kind, TK_CHARCONST);
  EXPECT_EQ(t[0].Text, "#");
  EXPECT_EQ(t[1].Text, "");
  EXPECT_EQ(t[2].Kind, TK_BRACKETED);
  EXPECT_EQ(t[3].Kind, TK_DQUOTED);
}

// Quoted texts are copied in runs between quotes: doubled quotes at either end, next to each
// other, or far into a long literal each give one quote; the token after follows at once.
TEST(LexerTest, DoubledQuotesAnywhereInAQuotedText) {
  const std::string longRun(100000, 'a');
  const struct {
    std::string Source, Text;
  } cases[] = {
      {"''''", "'"},
      {"'''a'", "'a"},
      {"'a'''", "a'"},
      {"'a''''b'", "a''b"},
      {"'" + longRun + "''" + longRun + "'", longRun + "'" + longRun},
      {"\"say \"\"hi\"\"\"", "say \"hi\""},
      {"'a;\r\nb'", "a;\r\nb"},
  };
  for (const auto &c : cases) {
    auto t = Lex(c.Source + ",x");
    ASSERT_EQ(t.size(), 3u) << c.Source.substr(0, 40);
    EXPECT_EQ(t[0].Text, c.Text) << c.Source.substr(0, 40);
    EXPECT_EQ(t[1].Kind, ',');
    EXPECT_EQ(t[2].Text, "x");
  }
  EXPECT_EQ(LexError("'a''"), "Missing single quote after 'a'' in SQL statement");
  EXPECT_EQ(LexError("'''''"), "Missing single quote after '''' in SQL statement");
}

TEST(LexerTest, ErrorsNameTheContext) {
  EXPECT_EQ(LexError("select /* open"),
            "Missing ending comment slash and asterisk in SQL statement");
  EXPECT_EQ(LexError("x = 'abc", "WHERE clause"), "Missing single quote after 'abc' in WHERE clause");
  EXPECT_EQ(LexError("x = 'it''s"), "Missing single quote after 'it's' in SQL statement");
  EXPECT_EQ(LexError("\"abc"), "Missing double quote after 'abc' in SQL statement");
  EXPECT_EQ(LexError("[col umn"), "Missing right bracket after 'col umn' in SQL statement");
  EXPECT_EQ(LexError("/*/"), "Missing ending comment slash and asterisk in SQL statement");
}

TEST(LexerTest, FailuresRaiseTheConfiguredCode) {
  TSqlLexer lx;
  lx.SetErrorCode(KURA_INVALIDFILTER);
  lx.SetErrorTable("figure");
  lx.SetContextName("filter expression");
  lx.SetText("'abc");
  try {
    lx.NextToken();
    FAIL() << "no error";
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_INVALIDFILTER);
    EXPECT_EQ(e.Context().Table, "figure");
    EXPECT_EQ(e.Context().Message, "Missing single quote after 'abc' in filter expression");
  }
}

TEST(LexerTest, KeywordsAndSymbols) {
  TSqlLexer lx;
  lx.SetText("SeLeCt [select] 'x' 5");
  lx.NextToken();
  EXPECT_TRUE(lx.IsKeyword("SELECT"));
  EXPECT_TRUE(lx.IsSymbol());
  lx.NextToken();
  EXPECT_FALSE(lx.IsKeyword("SELECT"));  // a bracketed name is never a keyword
  EXPECT_TRUE(lx.IsSymbol());
  lx.NextToken();
  EXPECT_TRUE(lx.IsSymbol());
  lx.NextToken();
  EXPECT_FALSE(lx.IsSymbol());
  EXPECT_TRUE(lx.IsKind(TK_INTEGER));
  EXPECT_EQ(lx.NextToken(), TK_END);
  EXPECT_EQ(lx.NextToken(), TK_END);  // stays at the end
}

TEST(LexerTest, TextStopsAtZeroByteAndTextSinceDropsLineBreaks) {
  TSqlLexer lx;
  lx.SetText(std::string("a\0b", 3));
  lx.NextToken();
  EXPECT_EQ(lx.TokenText(), "a");
  EXPECT_EQ(lx.NextToken(), TK_END);
  // A borrowed text reads the same, without a copy of its own.
  const std::string held("c 'd'\0e", 8);
  lx.BorrowText(held);
  EXPECT_EQ(lx.Text().data(), held.data());
  EXPECT_EQ(lx.Text(), "c 'd'");
  lx.NextToken();
  EXPECT_EQ(lx.TokenText(), "c");
  lx.NextToken();
  EXPECT_EQ(lx.TokenText(), "d");
  EXPECT_EQ(lx.NextToken(), TK_END);

  lx.SetText("x +\r\n y , z");
  lx.NextToken();
  size_t mark = lx.TokenStart();
  lx.NextToken();
  lx.NextToken();
  lx.NextToken();  // now on ","
  EXPECT_EQ(lx.TextSince(mark), "x + y");
}

}  // namespace

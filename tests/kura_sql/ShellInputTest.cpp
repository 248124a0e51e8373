// Input read in blocks: however the blocks cut the text, the statements are those of the text
// read line by line.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "ShellInput.h"
#include "ShellSplitter.h"

namespace kura::shell {
namespace {

// The statements (and the rest) of a text read line by line.
std::vector<std::string> ByLines(const std::string &text) {
  TStatementSplitter s;
  std::vector<std::string> out;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    for (std::string &statement : s.AddLine(std::string_view(text).substr(begin, end - begin)))
      out.push_back(std::move(statement));
    begin = end + 1;
  }
  out.push_back("rest:" + s.Finish());
  return out;
}

// The same text through a file descriptor read in blocks of the given size, each piece given
// to the splitter as it comes; the pieces of each line are checked to join into the line.
std::vector<std::string> ByBlocks(const std::string &text, size_t blockSize, std::vector<std::string> &lines) {
  FILE *file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
  std::fflush(file);
  std::rewind(file);
  int waits = 0;
  TShellInput in(::fileno(file), "script", [&waits] { ++waits; }, blockSize);
  TStatementSplitter s;
  std::vector<std::string> out;
  std::string_view piece;
  bool lineEnds = false;
  std::string line;
  size_t handedOut = 0;
  EXPECT_EQ(in.Remaining(), text.size());
  while (in.Next(piece, lineEnds)) {
    EXPECT_TRUE(lineEnds || !piece.empty());
    line += piece;
    handedOut += piece.size() + (lineEnds && handedOut + piece.size() < text.size() ? 1 : 0);
    EXPECT_EQ(in.Remaining(), text.size() - handedOut);
    for (std::string &statement : s.AddText(piece, in.Remaining())) out.push_back(std::move(statement));
    if (!lineEnds) continue;
    for (std::string &statement : s.AddText("\n")) out.push_back(std::move(statement));
    lines.push_back(line);
    line.clear();
  }
  out.push_back("rest:" + s.Finish());
  std::fclose(file);
  EXPECT_EQ(waits, 0);  // a regular file is always ready
  return out;
}

TEST(ShellInput, BlocksCutAnywhereGiveTheStatementsOfLines) {
  const std::string longLiteral(70000, 'x');  // longer than the default block
  const std::string texts[] = {
      "select a from t;\nselect b\nfrom u;\n",
      "insert into t values ('" + longLiteral + "');\nselect 1 from t;",
      "select 'it''s; here' from t;select \"a\"\"b;\" from u;\n",   // doubled quotes at every edge
      "select 1 from t;\r\nselect 'two\r\nlines;' from t;\r\n",      // CRLF
      "select /* ; ** */ 1 from t /* open ;",                         // comment stars, unclosed comment
      "select [a;b] from t; ;;  \n  \nselect 5/2 from t /",           // brackets, division, a last "/"
      "select 'unclosed ; quote\n;\n",
      std::string("select 1 from t;   \n.tables\nselect 'x\0y' from t;", 48),  // a zero byte reads as a blank
  };
  for (const std::string &text : texts) {
    const std::vector<std::string> expected = ByLines(text);
    std::vector<std::string> wantLines;
    for (size_t b = 0, e; b < text.size(); b = e + 1) {
      e = std::min(text.find('\n', b), text.size());
      wantLines.push_back(text.substr(b, e - b));
    }
    for (size_t block : {size_t(1), size_t(2), size_t(3), size_t(7), size_t(64), size_t(1) << 16}) {
      std::vector<std::string> lines;
      EXPECT_EQ(ByBlocks(text, block, lines), expected) << "block " << block << ": " << text.substr(0, 60);
      EXPECT_EQ(lines, wantLines) << "block " << block;
    }
  }
  // A statement past a megabyte takes room for the rest of the input at once: the statements
  // are the same, however the blocks cut it.
  const std::string large = "select 1 from t;\ninsert into t values ('" + std::string(3 << 19, 'y') +
                            "');\nselect 'a;' from u;\n";
  for (size_t block : {size_t(4093), size_t(1) << 16}) {
    std::vector<std::string> lines;
    EXPECT_EQ(ByBlocks(large, block, lines), ByLines(large)) << "block " << block;
  }
}

TEST(ShellInput, TextInMemoryAndAPipeThatWouldWait) {
  TShellInput text(std::string_view("a;\nlast"));
  std::string_view piece;
  bool lineEnds = false;
  std::vector<std::pair<std::string, bool>> pieces;
  while (text.Next(piece, lineEnds)) pieces.emplace_back(std::string(piece), lineEnds);
  const std::vector<std::pair<std::string, bool>> want = {{"a;", true}, {"last", false}, {"", true}};
  EXPECT_EQ(pieces, want);

  // Before the first read nothing is in the pipe: the owner is told before the read waits.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int waits = 0;
  TShellInput in(fds[0], "pipe", [&] {
    ++waits;
    ASSERT_EQ(::write(fds[1], "x;\n", 3), 3);
    ::close(fds[1]);
  });
  EXPECT_EQ(in.Remaining(), 0u);  // not known on a pipe
  ASSERT_TRUE(in.Next(piece, lineEnds));
  EXPECT_EQ(piece, "x;");
  EXPECT_FALSE(in.Next(piece, lineEnds));
  EXPECT_EQ(waits, 1);
  ::close(fds[0]);

  // A read that fails is an error naming the input, not an empty script.
  const int dir = ::open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dir, 0);
  TShellInput directory(dir, "/");
  try {
    directory.Next(piece, lineEnds);
    ADD_FAILURE() << "a directory read as input";
  } catch (const std::runtime_error &e) {
    EXPECT_EQ(std::string(e.what()), "kura-sql: cannot read /: Is a directory");
  }
  ::close(dir);
}

}  // namespace
}  // namespace kura::shell

// Records written by ミレトカ load in GNU Go without complaint, and GNU Go sees the same
// position at the end of the main line as our own replay. Skipped where gnugo is not installed.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "SgfTestTrees.h"
#include "go/Board.h"
#include "go/Point.h"
#include "go/SgfWriter.h"

namespace go {
namespace {

std::string GnuGo() {
  for (const char *p : {"/usr/games/gnugo", "/usr/bin/gnugo", "/usr/local/bin/gnugo"})
    if (::access(p, X_OK) == 0) return p;
  return {};
}

// A game of legal moves (no suicide, no immediate recapture of a ko) with captures.
TGameTree LegalGame(unsigned seed, int moves) {
  std::mt19937 rng(seed);
  TGameTree tree;
  tree.Info.Size = 19;
  tree.Info.BlackName = "黒田";
  tree.Info.Komi = "6.5";
  tree.Root()->Comment = "対局開始";
  TBoard board(19);
  TNode *node = tree.Root();
  for (int i = 0; i < moves; ++i) {
    const int colour = i % 2 == 0 ? 1 : 2;
    for (int tries = 0; tries < 200; ++tries) {
      // Play near earlier stones now and then, so that groups meet and get captured.
      const int p = 1 + static_cast<int>(rng() % 361);
      if (board.At(p) != 0) continue;
      TBoard next = board;
      const TPlayResult r = next.Play(colour, p);
      if (!r.Suicided.empty()) continue;
      if (r.Captured.size() == 1 && GroupAt(next.Cells(), 19, p).Stones.size() == 1 &&
          GroupAt(next.Cells(), 19, p).Liberties.size() == 1)
        continue;  // a ko shape: leave it alone
      board = next;
      node = tree.AddChild(node);
      node->MoveColor = colour;
      node->MovePoint = p;
      if (i % 10 == 0) node->Comment = "第" + std::to_string(i + 1) + "手です。";
      if (i % 25 == 3) node->Labels.push_back({p, "A"});
      break;
    }
  }
  return tree;
}

std::set<std::string> OurStones(const TGameTree &tree, int colour) {
  TBoard board(tree.Info.Size);
  for (const TNode *n : tree.MainLine()) {
    for (int p : n->AddBlack) board.Set(p, 1);
    for (int p : n->AddWhite) board.Set(p, 2);
    for (int p : n->AddEmpty) board.Set(p, 0);
    if (n->HasMove()) board.Play(n->MoveColor, n->MovePoint);
  }
  std::set<std::string> stones;
  for (int p = 1; p <= board.PointCount(); ++p)
    if (board.At(p) == colour) stones.insert(DisplayName(tree.Info.Size, p));
  return stones;
}

TEST(GnuGoCheckTest, RecordsWeWriteLoadInGnuGo) {
  const std::string gnugo = GnuGo();
  if (gnugo.empty()) GTEST_SKIP() << "gnugo is not installed";
  std::string pattern = (std::filesystem::temp_directory_path() / "miretoka-gnugo-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  // A long game with captures, a 9-line game, a teaching tree with setup and variations.
  TGameTree teaching;
  teaching.Info.Size = 13;
  teaching.Info.GameName = "教材";
  teaching.Root()->AddBlack = {PointOf(13, 3, 3), PointOf(13, 9, 9)};
  teaching.Root()->AddWhite = {PointOf(13, 3, 9)};
  teaching.Root()->Comment = "黒番です。\n二行目";
  TNode *a = teaching.AddChild(teaching.Root());
  a->MoveColor = 1;
  a->MovePoint = PointOf(13, 9, 3);
  a->Triangles = {PointOf(13, 3, 3)};
  TNode *b = teaching.AddChild(teaching.Root());
  b->MoveColor = 1;
  b->MovePoint = PointOf(13, 6, 6);
  b->BadMove = 1;
  b->Unknown.push_back({"ROW", {"gg:1,-1,0,悪手"}});
  TGameTree nineGame;  // moves of a 9-line game
  {
    nineGame.Info.Size = 9;
    std::mt19937 rng(9);
    TBoard board(9);
    TNode *n = nineGame.Root();
    for (int i = 0; i < 30; ++i) {
      const int p = 1 + static_cast<int>(rng() % 81);
      TBoard next = board;
      if (board.At(p) != 0 || !next.Play(i % 2 + 1, p).Suicided.empty()) continue;
      board = next;
      n = nineGame.AddChild(n);
      n->MoveColor = i % 2 + 1;
      n->MovePoint = p;
    }
  }
  const TGameTree trees[] = {LegalGame(1, 220), LegalGame(2, 300), nineGame, teaching};
  // The long games do capture: fewer stones stand than were played.
  EXPECT_LT(OurStones(trees[1], 1).size() + OurStones(trees[1], 2).size(), trees[1].MainLine().size() - 1);
  int i = 0;
  for (const TGameTree &tree : trees) {
    const std::filesystem::path file = dir / ("record" + std::to_string(++i) + ".sgf");
    std::ofstream(file, std::ios::binary) << WriteSgf(tree);
    const std::filesystem::path errors = dir / "errors.txt";
    const std::string command = gnugo + " --infile " + file.string() +
                                " --mode gtp 2>" + errors.string() +
                                " <<'EOF'\nlist_stones black\nlist_stones white\nquit\nEOF\n";
    FILE *out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string reply;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, out)) reply.append(buffer, n);
    const int status = ::pclose(out);
    std::ifstream errorText(errors);
    const std::string complaints((std::istreambuf_iterator<char>(errorText)), std::istreambuf_iterator<char>());
    EXPECT_EQ(status, 0) << file << "\n" << complaints;
    EXPECT_EQ(complaints, "") << file;
    // Two answers "= <stones>" in order: black, then white.
    std::istringstream lines(reply);
    std::string line;
    std::vector<std::set<std::string>> answers;
    while (std::getline(lines, line))
      if (line.rfind("=", 0) == 0) {
        std::istringstream words(line.substr(1));
        std::set<std::string> stones;
        for (std::string w; words >> w;) stones.insert(w);
        answers.push_back(stones);
      }
    ASSERT_GE(answers.size(), 2u) << reply;
    EXPECT_EQ(answers[0], OurStones(tree, 1)) << file;
    EXPECT_EQ(answers[1], OurStones(tree, 2)) << file;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace go

#include "SgfTestTrees.h"

#include <random>

#include "go/Board.h"
#include "go/Point.h"
#include "go/SgfWriter.h"

namespace go::test {

namespace {
const char *const Texts[] = {"黒番です。", "ここが急所", "A]B\\C:D", "改行\nあり", "hello, world", "星と天元",
                             "三々", "コウ（劫）", "「正解」", "~!@#$%^&*()_+", "全角　空白", ""};
}  // namespace

TGameTree RandomTree(std::uint32_t seed, int nodes) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  TGameTree tree;
  const int sizes[] = {9, 13, 19};
  tree.Info.Size = sizes[pick(3)];
  const int points = tree.Info.Size * tree.Info.Size;
  if (pick(2)) tree.Info.GameName = "第" + std::to_string(pick(100)) + "局";
  if (pick(2)) tree.Info.BlackName = "黒田";
  if (pick(2)) tree.Info.WhiteName = "白井]二段";
  if (pick(2)) tree.Info.Komi = "6.5";
  if (pick(3) == 0) tree.Info.Handicap = 2 + pick(7);
  if (pick(2)) tree.Info.Date = "2026-12-09";
  if (pick(2)) tree.Info.Result = "B+R";
  std::vector<TNode *> all{tree.Root()};
  for (int i = 1; i < nodes; ++i) {
    // Mostly continue the newest line, sometimes branch off an earlier node.
    TNode *parent = pick(5) == 0 ? all[static_cast<size_t>(pick(static_cast<int>(all.size())))] : all.back();
    TNode *n = tree.AddChild(parent);
    all.push_back(n);
    const int kind = pick(10);
    if (kind < 7) {
      n->MoveColor = 1 + pick(2);
      n->MovePoint = pick(20) == 0 ? 0 : 1 + pick(points);
    } else {
      for (int k = pick(4); k-- > 0;) n->AddBlack.push_back(1 + pick(points));
      for (int k = pick(4); k-- > 0;) n->AddWhite.push_back(1 + pick(points));
      if (pick(3) == 0) n->AddEmpty.push_back(1 + pick(points));
    }
    if (pick(3) == 0) n->Comment = Texts[pick(12)];
    if (pick(40) == 0) n->Comment = std::string(200, 'x') + "長い説明が続きます。" + std::string(100, 'y');
    if (pick(6) == 0) n->Labels.push_back({1 + pick(points), std::string(Texts[pick(11)]).substr(0, 3) + "A"});
    if (pick(8) == 0) n->Triangles.push_back(1 + pick(points));
    if (pick(8) == 0) n->Squares.push_back(1 + pick(points));
    if (pick(8) == 0) n->Circles.push_back(1 + pick(points));
    if (pick(8) == 0) n->Crosses.push_back(1 + pick(points));
    if (pick(10) == 0) n->Tesuji = 1 + pick(2);
    if (pick(10) == 0) n->BadMove = 1 + pick(2);
    if (pick(15) == 0) n->MoveNumber = 1 + pick(300);
    if (pick(12) == 0) n->Unknown.push_back({"XX", {"raw\\]value", "2"}});
    if (pick(12) == 0) n->Unknown.push_back({"BL", {"599.5"}});
  }
  // Comments that were generated without line breaks inside still may contain them; the
  // reader keeps those. Nothing else in a generated tree is changed by writing.
  return tree;
}

std::string ServerStyleRecord(int moves, int variations) {
  std::mt19937 rng(static_cast<unsigned>(moves * 31 + variations));
  TGameTree tree;
  tree.Info.Size = 19;
  tree.Info.BlackName = "takashi [3d]";
  tree.Info.WhiteName = "みどり";
  tree.Info.Komi = "6.5";
  tree.Info.Date = "2026-11-30";
  tree.Info.Result = "W+3.5";
  tree.Info.GameName = "秋の大会 第3局";
  tree.Root()->Unknown.push_back({"RU", {"Japanese"}});
  tree.Root()->Unknown.push_back({"TM", {"1800"}});
  TBoard board(19);
  TNode *node = tree.Root();
  std::vector<TNode *> line;
  for (int i = 0; i < moves; ++i) {
    int point = 0;
    for (int tries = 0; tries < 50 && point == 0; ++tries) {
      const int p = 1 + static_cast<int>(rng() % 361);
      if (board.At(p) == 0) point = p;
    }
    node = tree.AddChild(node);
    node->MoveColor = i % 2 == 0 ? 1 : 2;
    node->MovePoint = point;
    board.Play(node->MoveColor, point);
    node->Unknown.push_back({i % 2 == 0 ? "BL" : "WL", {std::to_string(1800 - i)}});
    if (i % 17 == 5) node->Comment = "takashi [3d]: よろしくお願いします\nみどり: お願いします";
    if (i % 23 == 7) node->Comment = "observer: nice move! ]:-)";
    line.push_back(node);
  }
  for (int v = 0; v < variations && !line.empty(); ++v) {
    TNode *at = line[static_cast<size_t>(rng() % line.size())];
    TNode *branch = at->Parent ? at->Parent : at;
    for (int k = 0; k < 3; ++k) {
      branch = tree.AddChild(branch);
      branch->MoveColor = 1 + (k % 2);
      branch->MovePoint = 1 + static_cast<int>(rng() % 361);
      if (k == 0) branch->Comment = "変化図 " + std::to_string(v + 1);
    }
  }
  return WriteSgf(tree);
}

}  // namespace go::test

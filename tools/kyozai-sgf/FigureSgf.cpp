#include "FigureSgf.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <map>
#include <optional>

#include "go/Point.h"
#include "go/SgfReader.h"
#include "go/SgfWriter.h"

namespace kyozai {

namespace {

constexpr int Size = 19;
constexpr int RootMark = 9999;
const std::string RightTag = "【正解】";
const std::string WrongTag = "【不正解】";

// The four marks that SGF draws itself.
struct TSymbol {
  const char *Text;
  std::vector<int> go::TNode::*Points;
};
const TSymbol Symbols[] = {{"△", &go::TNode::Triangles},
                           {"□", &go::TNode::Squares},
                           {"○", &go::TNode::Circles},
                           {"×", &go::TNode::Crosses}};

bool StartsWith(const std::string &s, const std::string &prefix) { return s.rfind(prefix, 0) == 0; }

std::optional<int> Integer(std::string_view s) {
  int v = 0;
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

// Cuts a UTF-8 text to at most `limit` bytes at a character boundary.
std::string Cut(const std::string &s, size_t limit, bool &cut) {
  if (s.size() <= limit) return s;
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  cut = true;
  return s.substr(0, n);
}

bool SameRow(const TFigureRow &a, const TFigureRow &b) {
  return a.MNB == b.MNB && a.TES == b.TES && a.COL == b.COL && a.PST == b.PST && a.BFR == b.BFR &&
         a.BTO == b.BTO && a.DTX == b.DTX && a.CMT == b.CMT;
}

// --- rows as raw property values ---

std::string RowValue(const TFigureRow &r) {
  const std::string where = go::OnBoard(Size, r.PST) ? go::SgfLetters(Size, r.PST) : std::string();
  return where + ":" + std::to_string(r.TES) + "," + std::to_string(r.COL) + "," + std::to_string(r.DTX) + "," +
         go::EscapeValue(r.CMT, true);
}

TFigureRow RowFromValue(const std::string &raw) {
  std::string_view where, rest;
  if (!go::SplitComposeValue(raw, where, rest)) throw EFigureSgfError("ROW[" + raw + "] に「:」がありません。");
  TFigureRow r;
  if (!where.empty()) {
    auto p = go::PointFromSgf(Size, where);
    if (!p) throw EFigureSgfError("ROW[" + raw + "] の座標が盤の上にありません。");
    r.PST = *p;
  }
  int *fields[] = {&r.TES, &r.COL, &r.DTX};
  for (int *f : fields) {
    const size_t comma = rest.find(',');
    auto v = Integer(rest.substr(0, comma));
    if (!v || comma == std::string_view::npos) throw EFigureSgfError("ROW[" + raw + "] の数が読めません。");
    *f = *v;
    rest.remove_prefix(comma + 1);
  }
  r.CMT = go::SgfTextValue(rest, true);
  return r;
}

const go::TRawProperty *Find(const go::TNode &n, const std::string &id) {
  for (const go::TRawProperty &p : n.Unknown)
    if (p.Id == id) return &p;
  return nullptr;
}

std::optional<int> FindNumber(const go::TNode &n, const std::string &id) {
  const go::TRawProperty *p = Find(n, id);
  if (!p || p->Values.empty()) return std::nullopt;
  return Integer(p->Values.front());
}

// --- reading a tree ---

struct TBranchRows {
  std::vector<TFigureRow> Rows;
  int From = 0;        // index of the branch it hangs at, -1 for a basic figure
  int Number = 0;      // BRANCH given in the record, 0 when none
};

class TFigureReader {
 public:
  TFigureReader(const go::TGameTree &tree, int mnb) : FTree(tree), FMnb(mnb) {}
  TLessonFigure Read();

 private:
  const go::TGameTree &FTree;
  int FMnb;
  std::vector<TBranchRows> FBranches;
  int FPasses = 0, FLaterSetup = 0, FMoveMarkup = 0, FLostComments = 0, FCutComments = 0;

  std::vector<TFigureRow> SetupRows(const go::TNode &node, int problem, bool &commentLost);
  void Sequences(const go::TNode &setup, int rootIndex, int problem);
  std::string Comment(const go::TNode &node, bool right, bool wrong);
};

std::string TFigureReader::Comment(const go::TNode &node, bool right, bool wrong) {
  std::string c = node.Comment;
  if (right && StartsWith(c, RightTag)) c.erase(0, RightTag.size());
  if (wrong && StartsWith(c, WrongTag)) c.erase(0, WrongTag.size());
  bool cut = false;
  c = Cut(c, CommentLimit, cut);
  if (cut) ++FCutComments;
  return c;
}

std::vector<TFigureRow> TFigureReader::SetupRows(const go::TNode &node, int problem, bool &commentLost) {
  std::vector<TFigureRow> rows;
  if (const go::TRawProperty *exact = Find(node, "ROWS")) {
    for (const std::string &v : exact->Values) rows.push_back(RowFromValue(v));
    return rows;
  }
  auto stone = [&](int point, int colour) {
    TFigureRow r;
    r.PST = point;
    r.COL = colour;
    r.DTX = problem;
    rows.push_back(r);
  };
  for (int p : node.AddBlack) stone(p, 1);
  for (int p : node.AddWhite) stone(p, 2);
  const size_t stones = rows.size();
  auto mark = [&](int point, const std::string &text) {
    TFigureRow r;
    r.PST = point;
    r.COL = 3;
    r.DTX = 21;  // on a patch of board colour: gone at the first click, as markup is at the next node
    for (size_t i = 0; i < stones; ++i)
      if (rows[i].PST == point) {
        r.COL = rows[i].COL;
        r.DTX = 11;  // on the stone
      }
    bool cut = false;
    r.CMT = Cut(text, CommentLimit, cut);
    rows.push_back(r);
  };
  for (const go::TLabel &l : node.Labels) mark(l.Point, l.Text);
  for (const TSymbol &s : Symbols)
    for (int p : node.*(s.Points)) mark(p, s.Text);
  if (!node.Comment.empty()) {
    if (stones > 0) {
      bool cut = false;
      rows[stones - 1].CMT = Cut(node.Comment, CommentLimit, cut);
      if (cut) ++FCutComments;
    } else {
      commentLost = true;
    }
  }
  return rows;
}

void TFigureReader::Sequences(const go::TNode &setup, int rootIndex, int problem) {
  struct TEnd {
    std::vector<go::TNode *> Children;
    int Branch;  // index of the branch they hang at
    int Tes;     // TES at that end
  };
  std::deque<TEnd> ends;
  ends.push_back({setup.Children, rootIndex, 0});
  while (!ends.empty()) {
    TEnd end = std::move(ends.front());
    ends.pop_front();
    for (const go::TNode *start : end.Children) {
      TBranchRows b;
      b.From = end.Branch;
      int tes = end.Tes;
      const go::TNode *n = start;
      bool first = true;
      for (;;) {
        if (const go::TRawProperty *exact = Find(*n, "ROW"); exact && !exact->Values.empty()) {
          b.Rows.push_back(RowFromValue(exact->Values.front()));
          tes = b.Rows.back().TES;
          first = false;
        } else if (n->HasMove() && n->MovePoint > 0) {
          TFigureRow r;
          const bool wrong = n->BadMove > 0 && first;
          r.TES = n->MoveNumber > 0 ? n->MoveNumber : tes + 1;
          r.COL = wrong ? -n->MoveColor : n->MoveColor;
          r.PST = n->MovePoint;
          r.DTX = problem;
          r.CMT = Comment(*n, n->Tesuji > 0, n->BadMove > 0);
          tes = r.TES;
          b.Rows.push_back(std::move(r));
          first = false;
        } else {
          if (n->HasMove()) ++FPasses;
          if (!n->Comment.empty()) ++FLostComments;
        }
        if (n->HasSetup()) ++FLaterSetup;
        if (n->HasMarkup()) ++FMoveMarkup;
        const auto number = FindNumber(*n, "BRANCH");
        if ((number && !b.Rows.empty()) || n->Children.size() != 1) {
          if (number) b.Number = *number;
          break;
        }
        n = n->Children.front();
      }
      if (b.Rows.empty()) {
        // Only passes or empty nodes: what follows hangs where this would have.
        if (!n->Children.empty()) ends.push_back({n->Children, end.Branch, tes});
        continue;
      }
      FBranches.push_back(std::move(b));
      if (!n->Children.empty()) ends.push_back({n->Children, static_cast<int>(FBranches.size()) - 1, tes});
    }
  }
}

TLessonFigure TFigureReader::Read() {
  if (FTree.Info.Size != Size)
    throw EFigureSgfError(std::to_string(FTree.Info.Size) + "路盤の棋譜です。教材になるのは19路盤の棋譜だけです。");
  TLessonFigure figure;
  figure.Title = FTree.Info.GameName;
  const go::TNode &root = *FTree.Root();
  // A root without stones whose variations all begin with setup: one basic figure each.
  std::vector<const go::TNode *> setups{&root};
  const bool several = !root.HasSetup() && !root.HasMove() && Find(root, "ROWS") == nullptr &&
                       root.Children.size() >= 2 &&
                       std::all_of(root.Children.begin(), root.Children.end(),
                                   [](const go::TNode *c) {
                                     return !c->HasMove() && (c->HasSetup() || c->HasMarkup() || Find(*c, "ROWS"));
                                   });
  if (several) setups.assign(root.Children.begin(), root.Children.end());
  figure.Kind = FindNumber(root, "KIND").value_or(several ? 1 : 0);
  bool rootCommentLost = false;
  for (size_t i = 0; i < setups.size(); ++i) {
    const int problem = figure.Kind > 0 ? static_cast<int>(i) + 1 : 0;
    TBranchRows basic;
    basic.From = -1;
    bool lost = false;
    basic.Rows = SetupRows(*setups[i], problem, lost);
    rootCommentLost = rootCommentLost || lost;
    // Setup spread over a run of nodes without moves (a node of game information, then the
    // position) is one basic figure.
    const go::TNode *last = setups[i];
    while (!Find(*last, "ROWS") && !Find(*last, "BRANCH") && last->Children.size() == 1 &&
           !last->Children.front()->HasMove() && !Find(*last->Children.front(), "ROW")) {
      last = last->Children.front();
      bool lostHere = false;
      std::vector<TFigureRow> more = SetupRows(*last, problem, lostHere);
      if (lostHere) {
        auto stone = std::find_if(basic.Rows.rbegin(), basic.Rows.rend(), [](const TFigureRow &r) { return r.DTX < 10; });
        if (stone != basic.Rows.rend()) stone->CMT = last->Comment;
        else rootCommentLost = true;
      }
      basic.Rows.insert(basic.Rows.end(), more.begin(), more.end());
    }
    if (basic.Rows.empty()) {
      // No stones: one mark without characters, so the first move is offered as a choice.
      TFigureRow r;
      r.PST = 1;
      r.COL = 0;
      r.DTX = 31;
      basic.Rows.push_back(r);
    }
    basic.Number = FindNumber(*last, "BRANCH").value_or(0);
    FBranches.push_back(std::move(basic));
    Sequences(*last, static_cast<int>(FBranches.size()) - 1, problem);
  }
  if (FBranches.size() > 9998) throw EFigureSgfError("変化が多すぎます（教材の手順は9998本まで）。");

  // Branch numbers: as the record gives them, else the row order.
  std::vector<int> numbers(FBranches.size());
  for (size_t i = 0; i < FBranches.size(); ++i)
    numbers[i] = FBranches[i].Number > 0 ? FBranches[i].Number : static_cast<int>(i) + 1;
  std::vector<size_t> order(FBranches.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (const go::TRawProperty *given = Find(root, "ORDER")) {
    std::map<int, size_t> position;
    for (size_t k = 0; k < given->Values.size(); ++k)
      if (auto v = Integer(given->Values[k])) position.emplace(*v, k);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      auto pa = position.find(numbers[a]), pb = position.find(numbers[b]);
      const size_t ka = pa == position.end() ? order.size() + a : pa->second;
      const size_t kb = pb == position.end() ? order.size() + b : pb->second;
      return ka < kb;
    });
  }
  for (size_t i : order) {
    TBranchRows &b = FBranches[i];
    for (TFigureRow &r : b.Rows) {
      r.MNB = FMnb;
      r.BFR = 0;
      r.BTO = 0;
    }
    b.Rows.front().BTO = b.From < 0 ? RootMark : numbers[static_cast<size_t>(b.From)];
    b.Rows.back().BFR = numbers[i];
    figure.Rows.insert(figure.Rows.end(), b.Rows.begin(), b.Rows.end());
  }

  auto warn = [&](int count, const std::string &what) {
    if (count > 0) figure.Warnings.push_back(what + "：" + std::to_string(count) + "か所");
  };
  warn(FPasses, "パスは教材の手順に入りません");
  warn(FLaterSetup, "途中の節の置き石は教材に入りません");
  warn(FMoveMarkup, "着手の節の印は教材に入りません");
  warn(FLostComments, "着手のない節のコメントは教材に入りません");
  warn(FCutComments, "長すぎるコメントを" + std::to_string(CommentLimit) + "バイトで切りました");
  if (rootCommentLost) figure.Warnings.push_back("置き石のない基本図のコメントは教材に入りません");
  return figure;
}

// --- writing a tree ---

struct TBranch {
  size_t First = 0, Last = 0;  // rows
  int Number = 0, From = 0;    // BFR of the last row, BTO of the first
};

std::vector<TBranch> SplitBranches(const std::vector<TFigureRow> &rows) {
  std::vector<TBranch> branches;
  size_t start = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].BFR > 0 || i + 1 == rows.size()) {
      branches.push_back({start, i, rows[i].BFR, rows[start].BTO});
      start = i + 1;
    }
  }
  return branches;
}

class TFigureWriter {
 public:
  TFigureWriter(const TLessonFigure &figure, int mnb) : FFigure(figure), FMnb(mnb) {}
  go::TGameTree Write(bool allNumbers, bool order);

 private:
  const TLessonFigure &FFigure;
  int FMnb;

  void Setup(go::TNode &node, const std::vector<TFigureRow> &rows, int problem);
};

void TFigureWriter::Setup(go::TNode &node, const std::vector<TFigureRow> &rows, int problem) {
  size_t lastStone = rows.size();
  for (size_t i = 0; i < rows.size(); ++i) {
    const TFigureRow &r = rows[i];
    if (!go::OnBoard(Size, r.PST)) continue;
    if (r.DTX < 10) {
      (std::abs(r.COL) == 1 ? node.AddBlack : node.AddWhite).push_back(r.PST);
      lastStone = i;
      continue;
    }
    const auto symbol = std::find_if(std::begin(Symbols), std::end(Symbols),
                                     [&](const TSymbol &s) { return r.CMT == s.Text; });
    if (symbol != std::end(Symbols)) (node.*(symbol->Points)).push_back(r.PST);
    else node.Labels.push_back({r.PST, r.CMT});
  }
  if (lastStone < rows.size()) node.Comment = rows[lastStone].CMT;
  // Does the plain setup say it all? Read it back as a record would be.
  go::TGameTree scratch;
  scratch.Root()->AddBlack = node.AddBlack;
  scratch.Root()->AddWhite = node.AddWhite;
  scratch.Root()->Labels = node.Labels;
  scratch.Root()->Triangles = node.Triangles;
  scratch.Root()->Squares = node.Squares;
  scratch.Root()->Circles = node.Circles;
  scratch.Root()->Crosses = node.Crosses;
  scratch.Root()->Comment = node.Comment;
  TLessonFigure plain = TFigureReader(scratch, FMnb).Read();
  std::vector<TFigureRow> derived(plain.Rows.begin(), plain.Rows.end());
  bool same = derived.size() == rows.size();
  for (size_t i = 0; same && i < rows.size(); ++i) {
    TFigureRow a = derived[i], b = rows[i];
    a.MNB = b.MNB = 0;
    a.BFR = b.BFR = a.BTO = b.BTO = 0;
    if (a.DTX < 10) a.DTX = problem;
    same = SameRow(a, b);
  }
  if (!same) {
    go::TRawProperty exact{"ROWS", {}};
    for (const TFigureRow &r : rows) exact.Values.push_back(RowValue(r));
    node.Unknown.push_back(std::move(exact));
  }
}

go::TGameTree TFigureWriter::Write(bool allNumbers, bool order) {
  const std::vector<TFigureRow> &rows = FFigure.Rows;
  const std::vector<TBranch> branches = SplitBranches(rows);
  go::TGameTree tree;
  tree.Info.Size = Size;
  tree.Info.GameName = FFigure.Title;
  go::TNode &root = *tree.Root();
  if (FFigure.Kind != 0) root.Unknown.push_back({"KIND", {std::to_string(FFigure.Kind)}});
  root.Unknown.push_back({"MNB", {std::to_string(FMnb)}});
  if (order) {
    go::TRawProperty o{"ORDER", {}};
    for (const TBranch &b : branches) o.Values.push_back(std::to_string(b.Number));
    root.Unknown.push_back(std::move(o));
  }
  std::vector<size_t> roots;
  for (size_t i = 0; i < branches.size(); ++i)
    if (branches[i].From == RootMark) roots.push_back(i);
  if (roots.empty()) throw EFigureSgfError("基本図（BTO 9999 の行）がありません。");

  // Which branches hang at each end, in row order.
  std::map<int, std::vector<size_t>> hanging;
  for (size_t i = 0; i < branches.size(); ++i)
    if (branches[i].From != RootMark) hanging[branches[i].From].push_back(i);
  size_t placed = 0;

  // A basic figure ends with its setup node anyway; a sequence needs the mark when a single
  // branch hangs at its end, which SGF would simply run on into.
  auto mark = [&](go::TNode &last, const TBranch &b, size_t position, bool basicFigure) {
    const bool single = !basicFigure && hanging.count(b.Number) && hanging[b.Number].size() == 1;
    if (allNumbers || single || b.Number != static_cast<int>(position) + 1)
      last.Unknown.push_back({"BRANCH", {std::to_string(b.Number)}});
  };
  // Default numbers follow the order the reader will find the branches in: root by root,
  // end by end. The position counter mirrors that walk.
  size_t position = 0;
  for (size_t k = 0; k < roots.size(); ++k) {
    const TBranch &basic = branches[roots[k]];
    const int problem = FFigure.Kind > 0 ? static_cast<int>(k) + 1 : 0;
    go::TNode *setup = roots.size() == 1 ? &root : tree.AddChild(&root);
    Setup(*setup, std::vector<TFigureRow>(rows.begin() + static_cast<long>(basic.First),
                                          rows.begin() + static_cast<long>(basic.Last) + 1),
          problem);
    mark(*setup, basic, position++, true);
    ++placed;
    struct TEnd {
      int Number;
      go::TNode *Node;
      int Tes;
    };
    std::deque<TEnd> ends{{basic.Number, setup, 0}};
    while (!ends.empty()) {
      TEnd end = ends.front();
      ends.pop_front();
      auto it = hanging.find(end.Number);
      if (it == hanging.end() || end.Number <= 0) continue;
      for (size_t bi : it->second) {
        const TBranch &b = branches[bi];
        go::TNode *node = end.Node;
        int tes = end.Tes;
        for (size_t r = b.First; r <= b.Last; ++r) {
          const TFigureRow &row = rows[r];
          node = tree.AddChild(node);
          const bool first = r == b.First;
          const int colour = std::abs(row.COL);
          const bool answer = FFigure.Kind > 0 && first && end.Node == setup && row.COL > 0;
          const bool wrong = row.COL < 0;
          if ((colour != 1 && colour != 2) || !go::OnBoard(Size, row.PST) || row.DTX != problem ||
              (wrong && !first)) {
            node->Unknown.push_back({"ROW", {RowValue(row)}});
            // Still a move for viewers when it is one.
            if ((colour == 1 || colour == 2) && go::OnBoard(Size, row.PST)) {
              node->MoveColor = colour;
              node->MovePoint = row.PST;
            }
            tes = row.TES;
            continue;
          }
          node->MoveColor = colour;
          node->MovePoint = row.PST;
          if (row.TES != tes + 1) node->MoveNumber = row.TES;
          tes = row.TES;
          std::string comment = row.CMT;
          if (wrong) {
            node->BadMove = 1;
            if (!StartsWith(comment, "不正解") && !StartsWith(comment, "間違")) comment = WrongTag + comment;
          } else if (answer) {
            node->Tesuji = 1;
            if (!StartsWith(comment, "正解")) comment = RightTag + comment;
          }
          node->Comment = comment;
          if (row.TES <= 0) node->MoveNumber = 0, node->Unknown.push_back({"ROW", {RowValue(row)}});
        }
        mark(*node, b, position++, false);
        ++placed;
        ends.push_back({b.Number, node, tes});
      }
    }
  }
  if (placed != branches.size())
    throw EFigureSgfError("どの手順の終わりにもつながらない手順があります（BTO が指す BFR がありません）。");
  return tree;
}

}  // namespace

go::TGameTree FigureToTree(const TLessonFigure &figure, int mnb) {
  if (figure.Rows.empty()) throw EFigureSgfError("図 " + std::to_string(mnb) + " には行がありません。");
  for (const TFigureRow &r : figure.Rows)
    if (r.PST < 0 || r.PST > Size * Size)
      throw EFigureSgfError("図 " + std::to_string(mnb) + " の PST " + std::to_string(r.PST) + " は盤の外です。");
  // The plainest tree that reads back to the very same rows.
  for (int level = 0; level < 3; ++level) {
    go::TGameTree tree = TFigureWriter(figure, mnb).Write(level >= 1, level >= 2);
    const TLessonFigure back = TreeToFigure(tree, mnb);
    bool same = back.Rows.size() == figure.Rows.size();
    for (size_t i = 0; same && i < back.Rows.size(); ++i) {
      TFigureRow a = back.Rows[i];
      a.MNB = figure.Rows[i].MNB;
      same = SameRow(a, figure.Rows[i]);
    }
    if (same) return tree;
  }
  throw EFigureSgfError("図 " + std::to_string(mnb) + " の行の並びを SGF で表せません。");
}

TLessonFigure TreeToFigure(const go::TGameTree &tree, int mnb) { return TFigureReader(tree, mnb).Read(); }

}  // namespace kyozai

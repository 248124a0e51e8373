#pragma once
// The game tree of a record: nodes with a move or a pass, setup stones, a comment, markup,
// move annotations and the properties this library does not know, and variations.
//
// Nodes are owned by their tree (kept in one list, never by each other), so neither a long
// main line nor deep variations make destruction or copying recurse. A node's first child
// continues the main line; further children are the variations at that point.
#include <memory>
#include <string>
#include <vector>

namespace go {

// A property kept as it was read: its identifier and its values in their SGF spelling
// (escapes kept, line ends as "\n"), so that writing it gives the same text back.
struct TRawProperty {
  std::string Id;
  std::vector<std::string> Values;
  bool operator==(const TRawProperty &) const = default;
};

struct TLabel {
  int Point = 0;
  std::string Text;  // UTF-8
  bool operator==(const TLabel &) const = default;
};

struct TNode {
  // The move: colour 1 black (B), 2 white (W), 0 none; point 0 with a colour is a pass.
  int MoveColor = 0;
  int MovePoint = 0;
  std::vector<int> AddBlack, AddWhite, AddEmpty;  // AB, AW, AE in the order given
  std::string Comment;                             // C, UTF-8 with "\n" line ends
  std::vector<TLabel> Labels;                      // LB
  std::vector<int> Triangles, Squares, Circles, Crosses;  // TR, SQ, CR, MA
  int Tesuji = 0;      // TE: 0 absent, 1 good, 2 very good
  int BadMove = 0;     // BM: 0 absent, 1 bad, 2 very bad
  int MoveNumber = 0;  // MN: 0 absent
  std::vector<TRawProperty> Unknown;  // every other property, in the order read

  TNode *Parent = nullptr;
  std::vector<TNode *> Children;

  bool HasMove() const { return MoveColor != 0; }
  bool HasSetup() const { return !AddBlack.empty() || !AddWhite.empty() || !AddEmpty.empty(); }
  bool HasMarkup() const {
    return !Labels.empty() || !Triangles.empty() || !Squares.empty() || !Circles.empty() || !Crosses.empty();
  }
  // The same content (not comparing parents or children).
  bool SameContent(const TNode &other) const;
};

// Game information of the root node. Texts are UTF-8; an empty text is an absent property.
struct TGameInfo {
  int Size = 19;          // SZ: 9, 13 or 19
  int Handicap = 0;       // HA: 0 absent
  std::string Komi;       // KM as written ("6.5")
  std::string BlackName;  // PB
  std::string WhiteName;  // PW
  std::string Date;       // DT
  std::string Result;     // RE
  std::string GameName;   // GN
  bool operator==(const TGameInfo &) const = default;
};

class TGameTree {
 public:
  TGameTree();
  TGameTree(TGameTree &&) noexcept = default;
  TGameTree &operator=(TGameTree &&) noexcept = default;
  TGameTree(const TGameTree &other);
  TGameTree &operator=(const TGameTree &other);

  TGameInfo Info;

  TNode *Root() { return FNodes.front().get(); }
  const TNode *Root() const { return FNodes.front().get(); }
  // A new last child of `parent` (a node of this tree).
  TNode *AddChild(TNode *parent);
  size_t NodeCount() const { return FNodes.size(); }

  // The main line: the root and then every first child.
  std::vector<const TNode *> MainLine() const;

  // Same information and the same nodes in the same shape.
  bool operator==(const TGameTree &other) const;

 private:
  std::vector<std::unique_ptr<TNode>> FNodes;
};

}  // namespace go

#include "go/GameTree.h"

#include <unordered_map>
#include <utility>

namespace go {

bool TNode::SameContent(const TNode &o) const {
  return MoveColor == o.MoveColor && MovePoint == o.MovePoint && AddBlack == o.AddBlack &&
         AddWhite == o.AddWhite && AddEmpty == o.AddEmpty && Comment == o.Comment && Labels == o.Labels &&
         Triangles == o.Triangles && Squares == o.Squares && Circles == o.Circles && Crosses == o.Crosses &&
         Tesuji == o.Tesuji && BadMove == o.BadMove && MoveNumber == o.MoveNumber && Unknown == o.Unknown;
}

TGameTree::TGameTree() { FNodes.push_back(std::make_unique<TNode>()); }

TGameTree::TGameTree(const TGameTree &other) : Info(other.Info) {
  std::unordered_map<const TNode *, TNode *> copyOf;
  FNodes.reserve(other.FNodes.size());
  // Parents always come before their children in the list, so one pass links everything.
  for (const auto &n : other.FNodes) {
    auto copy = std::make_unique<TNode>(*n);
    copy->Children.clear();
    copy->Parent = n->Parent ? copyOf.at(n->Parent) : nullptr;
    if (copy->Parent) copy->Parent->Children.push_back(copy.get());
    copyOf[n.get()] = copy.get();
    FNodes.push_back(std::move(copy));
  }
  // The children lists are set again in the source's order.
  for (const auto &n : other.FNodes) {
    TNode *c = copyOf.at(n.get());
    for (size_t i = 0; i < n->Children.size(); ++i) c->Children[i] = copyOf.at(n->Children[i]);
  }
}

TGameTree &TGameTree::operator=(const TGameTree &other) {
  if (this != &other) *this = TGameTree(other);
  return *this;
}

TNode *TGameTree::AddChild(TNode *parent) {
  FNodes.push_back(std::make_unique<TNode>());
  TNode *n = FNodes.back().get();
  n->Parent = parent;
  parent->Children.push_back(n);
  return n;
}

std::vector<const TNode *> TGameTree::MainLine() const {
  std::vector<const TNode *> line;
  for (const TNode *n = Root(); n; n = n->Children.empty() ? nullptr : n->Children.front()) line.push_back(n);
  return line;
}

bool TGameTree::operator==(const TGameTree &other) const {
  if (!(Info == other.Info)) return false;
  std::vector<std::pair<const TNode *, const TNode *>> stack{{Root(), other.Root()}};
  while (!stack.empty()) {
    auto [a, b] = stack.back();
    stack.pop_back();
    if (!a->SameContent(*b) || a->Children.size() != b->Children.size()) return false;
    for (size_t i = 0; i < a->Children.size(); ++i) stack.emplace_back(a->Children[i], b->Children[i]);
  }
  return true;
}

}  // namespace go

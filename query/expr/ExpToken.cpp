#include "query/expr/ExpToken.h"

#include <algorithm>

#include "engine/data/FieldDescriptor.h"

namespace kura {

uint32_t DataTypeSize(TDataType t, uint32_t declaredLength) {
  switch (t) {
    case TDataType::String: return declaredLength + 1;
    case TDataType::Bytes:
    case TDataType::VarBytes: return declaredLength;
    default: return StoredDataSize(t, 0);  // fixed sizes are those of the table files
  }
}

void TExpToken::Reset() {
  Text.clear();
  Kind = TExpNodeKind::None;
  Code = TExpCode::None;
  DataType = TDataType::Unknown;
  SubType = FieldSubType::None;
  Size = 0;
  Scale = 0;
  Value.Clear();
  if (Value.Str.capacity() > kExpValueBufferSize) {
    Value.Str.shrink_to_fit();
    Value.Str.reserve(kExpValueBufferSize);
  }
  IsParameter = false;
  IsAllColumns = false;
  ColumnName.clear();
  TableName.clear();
  FieldNo = 0;
  Source = nullptr;
  SubQuery = nullptr;
  PartialLength = 0;
  CaseInsensitive = false;
  StringAsColumn = false;
  ConstDataType = TDataType::Unknown;
  ConstSubType = FieldSubType::None;
  ConstSize = 0;
  ConstScale = 0;
  Parent = Left = Right = nullptr;
  Args.clear();
  Height = 1;
}

void TExpToken::UpdateHeight() {
  uint32_t h = 0;
  if (Left) h = std::max(h, Left->Height);
  if (Right) h = std::max(h, Right->Height);
  for (const TExpToken *a : Args)
    if (a) h = std::max(h, a->Height);
  Height = h + 1;
  RaiseAncestors();
}

void TExpToken::RaiseAncestors() {
  // Keep the ancestors' heights right when a child grows after it was attached.
  TExpToken *child = this;
  for (TExpToken *p = Parent; p; child = p, p = p->Parent) {
    if (p->Height >= child->Height + 1) break;
    p->Height = child->Height + 1;
  }
}

void TExpToken::ReplaceChild(TExpToken *from, TExpToken *to) {
  if (Left == from) {
    SetLeft(to);
    return;
  }
  if (Right == from) {
    SetRight(to);
    return;
  }
  for (TExpToken *&a : Args)
    if (a == from) {
      a = to;
      if (to) to->Parent = this;
      UpdateHeight();
      return;
    }
}

TExpTokenStack &TExpTokenStack::Instance() {
  static TExpTokenStack stack;
  return stack;
}

TExpTokenStack::~TExpTokenStack() {
  for (TExpToken *n : FIdle) delete n;
  FIdle.clear();
}

TExpToken *TExpTokenStack::Take() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FIdle.empty()) {
      TExpToken *n = FIdle.back();
      FIdle.pop_back();
      return n;  // reset when it was given back
    }
  }
  return new TExpToken();
}

void TExpTokenStack::Give(TExpToken *node) {
  if (!node) return;
  node->Reset();
  std::lock_guard<std::mutex> lock(FMutex);
  if (FIdle.size() < kCapacity)
    FIdle.push_back(node);
  else
    delete node;
}

size_t TExpTokenStack::IdleCount() {
  std::lock_guard<std::mutex> lock(FMutex);
  return FIdle.size();
}

TExpToken *NewExpToken() { return TExpTokenStack::Instance().Take(); }

void ReleaseTree(TExpToken *root) {
  if (!root) return;
  // Walk with an explicit list so that even a degenerate tree cannot exhaust the stack. The
  // first nodes of the list live on the stack: the trees of one statement are small, and a heap
  // list for each cost more than giving their nodes back.
  constexpr size_t kNear = 32;
  TExpToken *near[kNear];
  size_t nearCount = 0;
  std::vector<TExpToken *> far;
  auto push = [&](TExpToken *n) {
    if (!n) return;
    if (nearCount < kNear) near[nearCount++] = n;
    else far.push_back(n);
  };
  TExpTokenStack &pool = TExpTokenStack::Instance();
  push(root);
  while (nearCount > 0 || !far.empty()) {
    TExpToken *n;
    if (!far.empty()) {
      n = far.back();
      far.pop_back();
    } else {
      n = near[--nearCount];
    }
    push(n->Left);
    push(n->Right);
    for (TExpToken *a : n->Args) push(a);
    pool.Give(n);
  }
}

void CopyNodeWithChildren(TExpToken *copy, const TExpToken &n, TExpToken *left, TExpToken *right,
                          const std::vector<TExpToken *> &args) {
  *copy = n;
  copy->Parent = nullptr;
  copy->Left = copy->Right = nullptr;
  copy->Args.clear();
  copy->Height = 1;
  if (left) copy->SetLeft(left);
  if (right) copy->SetRight(right);
  for (TExpToken *a : args) copy->AddArg(a);
}

TExpToken *CopyTree(const TExpToken *root) {
  if (!root) return nullptr;
  TExpToken *n = NewExpToken();
  TExpToken *left = CopyTree(root->Left);
  TExpToken *right = CopyTree(root->Right);
  std::vector<TExpToken *> args;
  for (const TExpToken *a : root->Args) args.push_back(CopyTree(a));
  CopyNodeWithChildren(n, *root, left, right, args);
  n->Height = root->Height;
  return n;
}

bool RefersToColumn(const TExpToken *root) {
  if (!root) return false;
  if (root->Kind == TExpNodeKind::Column || root->Kind == TExpNodeKind::SubSelect) return true;
  // Aggregates and record-dependent functions also change from row to row.
  if (root->Kind == TExpNodeKind::Function &&
      (IsAggregateCode(root->Code) || root->Code == TExpCode::TextSearch ||
       root->Code == TExpCode::TextOccurs || root->Code == TExpCode::LastAutoInc ||
       root->Code == TExpCode::IdentCurrent))
    return true;
  if (root->Kind == TExpNodeKind::ExtPredicate &&
      (root->Code == TExpCode::InSelect || root->Code == TExpCode::NotInSelect))
    return true;
  if (RefersToColumn(root->Left) || RefersToColumn(root->Right)) return true;
  for (const TExpToken *a : root->Args)
    if (RefersToColumn(a)) return true;
  return false;
}

bool ContainsAggregate(const TExpToken *root) {
  if (!root) return false;
  if (root->Kind == TExpNodeKind::Function && IsAggregateCode(root->Code)) return true;
  if (ContainsAggregate(root->Left) || ContainsAggregate(root->Right)) return true;
  for (const TExpToken *a : root->Args)
    if (ContainsAggregate(a)) return true;
  return false;
}

TExpToken *MakeConstant(TDataType type, const TExpValue &value, uint32_t size,
                        FieldSubType subType, uint8_t scale) {
  TExpToken *n = NewExpToken();
  n->Kind = TExpNodeKind::Constant;
  n->DataType = type;
  n->SubType = subType;
  n->Value = value;
  n->Scale = scale;
  if (size == 0) {
    if (type == TDataType::String)
      size = static_cast<uint32_t>(value.Str.size()) + 1;
    else if (type == TDataType::Bytes || type == TDataType::VarBytes)
      size = static_cast<uint32_t>(value.Str.size());
    else
      size = DataTypeSize(type);
  }
  n->Size = size;
  return n;
}

TExpToken *MakeNullConstant() {
  TExpToken *n = NewExpToken();
  n->Kind = TExpNodeKind::Constant;
  n->Text = "NULL";
  return n;
}

}  // namespace kura

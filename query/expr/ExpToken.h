#pragma once
// TExpToken: one node of an expression tree, with its codes, and the process-wide node pool.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "query/expr/ExpValue.h"

namespace kura {

class TDataQuery;  // a parsed SELECT; sub-select nodes point to theirs

enum class TExpNodeKind : uint8_t {
  None = 0,
  Unary = 1,
  Binary = 2,
  Compare = 3,  // comparison with partial length and case option (Locate, filters, LIKE prefixes)
  Column = 4,
  Constant = 5,
  SubSelect = 6,
  Function = 10,
  ExtPredicate = 12,
};

// Operator, extended predicate and function codes of a node.
enum class TExpCode : uint8_t {
  None = 0,
  IsNull = 1,
  IsNotNull = 2,
  Equal = 3,
  NotEqual = 4,
  Greater = 5,
  Less = 6,
  GreaterEqual = 7,
  LessEqual = 8,
  Not = 9,
  And = 10,
  Or = 11,
  Negate = 15,
  Plus = 16,
  Add = 17,
  Subtract = 18,
  Multiply = 19,
  Divide = 20,
  Sum = 23,
  RunSum = 24,
  Count = 25,
  Min = 26,
  Max = 27,
  Avg = 28,
  Like = 32,
  In = 33,
  InSelect = 34,
  Upper = 36,
  Lower = 37,
  Between = 41,
  NotBetween = 42,
  NotLike = 43,
  NotIn = 44,
  NotInSelect = 45,
  Substring = 46,
  Replace = 47,
  Pos = 48,
  Occurs = 49,
  TrimLeading = 50,
  TrimTrailing = 51,
  TrimBoth = 52,
  Length = 53,
  Cast = 54,
  ExtractYear = 55,
  ExtractMonth = 56,
  ExtractWeek = 57,
  ExtractDay = 58,
  ExtractDayOfWeek = 59,
  ExtractDayOfYear = 60,
  ExtractHour = 61,
  ExtractMinute = 62,
  ExtractSecond = 63,
  If = 64,
  Coalesce = 65,
  IfNull = 66,
  Abs = 67,
  Round = 68,
  TextSearch = 69,
  TextOccurs = 70,
  LastAutoInc = 71,
  IdentCurrent = 72,
};

inline bool IsComparisonCode(TExpCode c) { return c >= TExpCode::Equal && c <= TExpCode::LessEqual; }
inline bool IsAggregateCode(TExpCode c) { return c >= TExpCode::Sum && c <= TExpCode::Avg; }
inline bool IsExtractCode(TExpCode c) {
  return c >= TExpCode::ExtractYear && c <= TExpCode::ExtractSecond;
}

// The value buffer of a node is at least this large; a reset shrinks it back.
constexpr size_t kExpValueBufferSize = 251;

struct TExpToken {
  std::string Text;  // operator or function word, column name or constant as written
  TExpNodeKind Kind = TExpNodeKind::None;
  TExpCode Code = TExpCode::None;
  TDataType DataType = TDataType::Unknown;
  FieldSubType SubType = FieldSubType::None;
  uint32_t Size = 0;
  uint8_t Scale = 0;
  TExpValue Value;
  bool IsParameter = false;
  bool IsAllColumns = false;  // "*" or "t.*"

  // Column references.
  std::string ColumnName;
  std::string TableName;  // correlation name, empty when not given
  int FieldNo = 0;
  void *Source = nullptr;  // the source table or cursor the column belongs to (set by the resolver)

  TDataQuery *SubQuery = nullptr;

  // Kind 3 comparisons.
  uint32_t PartialLength = 0;
  bool CaseInsensitive = false;

  // A String constant that was resolved as a column keeps its own constant type here.
  bool StringAsColumn = false;
  TDataType ConstDataType = TDataType::Unknown;
  FieldSubType ConstSubType = FieldSubType::None;
  uint32_t ConstSize = 0;
  uint8_t ConstScale = 0;

  TExpToken *Parent = nullptr;
  TExpToken *Left = nullptr;
  TExpToken *Right = nullptr;
  std::vector<TExpToken *> Args;

  // Height of the subtree below this node (a leaf is 1); the parser bounds it so that every
  // recursive walk over a tree stays within the stack.
  uint32_t Height = 1;

  void Reset();
  bool IsNullConstant() const { return Kind == TExpNodeKind::Constant && Value.Null; }
  bool IsConstant() const { return Kind == TExpNodeKind::Constant; }
  void SetLeft(TExpToken *n) { Left = n; if (n) n->Parent = this; UpdateHeight(); }
  void SetRight(TExpToken *n) { Right = n; if (n) n->Parent = this; UpdateHeight(); }
  // An added argument can only raise the height: no need to look at the other arguments
  // again (a list of n arguments is built in linear time).
  void AddArg(TExpToken *n) { Args.push_back(n); if (n) { n->Parent = this; n->RaiseAncestors(); } }
  void UpdateHeight();
  // Raises the heights of the ancestors to cover this node.
  void RaiseAncestors();
  // Replaces the child `from` (left, right or an argument) by `to`.
  void ReplaceChild(TExpToken *from, TExpToken *to);
};

// The process-wide node pool: a list of at most 256 idle nodes under its own lock.
class TExpTokenStack {
 public:
  static constexpr size_t kCapacity = 256;
  static TExpTokenStack &Instance();
  TExpToken *Take();            // a reset node (from the pool or new)
  void Give(TExpToken *node);   // back to the pool, or freed when the pool is full
  size_t IdleCount();
  ~TExpTokenStack();

 private:
  TExpTokenStack() = default;
  std::mutex FMutex;
  std::vector<TExpToken *> FIdle;
};

TExpToken *NewExpToken();
// Returns a node and everything below it to the pool.
void ReleaseTree(TExpToken *root);
// A deep copy taken from the pool (sub-select links are shared, not copied).
TExpToken *CopyTree(const TExpToken *root);
// Fills copy with the fields of n, taking the given (already copied) children in place of n's
// own; null children stay null.
void CopyNodeWithChildren(TExpToken *copy, const TExpToken &n, TExpToken *left, TExpToken *right,
                          const std::vector<TExpToken *> &args);
// Whether any node of the tree is a column reference (or a sub-select).
bool RefersToColumn(const TExpToken *root);
bool ContainsAggregate(const TExpToken *root);

struct TExpTreeDeleter {
  void operator()(TExpToken *root) const { ReleaseTree(root); }
};
// Owns a whole tree and returns it to the pool when dropped.
using TExpTreePtr = std::unique_ptr<TExpToken, TExpTreeDeleter>;

// Constant nodes.
TExpToken *MakeConstant(TDataType type, const TExpValue &value, uint32_t size = 0,
                        FieldSubType subType = FieldSubType::None, uint8_t scale = 0);
TExpToken *MakeNullConstant();

}  // namespace kura

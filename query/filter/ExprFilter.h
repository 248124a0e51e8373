#pragma once
// Expression filters on cursors: a checked, constant-folded expression tree that answers for
// one record at a time and, where the table's indexes serve its comparisons, for whole sets of
// records at once from index ranges.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/cursor/CursorFilter.h"
#include "engine/cursor/DataCursor.h"
#include "query/expr/ExpToken.h"
#include "query/filter/CandidateRecords.h"

namespace kura {

struct TExprFilterOptions {
  bool CaseInsensitive = false;   // = and <> against strings ignore case
  bool PartialCompare = true;     // "abc*" compares as a prefix
  bool UseIndexes = true;         // false: every record is evaluated on its own
  bool EndGroup = true;           // false for the dataset's Filter text and Locate filters
};

// How much of a node an index answers.
enum class TOptLevel : uint8_t { None = 0, Partial = 1, Full = 2 };

class TExprFilter : public TCursorFilter {
 public:
  // Takes a checked tree whose column nodes carry the cursor's field numbers.
  TExprFilter(TDataCursor &cursor, TExpTreePtr tree, const TExprFilterOptions &options);

  bool Accepts(TDataCursor &cursor, const uint8_t *record) override;
  bool BuildRecordSet(TDataCursor &cursor, const TRecordsBitmap &candidates, TRecordsBitmap &result) override;
  // The members of `candidates` the tree accepts, from the index ranges of its answerable parts
  // (the unanswerable operand of a partly answered AND is tested on the records the other
  // operand let through); false when no index answers the tree.
  bool MatchingRecords(TDataCursor &cursor, const TCandidateRecords &candidates, TCandidateRecords &result);

  const TExpToken &Tree() const { return *FTree; }
  TOptLevel Level(const TExpToken &node) const;
  TOptLevel RootLevel() const { return Level(*FTree); }
  // Number of matching keys of an answerable node, counted from the index (AND: the smaller,
  // OR: the larger of its operands); -1 for a node no index answers.
  int64_t EstimatedCount(TDataCursor &cursor, const TExpToken &node);

 private:
  struct TNodeInfo {
    TOptLevel Level = TOptLevel::None;
    int IndexNo = -1;  // the index serving a full comparison
  };
  TOptLevel Assign(TDataCursor &cursor, TExpToken &node);
  void Evaluate(TDataCursor &cursor, const TExpToken &node, const TCandidateRecords &candidates,
                TCandidateRecords &result);
  void EvaluateEach(TDataCursor &cursor, const TExpToken &node, const TCandidateRecords &candidates,
                    TCandidateRecords &result);
  int AnyServingIndex(const TExpToken &node) const;
  bool Check(TDataCursor &cursor, const TExpToken &node, const uint8_t *record);

  TExpTreePtr FTree;
  TExprFilterOptions FOptions;
  std::unordered_map<const TExpToken *, TNodeInfo> FInfo;
};

// Parses a filter text against the cursor's fields ("filter expression"; KURA_INVALIDFILTER
// when it is empty, not Boolean or invalid), folds its constants and attaches it inactive
// (KURA_INTERNALLIMIT for a 65th filter).
TExprFilter *AddExprFilter(TDataCursor &cursor, std::string_view text, const TExprFilterOptions &options = {});
// Attaches a tree as it is (the query engine's case): the tree must be checked, with column
// nodes naming the cursor's field numbers, and Boolean.
TExprFilter *AddExprFilter(TDataCursor &cursor, TExpTreePtr tree, const TExprFilterOptions &options = {});

// The tree AddExprFilter makes of a text (checked, comparisons turned, constants folded);
// used by tests and by callers that evaluate a filter text themselves.
TExpTreePtr CompileFilterText(TDataCursor &cursor, std::string_view text, const TExprFilterOptions &options);

}  // namespace kura

#pragma once
// The copy of a checked tree with its constants folded, as filters, Locate and join
// conditions use it.
#include <cstdint>

#include "query/expr/ExpToken.h"

namespace kura {

struct TFoldOptions {
  bool CaseInsensitive = false;   // = and <> against strings compare without regard to case
  bool NoPartialCompare = false;  // a trailing "*" stays part of the constant
};

// Returns a new tree from the pool; the original is left as it is.
//  1. Subtrees that refer to no column become constants; a constant right-hand operand of a
//     comparison, LIKE, BETWEEN or IN takes the left-hand column's type.
//  2. column = / <> 'text' becomes a comparison with options (case, "abc*" prefixes).
//  3. LIKE 'abc%' becomes a prefix comparison.
//  4. UPPER(column) against UPPER(...) is marked case-insensitive.
TExpToken *CopyTreeFolded(const TExpToken *root, const TFoldOptions &options,
                          uint16_t languageId = 0, uint16_t sortId = 0);

}  // namespace kura

namespace kura {

// Turns every comparison whose left operand is a constant and whose right operand is not
// around (operands swapped, < and > exchanged, <= and >= exchanged), so that the column side
// stands on the left as filters expect.
void TurnConstantComparisons(TExpToken *root);

}  // namespace kura

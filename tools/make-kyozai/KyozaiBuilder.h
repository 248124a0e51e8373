#pragma once
// Builds the lesson directory "kyozai" from the lesson source: the tables
//   mokuji (MNB INTEGER, ITEM VARCHAR, PRB INTEGER, primary key MNB)
//   figure (MNB, TES, COL, PST, BFR, BTO, DTX INTEGER, CMT VARCHAR) without a primary index,
// so that the figure rows keep the order in which they are appended (the file order).
// The tables are made in a scratch directory beside the target and renamed into place only
// when complete: an interrupted or failed build never leaves half a database behind.
#include <string>

#include "LessonSource.h"

namespace kyozai {

// Column sizes in bytes of UTF-8: titles are at most 40 characters (3 bytes each in Japanese);
// comments hold up to 100 characters but a text column holds at most 250 bytes, so a comment
// longer than that is refused by the builder rather than cut.
inline constexpr int ItemBytes = 120;
inline constexpr int CommentBytes = 250;

// The statements that create the two tables and fill them, in order.
std::vector<std::string> KyozaiStatements(const TLessonSource &source);

// Writes the lesson directory `outputDir` (replacing an existing one) from `source`.
// Throws ELessonSourceError for a text too long for its column and the engine's error for a
// failed statement; `outputDir` is then left as it was.
void BuildKyozai(const TLessonSource &source, const std::string &outputDir);

}  // namespace kyozai

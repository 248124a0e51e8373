#pragma once
// Reading and writing one lesson figure in a lesson directory (tables mokuji and figure,
// see tools/make-kyozai/KyozaiBuilder.h) through Kura SQL, as the program's data module does.
#include <optional>
#include <string>
#include <vector>

#include "LessonSource.h"

namespace kyozai {

class TLessonTables {
 public:
  // Opens the lesson directory `dir` (it must hold the tables mokuji and figure).
  explicit TLessonTables(const std::string &dir);
  ~TLessonTables();
  TLessonTables(const TLessonTables &) = delete;
  TLessonTables &operator=(const TLessonTables &) = delete;

  // The rows of figure `mnb` in table order (the order the program walks them).
  std::vector<TFigureRow> Figure(int mnb);
  // The contents row of `mnb`, if there is one.
  std::optional<TContentsRow> Contents(int mnb);

  // Stores `rows` as figure `mnb`, replacing the rows it had. The new rows are written in
  // full (under the figure number -mnb) before the old ones are deleted and the new ones
  // renumbered in place, so a failure while writing leaves the old figure as it was.
  void ReplaceFigure(int mnb, const std::vector<TFigureRow> &rows);
  // Adds the contents row, or changes title and kind of the one there.
  void StoreContents(const TContentsRow &row);

 private:
  struct TState;
  TState *FState;
  void Run(const std::string &sql);
};

// A text as an SQL string literal.
std::string SqlText(const std::string &text);

}  // namespace kyozai

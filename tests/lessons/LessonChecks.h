// Consistency checks of the lesson source tables: what the program's lesson
// panel relies on when it opens a lesson, steps through its moves, offers
// branch choices and judges answers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "FigureTree.h"
#include "LessonTables.h"

namespace lessons {

struct LessonCheckReport {
    std::vector<std::string> errors;
    std::map<int, int> capturesByFigure;  // stones removed while replaying every path of a figure
    std::map<int, FigureTree> figures;
};

// Runs every check below over both tables.
LessonCheckReport checkLessonTables(const std::vector<ContentsRow>& contents,
                                    const std::vector<FigureRow>& figure);

// Contents order, numbering hierarchy, titles and problem kinds.
void checkContents(const std::vector<ContentsRow>& contents, std::vector<std::string>& errors);

// The row the contents grid ends on when row `index` is clicked: a heading
// leads down to its first lesson through the rows numbered +100, +10, +1.
size_t firstLessonUnder(const std::vector<ContentsRow>& contents, size_t index);

// Field values, numbering of moves and problems, answers and marks, and the
// row look-ups of playback, for a figure of the given problem kind.
void checkFigureRules(const FigureTree& tree, int kind, std::vector<std::string>& errors);

// Replays the basic figure and every branch path on a board with captures.
// Returns the number of stones captured over all paths.
int replayFigure(const FigureTree& tree, std::vector<std::string>& errors);

bool isMarkCode(int dtx);

}  // namespace lessons

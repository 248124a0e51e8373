#include "GoBoard.h"
#include "LessonChecks.h"

#include <cstdlib>

namespace lessons {

namespace {

// `koPoint` is the point the side to move may not take back at once (0 if none):
// a ko fight must play elsewhere first, and a figure that shows the forbidden
// recapture marks it as a wrong move (negative COL).
void replayBranch(const FigureTree& tree, int b, GoBoard board, int koPoint, int& captures,
                  std::vector<std::string>& errors) {
    const Branch& branch = tree.branches[b];
    for (size_t i = branch.first; i <= branch.last; ++i) {
        const FigureRow& row = tree.rows[i];
        if (row.pst < 1 || row.pst > kPointCount) return;  // reported by the field checks
        if (row.dtx >= 10) {
            if (!branch.isRoot()) return;  // reported: marks only in basic figures
            if (row.dtx / 10 == 1 && board.at(row.pst) != row.col)
                errors.push_back(rowPlace(tree, i) + "a mark on a stone needs a stone of colour COL on its "
                                                      "point, drawn before the mark");
            if (row.dtx / 10 != 1 && !board.isEmpty(row.pst))
                errors.push_back(rowPlace(tree, i) + "a background or direct mark stands on an empty point");
            continue;
        }
        int color = std::abs(row.col);
        if (color != 1 && color != 2) return;  // reported by the field checks
        if (!board.isEmpty(row.pst)) {
            errors.push_back(rowPlace(tree, i) + "point " + std::to_string(row.pst) + " is already occupied");
            continue;
        }
        if (koPoint != 0 && row.pst == koPoint && row.col > 0)
            errors.push_back(rowPlace(tree, i) + "point " + std::to_string(row.pst) +
                             " takes the ko back at once; play elsewhere first or mark the move wrong (negative COL)");
        GoBoard::PlayResult result = board.play(row.pst, color);
        koPoint = branch.isRoot() ? 0 : result.koPoint;
        if (branch.isRoot() && !result.captured.empty())
            errors.push_back(rowPlace(tree, i) + "this stone of the basic figure captures " +
                             std::to_string(result.captured.size()) + " stone(s) while the figure is drawn");
        captures += static_cast<int>(result.captured.size());
        if (result.suicide)
            errors.push_back(rowPlace(tree, i) + "the stone on point " + std::to_string(row.pst) +
                             " has no liberty and captures nothing");
    }
    for (int child : branch.children) replayBranch(tree, child, board, koPoint, captures, errors);
}

}  // namespace

int replayFigure(const FigureTree& tree, std::vector<std::string>& errors) {
    int captures = 0;
    for (size_t b = 0; b < tree.branches.size(); ++b)
        if (tree.branches[b].isRoot()) replayBranch(tree, static_cast<int>(b), GoBoard(), 0, captures, errors);
    return captures;
}

}  // namespace lessons

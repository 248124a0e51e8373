#include "LessonChecks.h"

#include <cstdlib>
#include <set>
#include <tuple>
#include <utility>

namespace lessons {

namespace {

// Code points. The lesson panel's comment area shows 130 without scrolling; the
// margin keeps a comment readable in full with the window at its smallest.
constexpr int kMaxCommentLength = 120;

bool isAnswerText(const std::string& s) { return s == "○" || s == "×" || s == "－"; }

size_t lastStoneOf(const FigureTree& tree, const Branch& branch) {
    size_t last = branch.first;
    for (size_t i = branch.first; i <= branch.last; ++i)
        if (tree.rows[i].dtx < 10) last = i;
    return last;
}

int rootOf(const FigureTree& tree, int branch) {
    while (branch >= 0 && tree.branches[branch].parent >= 0) branch = tree.branches[branch].parent;
    return branch;
}

// Marks: COL follows the mark's place (on a stone: the stone colour; on a
// board-coloured patch: 3; straight on the board: 0) and CMT holds the characters.
void checkMarkRow(const FigureTree& tree, size_t i, std::vector<std::string>& errors) {
    const FigureRow& row = tree.rows[i];
    if (!isMarkCode(row.dtx)) {
        errors.push_back(rowPlace(tree, i) + "DTX " + std::to_string(row.dtx) +
                         " is no mark code (11-13, 21-23, 31-33)");
        return;
    }
    int markPlace = row.dtx / 10;
    bool colOk = (markPlace == 1 && (row.col == 1 || row.col == 2)) || (markPlace == 2 && row.col == 3) ||
                 (markPlace == 3 && row.col == 0);
    if (!colOk)
        errors.push_back(rowPlace(tree, i) + "COL " + std::to_string(row.col) + " does not fit mark code " +
                         std::to_string(row.dtx) + " (on a stone: 1 or 2, background: 3, direct: 0)");
    int length = utf8Length(row.cmt);
    if (length < 1 || length > 2)
        errors.push_back(rowPlace(tree, i) + "a mark needs one or two characters in CMT");
}

// The program finds a row again after drawing by looking up the first row with
// the same key values; the row must be that first row or playback jumps.
template <typename Key>
void checkRefind(const FigureTree& tree, size_t i, Key key, const char* keyName,
                 std::vector<std::string>& errors) {
    for (size_t j = 0; j < i; ++j) {
        if (key(tree.rows[j]) == key(tree.rows[i])) {
            errors.push_back(rowPlace(tree, i) + "an earlier row (line " + std::to_string(tree.rows[j].line) +
                             ") has the same " + keyName + ", so playback cannot find this row again");
            return;
        }
    }
}

}  // namespace

bool isMarkCode(int dtx) {
    int markPlace = dtx / 10;
    int color = dtx % 10;
    return dtx >= 10 && markPlace >= 1 && markPlace <= 3 && color >= 1 && color <= 3;
}

void checkFigureRules(const FigureTree& tree, int kind, std::vector<std::string>& errors) {
    const auto& rows = tree.rows;
    const auto& branches = tree.branches;

    // Every row: point range, author's coordinate note, comment length.
    for (size_t i = 0; i < rows.size(); ++i) {
        const FigureRow& row = rows[i];
        if (row.pst < 1 || row.pst > 361)
            errors.push_back(rowPlace(tree, i) + "PST " + std::to_string(row.pst) + " is not a point (1-361)");
        if (!row.xy.empty() && pointFromCoordinate(row.xy) != row.pst)
            errors.push_back(rowPlace(tree, i) + "XY \"" + row.xy + "\" is point " +
                             std::to_string(pointFromCoordinate(row.xy)) + ", not PST " +
                             std::to_string(row.pst));
        int length = utf8Length(row.cmt);
        if (length < 0 || length > kMaxCommentLength)
            errors.push_back(rowPlace(tree, i) + "CMT longer than " + std::to_string(kMaxCommentLength) +
                             " characters");
    }

    // Roots: one basic figure in a plain lesson, one per problem otherwise.
    std::vector<int> roots;
    for (size_t b = 0; b < branches.size(); ++b)
        if (branches[b].isRoot()) roots.push_back(static_cast<int>(b));
    if (roots.empty()) {
        errors.push_back("figure " + std::to_string(tree.mnb) + ": no basic figure (no row with BTO 9999)");
        return;
    }
    if (kind == 0) {
        if (roots.size() != 1 || roots.front() != 0)
            errors.push_back(rowPlace(tree, branches[roots.back()].first) +
                             "a lesson without problems has exactly one basic figure, its first branch");
    }

    std::vector<int> problemOfRoot(branches.size(), 0);
    if (kind > 0) {
        std::set<int> numbers;
        for (int r : roots) {
            size_t first = branches[r].first;
            int n = rows[first].dtx;
            if (n < 1 || n > 9) {
                errors.push_back(rowPlace(tree, first) + "a problem's first row carries its number 1-9 in DTX");
                continue;
            }
            if (!numbers.insert(n).second)
                errors.push_back(rowPlace(tree, first) + "problem " + std::to_string(n) + " appears twice");
            for (size_t j = 0; j < first; ++j)
                if (rows[j].dtx == n)
                    errors.push_back(rowPlace(tree, j) + "row with DTX " + std::to_string(n) +
                                     " before the first row of problem " + std::to_string(n));
            problemOfRoot[r] = n;
            if ((kind == 2 || kind == 3) && !isAnswerText(rows[first].cmt))
                errors.push_back(rowPlace(tree, first) + "the first row of a problem holds its answer ○, × or －");
            if (kind == 1 && isAnswerText(rows[first].cmt))
                errors.push_back(rowPlace(tree, first) + "kind 1 shows no answer box; the answer text would "
                                                          "only appear on the status bar");
            // The status bar shows the comment of the last stone drawn; that must not be the answer.
            size_t lastStone = first;
            for (size_t j = first; j <= branches[r].last; ++j)
                if (rows[j].dtx < 10) lastStone = j;
            if ((kind == 2 || kind == 3) && lastStone == first)
                errors.push_back(rowPlace(tree, first) + "the problem's answer would be shown on the status bar: "
                                                          "put at least one more stone after its first row");
            if (branches[r].children.empty())
                errors.push_back(rowPlace(tree, branches[r].last) + "problem " + std::to_string(n) +
                                 " has no answer sequence");
            // The learner is shown the right answer and what goes wrong with a tempting
            // mistake (a red choice; played on the board it is judged wrong), each explained.
            bool right = false, wrong = false;
            for (int child : branches[r].children) {
                const FigureRow& move = rows[branches[child].first];
                (move.col < 0 ? wrong : right) = true;
                if (move.cmt.empty())
                    errors.push_back(rowPlace(tree, branches[child].first) +
                                     "the first move of an answer path needs a comment");
            }
            if (!branches[r].children.empty() && (!right || !wrong))
                errors.push_back(rowPlace(tree, branches[r].last) + "problem " + std::to_string(n) + " needs " +
                                 (right ? "a wrong answer path (red, negative COL)" : "a right answer path"));
        }
        int expected = 1;
        for (int n : numbers) {
            if (n != expected)
                errors.push_back("figure " + std::to_string(tree.mnb) + ": problem numbers must run 1, 2, 3, ... "
                                 "without gaps (missing " + std::to_string(expected) + ")");
            expected = n + 1;
        }
    } else if (branches[roots.front()].children.empty()) {
        errors.push_back(rowPlace(tree, branches[roots.front()].last) +
                         "the basic figure has no recorded sequence hanging at its end");
    }

    for (size_t b = 0; b < branches.size(); ++b) {
        const Branch& branch = branches[b];
        int root = rootOf(tree, static_cast<int>(b));
        int problem = kind > 0 ? problemOfRoot[root] : 0;
        if (branch.isRoot()) {
            for (size_t i = branch.first; i <= branch.last; ++i) {
                const FigureRow& row = rows[i];
                if (row.tes != 0)
                    errors.push_back(rowPlace(tree, i) + "rows of a basic figure have TES 0");
                if (row.dtx >= 10) {
                    checkMarkRow(tree, i, errors);
                    if (kind > 0 && (i == branch.first || i == branch.last))
                        errors.push_back(rowPlace(tree, i) + "a problem's basic figure begins and ends "
                                                              "with a stone carrying the problem number");
                    continue;
                }
                if (row.col != 1 && row.col != 2)
                    errors.push_back(rowPlace(tree, i) + "a stone of a basic figure has COL 1 or 2");
                if (kind == 0 && row.dtx != 0)
                    errors.push_back(rowPlace(tree, i) + "a stone in a lesson without problems has DTX 0");
                if (kind > 0 && row.dtx != problem)
                    errors.push_back(rowPlace(tree, i) + "a stone of problem " + std::to_string(problem) +
                                     " carries DTX " + std::to_string(problem));
            }
            if (kind == 0)
                checkRefind(tree, branch.last, [](const FigureRow& r) { return std::pair(r.tes, r.pst); },
                            "TES and PST", errors);
            // The introduction names the side to move ("黒番", "白番"): every path starts with it.
            const std::string& intro = rows[lastStoneOf(tree, branch)].cmt;
            int toMove = intro.find("黒番") != std::string::npos ? 1 : intro.find("白番") != std::string::npos ? 2 : 0;
            for (int child : branch.children) {
                const FigureRow& first = rows[branches[child].first];
                if (toMove != 0 && std::abs(first.col) != toMove)
                    errors.push_back(rowPlace(tree, branches[child].first) + "the figure says " +
                                     (toMove == 1 ? "black" : "white") + " is to play, but this path starts with " +
                                     (toMove == 1 ? "white" : "black"));
            }
            continue;
        }
        if (branch.parent < 0) continue;  // already reported as an unlinked branch
        const Branch& parent = branches[branch.parent];
        const FigureRow& parentEnd = rows[parent.last];
        int expectedTes = parent.isRoot() ? 1 : parentEnd.tes + 1;
        int previousColor = parent.isRoot() ? 0 : std::abs(parentEnd.col);
        for (size_t i = branch.first; i <= branch.last; ++i) {
            const FigureRow& row = rows[i];
            if (row.tes != expectedTes)
                errors.push_back(rowPlace(tree, i) + "TES " + std::to_string(row.tes) + " where move " +
                                 std::to_string(expectedTes) + " follows");
            ++expectedTes;
            if (row.dtx >= 10) {
                errors.push_back(rowPlace(tree, i) + "marks belong to the basic figure, not to a sequence");
                continue;
            }
            int color = std::abs(row.col);
            if (color != 1 && color != 2) {
                errors.push_back(rowPlace(tree, i) + "a move has COL 1, 2, -1 or -2");
                continue;
            }
            if (row.col < 0 && i != branch.first)
                errors.push_back(rowPlace(tree, i) + "only the first move of a branch may be marked wrong "
                                                      "(negative COL); later stones must capture normally");
            if (color == previousColor)
                errors.push_back(rowPlace(tree, i) + "the same colour plays twice in a row");
            previousColor = color;
            if (kind == 0 && row.dtx != 0)
                errors.push_back(rowPlace(tree, i) + "a move in a lesson without problems has DTX 0");
            if (kind > 0 && row.dtx != problem)
                errors.push_back(rowPlace(tree, i) + "a move of problem " + std::to_string(problem) +
                                 " carries DTX " + std::to_string(problem));
            if ((kind == 1 || kind == 2) && row.tes == 1 && color != 1)
                errors.push_back(rowPlace(tree, i) + "problems are set with black to play: the first answer "
                                                      "move is black (COL 1)");
            if (kind == 0)
                checkRefind(tree, i, [](const FigureRow& r) { return std::pair(r.tes, r.pst); },
                            "TES and PST", errors);
            else
                checkRefind(tree, i, [](const FigureRow& r) { return std::tuple(r.tes, r.pst, r.dtx); },
                            "TES, PST and DTX", errors);
        }
        // Choices at one end start on different points, and in a problem lesson the
        // chosen branch is the first row at that point after the end.
        for (int other : parent.children) {
            if (other >= static_cast<int>(b)) break;
            if (rows[branches[other].first].pst == rows[branch.first].pst)
                errors.push_back(rowPlace(tree, branch.first) + "another branch at the same end starts on the "
                                                                 "same point");
        }
        if (kind > 0) {
            for (size_t j = parent.last; j < branch.first; ++j) {
                if (rows[j].pst == rows[branch.first].pst) {
                    errors.push_back(rowPlace(tree, branch.first) + "row at line " + std::to_string(rows[j].line) +
                                     " lies on the same point between the branch end and this choice; "
                                     "choosing it would start there");
                    break;
                }
            }
        }
    }
}

}  // namespace lessons

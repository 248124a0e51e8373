// The branch tree formed by the rows of one lesson figure.
#pragma once

#include <string>
#include <vector>

#include "LessonTables.h"

namespace lessons {

constexpr int kRootMarker = 9999;    // BTO of a branch's first row when it starts a figure
constexpr int kMaxChoices = 20;      // branches the program can offer at one end
constexpr int kMaxPathDepth = 10;    // branches (root included) the editor replays along a path

struct Branch {
    size_t first = 0;           // index of its first row in FigureTree::rows
    size_t last = 0;            // index of its last row
    int number = 0;             // BFR of the last row
    int from = 0;               // BTO of the first row
    int parent = -1;            // index in FigureTree::branches, -1 for a root
    std::vector<int> children;  // branches hanging at its end, in row order
    int depth = 1;              // 1 for a root
    bool isRoot() const { return from == kRootMarker; }
};

struct FigureTree {
    int mnb = 0;
    std::vector<FigureRow> rows;     // in append order
    std::vector<Branch> branches;    // in order of their first rows
    std::vector<int> branchOfRow;    // branch index per row, -1 for a row outside every branch
};

// Splits the rows into branches and links them; every fault of the run/number
// structure goes to `errors` prefixed with the figure number and line.
FigureTree buildFigureTree(int mnb, std::vector<FigureRow> rows, std::vector<std::string>& errors);

std::string rowPlace(const FigureTree& tree, size_t row);

}  // namespace lessons

#include "FigureTree.h"

#include <map>

namespace lessons {

std::string rowPlace(const FigureTree& tree, size_t row) {
    return "figure " + std::to_string(tree.mnb) + " (figure.tsv line " +
           std::to_string(tree.rows[row].line) + "): ";
}

FigureTree buildFigureTree(int mnb, std::vector<FigureRow> rows, std::vector<std::string>& errors) {
    FigureTree tree;
    tree.mnb = mnb;
    tree.rows = std::move(rows);
    tree.branchOfRow.assign(tree.rows.size(), -1);

    int open = -1;
    for (size_t i = 0; i < tree.rows.size(); ++i) {
        const FigureRow& row = tree.rows[i];
        if (row.bfr < 0 || row.bto < 0)
            errors.push_back(rowPlace(tree, i) + "BFR and BTO must not be negative");
        if (row.bfr >= kRootMarker)
            errors.push_back(rowPlace(tree, i) + "branch number " + std::to_string(row.bfr) +
                             " is out of range (1 to 9998)");
        if (row.bto > 0) {
            if (open >= 0) {
                errors.push_back(rowPlace(tree, i) +
                                 "a branch starts here but the previous branch has no last row (BFR)");
                tree.branches[open].last = i - 1;
            }
            Branch branch;
            branch.first = i;
            branch.from = row.bto;
            tree.branches.push_back(branch);
            open = static_cast<int>(tree.branches.size()) - 1;
        } else if (open < 0) {
            errors.push_back(rowPlace(tree, i) + "row outside every branch (BTO 0 after a branch end)");
            continue;
        }
        tree.branchOfRow[i] = open;
        if (row.bfr > 0) {
            tree.branches[open].last = i;
            tree.branches[open].number = row.bfr;
            open = -1;
        }
    }
    if (open >= 0) {
        errors.push_back(rowPlace(tree, tree.rows.size() - 1) + "the figure ends inside a branch (no BFR)");
        tree.branches[open].last = tree.rows.size() - 1;
    }

    std::map<int, int> byNumber;
    for (size_t b = 0; b < tree.branches.size(); ++b) {
        const Branch& branch = tree.branches[b];
        if (branch.number <= 0) continue;
        auto [it, inserted] = byNumber.emplace(branch.number, static_cast<int>(b));
        if (!inserted)
            errors.push_back(rowPlace(tree, branch.last) + "branch number " + std::to_string(branch.number) +
                             " is used twice in the figure");
    }
    for (size_t b = 0; b < tree.branches.size(); ++b) {
        Branch& branch = tree.branches[b];
        if (branch.isRoot()) continue;
        auto it = byNumber.find(branch.from);
        if (it == byNumber.end()) {
            errors.push_back(rowPlace(tree, branch.first) + "BTO " + std::to_string(branch.from) +
                             " names no branch end of this figure");
            continue;
        }
        // A branch must follow its parent: the learner's choice is looked up
        // forward from the parent's end, and parents first also rules out cycles.
        if (it->second >= static_cast<int>(b)) {
            errors.push_back(rowPlace(tree, branch.first) + "branch hangs at branch " +
                             std::to_string(branch.from) + ", which comes later in the figure");
            continue;
        }
        branch.parent = it->second;
        tree.branches[it->second].children.push_back(static_cast<int>(b));
        branch.depth = tree.branches[it->second].depth + 1;
        if (branch.depth > kMaxPathDepth)
            errors.push_back(rowPlace(tree, branch.first) + "branch path deeper than " +
                             std::to_string(kMaxPathDepth) + " branches");
    }
    for (const Branch& branch : tree.branches) {
        if (branch.children.size() > static_cast<size_t>(kMaxChoices))
            errors.push_back(rowPlace(tree, branch.last) + "more than " + std::to_string(kMaxChoices) +
                             " branches hang at this end");
    }
    return tree;
}

}  // namespace lessons

// A 19-line board with the capture rule, for replaying lesson figures.
#pragma once

#include <array>
#include <vector>

namespace lessons {

constexpr int kBoardSize = 19;
constexpr int kPointCount = kBoardSize * kBoardSize;

// Points are numbered down the columns, 1-based: point = column * 19 + row + 1,
// column 0 the leftmost line, row 0 the top line.
class GoBoard {
public:
    int at(int point) const { return cells_[point - 1]; }
    bool isEmpty(int point) const { return at(point) == 0; }

    struct PlayResult {
        std::vector<int> captured;  // opponent points removed, ascending
        bool suicide = false;       // the new stone's own group has no liberty left
        int koPoint = 0;            // the point the opponent may not take back at once, 0 if none
    };
    // Puts a stone of `color` (1 black, 2 white) on an empty point, removes the
    // opponent groups left without liberties and reports whether the new
    // stone's own group then still has a liberty. A lone stone that takes a lone
    // stone and is left with that one point as its only liberty makes a ko.
    PlayResult play(int point, int color);

    // Liberties of the group standing on `point` (0 for an empty point).
    int liberties(int point) const;

    static std::vector<int> neighbours(int point);

private:
    std::vector<int> groupOf(int point) const;
    std::array<int, kPointCount> cells_{};
};

}  // namespace lessons

#include "GoBoard.h"

#include <algorithm>
#include <set>

namespace lessons {

std::vector<int> GoBoard::neighbours(int point) {
    std::vector<int> result;
    int column = (point - 1) / kBoardSize;
    int row = (point - 1) % kBoardSize;
    if (row > 0) result.push_back(point - 1);
    if (row < kBoardSize - 1) result.push_back(point + 1);
    if (column > 0) result.push_back(point - kBoardSize);
    if (column < kBoardSize - 1) result.push_back(point + kBoardSize);
    return result;
}

std::vector<int> GoBoard::groupOf(int point) const {
    std::vector<int> group;
    int color = at(point);
    if (color == 0) return group;
    std::vector<bool> seen(kPointCount + 1, false);
    std::vector<int> queue{point};
    seen[point] = true;
    while (!queue.empty()) {
        int p = queue.back();
        queue.pop_back();
        group.push_back(p);
        for (int n : neighbours(p)) {
            if (!seen[n] && at(n) == color) {
                seen[n] = true;
                queue.push_back(n);
            }
        }
    }
    return group;
}

int GoBoard::liberties(int point) const {
    std::set<int> libs;
    for (int p : groupOf(point))
        for (int n : neighbours(p))
            if (at(n) == 0) libs.insert(n);
    return static_cast<int>(libs.size());
}

GoBoard::PlayResult GoBoard::play(int point, int color) {
    PlayResult result;
    cells_[point - 1] = color;
    int opponent = color == 1 ? 2 : 1;
    for (int n : neighbours(point)) {
        if (at(n) != opponent || liberties(n) > 0) continue;
        for (int p : groupOf(n)) {
            cells_[p - 1] = 0;
            result.captured.push_back(p);
        }
    }
    std::sort(result.captured.begin(), result.captured.end());
    result.suicide = liberties(point) == 0;
    if (result.captured.size() == 1 && groupOf(point).size() == 1 && liberties(point) == 1)
        result.koPoint = result.captured.front();
    return result;
}

}  // namespace lessons

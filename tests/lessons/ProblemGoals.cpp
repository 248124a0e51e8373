#include "ProblemGoals.h"

#include <cstdlib>
#include <set>
#include <sstream>

#include "LessonTables.h"

namespace lessons {

namespace {

const std::set<std::string> kMoveGoals{"take", "atari", "capture", "escape", "live", "kill", "connect", "cut"};
const std::set<std::string> kPairGoals{"connect", "cut"};

std::vector<std::string> splitTabs(std::string_view line) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        cells.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return cells;
}

std::string colorName(int color) { return color == 1 ? "B" : "W"; }

// The engine answers "0" when the side named cannot succeed, otherwise a
// result code and a move ("1 D17").
bool succeeds(const GtpEngine::Reply& r) { return r.ok && !r.text.empty() && r.text[0] != '0'; }

struct Problem {
    std::vector<const FigureRow*> stones;      // the basic figure's stones, marks left out
    std::vector<const FigureRow*> firstMoves;  // first moves of the answer paths
    std::string answer;                        // ○ × － of answer-box problems
};

Problem problemOf(const FigureTree& tree, int n) {
    Problem p;
    for (const Branch& b : tree.branches) {
        // A lesson without problems (n 0) has one basic figure, which may begin with a mark.
        if (!b.isRoot() || (n > 0 && tree.rows[b.first].dtx != n)) continue;
        p.answer = tree.rows[b.first].cmt;
        for (size_t i = b.first; i <= b.last; ++i)
            if (tree.rows[i].dtx < 10) p.stones.push_back(&tree.rows[i]);
        for (int child : b.children) p.firstMoves.push_back(&tree.rows[tree.branches[child].first]);
        break;
    }
    return p;
}

class Judge {
public:
    Judge(GtpEngine& engine, const FigureTree& tree, const ProblemGoal& goal, EngineVerdict& verdict)
        : engine_(engine), goal_(goal), verdict_(verdict),
          place_("figure " + std::to_string(tree.mnb) +
                 (goal.problem > 0 ? " problem " + std::to_string(goal.problem) : std::string(" (first choices)")) +
                 ": ") {}

    // `size` 9 plays the upper left 9-line corner of the lesson board as a whole board.
    bool setUp(const Problem& p, int size = 19) {
        size_ = size;
        if (!ask("boardsize " + std::to_string(size)).ok || !ask("clear_board").ok || !ask("komi 6.5").ok)
            return false;
        for (const FigureRow* s : p.stones) {
            if ((s->pst - 1) / 19 >= size || (s->pst - 1) % 19 >= size) {
                fault("the stone on " + gtpVertex(s->pst) + " lies outside the " + std::to_string(size) +
                      "-line corner");
                return false;
            }
            auto r = ask("play " + colorName(std::abs(s->col)) + " " + gtpVertex(s->pst, size));
            if (!r.ok) {
                fault("the engine refuses the stone on " + gtpVertex(s->pst) + " (" + r.text + ")");
                return false;
            }
        }
        return true;
    }

    bool play(const FigureRow& move) {
        auto r = ask("play " + colorName(std::abs(move.col)) + " " + gtpVertex(move.pst, size_));
        if (!r.ok) fault("the engine finds " + describe(move) + " illegal (" + r.text + ")");
        return r.ok;
    }

    bool empty(int point) { return ask("color " + gtpVertex(point)).text == "empty"; }

    // Whether the goal holds in the position after the player's move.
    bool reached() {
        const std::string& g = goal_.goal;
        const std::string t = gtpVertex(goal_.point1);
        if (g == "take") return empty(goal_.point1);
        if (g == "atari") return !empty(goal_.point1) && ask("countlib " + t).text == "1";
        if (g == "capture") return empty(goal_.point1) || !succeeds(ask("defend " + t));
        if (g == "escape") return !empty(goal_.point1) && !succeeds(ask("attack " + t));
        if (g == "live") return !empty(goal_.point1) && !succeeds(ask("owl_attack " + t));
        if (g == "kill") return empty(goal_.point1) || !succeeds(ask("owl_defend " + t));
        const std::string u = gtpVertex(goal_.point2);
        if (g == "connect")
            return !empty(goal_.point1) && !empty(goal_.point2) && !succeeds(ask("disconnect " + t + " " + u));
        if (g == "cut") return empty(goal_.point1) || empty(goal_.point2) || !succeeds(ask("connect " + t + " " + u));
        return false;
    }

    // "alive", "dead" or "critical" for the group on point1, as owl reading sees it.
    // "B+2.5" / "W+3.5" as the engine counts the position.
    std::string score() { return ask("final_score").text; }

    std::string status() {
        if (empty(goal_.point1)) return "missing";
        const std::string t = gtpVertex(goal_.point1);
        bool attack = succeeds(ask("owl_attack " + t));
        bool defend = succeeds(ask("owl_defend " + t));
        if (attack && defend) return "critical";
        if (attack) return "dead";
        if (defend) return "alive";
        return "unsettled";
    }

    void fault(const std::string& what) { verdict_.disagreements.push_back(place_ + what); }

    std::string describe(const FigureRow& move) {
        return colorName(std::abs(move.col)) + " " + gtpVertex(move.pst) + " (" +
               (move.col < 0 ? "wrong answer" : "right answer") + ", figure.tsv line " + std::to_string(move.line) +
               ")";
    }

private:
    GtpEngine::Reply ask(const std::string& command) {
        auto r = engine_.command(command);
        if (!engine_.started()) fault("engine failure: " + engine_.error());
        return r;
    }

    GtpEngine& engine_;
    int size_ = 19;
    const ProblemGoal& goal_;
    EngineVerdict& verdict_;
    std::string place_;
};

}  // namespace

bool isMoveGoal(const std::string& goal) { return kMoveGoals.count(goal) > 0; }

bool isKnownGoal(const std::string& goal) {
    return isMoveGoal(goal) || goal == "alive" || goal == "dead" || goal == "score" || goal == "none";
}

std::vector<ProblemGoal> parseGoals(std::string_view text, std::vector<std::string>& errors) {
    std::vector<ProblemGoal> goals;
    std::istringstream in{std::string(text)};
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (number == 1) {
            if (line != "MNB\tPROBLEM\tGOAL\tXY1\tXY2") errors.push_back("goals.tsv: unexpected header");
            continue;
        }
        std::string place = "goals.tsv line " + std::to_string(number) + ": ";
        auto cells = splitTabs(line);
        if (cells.size() != 5) {
            errors.push_back(place + "five cells expected");
            continue;
        }
        ProblemGoal g;
        g.line = number;
        g.mnb = std::atoi(cells[0].c_str());
        g.problem = std::atoi(cells[1].c_str());
        g.goal = cells[2];
        g.point1 = cells[3].empty() ? 0 : pointFromCoordinate(cells[3]);
        g.point2 = cells[4].empty() ? 0 : pointFromCoordinate(cells[4]);
        if (!isKnownGoal(g.goal)) errors.push_back(place + "unknown goal \"" + g.goal + "\"");
        bool needsTarget = g.goal != "none" && g.goal != "score";
        if (needsTarget && g.point1 == 0) errors.push_back(place + "the goal names no stone in XY1");
        if (kPairGoals.count(g.goal) && g.point2 == 0) errors.push_back(place + "the goal needs a second stone in XY2");
        goals.push_back(g);
    }
    return goals;
}

void checkProblemWithEngine(GtpEngine& engine, const FigureTree& tree, int kind, const ProblemGoal& goal,
                            EngineVerdict& verdict) {
    if (goal.goal == "none") return;
    Problem p = problemOf(tree, goal.problem);
    Judge judge(engine, tree, goal, verdict);
    if (p.stones.empty()) {
        judge.fault("no such problem in the figure");
        return;
    }
    if (isMoveGoal(goal.goal)) {
        if (kind == 3) judge.fault("an answer-box problem is judged by the position: use alive or dead");
        for (const FigureRow* move : p.firstMoves) {
            if (!judge.setUp(p)) return;
            if (!judge.play(*move)) continue;
            ++verdict.movesChecked;
            bool reached = judge.reached();
            if (move->col > 0 && !reached)
                judge.fault(judge.describe(*move) + " does not " + goal.goal + " " + gtpVertex(goal.point1) +
                            " as the engine reads it");
            if (move->col < 0 && reached)
                judge.fault(judge.describe(*move) + " does " + goal.goal + " " + gtpVertex(goal.point1) +
                            " as well, so it is no wrong answer");
        }
        return;
    }
    if (goal.goal == "score") {
        if (kind != 3) judge.fault("who won is answered in the answer box only (kind 3)");
        const FigureRow* last = nullptr;
        for (const FigureRow* move : p.firstMoves)
            if (move->col > 0) last = move;
        if (!last) {
            judge.fault("no right answer path to play before counting");
            return;
        }
        if (!judge.setUp(p, 9) || !judge.play(*last)) return;
        ++verdict.positionsChecked;
        std::string result = judge.score();
        std::string winner = p.answer == "○" ? "B+" : p.answer == "×" ? "W+" : "nobody";
        if (result.rfind(winner, 0) != 0)
            judge.fault("the answer " + p.answer + " names " + winner + " as the winner, the engine counts " + result);
        return;
    }
    // alive / dead: the answer box names the group's fate.
    if (kind != 2 && kind != 3) {
        judge.fault("a problem answered on the board needs a goal for its move");
        return;
    }
    if (!judge.setUp(p)) return;
    ++verdict.positionsChecked;
    std::string expected;
    if (p.answer == "－") expected = "critical";
    else if ((p.answer == "○") == (goal.goal == "alive")) expected = "alive";
    else expected = "dead";
    std::string seen = judge.status();
    if (seen != expected)
        judge.fault("the answer " + p.answer + " says the group on " + gtpVertex(goal.point1) + " is " + expected +
                    ", the engine reads it " + seen);
    // A wrong path that starts with a move of the group's own colour shows a mistake
    // of its owner: after it the group must be open to attack.
    int owner = 0;
    for (const FigureRow* s : p.stones)
        if (s->pst == goal.point1) owner = std::abs(s->col);
    for (const FigureRow* move : p.firstMoves) {
        if (move->col >= 0 || -move->col != owner) continue;
        if (!judge.setUp(p) || !judge.play(*move)) continue;
        ++verdict.movesChecked;
        std::string after = judge.status();
        if (after == "alive")
            judge.fault(judge.describe(*move) + " leaves the group on " + gtpVertex(goal.point1) +
                        " alive, so it shows no mistake");
    }
}

}  // namespace lessons

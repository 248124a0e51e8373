// What each lesson problem asks (data/lessons/goals.tsv) and its second opinion
// from a Go engine: the right answers must reach the goal and the wrong ones
// must not, as the engine reads the position.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "FigureTree.h"
#include "GtpEngine.h"

namespace lessons {

// goals.tsv: header "MNB PROBLEM GOAL XY1 XY2", one row per problem, TAB separated;
// a lesson without problems may have a row with PROBLEM 0 for the choices it offers
// after its basic figure (green ones reach the goal, red ones do not).
// GOAL names what the first answer move (or, for answer-box problems, the
// position) must achieve for the stones on XY1 (and XY2):
//   take T      the move captures T at once
//   atari T     the move leaves T with one liberty
//   capture T   T cannot be saved any more, the opponent to move
//   escape T    T cannot be captured any more, the opponent to move
//   live T      T's group cannot be killed any more
//   kill T      T's group cannot live any more
//   connect A B the opponent cannot cut A from B any more
//   cut A B     A and B cannot be joined any more
//   alive T / dead T   answer-box problems: ○ means the group on T is alive
//               (dead), × dead (alive), － its fate depends on who plays first;
//               a wrong path that starts with a move of T's colour must leave
//               the group open to attack
//   score       answer-box problems on the 9-line corner: ○ means black wins, × white,
//               once the right answer's move (the last dame) is played; komi 6.5
//   none        not read by the engine (openings, handicap stones)
struct ProblemGoal {
    int mnb = 0;
    int problem = 0;
    std::string goal;
    int point1 = 0;
    int point2 = 0;
    int line = 0;
};

std::vector<ProblemGoal> parseGoals(std::string_view text, std::vector<std::string>& errors);

bool isMoveGoal(const std::string& goal);
bool isKnownGoal(const std::string& goal);

struct EngineVerdict {
    std::vector<std::string> disagreements;  // "figure 1280 problem 2: ..." per fault
    int movesChecked = 0;
    int positionsChecked = 0;
};

// Sets up problem `goal.problem` of `tree` on the engine's board and judges it.
void checkProblemWithEngine(GtpEngine& engine, const FigureTree& tree, int kind, const ProblemGoal& goal,
                            EngineVerdict& verdict);

}  // namespace lessons

// A second opinion on every lesson problem, and on the first choices of the lessons
// that name a goal, from GNU Go (run in GTP mode when it is installed): the right
// answers reach the goal, the wrong ones do not.
#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

#include "LessonChecks.h"
#include "ProblemGoals.h"

using namespace lessons;

namespace {

struct Shipped {
    std::vector<std::string> errors;
    std::vector<ContentsRow> contents;
    LessonCheckReport report;
    std::vector<ProblemGoal> goals;
};

const Shipped& shipped() {
    static const Shipped loaded = [] {
        Shipped s;
        std::string dir = LESSON_SOURCE_DIR;
        s.contents = parseContents(readWholeFile(dir + "/mokuji.tsv", s.errors), s.errors);
        auto figure = parseFigure(readWholeFile(dir + "/figure.tsv", s.errors), s.errors);
        s.report = checkLessonTables(s.contents, figure);
        s.goals = parseGoals(readWholeFile(dir + "/goals.tsv", s.errors), s.errors);
        return s;
    }();
    return loaded;
}

std::string dump(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    return all;
}

int problemCount(const FigureTree& tree) {
    int n = 0;
    for (const Branch& b : tree.branches) n += b.isRoot() ? 1 : 0;
    return n;
}

bool haveGnuGo() { return std::string(GNUGO_EXECUTABLE).size() > 0 && access(GNUGO_EXECUTABLE, X_OK) == 0; }

std::vector<std::string> gnugoArguments() { return {"--mode", "gtp", "--level", "10"}; }

}  // namespace

TEST(ProblemGoalsTest, EveryProblemHasExactlyOneGoal) {
    ASSERT_TRUE(shipped().errors.empty()) << dump(shipped().errors);
    std::map<std::pair<int, int>, int> seen;
    for (const ProblemGoal& g : shipped().goals) ++seen[{g.mnb, g.problem}];
    int problems = 0, lessons = 0;
    for (const ContentsRow& row : shipped().contents) {
        if (row.prb == 0) {
            // A lesson without problems may name the goal of its first choices.
            lessons += seen.erase({row.mnb, 0}) > 0 ? 1 : 0;
            continue;
        }
        int count = problemCount(shipped().report.figures.at(row.mnb));
        for (int n = 1; n <= count; ++n) {
            ++problems;
            EXPECT_EQ((seen[{row.mnb, n}]), 1) << "lesson " << row.mnb << " problem " << n;
            seen.erase({row.mnb, n});
        }
    }
    EXPECT_GE(problems, 40);
    EXPECT_GE(lessons, 10);
    for (const auto& [key, count] : seen)
        ADD_FAILURE() << "goals.tsv names lesson " << key.first << " problem " << key.second
                      << ", which is no problem";
}

TEST(ProblemGoalsTest, FaultyGoalLinesAreReported) {
    std::vector<std::string> errors;
    auto goals = parseGoals("MNB\tPROBLEM\tGOAL\tXY1\tXY2\n"
                            "1230\t1\tsurround\tjj\t\n"
                            "1230\t2\tcapture\t\t\n"
                            "1450\t1\tconnect\tcc\t\n"
                            "1230\t3\ttake\taa\n",
                            errors);
    EXPECT_EQ(goals.size(), 3u);
    EXPECT_EQ(errors.size(), 4u) << dump(errors);
    EXPECT_EQ(gtpVertex(1), "A19");
    EXPECT_EQ(gtpVertex(361), "T1");
    EXPECT_EQ(gtpVertex(pointFromCoordinate("pd")), "Q16");  // the letter I is skipped
    EXPECT_EQ(gtpVertex(pointFromCoordinate("cc"), 9), "C7");
}

TEST(EngineCheckTest, AMissingEngineIsReportedNotMistakenForAgreement) {
    GtpEngine engine("/nonexistent/gnugo", {"--mode", "gtp"});
    EXPECT_FALSE(engine.started());
    EXPECT_FALSE(engine.error().empty());
    EXPECT_FALSE(engine.command("boardsize 19").ok);
}

TEST(EngineCheckTest, TheEngineCheckCatchesAnAnswerThatDoesNotWork) {
    if (!haveGnuGo()) GTEST_SKIP() << "gnugo is not installed";
    GtpEngine engine(GNUGO_EXECUTABLE, gnugoArguments());
    ASSERT_TRUE(engine.started()) << engine.error();
    // White jj with black ji and ij: the right move jk is recorded as wrong and the
    // harmless jl as right; both must be reported.
    std::vector<std::string> errors;
    auto rows = parseFigure("MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\tXY\n"
                            "1010\t0\t2\t181\t0\t9999\t1\t\tjj\n"
                            "1010\t0\t1\t180\t0\t0\t1\t\tji\n"
                            "1010\t0\t1\t162\t1\t0\t1\t黒番\tij\n"
                            "1010\t1\t1\t183\t2\t1\t1\tright?\tjl\n"
                            "1010\t1\t-1\t200\t3\t1\t1\twrong?\tkj\n",
                            errors);
    FigureTree tree = buildFigureTree(1010, rows, errors);
    ASSERT_TRUE(errors.empty()) << dump(errors);
    EngineVerdict verdict;
    checkProblemWithEngine(engine, tree, 1, ProblemGoal{1010, 1, "atari", 181, 0, 2}, verdict);
    EXPECT_EQ(verdict.movesChecked, 2);
    ASSERT_EQ(verdict.disagreements.size(), 2u) << dump(verdict.disagreements);
    EXPECT_NE(verdict.disagreements[0].find("K8"), std::string::npos) << verdict.disagreements[0];
    EXPECT_NE(verdict.disagreements[1].find("L10"), std::string::npos) << verdict.disagreements[1];

    // An answer box that calls a dead group alive: black in the corner with an eye of two points.
    rows = parseFigure("MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\tXY\n"
                       "1020\t0\t2\t3\t0\t9999\t1\t○\tac\n"
                       "1020\t0\t2\t22\t0\t0\t1\t\tbc\n1020\t0\t2\t41\t0\t0\t1\t\tcc\n"
                       "1020\t0\t2\t60\t0\t0\t1\t\tdc\n1020\t0\t2\t79\t0\t0\t1\t\tec\n"
                       "1020\t0\t2\t77\t0\t0\t1\t\tea\n1020\t0\t2\t78\t0\t0\t1\t\teb\n"
                       "1020\t0\t1\t1\t0\t0\t1\t\taa\n1020\t0\t1\t58\t0\t0\t1\t\tda\n"
                       "1020\t0\t1\t2\t0\t0\t1\t\tab\n1020\t0\t1\t21\t0\t0\t1\t\tbb\n"
                       "1020\t0\t1\t40\t0\t0\t1\t\tcb\n1020\t0\t1\t59\t1\t0\t1\t生き？\tdb\n"
                       "1020\t1\t2\t20\t2\t1\t1\t白が打つ\tba\n",
                       errors);
    FigureTree dead = buildFigureTree(1020, rows, errors);
    ASSERT_TRUE(errors.empty()) << dump(errors);
    EngineVerdict status;
    checkProblemWithEngine(engine, dead, 3, ProblemGoal{1020, 1, "alive", 21, 0, 2}, status);
    EXPECT_EQ(status.positionsChecked, 1);
    ASSERT_EQ(status.disagreements.size(), 1u) << dump(status.disagreements);
    EXPECT_NE(status.disagreements[0].find("the engine reads it dead"), std::string::npos) << status.disagreements[0];
}

TEST(EngineCheckTest, GnuGoAgreesWithEveryProblem) {
    if (!haveGnuGo()) GTEST_SKIP() << "gnugo is not installed";
    ASSERT_TRUE(shipped().errors.empty()) << dump(shipped().errors);
    GtpEngine engine(GNUGO_EXECUTABLE, gnugoArguments());
    ASSERT_TRUE(engine.started()) << engine.error();
    std::map<int, int> kinds;
    for (const ContentsRow& row : shipped().contents) kinds[row.mnb] = row.prb;
    EngineVerdict verdict;
    int unread = 0;
    for (const ProblemGoal& goal : shipped().goals) {
        auto tree = shipped().report.figures.find(goal.mnb);
        ASSERT_NE(tree, shipped().report.figures.end()) << goal.mnb;
        if (goal.goal == "none") ++unread;
        checkProblemWithEngine(engine, tree->second, kinds[goal.mnb], goal, verdict);
        ASSERT_TRUE(engine.started()) << engine.error();
    }
    EXPECT_TRUE(verdict.disagreements.empty()) << dump(verdict.disagreements);
    EXPECT_GE(verdict.movesChecked, 80);
    EXPECT_GE(verdict.positionsChecked, 12);
    std::cout << "GNU Go read " << verdict.movesChecked << " answer moves and " << verdict.positionsChecked
              << " answer-box positions; " << unread << " problems have no goal it can read\n";
}

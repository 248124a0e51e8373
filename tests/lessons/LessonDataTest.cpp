// Checks the lesson material shipped in data/lessons/.
#include <gtest/gtest.h>

#include <set>

#include "LessonChecks.h"

using namespace lessons;

namespace {

struct LessonData {
    std::vector<std::string> parseErrors;
    std::vector<ContentsRow> contents;
    std::vector<FigureRow> figure;
    LessonCheckReport report;
};

const LessonData& data() {
    static const LessonData loaded = [] {
        LessonData d;
        std::string dir = LESSON_SOURCE_DIR;
        d.contents = parseContents(readWholeFile(dir + "/mokuji.tsv", d.parseErrors), d.parseErrors);
        d.figure = parseFigure(readWholeFile(dir + "/figure.tsv", d.parseErrors), d.parseErrors);
        d.report = checkLessonTables(d.contents, d.figure);
        return d;
    }();
    return loaded;
}

std::string dump(const std::vector<std::string>& errors) {
    std::string all;
    for (const auto& e : errors) all += e + "\n";
    return all;
}

std::vector<const ContentsRow*> lessonsOfKind(int kind) {
    std::vector<const ContentsRow*> result;
    for (const auto& row : data().contents)
        if (row.mnb % 100 != 0 && row.prb == kind) result.push_back(&row);
    return result;
}

}  // namespace

TEST(LessonDataTest, SourceFilesParse) {
    EXPECT_TRUE(data().parseErrors.empty()) << dump(data().parseErrors);
    EXPECT_FALSE(data().contents.empty());
    EXPECT_FALSE(data().figure.empty());
}

TEST(LessonDataTest, EveryCheckPasses) {
    EXPECT_TRUE(data().report.errors.empty()) << dump(data().report.errors);
}

TEST(LessonDataTest, ContentsHaveChaptersSectionsAndEnoughLessons) {
    int chapters = 0, sections = 0, lessons = 0;
    for (const auto& row : data().contents) {
        if (row.mnb % 1000 == 0) ++chapters;
        else if (row.mnb % 100 == 0) ++sections;
        else ++lessons;
    }
    // A beginner's course: the rules and techniques, the end of a game, how to
    // begin one, and five in a row.
    EXPECT_GE(chapters, 4);
    EXPECT_GE(sections, 8);
    EXPECT_GE(lessons, 45);
}

TEST(LessonDataTest, EveryProblemKindIsPresentWithSeveralProblems) {
    for (int kind = 1; kind <= 3; ++kind) {
        auto rows = lessonsOfKind(kind);
        ASSERT_FALSE(rows.empty()) << "no lesson of problem kind " << kind;
        for (const ContentsRow* row : rows) {
            const FigureTree& tree = data().report.figures.at(row->mnb);
            int problems = 0;
            for (const Branch& b : tree.branches) problems += b.isRoot() ? 1 : 0;
            EXPECT_GE(problems, 3) << "lesson " << row->mnb;
        }
    }
}

TEST(LessonDataTest, ChoicesWithWrongBranchesAndMarksAreUsed) {
    std::set<int> withWrongBranch, withMarks;
    for (const auto& row : data().figure) {
        if (row.col < 0) withWrongBranch.insert(row.mnb);
        if (row.dtx >= 10) withMarks.insert(row.mnb);
    }
    EXPECT_GE(withWrongBranch.size(), 3u);
    EXPECT_GE(withMarks.size(), 2u);
    std::set<int> places;
    for (const auto& row : data().figure)
        if (row.dtx >= 10) places.insert(row.dtx / 10);
    EXPECT_EQ(places, (std::set<int>{1, 2, 3})) << "marks on stones, on patches and straight on the board";
    // Every wrong branch hangs beside a correct one, so the learner sees a green and a red mark.
    for (const auto& [mnb, tree] : data().report.figures) {
        for (const Branch& b : tree.branches) {
            bool red = false, green = false;
            for (int child : b.children) (tree.rows[tree.branches[child].first].col < 0 ? red : green) = true;
            EXPECT_TRUE(!red || green) << "figure " << mnb << ": only wrong choices at branch " << b.number;
        }
    }
}

TEST(LessonDataTest, AnswerBoxProblemsUseAllThreeAnswers) {
    std::set<std::string> answers;
    for (int kind : {2, 3})
        for (const ContentsRow* row : lessonsOfKind(kind)) {
            const FigureTree& tree = data().report.figures.at(row->mnb);
            for (const Branch& b : tree.branches)
                if (b.isRoot()) answers.insert(tree.rows[b.first].cmt);
        }
    EXPECT_EQ(answers, (std::set<std::string>{"○", "×", "－"}));
}

TEST(LessonDataTest, GoLessonsCaptureAndGomokuNeverDoes) {
    // The lesson board applies the capture rule while it plays a figure back,
    // so a five-in-a-row figure must never leave a group without liberties.
    int goCaptures = 0;
    for (const auto& [mnb, captures] : data().report.capturesByFigure) {
        if (mnb / 1000 == 4) EXPECT_EQ(captures, 0) << "gomoku figure " << mnb;
        else goCaptures += captures;
    }
    EXPECT_GT(goCaptures, 0);
}

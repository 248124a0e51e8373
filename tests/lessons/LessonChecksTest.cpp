// The checker must catch each kind of broken lesson data it exists for.
#include <gtest/gtest.h>

#include "LessonChecks.h"

using namespace lessons;

namespace {

const std::string kContentsHeader = "MNB\tITEM\tPRB\n";
const std::string kFigureHeader = "MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\tXY\n";

std::vector<std::string> check(const std::string& contents, const std::string& figure) {
    std::vector<std::string> errors;
    auto c = parseContents(kContentsHeader + contents, errors);
    auto f = parseFigure(kFigureHeader + figure, errors);
    auto report = checkLessonTables(c, f);
    errors.insert(errors.end(), report.errors.begin(), report.errors.end());
    return errors;
}

std::string dump(const std::vector<std::string>& errors) {
    std::string all;
    for (const auto& e : errors) all += e + "\n";
    return all;
}

bool mentions(const std::vector<std::string>& errors, const std::string& part) {
    for (const auto& e : errors)
        if (e.find(part) != std::string::npos) return true;
    return false;
}

// One plain lesson 1110: black and white stones, then a main line with a
// correct (green) and a wrong (red) choice after move 1.
const std::string kPlainContents = "1000\t入門\t0\n1100\tきまり\t0\n1110\tアタリ\t0\n";
const std::string kPlainFigure =
    "1110\t0\t2\t181\t0\t9999\t0\t\tjj\n"
    "1110\t0\t1\t180\t0\t0\t0\t\tji\n"
    "1110\t0\t1\t162\t1\t0\t0\t黒番です\tij\n"
    "1110\t1\t1\t200\t2\t1\t0\tアタリ\tkj\n"
    "1110\t2\t2\t182\t3\t2\t0\t逃げる\tjk\n"
    "1110\t2\t-2\t201\t4\t2\t0\t悪い手\tkk\n"
    "1110\t3\t1\t182\t5\t4\t0\t取れた\tjk\n";

}  // namespace

TEST(LessonChecksTest, AWellFormedLessonPasses) {
    auto errors = check(kPlainContents, kPlainFigure);
    EXPECT_TRUE(errors.empty()) << dump(errors);
}

TEST(LessonChecksTest, TheWrongBranchReallyCapturesInTheReplay) {
    std::vector<std::string> errors;
    auto c = parseContents(kContentsHeader + kPlainContents, errors);
    auto f = parseFigure(kFigureHeader + kPlainFigure, errors);
    auto report = checkLessonTables(c, f);
    EXPECT_EQ(report.capturesByFigure.at(1110), 1);
}

TEST(LessonChecksTest, ContentsHierarchyFaults) {
    // Lesson numbered below its section's first +10 step: clicking the heading opens nothing.
    auto errors = check("1000\t入門\t0\n1100\tきまり\t0\n1101\tアタリ\t0\n",
                        "1101\t0\t1\t1\t1\t9999\t0\t\t\n1101\t1\t2\t3\t2\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "opens no lesson")) << dump(errors);

    errors = check("1000\t入門\t0\n1110\tアタリ\t0\n", "");
    EXPECT_TRUE(mentions(errors, "section heading 1100 is missing"));
    EXPECT_TRUE(mentions(errors, "lesson has no figure"));

    errors = check("1100\tきまり\t0\n1000\t入門\t4\n", "");
    EXPECT_TRUE(mentions(errors, "begin with chapter 1000"));
    EXPECT_TRUE(mentions(errors, "ascending order"));
    EXPECT_TRUE(mentions(errors, "PRB must be 0, 1, 2 or 3"));

    errors = check("1000\t\t0\n", "");
    EXPECT_TRUE(mentions(errors, "ITEM must hold"));

    // A lesson followed by its own +1 row would open that row instead.
    errors = check("1000\t入門\t0\n1100\tきまり\t0\n1110\tA\t0\n1111\tB\t0\n", "");
    EXPECT_TRUE(mentions(errors, "mokuji 1110 (mokuji.tsv line 4): a click on this lesson opens 1111"));
}

TEST(LessonChecksTest, FiguresWithoutContentsAndSplitFigures) {
    auto errors = check(kPlainContents, kPlainFigure + "19\t1\t1\t1\t0\t0\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "19, 13 and 9 hold saved games"));
    errors = check(kPlainContents + "1120\tB\t0\n",
                   "1110\t0\t1\t1\t1\t9999\t0\t\t\n1120\t0\t1\t1\t1\t9999\t0\t\t\n1110\t1\t2\t3\t2\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "not consecutive"));
}

TEST(LessonChecksTest, BranchStructureFaults) {
    // Missing BFR at the end of the basic figure, then a second branch start.
    auto errors = check(kPlainContents,
                        "1110\t0\t1\t1\t0\t9999\t0\t\t\n"
                        "1110\t1\t2\t3\t1\t7\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "previous branch has no last row")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "BTO 7 names no branch end"));

    errors = check(kPlainContents,
                   "1110\t0\t1\t1\t1\t9999\t0\t\t\n"
                   "1110\t1\t2\t3\t1\t1\t0\t\t\n"
                   "1110\t1\t2\t5\t0\t0\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "used twice"));
    EXPECT_TRUE(mentions(errors, "row outside every branch"));

    errors = check(kPlainContents, "1110\t0\t1\t1\t0\t9999\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "ends inside a branch"));

    // A branch hanging at an end that is only registered later.
    errors = check(kPlainContents,
                   "1110\t0\t1\t1\t1\t9999\t0\t\t\n"
                   "1110\t2\t1\t5\t3\t2\t0\t\t\n"
                   "1110\t1\t2\t3\t2\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "comes later in the figure"));

    errors = check(kPlainContents, "1110\t0\t1\t1\t9999\t9999\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "out of range"));

    errors = check(kPlainContents,
                   "1110\t0\t1\t1\t1\t9999\t0\t\t\n"
                   "1110\t0\t1\t3\t2\t9999\t0\t\t\n"
                   "1110\t1\t2\t5\t3\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "exactly one basic figure"));

    errors = check(kPlainContents, "1110\t0\t1\t1\t1\t9999\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "no recorded sequence"));
}

TEST(LessonChecksTest, BranchPathsDeeperThanTheEditorReplaysAreRefused) {
    std::string figure = "1110\t0\t1\t1\t1\t9999\t0\t\t\n";
    for (int k = 1; k <= 10; ++k)  // ten one-move branches below the root: depth 11
        figure += "1110\t" + std::to_string(k) + "\t" + std::to_string(k % 2 == 1 ? 2 : 1) + "\t" +
                  std::to_string(100 + k) + "\t" + std::to_string(k + 1) + "\t" + std::to_string(k) + "\t0\t\t\n";
    auto errors = check(kPlainContents, figure);
    EXPECT_TRUE(mentions(errors, "deeper than 10")) << dump(errors);
    EXPECT_EQ(errors.size(), 1u) << dump(errors);
}

TEST(LessonChecksTest, FieldValueFaults) {
    auto errors = check(kPlainContents,
                        "1110\t0\t1\t362\t0\t9999\t0\t\t\n"
                        "1110\t0\t1\t5\t0\t0\t0\t\tab\n"
                        "1110\t0\t2\t7\t1\t0\t3\t\t\n"
                        "1110\t1\t1\t9\t0\t1\t0\t\t\n"
                        "1110\t3\t1\t11\t0\t0\t0\t\t\n"
                        "1110\t4\t-2\t12\t2\t0\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "PST 362 is not a point")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "XY \"ab\" is point 2, not PST 5"));
    EXPECT_TRUE(mentions(errors, "lesson without problems has DTX 0"));
    EXPECT_TRUE(mentions(errors, "TES 3 where move 2 follows"));
    EXPECT_TRUE(mentions(errors, "same colour plays twice"));
    EXPECT_TRUE(mentions(errors, "only the first move of a branch may be marked wrong"));
}

TEST(LessonChecksTest, MarkFaults) {
    auto errors = check(kPlainContents,
                        "1110\t0\t1\t1\t0\t9999\t0\t\t\n"
                        "1110\t0\t2\t1\t0\t0\t11\tA\t\n"     // on a stone of the other colour
                        "1110\t0\t1\t40\t0\t0\t11\tB\t\n"    // on an empty point
                        "1110\t0\t0\t1\t0\t0\t31\tC\t\n"     // direct mark on a stone
                        "1110\t0\t0\t41\t0\t0\t21\tD\t\n"    // background mark with COL 0
                        "1110\t0\t0\t42\t0\t0\t34\tE\t\n"    // no such colour
                        "1110\t0\t0\t43\t0\t0\t31\t\t\n"     // no characters
                        "1110\t0\t1\t3\t1\t0\t0\t\t\n"
                        "1110\t1\t2\t60\t2\t1\t31\tF\t\n");  // mark in a sequence
    EXPECT_TRUE(mentions(errors, "needs a stone of colour COL")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "background or direct mark stands on an empty point"));
    EXPECT_TRUE(mentions(errors, "COL 0 does not fit mark code 21"));
    EXPECT_TRUE(mentions(errors, "DTX 34 is no mark code"));
    EXPECT_TRUE(mentions(errors, "one or two characters"));
    EXPECT_TRUE(mentions(errors, "marks belong to the basic figure"));
}

TEST(LessonChecksTest, ReplayFaults) {
    // Stone on an occupied point, a basic figure that captures, and a suicide move.
    auto errors = check(kPlainContents,
                        "1110\t0\t2\t1\t0\t9999\t0\t\taa\n"
                        "1110\t0\t1\t2\t0\t0\t0\t\tab\n"
                        "1110\t0\t1\t20\t1\t0\t0\t\tba\n"
                        "1110\t1\t2\t2\t2\t1\t0\t\tab\n"
                        "1110\t1\t2\t39\t3\t1\t0\t\tca\n"
                        "1110\t2\t1\t1\t4\t3\t0\t\taa\n");
    EXPECT_TRUE(mentions(errors, "captures 1 stone(s) while the figure is drawn")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "point 2 is already occupied"));
    // Black retaking the emptied corner in the other branch is an ordinary move.
    EXPECT_EQ(errors.size(), 2u) << dump(errors);
}

TEST(LessonChecksTest, SuicideMoveIsRefused) {
    auto errors = check(kPlainContents,
                        "1110\t0\t2\t2\t0\t9999\t0\t\tab\n"
                        "1110\t0\t2\t20\t1\t0\t0\t\tba\n"
                        "1110\t1\t1\t1\t2\t1\t0\t\taa\n");
    EXPECT_TRUE(mentions(errors, "has no liberty and captures nothing")) << dump(errors);
}

TEST(LessonChecksTest, ImmediateKoRecaptureIsRefusedUnlessMarkedWrong) {
    // White 181 in atari among black 162, 180, 200; white 199, 219, 201 around 200.
    // Black 182 takes 181, white 181 at once takes 182 back: the ko rule forbids it.
    const std::string ko =
        "1110\t0\t2\t181\t0\t9999\t0\t\tjj\n"
        "1110\t0\t1\t180\t0\t0\t0\t\tji\n"
        "1110\t0\t1\t162\t0\t0\t0\t\tij\n"
        "1110\t0\t1\t200\t0\t0\t0\t\tkj\n"
        "1110\t0\t2\t163\t0\t0\t0\t\tik\n"
        "1110\t0\t2\t201\t0\t0\t0\t\tkk\n"
        "1110\t0\t2\t183\t1\t0\t0\t\tjl\n"
        "1110\t1\t1\t182\t2\t1\t0\t\tjk\n";
    auto errors = check(kPlainContents, ko + "1110\t2\t2\t181\t3\t2\t0\t\tjj\n");
    EXPECT_TRUE(mentions(errors, "takes the ko back at once")) << dump(errors);
    errors = check(kPlainContents, ko + "1110\t2\t-2\t181\t3\t2\t0\t反則\tjj\n");
    EXPECT_TRUE(errors.empty()) << dump(errors);
    // After a move on each side elsewhere the recapture is allowed.
    errors = check(kPlainContents, ko + "1110\t2\t2\t61\t3\t2\t0\t\tdd\n1110\t3\t1\t62\t4\t3\t0\t\tde\n"
                                        "1110\t4\t2\t181\t5\t4\t0\t\tjj\n");
    EXPECT_TRUE(errors.empty()) << dump(errors);
}

TEST(LessonChecksTest, APathMustStartWithTheSideTheFigureNames) {
    // kPlainFigure's introduction says 黒番 and its path starts with black.
    std::string whiteFirst = kPlainFigure;
    whiteFirst.replace(whiteFirst.find("黒番です"), std::string("黒番です").size(), "白番です");
    auto errors = check(kPlainContents, whiteFirst);
    EXPECT_TRUE(mentions(errors, "says white is to play")) << dump(errors);
}

TEST(LessonChecksTest, PlaybackLookupFaults) {
    // Two branches whose second moves share TES and point: in a lesson without
    // problems the second one could never be found again after drawing.
    auto errors = check(kPlainContents,
                        "1110\t0\t1\t1\t1\t9999\t0\t\t\n"
                        "1110\t1\t2\t100\t0\t1\t0\t\t\n"
                        "1110\t2\t1\t200\t2\t0\t0\t\t\n"
                        "1110\t1\t2\t101\t0\t1\t0\t\t\n"
                        "1110\t2\t1\t200\t3\t0\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "same TES and PST")) << dump(errors);

    // Two choices on the same point at one end.
    errors = check(kPlainContents,
                   "1110\t0\t1\t1\t1\t9999\t0\t\t\n"
                   "1110\t1\t2\t100\t2\t1\t0\t\t\n"
                   "1110\t1\t-2\t100\t3\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "starts on the same point"));

    // The basic figure ends on a mark whose point an earlier stone row shares.
    errors = check(kPlainContents,
                   "1110\t0\t1\t1\t0\t9999\t0\t\t\n"
                   "1110\t0\t1\t1\t1\t0\t11\tA\t\n"
                   "1110\t1\t2\t3\t2\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "cannot find this row again"));
}

namespace {
const std::string kProblemContents = "1000\t入門\t0\n1100\t問題\t0\n1110\t取る問題\t";
// Problem n: white stone at column n, row 5 with three black neighbours; black takes it.
std::string problem(int n, const std::string& answer, int firstCol = 1) {
    int w = n * 19 + 6;
    std::string s = std::to_string(n);
    return "1110\t0\t2\t" + std::to_string(w) + "\t0\t9999\t" + s + "\t" + answer + "\t\n" +
           "1110\t0\t1\t" + std::to_string(w - 1) + "\t0\t0\t" + s + "\t\t\n" +
           "1110\t0\t1\t" + std::to_string(w + 1) + "\t0\t0\t" + s + "\t\t\n" +
           "1110\t0\t1\t" + std::to_string(w - 19) + "\t" + std::to_string(2 * n - 1) + "\t0\t" + s +
           "\t黒番\t\n" + "1110\t1\t" + std::to_string(firstCol) + "\t" + std::to_string(w + 19) + "\t" +
           std::to_string(2 * n) + "\t" + std::to_string(2 * n - 1) + "\t" + s + "\t取った\t\n" +
           "1110\t1\t-1\t" + std::to_string(w + 38) + "\t" + std::to_string(20 + n) + "\t" +
           std::to_string(2 * n - 1) + "\t" + s + "\t取れない\t\n";
}
}  // namespace

TEST(LessonChecksTest, WellFormedProblemLessonsPass) {
    auto errors = check(kProblemContents + "1\n", problem(1, "") + problem(2, ""));
    EXPECT_TRUE(errors.empty()) << dump(errors);
    errors = check(kProblemContents + "2\n", problem(1, "○") + problem(2, "×"));
    EXPECT_TRUE(errors.empty()) << dump(errors);
    errors = check(kProblemContents + "3\n", problem(1, "－") + problem(2, "○"));
    EXPECT_TRUE(errors.empty()) << dump(errors);
}

TEST(LessonChecksTest, ProblemFaults) {
    auto errors = check(kProblemContents + "2\n", problem(1, "") + problem(3, "○"));
    EXPECT_TRUE(mentions(errors, "holds its answer")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "without gaps (missing 2)"));

    errors = check(kProblemContents + "1\n", problem(1, "○") + problem(2, "", 2));
    EXPECT_TRUE(mentions(errors, "kind 1 shows no answer box")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "first answer move is black"));

    // A red first move is a wrong answer the board judges as such; with only red moves
    // the problem has no right answer, and every answer path starts with its comment.
    errors = check(kProblemContents + "2\n", problem(1, "○", -1));
    EXPECT_TRUE(mentions(errors, "problem 1 needs a right answer path")) << dump(errors);
    errors = check(kProblemContents + "2\n",
                   "1110\t0\t2\t100\t0\t9999\t1\t○\t\n1110\t0\t1\t101\t1\t0\t1\t問い\t\n"
                   "1110\t1\t1\t120\t2\t1\t1\t\t\n");
    EXPECT_TRUE(mentions(errors, "problem 1 needs a wrong answer path")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "the first move of an answer path needs a comment"));

    errors = check(kProblemContents + "1\n", problem(1, "") + problem(1, ""));
    EXPECT_TRUE(mentions(errors, "problem 1 appears twice")) << dump(errors);

    // A one-row problem would reveal its answer text on the status bar.
    errors = check(kProblemContents + "3\n",
                   "1110\t0\t2\t100\t1\t9999\t1\t○\t\n1110\t1\t1\t101\t2\t1\t1\t\t\n");
    EXPECT_TRUE(mentions(errors, "answer would be shown on the status bar")) << dump(errors);

    // Moves of a problem carry its number; a problem without answer sequence.
    errors = check(kProblemContents + "1\n",
                   "1110\t0\t2\t100\t1\t9999\t1\t\t\n1110\t1\t1\t101\t2\t1\t0\t\t\n"
                   "1110\t0\t2\t100\t3\t9999\t2\t\t\n");
    EXPECT_TRUE(mentions(errors, "carries DTX 1")) << dump(errors);
    EXPECT_TRUE(mentions(errors, "problem 2 has no answer sequence"));
}

TEST(LessonChecksTest, ProblemChoiceIsFoundForwardFromTheBranchEnd) {
    // Problem 1's answer at point 200 is preceded, after the branch end, by a
    // reply row on the same point in another branch: choosing would land there.
    auto errors = check(kProblemContents + "3\n",
                        "1110\t0\t2\t100\t0\t9999\t1\t○\t\n"
                        "1110\t0\t1\t101\t1\t0\t1\t問い\t\n"
                        "1110\t1\t1\t150\t0\t1\t1\t\t\n"
                        "1110\t2\t2\t200\t2\t0\t1\t\t\n"
                        "1110\t1\t1\t200\t3\t1\t1\t\t\n");
    EXPECT_TRUE(mentions(errors, "choosing it would start there")) << dump(errors);
}

TEST(LessonChecksTest, MarksMayNotOpenOrCloseAProblem) {
    auto errors = check(kProblemContents + "1\n",
                        "1110\t0\t2\t100\t0\t9999\t1\t\t\n"
                        "1110\t0\t1\t101\t0\t0\t1\t\t\n"
                        "1110\t0\t0\t102\t1\t0\t31\tA\t\n"
                        "1110\t1\t1\t120\t2\t1\t1\t\t\n");
    EXPECT_TRUE(mentions(errors, "begins and ends with a stone")) << dump(errors);
}

TEST(LessonChecksTest, HeadingsLongTextsNegativeNumbersAndTooManyChoices) {
    auto errors = check(kPlainContents, kPlainFigure + "1100\t0\t1\t1\t1\t9999\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "headings open their first lesson")) << dump(errors);

    errors = check("1000\t入門\t0\n1100\tきまり\t2\n1110\tA\t0\n", kPlainFigure);
    EXPECT_TRUE(mentions(errors, "a heading has no problems"));

    std::string longText(121 * 3, '\0');
    for (size_t i = 0; i < longText.size(); i += 3) longText.replace(i, 3, "あ");
    errors = check(kPlainContents, "1110\t0\t1\t1\t1\t9999\t0\t" + longText + "\t\n1110\t1\t2\t3\t2\t1\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "CMT longer than 120")) << dump(errors);
    longText.resize(120 * 3);
    errors = check(kPlainContents, "1110\t0\t1\t1\t1\t9999\t0\t" + longText + "\t\n1110\t1\t2\t3\t2\t1\t0\t\t\n");
    EXPECT_FALSE(mentions(errors, "CMT longer")) << dump(errors);

    errors = check(kPlainContents, "1110\t0\t1\t1\t-1\t9999\t0\t\t\n");
    EXPECT_TRUE(mentions(errors, "must not be negative"));

    std::string figure = "1110\t0\t1\t1\t1\t9999\t0\t\t\n";
    for (int k = 0; k < 21; ++k)
        figure += "1110\t1\t2\t" + std::to_string(100 + k) + "\t" + std::to_string(k + 2) + "\t1\t0\t\t\n";
    errors = check(kPlainContents, figure);
    EXPECT_TRUE(mentions(errors, "more than 20 branches")) << dump(errors);
}

TEST(LessonChecksTest, FirstLessonUnderFollowsTheNumbering) {
    std::vector<ContentsRow> rows;
    for (int mnb : {1000, 1100, 1110, 1120, 1200, 1300, 1310, 2000, 2100, 2110})
        rows.push_back(ContentsRow{mnb, "x", 0, 0});
    auto opened = [&](size_t i) { return rows[firstLessonUnder(rows, i)].mnb; };
    EXPECT_EQ(opened(0), 1110);  // chapter → section → lesson
    EXPECT_EQ(opened(1), 1110);
    EXPECT_EQ(opened(3), 1120);  // a lesson opens itself
    EXPECT_EQ(opened(4), 1200);  // a section without lessons opens its own (missing) figure
    EXPECT_EQ(opened(5), 1310);
    EXPECT_EQ(opened(7), 2110);
    EXPECT_EQ(opened(9), 2110);  // the last row: the cursor cannot move on
}

#include <gtest/gtest.h>

#include "LessonTables.h"

using namespace lessons;

namespace {
bool mentions(const std::vector<std::string>& errors, const std::string& part) {
    for (const auto& e : errors)
        if (e.find(part) != std::string::npos) return true;
    return false;
}
const char* kFigureHeader = "MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\tXY\n";
}  // namespace

TEST(LessonTablesTest, ReadsWellFormedRows) {
    std::vector<std::string> errors;
    auto contents = parseContents("MNB\tITEM\tPRB\n1000\t入門\t0\n1110\t石の置き方\t0\n", errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents[1].mnb, 1110);
    EXPECT_EQ(contents[1].item, "石の置き方");
    EXPECT_EQ(contents[1].line, 3);

    auto figure = parseFigure(std::string(kFigureHeader) + "1110\t0\t1\t181\t1\t9999\t0\t天元\tjj\n", errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(figure.size(), 1u);
    EXPECT_EQ(figure[0].pst, 181);
    EXPECT_EQ(figure[0].bto, 9999);
    EXPECT_EQ(figure[0].cmt, "天元");
    EXPECT_EQ(figure[0].xy, "jj");
}

TEST(LessonTablesTest, RefusesWrongHeadersColumnsAndNumbers) {
    std::vector<std::string> errors;
    parseContents("MNB\tITEM\n1000\t入門\t0\n", errors);
    EXPECT_TRUE(mentions(errors, "header"));

    errors.clear();
    auto contents = parseContents("MNB\tITEM\tPRB\n1000\t入門\n1100\tx\t\n1200\ty\t1a\n", errors);
    EXPECT_TRUE(contents.empty());
    EXPECT_TRUE(mentions(errors, "line 2: expected 3 columns"));
    EXPECT_TRUE(mentions(errors, "line 3: MNB and PRB must be integers"));
    EXPECT_TRUE(mentions(errors, "line 4"));

    errors.clear();
    auto figure = parseFigure(std::string(kFigureHeader) +
                                  "1110\t0\t1\t181\t1\t9999\t0\tx\n"       // 8 columns
                                  "1110\t\t1\t181\t1\t9999\t0\tx\tjj\n"    // empty TES
                                  "1110\t0\t1\t18 1\t1\t9999\t0\tx\tjj\n", // blank inside a number
                              errors);
    EXPECT_TRUE(figure.empty());
    EXPECT_TRUE(mentions(errors, "line 2: expected 9 columns"));
    EXPECT_TRUE(mentions(errors, "line 3: TES must be an integer"));
    EXPECT_TRUE(mentions(errors, "line 4: PST must be an integer"));
}

TEST(LessonTablesTest, RefusesCarriageReturnsBadUtf8AndEmptyLines) {
    std::vector<std::string> errors;
    auto contents = parseContents("MNB\tITEM\tPRB\n1000\t入門\t0\r\n\n1100\t\xE3\x81\t0\n", errors);
    EXPECT_TRUE(contents.empty());
    EXPECT_TRUE(mentions(errors, "line 2: carriage return"));
    EXPECT_TRUE(mentions(errors, "line 3: empty line"));
    EXPECT_TRUE(mentions(errors, "line 4: not valid UTF-8"));

    errors.clear();
    parseContents("", errors);
    EXPECT_TRUE(mentions(errors, "empty file"));
    errors.clear();
    parseContents("\xEF\xBB\xBFMNB\tITEM\tPRB\n", errors);
    EXPECT_TRUE(mentions(errors, "byte-order mark"));
}

TEST(LessonTablesTest, Utf8LengthCountsCodePointsAndRejectsBrokenSequences) {
    EXPECT_EQ(utf8Length("abc"), 3);
    EXPECT_EQ(utf8Length("○×－"), 3);
    EXPECT_EQ(utf8Length(""), 0);
    EXPECT_EQ(utf8Length("\xE3\x81"), -1);         // cut off
    EXPECT_EQ(utf8Length("\xC0\xAF"), -1);         // overlong
    EXPECT_EQ(utf8Length("\xED\xA0\x80"), -1);     // surrogate
    EXPECT_EQ(utf8Length("\xFF"), -1);
}

TEST(LessonTablesTest, MissingFileIsReported) {
    std::vector<std::string> errors;
    EXPECT_EQ(readWholeFile("/nonexistent/lessons/mokuji.tsv", errors), "");
    EXPECT_TRUE(mentions(errors, "cannot open"));
}

// The lesson directory made from the lesson source: row counts, file order of the figure rows,
// the primary key of the contents, and builds that fail without touching the old directory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ScratchDirTest.h"
#include "KyozaiBuilder.h"
#include "LessonSource.h"
#include "engine/errors/EngineError.h"
#include "engine/errors/ErrorCodes.h"
#include "query/dataset/KuraQuery.h"
#include "query/dataset/KuraSession.h"

namespace {

namespace fs = std::filesystem;
using kyozai::TFigureRow;
using kyozai::TLessonSource;

class KyozaiBuildTest : public TScratchDirTest {
 protected:
  static void Setup(kura::TKuraQuery &q, const std::vector<std::string> &lines) {
    q.SetDatabaseName("kyozai");
    q.SetRequestLive(true);
    q.SetMaxRowCount(-1);
    for (const std::string &line : lines) q.SQL().Add(line);
  }
  static int64_t Count(const std::string &table) {
    kura::TKuraQuery q;
    Setup(q, {"select * from " + table});
    q.Open();
    int64_t n = 0;
    for (q.First(); !q.Eof(); q.Next()) ++n;
    return n;
  }
  // Names of the entries of the scratch directory (the build leaves nothing else behind).
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(FDir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

};

TEST_F(KyozaiBuildTest, RowCountsMatchTheSourceFiles) {
  TLessonSource source = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
  ASSERT_GT(source.Contents.size(), 3u);
  ASSERT_GT(source.Figures.size(), 3u);
  kyozai::BuildKyozai(source, (FDir / "kyozai").string());
  EXPECT_EQ(Count("mokuji"), static_cast<int64_t>(source.Contents.size()));
  EXPECT_EQ(Count("figure"), static_cast<int64_t>(source.Figures.size()));
  EXPECT_EQ(Entries(), std::vector<std::string>{"kyozai"});
}

TEST_F(KyozaiBuildTest, FigureRowsComeBackInFileOrder) {
  TLessonSource source = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
  kyozai::BuildKyozai(source, "kyozai");
  std::vector<TFigureRow> expected;
  for (const TFigureRow &r : source.Figures)
    if (r.MNB == 1110) expected.push_back(r);
  ASSERT_FALSE(expected.empty());

  kura::TKuraQuery q;
  Setup(q, {"select * from figure where MNB = 1110"});
  q.Open();
  size_t i = 0;
  for (q.First(); !q.Eof(); q.Next(), ++i) {
    ASSERT_LT(i, expected.size());
    const TFigureRow &e = expected[i];
    EXPECT_EQ(q.FieldByName("TES").AsInteger(), e.TES) << "row " << i;
    EXPECT_EQ(q.FieldByName("COL").AsInteger(), e.COL) << "row " << i;
    EXPECT_EQ(q.FieldByName("PST").AsInteger(), e.PST) << "row " << i;
    EXPECT_EQ(q.FieldByName("BFR").AsInteger(), e.BFR) << "row " << i;
    EXPECT_EQ(q.FieldByName("BTO").AsInteger(), e.BTO) << "row " << i;
    EXPECT_EQ(q.FieldByName("DTX").AsInteger(), e.DTX) << "row " << i;
    EXPECT_EQ(q.FieldByName("CMT").AsString(), e.CMT) << "row " << i;
  }
  EXPECT_EQ(i, expected.size());
}

TEST_F(KyozaiBuildTest, ContentsKeepTitlesAndRefuseADuplicateNumber) {
  TLessonSource source = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
  kyozai::BuildKyozai(source, "kyozai");
  {
    kura::TKuraQuery q;
    Setup(q, {"select * from mokuji", "Where MNB > 0", "Order By MNB"});
    q.Open();
    q.First();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName("MNB").AsInteger(), source.Contents[0].MNB);
    EXPECT_EQ(q.FieldByName("ITEM").AsString(), source.Contents[0].ITEM);
  }
  // The primary key on MNB is in place.
  kura::TKuraQuery insert;
  Setup(insert, {"insert into mokuji (MNB, ITEM, PRB) values (" + std::to_string(source.Contents[0].MNB) +
                     ", 'x', 0)"});
  uint16_t code = 0;
  try {
    insert.ExecSQL();
  } catch (const std::exception &e) {
    code = kura::ErrorCodeOf(e);
  }
  EXPECT_EQ(code, kura::KURA_KEYVIOL);
}

TEST_F(KyozaiBuildTest, AFailedBuildLeavesTheOldDirectoryAsItWas) {
  TLessonSource source;
  source.Contents = {{1000, "章", 0}, {1110, "課", 0}};
  source.Figures = {{1110, 0, 1, 61, 1, 9999, 0, "it's"}};
  kyozai::BuildKyozai(source, "kyozai");
  ASSERT_EQ(Count("figure"), 1);
  kura::Session().Close();

  // A comment too long for its column stops the build before anything is written.
  TLessonSource tooLong = source;
  tooLong.Figures.push_back({1110, 1, 2, 62, 2, 1, 0, std::string(kyozai::CommentBytes + 1, 'a')});
  EXPECT_THROW(kyozai::BuildKyozai(tooLong, "kyozai"), kyozai::ELessonSourceError);
  // Two contents rows with one number fail in the engine, half way through the build.
  TLessonSource duplicate = source;
  duplicate.Contents.push_back({1110, "again", 0});
  EXPECT_ANY_THROW(kyozai::BuildKyozai(duplicate, "kyozai"));

  EXPECT_EQ(Entries(), std::vector<std::string>{"kyozai"});
  EXPECT_EQ(Count("figure"), 1);
  EXPECT_EQ(Count("mokuji"), 2);
  kura::TKuraQuery q;
  Setup(q, {"select * from figure"});
  q.Open();
  EXPECT_EQ(q.FieldByName("CMT").AsString(), "it's");
}

TEST_F(KyozaiBuildTest, TheScratchOfAKilledBuildIsClearedAway) {
  fs::create_directories(FDir / "kyozai.building-abc123" / "half");
  std::ofstream(FDir / "kyozai.building-abc123" / "mokuji.DAT") << "partial";
  fs::create_directories(FDir / "other");
  TLessonSource source;
  source.Contents = {{1000, "章", 0}};
  kyozai::BuildKyozai(source, (FDir / "kyozai").string());
  EXPECT_EQ(Entries(), (std::vector<std::string>{"kyozai", "other"}));
  EXPECT_EQ(Count("mokuji"), 1);
  EXPECT_EQ(Count("figure"), 0);
}

TEST(LessonSourceTest, BadLinesAreReportedWithFileAndLine) {
  using kyozai::ParseFigures;
  const std::string header = "MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\tXY\n";
  EXPECT_EQ(ParseFigures(header + "1110\t0\t1\t61\t1\t9999\t0\tx\tdd\n", "f").size(), 1u);
  auto message = [](const std::string &text) {
    try {
      ParseFigures(text, "figure.tsv");
    } catch (const kyozai::ELessonSourceError &e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(message(header + "1110\t0\t1\t61\t1\t9999\t0\tx\n"), "figure.tsv:2: 8 cells, the header has 9");
  EXPECT_EQ(message(header + "1110\t0\t1\t\t1\t9999\t0\tx\tdd\n"), "figure.tsv:2: PST '' is not an integer");
  EXPECT_EQ(message(header + "1110\t0\t1\t6x\t1\t9999\t0\tx\tdd\n"), "figure.tsv:2: PST '6x' is not an integer");
  EXPECT_EQ(message(header + "1110\t0\t1\t99999999999\t1\t9999\t0\tx\tdd\n"),
            "figure.tsv:2: PST '99999999999' is not an integer");
  EXPECT_EQ(message("MNB\tTES\n"), "figure.tsv:1: the header has too few columns");
  EXPECT_EQ(message(""), "figure.tsv:1: the header line is missing");
  // CRLF line ends do not reach the last cell.
  auto rows = ParseFigures("MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\r\n1110\t0\t1\t61\t1\t9999\t0\tx\r\n", "f");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].CMT, "x");
  EXPECT_THROW(kyozai::ReadLessonSource("/nonexistent-lesson-dir"), kyozai::ELessonSourceError);
}

}  // namespace

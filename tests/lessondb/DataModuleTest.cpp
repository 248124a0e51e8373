// The data module on a lesson directory built from the lesson source: the start-up lesson
// steps, NextBranchNumber, the contents grid model, and start-up without a lesson directory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ScratchDirTest.h"
#include "KyozaiBuilder.h"
#include "LessonSource.h"
#include "app/data/DataModule.h"
#include "app/data/DataSetModel.h"
#include "query/dataset/KuraSession.h"

namespace {

namespace fs = std::filesystem;
using miretoka::TDataModule1;
using miretoka::TDataSetModel;

class DataModuleTest : public TScratchDirTest {};

TEST_F(DataModuleTest, StartUpOpensTheContentsAndTheFirstFigure) {
  kyozai::TLessonSource source = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
  kyozai::BuildKyozai(source, "kyozai");
  int lessons = 0;
  for (const auto &r : source.Contents) lessons += r.MNB > 0 ? 1 : 0;
  const int first = source.Contents.front().MNB;
  int figureRows = 0;
  for (const auto &r : source.Figures) figureRows += r.MNB == first ? 1 : 0;

  TDataModule1 dm;
  TDataSetModel model(&dm.KuraQuery1, {{QStringLiteral("ITEM"), QStringLiteral("目次")}});
  EXPECT_EQ(model.rowCount(), 0);
  dm.OpenLessons();
  EXPECT_TRUE(dm.StartupError().isEmpty()) << dm.StartupError().toStdString();
  EXPECT_TRUE(dm.ContentsOpen());
  EXPECT_TRUE(dm.FigureOpen());
  EXPECT_EQ(dm.CurrentFigure, first);
  EXPECT_EQ(dm.KuraQuery2.RecordCount(), figureRows);

  ASSERT_EQ(model.rowCount(), lessons);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("目次"));
  EXPECT_EQ(model.data(model.index(0, 0)).toString().toStdString(), source.Contents.front().ITEM);
  EXPECT_EQ(model.data(model.index(lessons - 1, 0)).toString().toStdString(), source.Contents.back().ITEM);
  // Reading rows for the grid leaves the contents cursor where it was.
  EXPECT_EQ(dm.KuraQuery1.RecNo(), 1);
  EXPECT_EQ(model.CurrentRow(), 0);

  // Opening another lesson's figure follows CurrentFigure.
  dm.OpenFigure(1110);
  int rows1110 = 0;
  for (const auto &r : source.Figures) rows1110 += r.MNB == 1110 ? 1 : 0;
  EXPECT_EQ(dm.KuraQuery2.RecordCount(), rows1110);
  EXPECT_EQ(dm.KuraQuery2.FieldByName("MNB").AsInteger(), 1110);

  dm.DataModuleDestroy();
  EXPECT_FALSE(dm.ContentsOpen());
  EXPECT_FALSE(dm.FigureOpen());
  EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(DataModuleTest, NextBranchNumberFindsTheFirstGap) {
  kyozai::TLessonSource source;
  source.Contents = {{1000, "章", 0}, {1110, "課", 0}};
  // Figure 1110 uses branch numbers 1 and 3; figure 1120 uses 1, 2, 2 (a damaged figure);
  // figure 1130 has no branch ends.
  source.Figures = {{1110, 0, 1, 61, 3, 9999, 0, ""}, {1110, 1, 1, 62, 1, 3, 0, ""},
                    {1120, 0, 1, 61, 1, 9999, 0, ""}, {1120, 1, 1, 62, 2, 1, 0, ""},
                    {1120, 1, 1, 63, 2, 1, 0, ""},    {1130, 0, 1, 61, 0, 9999, 0, ""}};
  kyozai::BuildKyozai(source, "kyozai");
  TDataModule1 dm;
  EXPECT_EQ(dm.NextBranchNumber(1110), 2);
  EXPECT_EQ(dm.NextBranchNumber(1120), 3);
  EXPECT_EQ(dm.NextBranchNumber(1130), 1);
  EXPECT_EQ(dm.NextBranchNumber(4242), 1);
  EXPECT_FALSE(dm.KuraQuery4.Active());
}

TEST_F(DataModuleTest, StartUpWithoutLessonsLeavesTheLessonPanelEmpty) {
  TDataModule1 dm;
  TDataSetModel model(&dm.KuraQuery1, {{QStringLiteral("ITEM"), QStringLiteral("目次")}});
  dm.OpenLessons();
  EXPECT_TRUE(dm.StartupError().contains(QStringLiteral("kyozai"))) << dm.StartupError().toStdString();
  EXPECT_TRUE(dm.StartupError().contains(QStringLiteral("miretoka_data")));
  EXPECT_FALSE(dm.ContentsOpen());
  EXPECT_EQ(dm.CurrentFigure, 0);
  EXPECT_EQ(model.rowCount(), 0);

  // A lesson directory without the figure table: the error names what the engine missed.
  kyozai::TLessonSource source;
  source.Contents = {{1000, "章", 0}};
  kyozai::BuildKyozai(source, "kyozai");
  for (const auto &e : fs::directory_iterator(FDir / "kyozai"))
    if (e.path().filename().string().rfind("figure", 0) == 0) fs::remove(e.path());
  dm.OpenLessons();
  EXPECT_FALSE(dm.StartupError().isEmpty());
  EXPECT_TRUE(dm.StartupError().contains(QStringLiteral("miretoka_data")));
  EXPECT_FALSE(dm.FigureOpen());
  EXPECT_FALSE(dm.ContentsOpen());
  EXPECT_EQ(dm.CurrentFigure, 0);
  EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace

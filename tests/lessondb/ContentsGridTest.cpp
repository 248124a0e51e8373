// The main window's contents grid DBGrid1 at start-up: the lesson titles of the built kyozai
// under "目次", the first row current; without kyozai an empty grid and a usable window.
#include <QAbstractItemView>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QHeaderView>
#include <QTableView>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "ScratchDirTest.h"
#include "KyozaiBuilder.h"
#include "LessonSource.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "query/dataset/KuraSession.h"

namespace {

namespace fs = std::filesystem;

class TCountingReporter : public miretoka::IErrorReporter {
public:
  void ShowError(QWidget *, const QString &text) override { Errors.append(text); }
  void ShowInformation(QWidget *, const QString &) override {}
  miretoka::TAnswer AskYesNo(QWidget *, const QString &) override { return miretoka::TAnswer::No; }
  QStringList Errors;
};

class ContentsGridTest : public TScratchDirTest {
protected:
  void SetUp() override {
    TScratchDirTest::SetUp();
    if (HasFatalFailure()) return;
    auto reporter = std::make_unique<TCountingReporter>();
    Messages = reporter.get();
    miretoka::SetReporter(std::move(reporter));
  }
  void TearDown() override {
    Form.reset();
    DataModule.reset();
    miretoka::SetReporter(nullptr);
    TScratchDirTest::TearDown();
  }
  QTableView *StartWindow() {
    DataModule = std::make_unique<miretoka::TDataModule1>();
    Form = std::make_unique<miretoka::TForm2>(DataModule.get());
    Form->show();
    QCoreApplication::processEvents();
    return Form->findChild<QTableView *>(QStringLiteral("DBGrid1"));
  }

  TCountingReporter *Messages = nullptr;
  std::unique_ptr<miretoka::TDataModule1> DataModule;
  std::unique_ptr<miretoka::TForm2> Form;
};

TEST_F(ContentsGridTest, ShowsTheLessonTitlesOfKyozai) {
  kyozai::TLessonSource source = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
  kyozai::BuildKyozai(source, "kyozai");
  QTableView *grid = StartWindow();
  ASSERT_NE(grid, nullptr);
  QAbstractItemModel *model = grid->model();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("目次"));
  ASSERT_EQ(model->columnCount(), 1);
  ASSERT_EQ(model->rowCount(), static_cast<int>(source.Contents.size()));
  for (int row = 0; row < model->rowCount(); ++row)
    EXPECT_EQ(model->index(row, 0).data().toString().toStdString(), source.Contents[static_cast<size_t>(row)].ITEM);
  EXPECT_EQ(grid->currentIndex().row(), 0);
  EXPECT_EQ(miretoka::play::CurrentFigure, source.Contents.front().MNB);
  EXPECT_TRUE(DataModule->FigureOpen());
  EXPECT_TRUE(Messages->Errors.isEmpty());
}

TEST_F(ContentsGridTest, WithoutKyozaiTheGridIsEmptyAndTheWindowOpens) {
  QTableView *grid = StartWindow();
  ASSERT_NE(grid, nullptr);
  ASSERT_NE(grid->model(), nullptr);
  EXPECT_EQ(grid->model()->rowCount(), 0);
  EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("目次"));
  EXPECT_EQ(miretoka::play::CurrentFigure, 0);
  EXPECT_FALSE(DataModule->StartupError().isEmpty());
  // The window itself shows no box: the program start shows the data module's error once.
  EXPECT_TRUE(Messages->Errors.isEmpty());
  EXPECT_TRUE(Form->isVisible());
}

}  // namespace

int main(int argc, char **argv) {
  // Listing the tests at build time happens without a display too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // What the program remembers between runs (the last lesson opened, say) must neither come
  // from the user's own settings nor go there.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  return RUN_ALL_TESTS();
}

// Editing the lesson tables in data grids: the main window's contents grid DBGrid1 edits the
// titles of the contents query in place through its cell editor, follows the query's current
// row and moves it; a grid over the contents table shows a key violation in an error box and
// keeps the stored row; a result that is not live cannot be edited.
#include <QAbstractItemView>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "KyozaiBuilder.h"
#include "LessonSource.h"
#include "ScratchDirTest.h"
#include "app/board/MainWindow.h"
#include "app/data/DataModule.h"
#include "app/data/DataSetModel.h"
#include "app/feedback/ErrorReporter.h"
#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "query/dataset/KuraQuery.h"
#include "query/dataset/KuraSession.h"

namespace {

using miretoka::TDataSetModel;

class TRecordingReporter : public miretoka::IErrorReporter {
public:
  void ShowError(QWidget *, const QString &text) override { Errors.append(text); }
  void ShowInformation(QWidget *, const QString &) override {}
  miretoka::TAnswer AskYesNo(QWidget *, const QString &) override { return miretoka::TAnswer::No; }
  QStringList Errors;
};

class GridEditTest : public TScratchDirTest {
protected:
  void SetUp() override {
    TScratchDirTest::SetUp();
    if (HasFatalFailure()) return;
    Source = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
    kyozai::BuildKyozai(Source, "kyozai");
    auto reporter = std::make_unique<TRecordingReporter>();
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

  // Key presses that carry the characters of `text` (also those without a key of their own,
  // as an input method delivers them).
  static void TypeText(QWidget *widget, const QString &text) {
    for (const QChar ch : text) {
      QKeyEvent press(QEvent::KeyPress, ch.unicode() < 128 ? ch.toUpper().unicode() : 0, Qt::NoModifier, QString(ch));
      QKeyEvent release(QEvent::KeyRelease, ch.unicode() < 128 ? ch.toUpper().unicode() : 0, Qt::NoModifier,
                        QString(ch));
      QApplication::sendEvent(widget, &press);
      QApplication::sendEvent(widget, &release);
    }
  }

  // Types `text` into the cell through the view's own editor (the delegate's line edit) and
  // presses Enter, as a user does.
  static void TypeIntoCell(QTableView *grid, const QModelIndex &index, const QString &text) {
    grid->setCurrentIndex(index);
    grid->edit(index);
    QCoreApplication::processEvents();
    auto *editor = grid->viewport()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr) << "no cell editor opened";
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    TypeText(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
  }

  // The ITEM of a contents row as another query reads it from the table.
  static std::string StoredItem(int mnb) {
    kura::TKuraQuery q;
    q.SetDatabaseName("kyozai");
    q.SetRequestLive(true);
    q.SQL().Add("select * from mokuji");
    q.SQL().Add("Where MNB = :MNB");
    q.Params()[0].SetAsInteger(mnb);
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1) << "contents row " << mnb;
    return q.FieldByName("ITEM").AsString();
  }

  int MnbOfRow(int row) const { return Source.Contents[static_cast<size_t>(row)].MNB; }

  kyozai::TLessonSource Source;
  TRecordingReporter *Messages = nullptr;
  std::unique_ptr<miretoka::TDataModule1> DataModule;
  std::unique_ptr<miretoka::TForm2> Form;
};

TEST_F(GridEditTest, TitleTypedIntoTheContentsGridIsStoredInTheTable) {
  QTableView *grid = StartWindow();
  ASSERT_NE(grid, nullptr);
  QAbstractItemModel *model = grid->model();
  ASSERT_GE(model->rowCount(), 3);
  const QModelIndex cell = model->index(2, 0);
  EXPECT_TRUE(model->flags(cell).testFlag(Qt::ItemIsEditable)) << "the contents query is a live result";
  TypeIntoCell(grid, cell, QStringLiteral("新しい題 New"));
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join('\n').toStdString();
  EXPECT_EQ(cell.data().toString(), QStringLiteral("新しい題 New"));
  EXPECT_EQ(StoredItem(MnbOfRow(2)), "新しい題 New");
  EXPECT_EQ(StoredItem(MnbOfRow(1)), Source.Contents[1].ITEM) << "the neighbour row is untouched";
  EXPECT_EQ(DataModule->KuraQuery1.State(), kura::TDataSetState::dsBrowse) << "the edit was posted";
  EXPECT_EQ(DataModule->KuraQuery1.RecNo(), 3) << "the dataset stands on the edited row";
  EXPECT_EQ(grid->currentIndex().row(), 2);

  // An emptied cell stores NULL.
  TypeIntoCell(grid, model->index(1, 0), QString());
  EXPECT_EQ(StoredItem(MnbOfRow(1)), "");
  EXPECT_FALSE(model->index(1, 0).data().isValid());
}

TEST_F(GridEditTest, OnlyTheEditorLayoutEditsByTypingAndNoClickOpensAnEditor) {
  QTableView *grid = StartWindow();
  ASSERT_NE(grid, nullptr);
  const QModelIndex cell = grid->model()->index(2, 0);
  const std::string before = StoredItem(MnbOfRow(2));
  auto editorOpen = [&] {
    for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
      if (e->isVisible()) return true;
    return false;
  };
  // The learner's layout: clicking a row twice and typing over it leave the title alone.
  const QPoint centre = grid->visualRect(cell).center();
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
  QCoreApplication::processEvents();
  EXPECT_FALSE(editorOpen()) << "a second click on the chosen lesson opened an editor";
  QTest::keyClick(grid, Qt::Key_A);
  QTest::keyClick(grid, Qt::Key_F2);
  QCoreApplication::processEvents();
  EXPECT_FALSE(editorOpen()) << "typing over the contents opened an editor in the learner's layout";
  EXPECT_EQ(StoredItem(MnbOfRow(2)), before);
  // The author's layout: F2 opens the cell's editor.
  Form->ShowEditorLayout();
  grid->setCurrentIndex(cell);
  QTest::keyClick(grid, Qt::Key_F2);
  QCoreApplication::processEvents();
  EXPECT_TRUE(editorOpen());
  for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
    if (e->isVisible()) QTest::keyClick(e, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_EQ(StoredItem(MnbOfRow(2)), before);
}

TEST_F(GridEditTest, SelectionAndDataSetFollowEachOther) {
  QTableView *grid = StartWindow();
  ASSERT_NE(grid, nullptr);
  kura::TKuraQuery &contents = DataModule->KuraQuery1;
  const int rows = grid->model()->rowCount();
  ASSERT_GE(rows, 4);
  // The dataset moves: the grid selects its row.
  contents.Last();
  EXPECT_EQ(grid->currentIndex().row(), rows - 1);
  EXPECT_TRUE(grid->selectionModel()->isRowSelected(rows - 1, QModelIndex()));
  contents.First();
  contents.Next();
  EXPECT_EQ(grid->currentIndex().row(), 1);
  // A click on a row moves the dataset there.
  const QRect cell = grid->visualRect(grid->model()->index(3, 0));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(grid->currentIndex().row(), 3);
  EXPECT_EQ(contents.RecNo(), 4);
  EXPECT_EQ(contents.FieldByName("MNB").AsInteger(), MnbOfRow(3));
  // So does the keyboard.
  QTest::keyClick(grid, Qt::Key_Up);
  EXPECT_EQ(contents.RecNo(), 3);
  EXPECT_TRUE(Messages->Errors.isEmpty());
}

TEST_F(GridEditTest, ChangesOfAnotherQueryShowAfterRefresh) {
  QTableView *grid = StartWindow();
  ASSERT_NE(grid, nullptr);
  auto *model = qobject_cast<TDataSetModel *>(grid->model());
  ASSERT_NE(model, nullptr);
  const int rows = model->rowCount();
  {
    kura::TKuraQuery other;
    other.SetDatabaseName("kyozai");
    other.SetRequestLive(true);
    other.SQL().Add("select * from mokuji order by MNB");
    other.Open();
    ASSERT_TRUE(other.Locate("MNB", MnbOfRow(0)));
    other.Edit();
    other.FieldByName("ITEM").SetAsString("changed elsewhere");
    other.Post();
    other.Append();
    other.FieldByName("MNB").SetAsInteger(99999);
    other.FieldByName("ITEM").SetAsString("appended elsewhere");
    other.FieldByName("PRB").SetAsInteger(0);
    other.Post();
  }
  EXPECT_EQ(model->rowCount(), rows) << "the grid learns of new rows when it is refreshed";
  model->Refresh();
  EXPECT_EQ(model->rowCount(), rows + 1);
  EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("changed elsewhere"));
  EXPECT_EQ(model->index(rows, 0).data().toString(), QStringLiteral("appended elsewhere"));
  EXPECT_TRUE(Messages->Errors.isEmpty());
}

TEST_F(GridEditTest, KeyViolationIsReportedAndTheRowKeepsItsValue) {
  kura::TKuraQuery q;
  q.SetDatabaseName("kyozai");
  q.SetRequestLive(true);
  q.SQL().Add("select * from mokuji order by MNB");
  q.Open();
  QTableView grid;
  TDataSetModel model(&q, {{QStringLiteral("MNB"), QStringLiteral("MNB")}, {QStringLiteral("ITEM"), QStringLiteral("目次")}});
  model.AttachView(&grid);
  grid.resize(400, 300);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  const QModelIndex key = model.index(1, 0);
  ASSERT_TRUE(model.flags(key).testFlag(Qt::ItemIsEditable));
  // Row 1 takes the number of row 0: the primary key refuses it.
  TypeIntoCell(&grid, key, QString::number(MnbOfRow(0)));
  ASSERT_EQ(Messages->Errors.size(), 1);
  EXPECT_TRUE(Messages->Errors[0].startsWith(QStringLiteral("Kura Engine Error # %1 ").arg(kura::KURA_KEYVIOL)))
      << Messages->Errors[0].toStdString();
  EXPECT_EQ(q.State(), kura::TDataSetState::dsBrowse) << "the failed edit was cancelled";
  EXPECT_EQ(model.index(1, 0).data().toString(), QString::number(MnbOfRow(1))) << "the row shows the stored value";
  EXPECT_EQ(StoredItem(MnbOfRow(1)), Source.Contents[1].ITEM);
  EXPECT_EQ(StoredItem(MnbOfRow(0)), Source.Contents[0].ITEM);
  // A value the field does not take is refused the same way.
  TypeIntoCell(&grid, model.index(2, 0), QStringLiteral("abc"));
  ASSERT_EQ(Messages->Errors.size(), 2);
  EXPECT_EQ(model.index(2, 0).data().toString(), QString::number(MnbOfRow(2)));
  // The grid goes on working: a good edit afterwards is stored.
  TypeIntoCell(&grid, model.index(2, 1), QStringLiteral("after the error"));
  EXPECT_EQ(StoredItem(MnbOfRow(2)), "after the error");
  EXPECT_EQ(Messages->Errors.size(), 2);
}

TEST_F(GridEditTest, ResultThatIsNotLiveCannotBeEdited) {
  for (bool readOnlyLive : {false, true}) {
    kura::TKuraQuery q;
    q.SetDatabaseName("kyozai");
    q.SetRequestLive(readOnlyLive);
    q.SetReadOnly(readOnlyLive);
    q.SQL().Add("select * from mokuji");
    q.Open();
    ASSERT_GT(q.RecordCount(), 0);
    TDataSetModel model(&q, {{QStringLiteral("ITEM"), QStringLiteral("目次")}});
    EXPECT_FALSE(model.CanEdit());
    const QModelIndex cell = model.index(0, 0);
    EXPECT_FALSE(model.flags(cell).testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(model.flags(cell).testFlag(Qt::ItemIsSelectable));
    EXPECT_FALSE(model.setData(cell, QStringLiteral("not stored")));
    QTableView grid;
    model.AttachView(&grid);
    grid.edit(cell);
    EXPECT_EQ(grid.viewport()->findChild<QLineEdit *>(), nullptr) << "no editor for a read-only cell";
    EXPECT_EQ(StoredItem(MnbOfRow(0)), Source.Contents[0].ITEM);
    EXPECT_TRUE(Messages->Errors.isEmpty());
  }
}

TEST_F(GridEditTest, MemoCellIsEditedThroughItsBlob) {
  for (const char *sql : {"CREATE TABLE notes (ID INTEGER, NOTE MEMO, PRIMARY KEY (ID))",
                          "INSERT INTO notes (ID, NOTE) VALUES (1, 'old memo')",
                          "INSERT INTO notes (ID, NOTE) VALUES (2, 'second memo')"}) {
    kura::TKuraQuery statement;
    statement.SetDatabaseName("kyozai");
    statement.SQL().Add(sql);
    statement.ExecSQL();
  }
  kura::TKuraQuery q;
  q.SetDatabaseName("kyozai");
  q.SetRequestLive(true);
  q.SQL().Add("select * from notes");
  q.Open();
  QTableView grid;
  TDataSetModel model(&q, {{QStringLiteral("ID"), QStringLiteral("ID")}, {QStringLiteral("NOTE"), QStringLiteral("NOTE")}});
  model.AttachView(&grid);
  grid.resize(400, 300);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.index(0, 1).data().toString(), QStringLiteral("old memo"));
  TypeIntoCell(&grid, model.index(0, 1), QStringLiteral("新しいメモ"));
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join('\n').toStdString();
  EXPECT_EQ(model.index(0, 1).data().toString(), QStringLiteral("新しいメモ"));
  kura::TKuraQuery check;
  check.SetDatabaseName("kyozai");
  check.SetRequestLive(true);
  check.SQL().Add("select * from notes");
  check.Open();
  ASSERT_TRUE(check.Locate("ID", 1));
  EXPECT_EQ(check.FieldByName("NOTE").AsString(), "新しいメモ");
  ASSERT_TRUE(check.Locate("ID", 2));
  EXPECT_EQ(check.FieldByName("NOTE").AsString(), "second memo");
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u) << "the grid's reads and writes leave no blob open";
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // What the program remembers between runs (the last lesson opened, say) must neither come
  // from the user's own settings nor go there.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  return RUN_ALL_TESTS();
}

// Authoring in the editor layout of the main window, on a scratch kyozai: recording clicks,
// 基本図登録, 手順登録 hanging sequences at the end of the branch under the figure grid's
// cursor, 手順削除, 基本図削除, MNB変, and rebuilding the board by clicking a figure-grid row.
// The rows written are read back through a query of their own.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <algorithm>

#include "LessonTestSupport.h"
#include "app/authoring/LessonAuthoring.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "app/lessons/Marks.h"
#include "controls/CuteButton.h"

// Rows compare field by field, and print so, in the figure rows' own namespace.
namespace kyozai {
bool operator==(const TFigureRow &a, const TFigureRow &b) {
  return a.MNB == b.MNB && a.TES == b.TES && a.COL == b.COL && a.PST == b.PST && a.BFR == b.BFR &&
         a.BTO == b.BTO && a.DTX == b.DTX && a.CMT == b.CMT;
}

std::ostream &operator<<(std::ostream &os, const TFigureRow &r) {
  return os << "(" << r.MNB << " " << r.TES << " " << r.COL << " " << r.PST << " " << r.BFR << " " << r.BTO << " "
            << r.DTX << " '" << r.CMT << "')";
}

}  // namespace kyozai

namespace miretoka::test {
namespace {

using namespace play;

// Registration buttons.
constexpr int RegisterFigure = 2, DeleteFigure = 3, RegisterSequence = 8, DeleteSequence = 4, Renumber = 11;

class AuthoringTest : public LessonTest {
protected:
  // Contents: 1000 (no figure rows; opens any figure by the number in Edit3), 1500 a figure
  // with a basic figure and one move, 2000 an empty figure to author.
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s;
    s.Contents = {{1000, "図番号で開く", 0}, {1500, "既存の図", 0}, {2000, "新しい図", 0}};
    s.Figures = {FigureRow(1500, 0, 1, 61, 0, 9999), FigureRow(1500, 0, 2, 62, 1, 0),
                 FigureRow(1500, 1, 1, 80, 2, 1, 0, "一手目")};
    return s;
  }

  void SetUp() override {
    LessonTest::SetUp();
    Form->CuteButton(1)->show();  // what the author's shortcut does
    Press(1);
    ASSERT_EQ(LessonMode, 2);
  }

  std::vector<kyozai::TFigureRow> Rows(int mnb) const {
    std::vector<kyozai::TFigureRow> rows = FigureTable();
    rows.erase(std::remove_if(rows.begin(), rows.end(), [mnb](const auto &r) { return r.MNB != mnb; }), rows.end());
    return rows;
  }
  static kyozai::TFigureRow Row(int mnb, int tes, int col, int pst, int bfr, int bto, int dtx = 0,
                                const char *cmt = "") {
    return FigureRow(mnb, tes, col, pst, bfr, bto, dtx, cmt);
  }

  void ChooseLettering(int number) {
    QRadioButton *rb = Form->RadioButton(number);
    ASSERT_NE(rb, nullptr) << number;
    QTest::mouseClick(rb, Qt::LeftButton, Qt::NoModifier, QPoint(8, rb->height() / 2));
  }
  QTableView *FigureGrid() const { return Form->DBGrid2(); }
  int FigureGridRows() const { return FigureGrid()->model()->rowCount(); }
  void ClickFigureRow(int row) {
    const QModelIndex index = FigureGrid()->model()->index(row, 0);
    ASSERT_TRUE(index.isValid()) << "row " << row;
    FigureGrid()->scrollTo(index);
    QTest::mouseClick(FigureGrid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      FigureGrid()->visualRect(index).center());
  }
  // The figure query's current row, 0-based, and its point.
  int CursorRow() { return static_cast<int>(DataModule.KuraQuery2.RecNo()) - 1; }
  int CursorPoint() { return static_cast<int>(DataModule.KuraQuery2.FieldByName("PST").AsInteger()); }

  // Figure 2000 with a basic figure (black 61, white 62, a red direct mark "A" on 63) and the
  // main line 100, 101 hanging at it (branch 2).
  void AuthorMainLine() {
    Open(2000);
    Click(61);
    Click(62, Qt::RightButton);
    ChooseLettering(7);
    ChooseLettering(10);
    Form->Edit3()->setText(QStringLiteral("A"));
    Click(63);
    Press(RegisterFigure);
    ClickFigureRow(2);
    Click(100);
    Click(101, Qt::RightButton);
    Press(RegisterSequence);
  }
};

TEST_F(AuthoringTest, RegisteringTheBasicFigureAppendsARootBranch) {
  Open(2000);
  ASSERT_EQ(CurrentFigure, 2000);
  Click(61);
  Click(62, Qt::RightButton);
  ChooseLettering(7);
  ChooseLettering(10);
  Form->Edit3()->setText(QStringLiteral("A"));
  Click(63);
  EXPECT_EQ(MoveCount, 3);
  Press(RegisterFigure);

  const std::vector<kyozai::TFigureRow> expected = {Row(2000, 0, 1, 61, 0, 9999), Row(2000, 0, 2, 62, 0, 0),
                                                    Row(2000, 0, 0, 63, 1, 0, 33, "A")};
  EXPECT_EQ(Rows(2000), expected);
  EXPECT_EQ(Panel(0), QStringLiteral("登録しました。"));
  EXPECT_TRUE(Form->Edit3()->text().isEmpty());
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(CountMoves(), 0);
  EXPECT_EQ(MoveNumber, 0);
  EXPECT_EQ(FigureGridRows(), 3);
  // The board stays as it was drawn.
  EXPECT_EQ(Cell(61), 1);
  EXPECT_EQ(Cell(62), 2);
  EXPECT_EQ(Text(63), QStringLiteral("A"));
  // Other figures are untouched.
  EXPECT_EQ(Rows(1500).size(), 3u);

  // A second registration gives a second root branch with the next free branch number.
  Click(200);
  Press(RegisterFigure);
  const std::vector<kyozai::TFigureRow> rows = Rows(2000);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], Row(2000, 0, 1, 200, 2, 9999));  // one entry: both ends on one row
}

TEST_F(AuthoringTest, TheRegisteredFigureOpensWithItsMark) {
  Open(2000);
  ChooseLettering(6);
  ChooseLettering(9);
  Form->Edit3()->setText(QStringLiteral("△"));
  Click(64);
  Form->Edit3()->clear();
  Click(65);
  Press(RegisterFigure);
  Press(6);  // クリア
  Open(2000);
  EXPECT_EQ(Text(64), QStringLiteral("△"));
  EXPECT_FALSE(Form->Label(64)->IsTransparent());
  EXPECT_EQ(Form->Label(64)->FontColor(), QColor(0, 255, 0));
  EXPECT_EQ(Cell(64), 0);
  EXPECT_EQ(Cell(65), 1);
}

TEST_F(AuthoringTest, ASequenceHangsAtTheEndOfTheClickedBranch) {
  AuthorMainLine();
  EXPECT_EQ(Panel(0), QStringLiteral("登録しました。"));
  std::vector<kyozai::TFigureRow> rows = Rows(2000);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3], Row(2000, 1, 1, 100, 0, 1));
  EXPECT_EQ(rows[4], Row(2000, 2, 2, 101, 2, 0));
  // The cursor goes to the new branch's first row; black plays next after white's move.
  EXPECT_EQ(CursorPoint(), 100);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(MoveCount, 0);

  // The same first point at the same end is refused; nothing is appended.
  ClickFigureRow(2);
  Click(100);
  Press(RegisterSequence);
  EXPECT_EQ(Messages->Informations, QStringList{QStringLiteral("既に登録されています。")});
  EXPECT_EQ(Rows(2000).size(), 5u);

  // Another first point becomes a further choice at that end.
  ClickFigureRow(2);
  Click(102);
  Press(RegisterSequence);
  rows = Rows(2000);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[5], Row(2000, 1, 1, 102, 3, 1));

  // A branch of the main line: numbering goes on from the clicked row's move.
  ClickFigureRow(4);  // white 101, the main line's last move
  EXPECT_EQ(MoveNumber, 2);
  Click(120);
  Press(RegisterSequence);
  rows = Rows(2000);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[6], Row(2000, 3, 1, 120, 4, 2));
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join("\n").toStdString();
}

TEST_F(AuthoringTest, ClickingAFigureRowReplaysThePathToIt) {
  AuthorMainLine();
  ClickFigureRow(2);
  Click(102);
  Press(RegisterSequence);
  ClickFigureRow(4);
  Click(120);
  Press(RegisterSequence);  // rows: basic 0-2, main line 3-4, branch 102 at 5, branch 120 at 6

  // The grid is detached while the path is walked: its selection moves only to the clicked
  // row, never through the rows the walk visits.
  ClickFigureRow(0);
  std::vector<int> selected;
  QObject::connect(FigureGrid()->selectionModel(), &QItemSelectionModel::currentRowChanged,
                   [&selected](const QModelIndex &current) { selected.push_back(current.row()); });
  ClickFigureRow(6);
  EXPECT_EQ(selected, std::vector<int>{6});
  EXPECT_EQ(Cell(61), 1);
  EXPECT_EQ(Cell(62), 2);
  EXPECT_EQ(Text(63), QStringLiteral("A"));  // the basic figure's mark, drawn as a mark
  EXPECT_EQ(Cell(63), 0);
  EXPECT_FALSE(HasStone(63));
  EXPECT_EQ(Text(100), QStringLiteral("1"));
  EXPECT_EQ(Text(101), QStringLiteral("2"));
  EXPECT_EQ(Text(120), QStringLiteral("3"));
  EXPECT_EQ(Cell(102), 0);  // the other branch is not on the path
  EXPECT_EQ(MoveNumber, 3);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(CursorRow(), 6);
  EXPECT_TRUE(Form->FigureGridAttached());
  EXPECT_EQ(FigureGrid()->currentIndex().row(), 6);
  EXPECT_EQ(MoveCount, 0);

  // A row in the middle of a branch: the whole branch is shown, the cursor rests on the row.
  ClickFigureRow(3);
  EXPECT_EQ(Text(100), QStringLiteral("1"));
  EXPECT_EQ(Text(101), QStringLiteral("2"));
  EXPECT_EQ(Cell(120), 0);
  EXPECT_EQ(MoveNumber, 1);
  EXPECT_EQ(CursorRow(), 3);
  EXPECT_EQ(FigureGrid()->currentIndex().row(), 3);

  // The other branch: basic figure and 102 only.
  ClickFigureRow(5);
  EXPECT_EQ(Cell(102), 1);
  EXPECT_EQ(Text(102), QStringLiteral("1"));
  EXPECT_EQ(Cell(100), 0);
  EXPECT_EQ(Cell(101), 0);
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join("\n").toStdString();
}

TEST_F(AuthoringTest, ReplayAppliesCapturesAndGoesOnAfterThem) {
  Open(2000);
  Click(1, Qt::RightButton);  // white in the corner
  Click(2);                   // black below it
  Press(RegisterFigure);
  ClickFigureRow(1);
  Click(20);                    // black takes the corner stone
  Click(40, Qt::RightButton);   // white plays on
  Press(RegisterSequence);
  ClickFigureRow(3);
  EXPECT_EQ(Cell(1), 0);
  EXPECT_FALSE(HasStone(1));
  EXPECT_EQ(Cell(20), 1);
  EXPECT_EQ(Text(20), QStringLiteral("1"));
  EXPECT_EQ(Cell(40), 2);
  EXPECT_EQ(Text(40), QStringLiteral("2"));
  EXPECT_EQ(WhiteCaptured, 1);
  EXPECT_EQ(CursorRow(), 3);
}

TEST_F(AuthoringTest, DeletingABranchTakesTheBranchesBeneathItAfterAsking) {
  AuthorMainLine();
  ClickFigureRow(2);
  Click(102);
  Press(RegisterSequence);  // branch 3 at the basic figure's end
  ClickFigureRow(4);
  Click(120);
  Press(RegisterSequence);  // branch 4 at the main line's end

  ClickFigureRow(3);  // the main line
  Messages->Answer = TAnswer::No;
  Press(DeleteSequence);
  ASSERT_EQ(Messages->Questions.size(), 1);
  EXPECT_EQ(Messages->Questions[0], QStringLiteral("この手順に続く手順 1 本も削除されます。削除していいですか？"));
  EXPECT_EQ(Rows(2000).size(), 7u);

  Messages->Answer = TAnswer::Yes;
  Press(DeleteSequence);
  EXPECT_EQ(Panel(0), QStringLiteral("指定の手順を削除しました。"));
  const std::vector<kyozai::TFigureRow> expected = {Row(2000, 0, 1, 61, 0, 9999), Row(2000, 0, 2, 62, 0, 0),
                                                    Row(2000, 0, 0, 63, 1, 0, 33, "A"),
                                                    Row(2000, 1, 1, 102, 3, 1)};
  EXPECT_EQ(Rows(2000), expected);
  EXPECT_EQ(Cell(61), 0);  // the board is cleared
  EXPECT_FALSE(HasStone(61));

  // A branch with nothing beneath it goes without a question; its number is free again.
  ClickFigureRow(3);
  Press(DeleteSequence);
  EXPECT_EQ(Messages->Questions.size(), 2);
  EXPECT_EQ(Rows(2000).size(), 3u);
  ClickFigureRow(2);
  Click(130);
  Press(RegisterSequence);
  const std::vector<kyozai::TFigureRow> rows = Rows(2000);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], Row(2000, 1, 1, 130, 2, 1));
}

TEST_F(AuthoringTest, DeletingTheFigureAsksThenRemovesEveryRowOfIt) {
  AuthorMainLine();
  Messages->Answer = TAnswer::No;
  Press(DeleteFigure);
  ASSERT_EQ(Messages->Questions.size(), 1);
  EXPECT_EQ(Messages->Questions[0], QStringLiteral("図 2000 の基本図と全ての手順を削除していいですか？"));
  EXPECT_EQ(Rows(2000).size(), 5u);
  EXPECT_EQ(Cell(100), 1);  // nothing happened to the board either

  Messages->Answer = TAnswer::Yes;
  Press(DeleteFigure);
  EXPECT_TRUE(Rows(2000).empty());
  EXPECT_EQ(Rows(1500).size(), 3u);
  EXPECT_EQ(FigureGridRows(), 0);
  EXPECT_EQ(Cell(61), 0);
  EXPECT_EQ(Cell(100), 0);
}

TEST_F(AuthoringTest, RenumberingMovesEveryRowToTheNewNumber) {
  AuthorMainLine();
  Form->Edit3()->setText(QStringLiteral("999"));
  Press(Renumber);
  EXPECT_EQ(Messages->Informations, QStringList{QStringLiteral("MNBが不正です。")});
  EXPECT_EQ(Rows(2000).size(), 5u);

  Form->Edit3()->setText(QStringLiteral("abc"));
  Press(Renumber);
  EXPECT_EQ(Messages->Errors, QStringList{QStringLiteral("'abc' は整数ではありません")});
  EXPECT_EQ(CurrentFigure, 2000);

  // A number that already has rows would merge two figures: refused, nothing moves.
  Form->Edit3()->setText(QStringLiteral("1500"));
  Press(Renumber);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("MNB 1500 の図は既にあります。"));
  EXPECT_EQ(Rows(2000).size(), 5u);
  EXPECT_EQ(Rows(1500).size(), 3u);
  EXPECT_EQ(CurrentFigure, 2000);

  // Its own number: nothing to do, and nothing hangs.
  Form->Edit3()->setText(QStringLiteral("2000"));
  Press(Renumber);
  EXPECT_EQ(Rows(2000).size(), 5u);

  // 1000 is the smallest lesson number and has no rows here.
  const std::vector<kyozai::TFigureRow> before = Rows(2000);
  Form->Edit3()->setText(QStringLiteral("1000"));
  Press(Renumber);
  EXPECT_TRUE(Rows(2000).empty());
  std::vector<kyozai::TFigureRow> after = Rows(1000);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    kyozai::TFigureRow expected = before[i];
    expected.MNB = 1000;
    EXPECT_EQ(after[i], expected) << i;  // same rows, same order
  }
  EXPECT_EQ(CurrentFigure, 1000);
  EXPECT_EQ(DataModule.KuraQuery2.RecordCount(), 5);
  EXPECT_EQ(FigureGridRows(), 5);
  EXPECT_TRUE(Messages->Errors.size() == 1);
}

TEST_F(AuthoringTest, OddClicksAreRefusedWithoutTouchingTheTable) {
  Open(2000);
  // Registering with nothing recorded.
  Press(RegisterFigure);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("登録する石や記号がありません。"));
  Press(RegisterSequence);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("登録する石や記号がありません。"));
  // Deleting in an empty figure.
  Press(DeleteSequence);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("削除する行がありません。"));
  Press(DeleteFigure);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("削除する行がありません。"));
  // A sequence needs a basic figure to hang at.
  Click(100);
  Press(RegisterSequence);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("先に基本図を登録してください。"));
  EXPECT_TRUE(Rows(2000).empty());
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join("\n").toStdString();
  EXPECT_TRUE(Messages->Questions.isEmpty());

  // A sequence holding a mark is refused; its moves stay recorded.
  Press(RegisterFigure);  // the move on 100 becomes the basic figure
  ASSERT_EQ(Rows(2000).size(), 1u);
  ClickFigureRow(0);
  Click(120);
  ChooseLettering(7);
  ChooseLettering(8);
  Form->Edit3()->setText(QStringLiteral("a"));
  Click(121);
  Press(RegisterSequence);
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("手順には石だけを登録してください。"));
  EXPECT_EQ(Rows(2000).size(), 1u);
  EXPECT_EQ(MoveCount, 2);
}

TEST_F(AuthoringTest, AFigureWithoutContentsRowOpensThroughRowThousand) {
  Form->Edit3()->setText(QStringLiteral("1500"));
  Open(1000);
  EXPECT_EQ(CurrentFigure, 1500);
  EXPECT_EQ(Cell(61), 1);
  EXPECT_EQ(FigureGridRows(), 3);
  // Authoring then works on that figure.
  Form->Edit3()->clear();
  ClickFigureRow(2);
  EXPECT_EQ(Text(80), QStringLiteral("1"));
  Click(81, Qt::RightButton);
  Press(RegisterSequence);
  const std::vector<kyozai::TFigureRow> rows = Rows(1500);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], Row(1500, 2, 2, 81, 3, 2));
}

TEST_F(AuthoringTest, WithoutAGridClickASequenceHangsAtTheOpenedBasicFigure) {
  Open(1500);  // the cursor rests on the basic figure's last row
  Click(90);
  Click(91, Qt::RightButton);
  Press(RegisterSequence);
  const std::vector<kyozai::TFigureRow> rows = Rows(1500);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3], Row(1500, 1, 1, 90, 0, 1));
  EXPECT_EQ(rows[4], Row(1500, 2, 2, 91, 3, 0));
}

// Figures whose branches do not join up: a branch hanging at a number no row ends with, and
// two branches hanging at each other's ends.
class DamagedFigureTest : public AuthoringTest {
protected:
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s = AuthoringTest::Lessons();
    for (const auto &r : {FigureRow(3000, 0, 1, 61, 1, 9999), FigureRow(3000, 1, 2, 70, 5, 7),
                          FigureRow(3000, 1, 1, 80, 8, 9), FigureRow(3000, 2, 2, 81, 9, 8)})
      s.Figures.push_back(r);
    return s;
  }
};

TEST_F(DamagedFigureTest, ReplayStopsWhereThePathBreaksOrTurnsInARing) {
  Form->Edit3()->setText(QStringLiteral("3000"));
  Open(1000);
  ASSERT_EQ(CurrentFigure, 3000);
  Form->Edit3()->clear();
  ClickFigureRow(1);  // hangs at 7, which no branch ends with
  EXPECT_EQ(Cell(70), 2);
  EXPECT_EQ(Text(70), QStringLiteral("1"));
  EXPECT_EQ(Cell(61), 0);  // the root is not on its path
  EXPECT_EQ(CursorRow(), 1);
  ClickFigureRow(3);  // the ring: the walk ends and the cursor comes back
  EXPECT_EQ(Cell(81), 2);
  EXPECT_EQ(Cell(80), 1);
  EXPECT_EQ(CursorRow(), 3);
  EXPECT_TRUE(Form->FigureGridAttached());
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join("\n").toStdString();
}

}  // namespace
}  // namespace miretoka::test

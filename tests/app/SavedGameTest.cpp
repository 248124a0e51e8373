// The adjourned game ("打ち掛け"): which moves a save takes, the replay of stored
// moves with their captures, and saving and restoring through the real windows
// into table "figure" of the test's lesson directory.
#include <QDir>
#include <QLineEdit>
#include <array>

#include "KyozaiBuilder.h"
#include "SmallBoardTestSupport.h"
#include "app/board/PlayState.h"
#include "app/board/SavedGame.h"
#include "app/board/StatusPanels.h"
#include "app/data/DataModule.h"
#include "controls/CuteButton.h"
#include "query/dataset/KuraQuery.h"

namespace miretoka::test {
namespace {

using namespace play;

// What a player sees of a board of `points` points and the shared counters.
struct Position {
  std::vector<std::int32_t> Cells;
  std::vector<bool> Stones;
  std::vector<QString> Texts;
  QString Edit1, Edit2;
  int Color = 0, Number = 0, Count = 0;
  std::vector<TSavedMove> History;
  bool operator==(const Position &) const = default;
};

Position TakePosition(int points, const std::function<bool(int)> &stone, const std::function<QString(int)> &text,
                      QLineEdit *edit1, QLineEdit *edit2) {
  Position p;
  for (int k = 1; k <= points; ++k) {
    p.Cells.push_back(Board[static_cast<std::size_t>(k - 1)]);
    p.Stones.push_back(stone(k));
    p.Texts.push_back(text(k).trimmed());
  }
  p.Edit1 = edit1->text();
  p.Edit2 = edit2->text();
  p.Color = CurrentColor;
  p.Number = MoveNumber;
  p.Count = MoveCount;
  p.History = MovesToSave();
  return p;
}

std::vector<kyozai::TFigureRow> RowsOf(const std::vector<kyozai::TFigureRow> &rows, int mnb) {
  std::vector<kyozai::TFigureRow> out;
  for (const auto &r : rows)
    if (r.MNB == mnb) out.push_back(r);
  return out;
}

std::vector<kyozai::TFigureRow> LessonRows(const std::vector<kyozai::TFigureRow> &rows) {
  std::vector<kyozai::TFigureRow> out;
  for (const auto &r : rows)
    if (r.MNB != 19 && r.MNB != 13 && r.MNB != 9) out.push_back(r);
  return out;
}

bool SameRow(const kyozai::TFigureRow &a, const kyozai::TFigureRow &b) {
  return a.MNB == b.MNB && a.TES == b.TES && a.COL == b.COL && a.PST == b.PST && a.BFR == b.BFR &&
         a.BTO == b.BTO && a.DTX == b.DTX && a.CMT == b.CMT;
}

void ExpectSameRows(const std::vector<kyozai::TFigureRow> &a, const std::vector<kyozai::TFigureRow> &b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(SameRow(a[i], b[i])) << "row " << i;
}

// The stored rows of a game as (TES, COL, PST), with the other fields checked empty.
std::vector<TSavedMove> StoredGame(const std::vector<kyozai::TFigureRow> &rows, int mnb) {
  std::vector<TSavedMove> moves;
  for (const auto &r : RowsOf(rows, mnb)) {
    EXPECT_EQ(r.BFR, 0);
    EXPECT_EQ(r.BTO, 0);
    EXPECT_EQ(r.DTX, 0);
    EXPECT_EQ(r.CMT, "");
    moves.push_back({r.TES, r.COL, r.PST});
  }
  return moves;
}

// ---- the move list and the replay, without the table ----

TEST_F(SmallBoardTest, SaveTakesTheMovesOnTheBoardOnly) {
  On9([&] {
    EXPECT_TRUE(MovesToSave().empty());
    for (int p : {4, 5, 6}) ClickOn(Form4.get(), p);
    const std::vector<TSavedMove> three = {{1, 1, 4}, {2, 2, 5}, {3, 1, 6}};
    EXPECT_EQ(MovesToSave(), three);
    PressOn(Form4->CuteButton1());  // the taken-back move is not saved
    EXPECT_EQ(MovesToSave(), std::vector<TSavedMove>(three.begin(), three.begin() + 2));
  });
}

TEST_F(SmallBoardTest, ReplayRepeatsTheCapturesAndHandsTheTurnOn) {
  On9([&] {
    const std::vector<TSavedMove> stored = {{1, 1, 4}, {2, 2, 5}, {3, 1, 6}, {4, 2, 41}, {5, 1, 14}};
    ReplayMoves(stored, [&](int number, int color, int point) { Form4->DrawStone(number, color, point, 1); });
    EXPECT_EQ(MoveCount, 5);
    EXPECT_EQ(MoveNumber, 5);
    EXPECT_EQ(CurrentColor, 2);  // white to play after black's fifth move
    EXPECT_EQ(Cell(5), 0);       // captured again
    EXPECT_FALSE(StoneOn(Form4.get(), 5));
    EXPECT_EQ(Form4->Edit1()->text(), QStringLiteral("1"));
    EXPECT_EQ(Form4->Label(14)->text(), QStringLiteral("5"));
    for (int p : {4, 6, 41}) EXPECT_TRUE(Form4->Label(p)->text().isEmpty()) << p;
    ASSERT_EQ(CaptureLog.size(), 1u);
    EXPECT_EQ(CaptureLog[0].MoveKey, 5);
    // Taken back move by move, with the capture.
    PressOn(Form4->CuteButton1());
    EXPECT_EQ(Cell(5), 2);
    EXPECT_EQ(Form4->Label(41)->text(), QStringLiteral("4"));
    EXPECT_EQ(CurrentColor, 1);
  });
}

TEST_F(SmallBoardTest, ReplayOfNothingLeavesBlackToPlayAndPassesOverBadRows) {
  On13([&] {
    ReplayMoves({}, [&](int, int, int) { ADD_FAILURE() << "nothing to draw"; });
    EXPECT_EQ(CurrentColor, 1);
    EXPECT_EQ(MoveCount, 0);
    // Rows naming no point of this board, or no colour, are not moves.
    int drawn = 0;
    ReplayMoves({{1, 1, 0}, {2, 2, 170}, {3, 3, 20}, {4, 1, 20}},
                [&](int number, int color, int point) {
                  ++drawn;
                  Form3->DrawStone(number, color, point, 1);
                });
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(MoveCount, 1);
    EXPECT_EQ(MoveAt(1).Point, 20);
    EXPECT_EQ(Cell(20), 1);
    EXPECT_EQ(CurrentColor, 2);
  });
}

// ---- the 19-line board through its menu ----

class SavedGameTest : public BoardTest {
protected:
  void SetUp() override {
    BoardTest::SetUp();
    if (HasFatalFailure()) return;
    Trigger("N10");  // alternate play, black first
  }
  Position Take() const {
    return TakePosition(
        361, [this](int k) { return HasStone(k); }, [this](int k) { return Text(k); }, Form->Edit1(),
        Form->Edit2());
  }
  // Black takes the white stone on (5, 5); seven moves, white to play.
  void PlayACapture() {
    Play({P(4, 5), P(5, 5), P(6, 5), P(0, 0), P(5, 4), P(0, 1), P(5, 6)});
    ASSERT_EQ(Cell(P(5, 5)), 0);
    ASSERT_EQ(Edit1(), QStringLiteral("1"));
  }
};

TEST_F(SavedGameTest, SaveClearRestoreGivesTheSameBoardBack) {
  const auto lessonsBefore = LessonRows(FigureTable());
  PlayACapture();
  const Position played = Take();
  const int sounds = Sounds();
  Trigger("Save1");
  EXPECT_EQ(Panel(0), QStringLiteral("　保存しました。"));
  EXPECT_EQ(Sounds(), sounds + 1);
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(Take(), played);  // saving changes nothing on the board
  EXPECT_EQ(CurrentFigure, 19);
  EXPECT_EQ(DataModule.KuraQuery2.RecordCount(), 7);  // the figure query stays on the saved game

  const std::vector<TSavedMove> expected = {{1, 1, P(4, 5)}, {2, 2, P(5, 5)}, {3, 1, P(6, 5)}, {4, 2, P(0, 0)},
                                            {5, 1, P(5, 4)}, {6, 2, P(0, 1)}, {7, 1, P(5, 6)}};
  const auto table = FigureTable();
  EXPECT_EQ(StoredGame(table, 19), expected);
  for (int staging : {-19, -13, -9}) EXPECT_TRUE(RowsOf(table, staging).empty());
  ExpectSameRows(LessonRows(table), lessonsBefore);

  Press(6);  // クリア
  ASSERT_EQ(MoveCount, 0);
  ASSERT_EQ(Cell(P(4, 5)), 0);
  Trigger("N2");
  EXPECT_EQ(Panel(0), QStringLiteral("　復元しました。"));
  EXPECT_TRUE(Messages->Errors.isEmpty());
  EXPECT_EQ(Take(), played);
  EXPECT_EQ(Text(P(5, 6)), QStringLiteral("7"));  // only the last stone keeps its number
  EXPECT_EQ(CurrentColor, 2);
  ASSERT_EQ(CaptureLog.size(), 1u);
  EXPECT_EQ(CaptureLog[0].MoveKey, 7);
  EXPECT_EQ(CaptureLog[0].Point, P(5, 5));
  EXPECT_EQ(CurrentFigure, 19);

  // The replayed moves are taken back one by one, the capture with its move.
  Press(7);
  EXPECT_EQ(Cell(P(5, 5)), 2);
  EXPECT_EQ(Cell(P(5, 6)), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(Text(P(0, 1)), QStringLiteral("6"));
  EXPECT_EQ(CurrentColor, 1);

  // The game goes on from the restored position.
  Click(P(10, 10));
  EXPECT_EQ(Text(P(10, 10)), QStringLiteral("7"));
  EXPECT_EQ(Cell(P(10, 10)), 1);
}

TEST_F(SavedGameTest, ASecondSaveReplacesTheFirst) {
  PlayACapture();
  Trigger("Save1");
  Press(6);
  Play({P(9, 9), P(10, 10)});
  const Position second = Take();
  Trigger("Save1");
  const auto table = FigureTable();
  EXPECT_EQ(StoredGame(table, 19), (std::vector<TSavedMove>{{1, 1, P(9, 9)}, {2, 2, P(10, 10)}}));
  EXPECT_TRUE(RowsOf(table, -19).empty());
  Press(6);
  Trigger("N2");
  EXPECT_EQ(Take(), second);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(Cell(P(5, 6)), 0);
}

TEST_F(SavedGameTest, SavingAnEmptyBoardKeepsTheGameStoredBefore) {
  Play({P(3, 3), P(15, 15), P(3, 15)});
  Trigger("Save1");
  Press(6);
  const int sounds = Sounds();
  Trigger("Save1");
  EXPECT_EQ(Panel(0), QStringLiteral("　保存しました。"));
  EXPECT_EQ(Sounds(), sounds + 1);
  EXPECT_EQ(StoredGame(FigureTable(), 19).size(), 3u);
  // Moves all taken back leave nothing on the board to save either.
  Click(P(9, 9));
  Press(7);
  Trigger("Save1");
  EXPECT_EQ(StoredGame(FigureTable(), 19).size(), 3u);
  Trigger("N2");
  EXPECT_EQ(MoveCount, 3);
  EXPECT_EQ(Text(P(3, 15)), QStringLiteral("3"));
  EXPECT_EQ(CurrentColor, 2);
}

TEST_F(SavedGameTest, RestoreWithNothingStoredLeavesAnEmptyBoard) {
  Play({P(3, 3), P(4, 4)});
  Trigger("N2");
  EXPECT_EQ(Panel(0), QStringLiteral("　復元しました。"));
  EXPECT_TRUE(Messages->Errors.isEmpty());
  EXPECT_EQ(MoveCount, 0);
  for (int k = 1; k <= 361; ++k) {
    ASSERT_EQ(Cell(k), 0) << k;
    ASSERT_FALSE(HasStone(k)) << k;
  }
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(CurrentFigure, 19);
  EXPECT_EQ(DataModule.KuraQuery2.RecordCount(), 0);
}

TEST_F(SavedGameTest, FreeMovesAreStoredWithoutNumbers) {
  ClickRadio(2);
  Click(P(2, 2));
  Click(P(2, 3), Qt::RightButton);
  Trigger("Save1");
  EXPECT_EQ(StoredGame(FigureTable(), 19), (std::vector<TSavedMove>{{0, 1, P(2, 2)}, {0, 2, P(2, 3)}}));
  Press(6);
  Trigger("N2");
  EXPECT_EQ(Cell(P(2, 2)), 1);
  EXPECT_EQ(Cell(P(2, 3)), 2);
  EXPECT_TRUE(Text(P(2, 2)).trimmed().isEmpty());
  EXPECT_TRUE(Text(P(2, 3)).trimmed().isEmpty());
}

TEST_F(SavedGameTest, RowsLeftByASaveCutShortAreClearedByTheNextSave) {
  // A save that stopped after writing its new rows left them under -19; the old game stays.
  Play({P(1, 1)});
  Trigger("Save1");
  {
    kura::TKuraQuery q;
    q.SetDatabaseName("kyozai");
    q.SQL().Add("insert into figure (MNB, TES, COL, PST) values (-19, 1, 2, 5)");
    q.ExecSQL();
  }
  Press(6);
  Trigger("N2");
  EXPECT_EQ(MoveCount, 1);
  EXPECT_EQ(Cell(P(1, 1)), 1);
  EXPECT_EQ(Cell(5), 0);
  Play({P(7, 7)});
  Trigger("Save1");
  const auto table = FigureTable();
  EXPECT_TRUE(RowsOf(table, -19).empty());
  EXPECT_EQ(StoredGame(table, 19), (std::vector<TSavedMove>{{1, 1, P(1, 1)}, {2, 2, P(7, 7)}}));
}

TEST_F(SavedGameTest, WithoutTheLessonTablesSaveAndRestoreReportTheError) {
  Play({P(3, 3)});
  DataModule.DataModuleDestroy();
  ASSERT_TRUE(QDir(QStringLiteral("kyozai")).removeRecursively());
  const int sounds = Sounds();
  Trigger("Save1");
  EXPECT_EQ(Messages->Errors.size(), 1);
  EXPECT_NE(Panel(0), QStringLiteral("　保存しました。"));
  EXPECT_EQ(Cell(P(3, 3)), 1);
  Trigger("N2");
  EXPECT_EQ(Messages->Errors.size(), 2);
  EXPECT_NE(Panel(0), QStringLiteral("　復元しました。"));
  EXPECT_EQ(Sounds(), sounds);
}

// ---- the 13-line and 9-line boards keep their own games ----

class SmallSavedGameTest : public SmallBoardTest {
protected:
  static Position TakeOn(TSmallBoardWindow *w) {
    return TakePosition(
        w->Lines() * w->Lines(), [w](int k) { return StoneOn(w, k); }, [w](int k) { return w->Label(k)->text(); },
        w->Edit1(), w->Edit2());
  }
};

TEST_F(SmallSavedGameTest, EachBoardSizeKeepsItsOwnGame) {
  const auto lessonsBefore = LessonRows(FigureTable());
  Trigger("N10");
  Play({P(3, 3), P(15, 15)});
  Trigger("Save1");

  Position on13;
  On13([&] {
    // Black takes the white stone on the left edge (point 5) with its fifth move.
    for (int p : {4, 5, 6, At(13, 6, 6), 18}) ClickOn(Form3.get(), p);
    ASSERT_EQ(Cell(5), 0);
    on13 = TakeOn(Form3.get());
    TriggerOn(Form3.get(), "Save1");
    EXPECT_EQ(PanelOf(Form3.get(), 0), QStringLiteral("　保存しました。"));
    PressOn(Form3->CuteButton2());  // クリア saves again (the same game) and clears
    EXPECT_EQ(MoveCount, 0);
    TriggerOn(Form3.get(), "N2");
    EXPECT_EQ(PanelOf(Form3.get(), 0), QStringLiteral("　復元しました。"));
    EXPECT_EQ(TakeOn(Form3.get()), on13);
    EXPECT_EQ(Form3->Edit1()->text(), QStringLiteral("1"));
    EXPECT_EQ(Form3->Label(18)->text(), QStringLiteral("5"));
    EXPECT_EQ(CurrentColor, 2);
  });
  On9([&] {
    for (int p : {41, 42, 50}) ClickOn(Form4.get(), p);
    PressOn(Form4->CuteButton2());  // the 9-line board saves through クリア
    EXPECT_EQ(MoveCount, 0);
  });
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();

  const auto table = FigureTable();
  EXPECT_EQ(StoredGame(table, 19), (std::vector<TSavedMove>{{1, 1, P(3, 3)}, {2, 2, P(15, 15)}}));
  EXPECT_EQ(StoredGame(table, 13),
            (std::vector<TSavedMove>{{1, 1, 4}, {2, 2, 5}, {3, 1, 6}, {4, 2, At(13, 6, 6)}, {5, 1, 18}}));
  EXPECT_EQ(StoredGame(table, 9), (std::vector<TSavedMove>{{1, 1, 41}, {2, 2, 42}, {3, 1, 50}}));
  ExpectSameRows(LessonRows(table), lessonsBefore);

  // The 19-line game comes back untouched by the other boards.
  Trigger("N2");
  EXPECT_EQ(MoveCount, 2);
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(Cell(P(15, 15)), 2);
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("2"));
  EXPECT_EQ(Cell(4), 0);  // nothing of the 13-line game
}

TEST_F(SmallSavedGameTest, ClearOnAnEmptySmallBoardKeepsItsStoredGame) {
  On13([&] {
    for (int p : {20, 21}) ClickOn(Form3.get(), p);
    TriggerOn(Form3.get(), "Save1");
    PressOn(Form3->CuteButton2());
    PressOn(Form3->CuteButton2());
    EXPECT_EQ(PanelOf(Form3.get(), 0), QStringLiteral("始めてください。"));
  });
  EXPECT_EQ(StoredGame(FigureTable(), 13), (std::vector<TSavedMove>{{1, 1, 20}, {2, 2, 21}}));
  EXPECT_TRUE(Messages->Errors.isEmpty());
}

}  // namespace
}  // namespace miretoka::test

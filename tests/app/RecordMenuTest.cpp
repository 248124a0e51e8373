// The menu 棋譜 driven through the real windows: opening a record and stepping through it
// with → and ←, choosing a variation by its ●, saving the game on the board and opening it
// again, exporting the adjourned games, the recently opened list, damaged files.
#include <QAction>
#include <QFile>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "SmallBoardTestSupport.h"
#include "app/board/PlayState.h"
#include "app/records/RecordFiles.h"
#include "app/records/RecordMenu.h"
#include "app/records/RecordPlayer.h"
#include "go/Point.h"
#include "go/SgfReader.h"

namespace miretoka::test {
namespace {

using namespace play;

// dd black setup stone; 1 B pd, 2 W dp (variations: W qf, a bad W cc), 3 B pp capturing
// nothing, 4 W qq; then a white stone at aa is captured by B ab, B ba.
const char *const Record19 =
    "(;FF[4]GM[1]SZ[19]PB[黒田]PW[白井]AB[dd]C[置き碁の練習]"
    ";B[pd]C[右上の星]"
    "(;W[dp]C[左下]LB[pp:A];B[pp];W[aa];B[ab];W[qq];B[ba]C[白１子を取りました])"
    "(;W[qf]C[かかり])"
    "(;W[cc]BM[1]C[悪手]))";

class RecordMenuTest : public SmallBoardTest {
 protected:
  void SetUp() override {
    SmallBoardTest::SetUp();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Dir.path() + QStringLiteral("/settings"));
    Menu = records::RecordMenuOf(Form.get());
    ASSERT_NE(Menu, nullptr);
    Menu->ChooseFile = [this](QWidget *, bool, const QString &) { return NextFile; };
  }
  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = Dir.path() + QLatin1Char('/') + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  void Choose(const char *action) {
    auto *a = Form->findChild<QAction *>(QString::fromLatin1(action));
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
  }
  void Key(Qt::Key key) { QTest::keyClick(Form.get(), key); }
  static int At(const char *letters) { return *go::PointFromSgf(19, letters); }

  records::TRecordMenu *Menu = nullptr;
  QString NextFile;
};

TEST_F(RecordMenuTest, OpenStepThroughAndChooseAVariation) {
  LessonKind = 1;  // as after a problem lesson: the record's board takes no answers
  AutoAdvance = 1;
  NextFile = Write(QStringLiteral("game.sgf"), Record19);
  Choose("RecordOpen");
  EXPECT_EQ(LessonKind, 0);
  EXPECT_EQ(AutoAdvance, 0);
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(HasStone(At("dd")));
  EXPECT_EQ(Cell(At("dd")), 1);
  EXPECT_EQ(Panel(1), QStringLiteral("置き碁の練習"));
  EXPECT_EQ(Panel(0), QStringLiteral("棋譜の初めです。"));
  Key(Qt::Key_Right);
  EXPECT_EQ(Cell(At("pd")), 1);
  EXPECT_EQ(Text(At("pd")), QStringLiteral("1"));
  EXPECT_EQ(Panel(1), QStringLiteral("右上の星"));
  // Three ways on after move 1: the main line and two variations, offered as ●.
  EXPECT_EQ(Text(At("dp")), QStringLiteral("●"));
  EXPECT_EQ(Text(At("qf")), QStringLiteral("●"));
  EXPECT_EQ(Form->Label(At("cc"))->FontColor(), QColor(255, 0, 0));  // the bad move is red
  EXPECT_EQ(Form->Label(At("dp"))->FontColor(), QColor(0, 255, 0));
  Click(At("qf"));  // choose the variation
  EXPECT_EQ(Cell(At("qf")), 2);
  EXPECT_EQ(Cell(At("dp")), 0);
  EXPECT_EQ(Text(At("dp")).trimmed(), QString());  // the other choices are gone
  EXPECT_EQ(Panel(1), QStringLiteral("かかり"));
  Key(Qt::Key_Left);
  EXPECT_EQ(Cell(At("qf")), 0);
  Key(Qt::Key_Right);  // → follows the main line
  EXPECT_EQ(Cell(At("dp")), 2);
  EXPECT_EQ(Text(At("pp")), QStringLiteral("A"));  // the node's label
  for (int i = 0; i < 5; ++i) Key(Qt::Key_Right);
  EXPECT_EQ(Cell(At("aa")), 0);  // captured
  EXPECT_EQ(WhiteCaptured, 1);
  EXPECT_EQ(Panel(1), QStringLiteral("白１子を取りました"));
  EXPECT_NE(Panel(0).indexOf(QStringLiteral("棋譜の終わり")), -1);
  Key(Qt::Key_Right);
  EXPECT_EQ(Panel(0), QStringLiteral("もう進めません。棋譜の終わりです。"));
  Key(Qt::Key_Left);
  EXPECT_EQ(Cell(At("aa")), 2);  // back before the capture
  EXPECT_EQ(WhiteCaptured, 0);
  EXPECT_EQ(MoveCount, 6);
  // The learner plays on from here: the record lets go, and ← is the window's take-back again:
  // it takes back the learner's own stone and nothing of the record.
  Click(At("jj"));
  EXPECT_EQ(Cell(At("jj")), 1);  // black's turn after white's fifth move
  Key(Qt::Key_Left);
  EXPECT_FALSE(Menu->Player().Attached());
  EXPECT_EQ(Cell(At("jj")), 0);
  EXPECT_EQ(Cell(At("qq")), 2);
  EXPECT_EQ(MoveCount, 6);
}

TEST_F(RecordMenuTest, SaveWritesTheGameThatComesBackMoveForMove) {
  PlayMode = PlayAlternate;
  Form->RadioButton1()->setChecked(true);
  CurrentColor = 1;
  // A capture in the corner: black takes the white stone on aa.
  const int moves[] = {At("ab"), At("aa"), At("ba"), At("pd"), At("dp"), At("qq")};
  for (int p : moves) Click(p);
  EXPECT_EQ(Cell(At("aa")), 0);
  NextFile = Dir.path() + QStringLiteral("/played.sgf");
  Choose("RecordSave");
  EXPECT_EQ(Panel(0), QStringLiteral("　棋譜を保存しました。"));
  const go::TSgfRecord saved = go::ReadSgfFile(NextFile.toStdString());
  std::vector<std::pair<int, int>> line;
  for (const go::TNode *n : saved.Trees.front().MainLine())
    if (n->HasMove()) line.emplace_back(n->MoveColor, n->MovePoint);
  const std::vector<std::pair<int, int>> expected{{1, At("ab")}, {2, At("aa")}, {1, At("ba")},
                                                  {2, At("pd")}, {1, At("dp")}, {2, At("qq")}};
  EXPECT_EQ(line, expected);
  // Opened again, the last position is the board that was saved.
  std::vector<std::int32_t> before(Board.begin(), Board.begin() + 361);
  Press(6);  // クリア
  Choose("RecordOpen");
  for (int i = 0; i < 6; ++i) Key(Qt::Key_Right);
  EXPECT_EQ(std::vector<std::int32_t>(Board.begin(), Board.begin() + 361), before);
  EXPECT_EQ(BlackCaptured + WhiteCaptured, 1);
}

TEST_F(RecordMenuTest, AdjournedGamesAreExportedPerBoardSize) {
  Form->RadioButton1()->setChecked(true);
  Play({At("dd"), At("pp"), At("dp")});
  Trigger("Save1");  // 打ち掛け 保存 of the 19-line board
  NextFile = Dir.path() + QStringLiteral("/saved19.sgf");
  Choose("RecordExport19");
  const go::TSgfRecord r = go::ReadSgfFile(NextFile.toStdString());
  EXPECT_EQ(r.Trees.front().Info.Size, 19);
  EXPECT_EQ(r.Trees.front().MainLine().size(), 4u);
  // Nothing saved for 9 lines: said so, no file written.
  NextFile = Dir.path() + QStringLiteral("/saved9.sgf");
  Choose("RecordExport9");
  EXPECT_FALSE(QFile::exists(NextFile));
  ASSERT_FALSE(Messages->Informations.isEmpty());
  EXPECT_EQ(Messages->Informations.back(), QStringLiteral("9路盤の打ち掛けは保存されていません。"));
}

TEST_F(RecordMenuTest, DamagedFilesAreRefusedWithTheirPlaceAndRecentFilesListed) {
  const struct {
    const char *Name;
    const char *Bytes;
    const char *Says;
  } cases[] = {{"cut.sgf", "(;SZ[19];B[pd];W[", "1行17列"},
               {"big.sgf", "(;SZ[21];B[pd])", "21路盤の棋譜は開けません"},
               {"point.sgf", "(;SZ[9];B[pd])", "9路盤の上にありません"}};
  for (const auto &c : cases) {
    NextFile = Write(QString::fromLatin1(c.Name), c.Bytes);
    Messages->Errors.clear();
    Choose("RecordOpen");
    ASSERT_EQ(Messages->Errors.size(), 1) << c.Name;
    EXPECT_NE(Messages->Errors.front().indexOf(QString::fromUtf8(c.Says)), -1) << Messages->Errors.front().toStdString();
  }
  EXPECT_TRUE(records::RecentRecords().isEmpty());  // nothing that failed is remembered
  NextFile = Write(QStringLiteral("one.sgf"), Record19);
  Choose("RecordOpen");
  NextFile = Write(QStringLiteral("two.sgf"), "(;SZ[19];B[jj])");
  Choose("RecordOpen");
  const QStringList recent = records::RecentRecords();
  ASSERT_EQ(recent.size(), 2);
  EXPECT_TRUE(recent[0].endsWith(QStringLiteral("two.sgf")));
  // The recent item opens its file.
  Press(6);
  auto *first = Form->findChild<QAction *>(QStringLiteral("RecordRecent2"));
  ASSERT_NE(first, nullptr);
  first->trigger();
  EXPECT_EQ(Cell(At("dd")), 1);
}

TEST_F(RecordMenuTest, ANineLineRecordOpensInTheNineLineWindow) {
  NextFile = Write(QStringLiteral("nine.sgf"), "(;SZ[9];B[ee]C[天元];W[cc])");
  bool shown = false;
  QTimer::singleShot(0, Form4.get(), [&] {
    shown = Form4->isVisible();
    EXPECT_EQ(BoardSize, 9);
    EXPECT_EQ(Board[static_cast<size_t>(go::PointOf(9, 4, 4) - 1)], 0);
    EXPECT_EQ(PanelOf(Form4.get(), 0), QStringLiteral("棋譜の初めです。"));
    QTest::keyClick(Form4.get(), Qt::Key_Right);
    EXPECT_EQ(Board[static_cast<size_t>(go::PointOf(9, 4, 4) - 1)], 1);
    EXPECT_EQ(PanelOf(Form4.get(), 1), QStringLiteral("天元"));
    Form4->close();
  });
  Choose("RecordOpen");
  EXPECT_TRUE(shown);
  EXPECT_EQ(BoardSize, 19);  // back on the main board
}

}  // namespace
}  // namespace miretoka::test

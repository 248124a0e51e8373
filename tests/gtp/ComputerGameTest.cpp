// The game window against the scripted engine: moves and answers, the rules, taking back,
// hints, the end with dead stones and counting, saving, and the menu and dialog.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "ComputerGameTestSupport.h"
#include "app/board/BoardControls.h"
#include "app/board/SavedGame.h"
#include "app/board/StatusPanels.h"
#include "app/play/NewGameDialog.h"
#include "app/play/PlayMenu.h"
#include "controls/CuteButton.h"
#include "go/SgfReader.h"

namespace miretoka::test {
namespace {

using versus::TPhase;

TEST_F(ComputerGameTest, TheEngineAnswersEachMoveAndTheLastMoveIsMarked) {
  Open({QStringLiteral("--moves"), QStringLiteral("C3")});
  EXPECT_EQ(Game->Phase(), TPhase::Playing);
  EXPECT_TRUE(Status().contains(QStringLiteral("あなたの番です")));
  ClickAt("E5");
  EXPECT_TRUE(Stone("E5"));
  EXPECT_TRUE(Stone("C3"));
  EXPECT_EQ(Game->Match().Board().At(At("C3")), 2);
  EXPECT_EQ(Mark("C3"), QStringLiteral("2"));  // the last move carries its number
  EXPECT_EQ(Mark("E5"), QString());
  EXPECT_TRUE(Status().contains(QStringLiteral("C3")));
  ClickAt("D4");
  EXPECT_TRUE(Stone("A9"));  // then the first free point
  EXPECT_EQ(Commands().mid(0, 4),
            (QStringList{"boardsize 9", "clear_board", "komi 6.5", "name"}));
  EXPECT_EQ(Commands().mid(4), (QStringList{"play black E5", "genmove white", "play black D4", "genmove white"}));
  EXPECT_FALSE(Game->BusyBar()->isVisible());
}

TEST_F(ComputerGameTest, OccupiedPointsSuicideAndKoAreRefused) {
  // White E4 D5 E6 around E5, black F4 G5 F6 around F5: black E5 is taken by white F5, and
  // black may not take back at once.
  Open({QStringLiteral("--moves"), QStringLiteral("E4,D5,E6,F5,A8,B9")});
  for (const char *v : {"F4", "G5", "F6", "E5"}) ClickAt(v);
  EXPECT_FALSE(Stone("E5"));
  ClickAt("E5");
  EXPECT_EQ(Status(), versus::RefusalText(go::match::TRefusal::Ko));
  EXPECT_FALSE(Stone("E5"));
  ClickAt("F5");
  EXPECT_EQ(Status(), versus::RefusalText(go::match::TRefusal::Occupied));
  ClickAt("C1");  // white A8
  ClickAt("C2");  // white B9: A9 is surrounded by white
  ClickAt("A9");
  EXPECT_EQ(Status(), versus::RefusalText(go::match::TRefusal::Suicide));
  EXPECT_FALSE(Stone("A9"));
  ClickAt("E5");  // the ko may be taken now
  EXPECT_TRUE(Stone("E5"));
  EXPECT_FALSE(Stone("F5"));
  EXPECT_EQ(Game->Match().Board().WhiteCaptured(), 1);
}

TEST_F(ComputerGameTest, UndoTakesBackTheLearnersMoveAndTheReply) {
  Open({}, {9, 2});  // the learner has white: the engine opens
  EXPECT_TRUE(Stone("A9"));
  PressButton(Game->UndoButton());
  EXPECT_EQ(Status(), QStringLiteral("もう戻せません。"));  // the engine's first move stays
  ClickAt("E5");
  ClickAt("D4");
  ASSERT_EQ(Game->Match().Moves().size(), 5u);
  PressButton(Game->UndoButton());
  EXPECT_EQ(Game->Match().Moves().size(), 3u);
  EXPECT_FALSE(Stone("D4"));
  EXPECT_FALSE(Stone("A7"));
  EXPECT_TRUE(Stone("E5"));
  EXPECT_EQ(Mark("A8"), QStringLiteral("3"));
  EXPECT_EQ(Commands().count(QStringLiteral("undo")), 2);
  ClickAt("D4");  // and the game goes on from there
  EXPECT_TRUE(Stone("A7"));
}

TEST_F(ComputerGameTest, HintsShowTheEnginesChoice) {
  Open({});
  PressButton(Game->HintButton());
  EXPECT_EQ(Mark("A9"), QStringLiteral("◎"));
  EXPECT_TRUE(Status().contains(QStringLiteral("A9")));
  EXPECT_TRUE(Commands().contains(QStringLiteral("reg_genmove black")));
  ClickAt("E5");
  EXPECT_NE(Mark("A9"), QStringLiteral("◎"));  // the engine took it; the mark went with the move

  Game.reset();
  Open({QStringLiteral("--no-hint")});
  PressButton(Game->HintButton());
  EXPECT_EQ(Status(), QStringLiteral("コンピュータはヒントを出せませんでした。"));
  EXPECT_EQ(Game->Phase(), TPhase::Playing);
}

TEST_F(ComputerGameTest, TwoPassesMarkTheEnginesDeadStonesThenCount) {
  Open({QStringLiteral("--pass"), QStringLiteral("--dead"), QStringLiteral("C3")});
  ClickAt("E5");
  ClickAt("C3");
  PressButton(Game->PassButton());
  ASSERT_EQ(Game->Phase(), TPhase::Marking);
  EXPECT_EQ(Game->Dead(), std::set<int>{At("C3")});
  EXPECT_EQ(Mark("C3"), QStringLiteral("×"));
  EXPECT_TRUE(Stone("C3"));  // marked, not yet taken off
  EXPECT_TRUE(Commands().contains(QStringLiteral("final_status_list dead")));
  ClickAt("C3");  // the learner disagrees
  EXPECT_TRUE(Game->Dead().empty());
  ClickAt("C3");  // and agrees again
  PressButton(Game->CountButton());
  ASSERT_EQ(Game->Phase(), TPhase::Over);
  // Black: E5 and 80 points of territory (C3's point included); white: C3 taken, komi 6.5.
  EXPECT_EQ(Game->ResultText(), QStringLiteral("黒の 72目半勝ち"));
  EXPECT_EQ(Game->ResultLabel()->text(), Game->ResultText());
  EXPECT_EQ(Status(), QStringLiteral("黒 80目、白 7目半（コミを含む）で、黒の 72目半勝ちです。"));
  EXPECT_EQ(Game->ScoreLabel()->text(),
            QStringLiteral("黒：地 80＋アゲハマ 0＝80目\n白：地 0＋アゲハマ 1＋コミ 6目半＝7目半"));
  EXPECT_EQ(Game->Record().Info.Result, "B+72.5");
  ClickAt("A1");  // an empty point: nothing to play any more
  EXPECT_EQ(Status(), versus::RefusalText(go::match::TRefusal::Over));
  EXPECT_FALSE(Stone("A1"));
  ClickAt("C3");  // second thoughts: C3 lives after all, and the count follows
  EXPECT_TRUE(Game->Dead().empty());
  EXPECT_EQ(Game->Phase(), TPhase::Over);
  EXPECT_EQ(Game->ScoreLabel()->text(),
            QStringLiteral("黒：地 79＋アゲハマ 0＝79目\n白：地 0＋アゲハマ 0＋コミ 6目半＝6目半"));
  EXPECT_FALSE(Game->ResignButton()->isEnabled());
}

TEST_F(ComputerGameTest, ResignationEndsTheGame) {
  Open({QStringLiteral("--resign-at"), QStringLiteral("2")});
  ClickAt("E5");
  ClickAt("D4");
  EXPECT_EQ(Game->Phase(), TPhase::Over);
  EXPECT_EQ(Game->ResultText(), QStringLiteral("黒の 中押し勝ち"));
  Game.reset();

  Open({});
  ClickAt("E5");
  Messages->Answer = TAnswer::Yes;
  PressButton(Game->ResignButton());
  EXPECT_EQ(Messages->Questions.back(), QStringLiteral("投了しますか？"));
  EXPECT_EQ(Game->ResultText(), QStringLiteral("白の 中押し勝ち"));
  EXPECT_EQ(Game->Record().Info.Result, "W+R");
}

TEST_F(ComputerGameTest, TheGameIsSavedAsSgfAndAsTheAdjournedGame) {
  versus::TGameSettings settings;
  settings.Handicap = 2;
  settings.Komi = 0.5;
  Open({}, settings);
  EXPECT_TRUE(Commands().contains(QStringLiteral("set_free_handicap C3 G7")));
  EXPECT_TRUE(Stone("C3"));
  EXPECT_TRUE(Stone("A9"));  // white moves first in a handicap game
  ClickAt("E5");
  const QString file = Dir.path() + QStringLiteral("/game.sgf");
  Game->ChooseFile = [&](QWidget *, const QString &) { return file; };
  Game->SaveRecordCommand();
  const go::TSgfRecord record = go::ReadSgfFile(file.toStdString());
  ASSERT_EQ(record.Trees.size(), 1u);
  const go::TGameTree &tree = record.Trees.front();
  EXPECT_EQ(tree.Info.Size, 9);
  EXPECT_EQ(tree.Info.Handicap, 2);
  EXPECT_EQ(tree.Info.Komi, "0.5");
  EXPECT_EQ(tree.Info.BlackName, "あなた");
  EXPECT_EQ(tree.Info.WhiteName, "Scripted（レベル 1）");  // the engine's own name
  EXPECT_EQ(tree.Root()->AddBlack, (std::vector<int>{At("C3"), At("G7")}));
  const auto line = tree.MainLine();
  ASSERT_EQ(line.size(), 4u);
  EXPECT_EQ(line[1]->MoveColor, 2);
  EXPECT_EQ(line[1]->MovePoint, At("A9"));
  EXPECT_EQ(line[2]->MovePoint, At("E5"));

  Game->SaveAdjournedCommand();
  const std::vector<TSavedMove> stored = StoredMoves(DataModule, 9);
  EXPECT_EQ(stored, (std::vector<TSavedMove>{{0, 1, At("C3")}, {0, 1, At("G7")}, {1, 2, At("A9")},
                                             {2, 1, At("E5")}, {3, 2, At("A8")}}));
}

TEST_F(ComputerGameTest, TheMenuAsksForTheSettingsAndOpensTheBoardOfThatSize) {
  QTimer::singleShot(0, [] {
    auto *dialog = qobject_cast<versus::TNewGameDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(dialog->SizeButton(13), Qt::LeftButton);
    dialog->HandicapBox()->setValue(3);
    EXPECT_DOUBLE_EQ(dialog->KomiBox()->value(), 0.5);
    dialog->HandicapBox()->setValue(0);
    EXPECT_DOUBLE_EQ(dialog->KomiBox()->value(), 6.5);
    dialog->LevelBox()->setValue(4);
    dialog->EngineBox()->setText(QStringLiteral(SCRIPTED_ENGINE));
    dialog->accept();
  });
  Form->findChild<QAction *>(QStringLiteral("PlayComputer"))->trigger();
  versus::TComputerGameWindow *game = versus::CurrentGameWindow();
  ASSERT_NE(game, nullptr);
  EXPECT_EQ(game->Settings().Size, 13);
  EXPECT_EQ(game->Settings().Level, 4);
  EXPECT_EQ(game->Match().Size(), 13);
  EXPECT_TRUE(game->Label(169) != nullptr);
  // The choices are remembered for the next game.
  EXPECT_EQ(versus::LoadGameSettings().Size, 13);
  EXPECT_EQ(versus::LoadGameSettings().EngineCommand, QStringLiteral(SCRIPTED_ENGINE));
  game->close();  // deletes itself
  QCoreApplication::processEvents();
  EXPECT_EQ(versus::CurrentGameWindow(), nullptr);

  // GNU Go gets the level on its command line; other engines are left as they are.
  EXPECT_EQ(versus::EngineLaunch(QStringLiteral("gnugo --mode gtp"), 3).Arguments,
            (QStringList{"--mode", "gtp", "--level", "3"}));
  EXPECT_EQ(versus::EngineLaunch(QStringLiteral("/usr/games/gnugo --mode gtp --level 7"), 3).Arguments,
            (QStringList{"--mode", "gtp", "--level", "7"}));
  EXPECT_EQ(versus::EngineLaunch(QStringLiteral("other-engine"), 3).Arguments, QStringList{});
}

}  // namespace
}  // namespace miretoka::test

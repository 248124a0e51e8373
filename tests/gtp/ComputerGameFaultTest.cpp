// An engine that fails: the learner is told in Japanese, the game on the board stays, and
// nothing waits for ever.
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "ComputerGameTestSupport.h"
#include "app/play/ComputerGameWindow.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using versus::TPhase;

TEST_F(ComputerGameTest, AFailingEngineLeavesTheGameOnTheBoard) {
  struct Case {
    const char *Name;
    QStringList Arguments;
    const char *Expected;  // part of the message
  };
  SetMoveTimeout(1);
  const std::vector<Case> cases = {
      {"crash", {"--crash-at", "2"}, "止まってしまいました"},
      {"hang", {"--hang-at", "2"}, "時間内に答えませんでした"},
      {"no vertex", {"--nonsense-at", "2"}, "「Z99」"},
      {"occupied point", {"--illegal-at", "2"}, "打てない手 D4"},
      {"no GTP", {"--garbage-at", "2"}, "おかしな答え"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    Messages->Errors.clear();
    Open(c.Arguments);
    ClickAt("E5");
    ClickAt("D4");
    EXPECT_EQ(Game->Phase(), TPhase::Broken);
    EXPECT_TRUE(Status().contains(QString::fromUtf8(c.Expected))) << Status().toStdString();
    EXPECT_TRUE(Status().contains(QStringLiteral("盤の石はそのまま残ります")));
    ASSERT_EQ(Messages->Errors.size(), 1);
    EXPECT_EQ(Messages->Errors.front(), Status());
    EXPECT_EQ(Game->ScoreLabel()->text(), Status());  // in full beside the board
    EXPECT_FALSE(Game->BusyBar()->isVisible());
    // The stones stay, and are still saved.
    EXPECT_TRUE(Stone("E5"));
    EXPECT_TRUE(Stone("A9"));
    EXPECT_TRUE(Stone("D4"));
    EXPECT_EQ(Game->Record().MainLine().size(), 4u);
    // The buttons are disabled; their commands refuse too.
    EXPECT_FALSE(Game->PassButton()->isEnabled());
    Game->UndoCommand();
    Game->PassCommand();
    Game->HintCommand();
    ClickAt("C3");
    EXPECT_FALSE(Stone("C3"));
    EXPECT_EQ(Status(), QStringLiteral("コンピュータが動いていないので、対局を続けられません。"));
    EXPECT_EQ(Game->Match().Moves().size(), 3u);  // nothing was taken back or passed
    Game.reset();
  }
}

TEST_F(ComputerGameTest, AnEngineThatDoesNotStartIsReportedAtOnce) {
  struct Case {
    const char *Command;
    const char *Expected;
  };
  const std::vector<Case> cases = {
      {"/nonexistent/go-engine --mode gtp", "「/nonexistent/go-engine --mode gtp」を起動できませんでした"},
      {"/bin/false", "「/bin/false」が起動してすぐに止まりました"},
      {"/bin/cat", "「/bin/cat」が囲碁の対局の言葉（GTP）で答えませんでした"},  // echoes the commands
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Command);
    Messages->Errors.clear();
    versus::TGameSettings settings;
    settings.EngineCommand = QString::fromUtf8(c.Command);
    OpenWith(settings);
    EXPECT_EQ(Game->Phase(), TPhase::Broken);
    ASSERT_EQ(Messages->Errors.size(), 1);
    EXPECT_TRUE(Messages->Errors.front().contains(QString::fromUtf8(c.Expected))) << Messages->Errors.front().toStdString();
    ClickAt("E5");
    EXPECT_FALSE(Stone("E5"));
    Game.reset();
  }
}

TEST_F(ComputerGameTest, TheLearnerCanResignOrCloseWhileTheEngineThinks) {
  SetMoveTimeout(1);
  Open({QStringLiteral("--hang-at"), QStringLiteral("1")});
  QTest::mouseClick(Game->Label(At("E5")), Qt::LeftButton);
  QTest::qWait(100);
  ASSERT_TRUE(Game->EngineBusy());
  EXPECT_TRUE(Game->BusyBar()->isVisible());
  EXPECT_FALSE(Game->PassButton()->isEnabled());
  EXPECT_FALSE(Game->UndoButton()->isEnabled());
  EXPECT_TRUE(Game->ResignButton()->isEnabled());
  QTest::mouseClick(Game->Label(At("D4")), Qt::LeftButton);
  EXPECT_EQ(Status(), versus::RefusalText(go::match::TRefusal::WrongTurn));
  EXPECT_FALSE(Stone("D4"));
  Messages->Answer = TAnswer::Yes;
  QTest::mouseClick(Game->ResignButton(), Qt::LeftButton);
  EXPECT_EQ(Game->Phase(), TPhase::Over);
  EXPECT_FALSE(Game->EngineBusy());
  EXPECT_FALSE(Game->BusyBar()->isVisible());
  EXPECT_EQ(Game->ResultText(), QStringLiteral("白の 中押し勝ち"));
  // The engine is stopped with the game: no late time-out overwrites the result.
  EXPECT_FALSE(Game->CommandsPending());
  QTest::qWait(1500);
  EXPECT_EQ(Status(), QStringLiteral("あなたが投了しました。白の 中押し勝ちです。"));
  Game.reset();

  Open({QStringLiteral("--hang-at"), QStringLiteral("1")});
  QTest::mouseClick(Game->Label(At("E5")), Qt::LeftButton);
  QTest::qWait(100);
  ASSERT_TRUE(Game->EngineBusy());
  // Closing stops the hanging engine instead of waiting for its answer.
  Game->close();
  EXPECT_FALSE(Game->EngineBusy());
  EXPECT_FALSE(Game->BusyBar()->isVisible());
  EXPECT_TRUE(Stone("E5"));
  EXPECT_TRUE(Messages->Errors.empty());
  Game.reset();
}

}  // namespace
}  // namespace miretoka::test

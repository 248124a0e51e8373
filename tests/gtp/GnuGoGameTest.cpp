// A few moves against GNU Go itself on 9 lines (skipped where GNU Go is not installed).
#include <QStandardPaths>
#include <QTest>
#include <algorithm>

#include "ComputerGameTestSupport.h"
#include "app/play/EngineProcess.h"
#include "go/match/Handicap.h"

namespace miretoka::test {
namespace {

using versus::TPhase;

TEST_F(ComputerGameTest, GnuGoAnswersOnNineLines) {
  if (QStandardPaths::findExecutable(QStringLiteral("gnugo")).isEmpty() &&
      QStandardPaths::findExecutable(QStringLiteral("gnugo"), {QStringLiteral("/usr/games")}).isEmpty())
    GTEST_SKIP() << "gnugo is not installed";
  versus::TGameSettings settings;
  settings.EngineCommand = QStandardPaths::findExecutable(QStringLiteral("gnugo"), {QStringLiteral("/usr/games")});
  if (settings.EngineCommand.isEmpty()) settings.EngineCommand = QStringLiteral("gnugo");
  settings.EngineCommand += QStringLiteral(" --mode gtp");
  settings.Level = 1;
  OpenWith(settings);
  ASSERT_EQ(Game->Phase(), TPhase::Playing) << Status().toStdString();
  for (const char *v : {"E5", "C5", "G5"}) {
    if (Game->Match().Board().At(At(v)) != 0) continue;
    const size_t before = Game->Match().Moves().size();
    ClickAt(v);
    ASSERT_EQ(Game->Phase(), TPhase::Playing) << Status().toStdString();
    ASSERT_EQ(Game->Match().Moves().size(), before + 2);
    EXPECT_EQ(Game->Match().Moves().back().Color, 2);
  }
  PressButton(Game->HintButton());
  EXPECT_NE(Game->HintPoint(), 0) << Status().toStdString();
  EXPECT_EQ(Game->Match().Board().At(Game->HintPoint()), 0);
  const size_t played = Game->Match().Moves().size();
  ASSERT_GE(played, 4u);
  PressButton(Game->UndoButton());
  EXPECT_EQ(Game->Match().Moves().size(), played - 2);
  // GNU Go took both moves back too: the game goes on with a legal answer.
  for (const char *v : {"E3", "C3", "G3", "J1"})
    if (Game->Match().Board().At(At(v)) == 0) {
      ClickAt(v);
      break;
    }
  EXPECT_EQ(Game->Phase(), TPhase::Playing) << Status().toStdString();
  EXPECT_EQ(Game->Match().Moves().size(), played);
  EXPECT_TRUE(Messages->Errors.empty());
}

// Our handicap places are GNU Go's: fixed_handicap through the client, for every size and count.
TEST(GnuGoEngine, HandicapPlacesAgree) {
  const QString gnugo = QStandardPaths::findExecutable(QStringLiteral("gnugo"), {QStringLiteral("/usr/games")});
  if (gnugo.isEmpty()) GTEST_SKIP() << "gnugo is not installed";
  versus::TEngineProcess process;
  process.Start(gnugo, {QStringLiteral("--mode"), QStringLiteral("gtp")});
  int answered = 0;
  for (int size : {9, 13, 19}) {
    go::gtp::TEngine engine(process.Client(), size);
    for (int stones = 2; stones <= 9; ++stones) {
      engine.NewGame(nullptr);
      engine.FixedHandicap(stones, [&, size, stones](const go::gtp::TPointsAnswer &a) {
        ++answered;
        ASSERT_TRUE(a.Ok()) << a.Reply.Text;
        std::vector<int> ours = go::match::HandicapPoints(size, stones), theirs = a.Points;
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        EXPECT_EQ(ours, theirs) << size << " lines, " << stones << " stones";
      });
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !process.Client().Busy(); }, 20000));
  }
  EXPECT_EQ(answered, 24);
  EXPECT_FALSE(process.Client().Broken());
}

}  // namespace
}  // namespace miretoka::test

// A whole 9-line game against GNU Go at level 1, played through the window with the mouse,
// counted and saved, with pictures of its stages. Not part of the test run:
//   build/bin/miretoka_play_demo [--gtest_filter=…]   (writes into $MIRETOKA_DEMO_OUT, or docs/)
// The learner's side clicks the point ヒント suggests (GNU Go's own choice for the learner),
// and passes when the hint is a pass.
#include <QDir>
#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "ComputerGameTestSupport.h"
#include "app/board/PlayState.h"
#include "app/board/SavedGame.h"
#include "app/play/NewGameDialog.h"
#include "go/SgfReader.h"

namespace miretoka::test {
namespace {

using versus::TPhase;

QString OutDir() {
  const QString dir = qEnvironmentVariable("MIRETOKA_DEMO_OUT", QStringLiteral(DOCS_DIR));
  QDir().mkpath(dir);
  return dir + QLatin1Char('/');
}

void Picture(QWidget *w, const QString &name) {
  QCoreApplication::processEvents();
  ASSERT_TRUE(w->grab().save(OutDir() + name)) << name.toStdString();
}

QString GnuGo() {
  QString gnugo = QStandardPaths::findExecutable(QStringLiteral("gnugo"), {QStringLiteral("/usr/games")});
  if (gnugo.isEmpty()) gnugo = QStandardPaths::findExecutable(QStringLiteral("gnugo"));
  return gnugo;
}

// The pictures show the program's own stone pictures, which the build puts beside this program.
void UseProgramStones() { play::ProgramDir = QCoreApplication::applicationDirPath() + QLatin1Char('/'); }

TEST_F(ComputerGameTest, WholeNineLineGameAgainstGnuGo) {
  if (GnuGo().isEmpty()) GTEST_SKIP() << "gnugo is not installed";
  UseProgramStones();
  versus::TGameSettings settings;
  // GNU Go draws lots; a fixed seed plays the same game every time.
  settings.EngineCommand = GnuGo() + QStringLiteral(" --mode gtp --seed ") +
                           qEnvironmentVariable("MIRETOKA_DEMO_SEED", QStringLiteral("2"));
  settings.Level = 1;

  {
    versus::TNewGameDialog dialog(settings);
    dialog.show();
    Picture(&dialog, QStringLiteral("play-settings.png"));
  }

  OpenWith(settings);
  ASSERT_EQ(Game->Phase(), TPhase::Playing) << Status().toStdString();
  int learnerMoves = 0;
  for (int turn = 0; turn < 150 && Game->Phase() == TPhase::Playing; ++turn) {
    PressButton(Game->HintButton());
    ASSERT_NE(Game->Phase(), TPhase::Broken) << Status().toStdString();
    const int hint = Game->HintPoint();
    if (learnerMoves == 14 && hint != 0) Picture(Game.get(), QStringLiteral("play-9-hint.png"));
    if (hint == 0) {
      PressButton(Game->PassButton());
    } else {
      QTest::mouseClick(Game->Label(hint), Qt::LeftButton);
      WaitIdle();
      ++learnerMoves;
    }
  }
  ASSERT_EQ(Game->Phase(), TPhase::Marking) << Status().toStdString();
  Picture(Game.get(), QStringLiteral("play-9-dead-stones.png"));
  std::printf("GNU Go marks %d stones dead\n", static_cast<int>(Game->Dead().size()));
  PressButton(Game->CountButton());
  ASSERT_EQ(Game->Phase(), TPhase::Over);
  EXPECT_FALSE(Game->ResultText().isEmpty());
  Picture(Game.get(), QStringLiteral("play-9-result.png"));
  std::printf("%d moves; %s\n%s\n", static_cast<int>(Game->Match().Moves().size()),
              Game->ResultText().toStdString().c_str(), Status().toStdString().c_str());

  const QString sgf = OutDir() + QStringLiteral("play-9-gnugo-level1.sgf");
  Game->ChooseFile = [&](QWidget *, const QString &) { return sgf; };
  Game->SaveRecordCommand();
  const go::TSgfRecord record = go::ReadSgfFile(sgf.toStdString());
  ASSERT_EQ(record.Trees.size(), 1u);
  EXPECT_EQ(record.Trees.front().MainLine().size(), Game->Match().Moves().size() + 1);
  // GNU Go counts the saved game the same way (the dead stones were its own).
  QProcess oracle;
  oracle.start(GnuGo(), {QStringLiteral("--mode"), QStringLiteral("gtp"), QStringLiteral("--japanese-rules")});
  ASSERT_TRUE(oracle.waitForStarted());
  oracle.write(QStringLiteral("loadsgf %1\nfinal_score\nquit\n").arg(sgf).toUtf8());
  ASSERT_TRUE(oracle.waitForFinished(60000));
  const QStringList answers = QString::fromUtf8(oracle.readAllStandardOutput()).split(QStringLiteral("\n\n"));
  ASSERT_GE(answers.size(), 2);
  EXPECT_EQ(answers[1].mid(2).trimmed().toStdString(), Game->Record().Info.Result);
  std::printf("GNU Go's count: %s\n", answers[1].toStdString().c_str());
  Game->SaveAdjournedCommand();
  EXPECT_FALSE(StoredMoves(DataModule, 9).empty());
}

TEST_F(ComputerGameTest, NineteenLinesWithFourStones) {
  if (GnuGo().isEmpty()) GTEST_SKIP() << "gnugo is not installed";
  versus::TGameSettings settings;
  UseProgramStones();
  settings.Size = 19;
  settings.Handicap = 4;
  settings.Komi = 0.5;
  settings.EngineCommand = GnuGo() + QStringLiteral(" --mode gtp");
  OpenWith(settings);
  ASSERT_EQ(Game->Phase(), TPhase::Playing) << Status().toStdString();
  for (const char *v : {"R14", "C14", "O17"})
    if (Game->Match().Board().At(At(v)) == 0) ClickAt(v);
  Picture(Game.get(), QStringLiteral("play-19-handicap.png"));
}

// The window while the engine thinks, and after it died (the scripted engine hangs, then
// is told to crash).
TEST_F(ComputerGameTest, ThinkingAndAStoppedEngine) {
  UseProgramStones();
  Open({QStringLiteral("--moves"), QStringLiteral("C3,G7"), QStringLiteral("--hang-at"), QStringLiteral("3")});
  ClickAt("E5");
  ClickAt("G3");
  QTest::mouseClick(Game->Label(At("C7")), Qt::LeftButton);
  QTest::qWait(300);
  ASSERT_TRUE(Game->EngineBusy());
  Picture(Game.get(), QStringLiteral("play-thinking.png"));
  Game.reset();

  Open({QStringLiteral("--moves"), QStringLiteral("C3,G7"), QStringLiteral("--crash-at"), QStringLiteral("3")});
  ClickAt("E5");
  ClickAt("G3");
  ClickAt("C7");
  ASSERT_EQ(Game->Phase(), TPhase::Broken);
  Picture(Game.get(), QStringLiteral("play-engine-stopped.png"));
}

}  // namespace
}  // namespace miretoka::test

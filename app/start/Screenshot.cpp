#include "app/start/Screenshot.h"

#include <QCoreApplication>
#include <QRadioButton>
#include <cstdio>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/SmallBoardWindow.h"
#include "app/board/SmallBoardWindows.h"

namespace miretoka {

using namespace play;

namespace {

// The value after `name` as a number; `fallback` when the argument is absent.
int NumberAfter(const QStringList &args, const char *name, int fallback, bool &ok) {
  const int i = args.indexOf(QString::fromLatin1(name));
  if (i < 0) return fallback;
  bool good = false;
  const int n = i + 1 < args.size() ? args[i + 1].toInt(&good) : 0;
  if (!good) {
    std::fprintf(stderr, "%s needs a number\n", name);
    ok = false;
  }
  return n;
}

QList<int> PointsAfter(const QStringList &args, const char *name, bool &ok) {
  QList<int> points;
  const int i = args.indexOf(QString::fromLatin1(name));
  if (i < 0) return points;
  if (i + 1 >= args.size()) {
    ok = false;
    return points;
  }
  for (const QString &part : args[i + 1].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    bool good = false;
    points.append(part.toInt(&good));
    if (!good) ok = false;
  }
  return points;
}

}  // namespace

QWidget *PrepareScreenshot(TForm2 &main, const QStringList &args) {
  bool ok = true;
  const int lesson = NumberAfter(args, "--lesson", 0, ok);
  const int forward = NumberAfter(args, "--forward", 0, ok);
  const int board = NumberAfter(args, "--board", 19, ok);
  const QList<int> moves = PointsAfter(args, "--play", ok);
  if (!ok || (board != 19 && board != 13 && board != 9)) {
    std::fprintf(stderr, "usage: --screenshot FILE [--coordinates] [--lesson MNB [--forward N]] "
                         "[--board 13|9] [--play P,P,...]\n");
    return nullptr;
  }
  if (args.contains(QStringLiteral("--coordinates"))) main.ShowCoordinates(true);
  main.ShowHelpTopic = nullptr;  // a picture of the board, not of the help window
  if (lesson > 0) {
    if (!main.OpenLessonNumbered(lesson)) {
      std::fprintf(stderr, "no lesson %d in the contents\n", lesson);
      return nullptr;
    }
    for (int i = 0; i < forward; ++i) {
      if (ChoicePending == 1 && ChoiceTable[0].Point > 0)
        main.Label1MouseDown(main.Label(ChoiceTable[0].Point), Qt::LeftButton, Qt::NoModifier);
      else
        main.CuteButton5Click();
    }
  }
  if (board == 19) {
    for (int p : moves)
      if (p >= 1 && p <= 361) main.Label1MouseDown(main.Label(p), Qt::LeftButton, Qt::NoModifier);
    return &main;
  }
  TSmallBoardWindow *window = board == 13 ? static_cast<TSmallBoardWindow *>(main.Form3())
                                          : static_cast<TSmallBoardWindow *>(main.Form4());
  if (!window) return nullptr;
  BoardSize = board;
  PointCount = board * board;
  window->ClearWindow();
  PlayMode = PlayAlternate;
  window->RadioButton1()->setChecked(true);
  CurrentColor = 1;
  window->show();
  for (int p : moves)
    if (p >= 1 && p <= PointCount) window->Label1MouseDown(window->Label(p), Qt::LeftButton, Qt::NoModifier);
  return window;
}

}  // namespace miretoka

#include "ComputerGameTestSupport.h"

#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTest>

#include "app/board/BoardControls.h"
#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"
#include "go/Point.h"

namespace miretoka::test {

void ComputerGameTest::SetUp() {
  BoardTest::SetUp();
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Dir.path() + QStringLiteral("/settings"));
  SetMoveTimeout(20);
  Log = Dir.path() + QStringLiteral("/engine.log");
}

void ComputerGameTest::TearDown() {
  Game.reset();
  BoardTest::TearDown();
}

void ComputerGameTest::SetMoveTimeout(double seconds) {
  QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Miretoka"), QStringLiteral("miretoka"))
      .setValue(QStringLiteral("play/moveTimeoutSeconds"), seconds);
}

void ComputerGameTest::Open(const QStringList &arguments, versus::TGameSettings settings) {
  QStringList words{QStringLiteral(SCRIPTED_ENGINE), QStringLiteral("--log"), Log};
  words += arguments;
  settings.EngineCommand = words.join(QLatin1Char(' '));
  OpenWith(settings);
}

void ComputerGameTest::OpenWith(const versus::TGameSettings &settings) {
  Game = std::make_unique<versus::TComputerGameWindow>(settings, &DataModule);
  Game->show();
  Game->Start();
  WaitIdle();
}

bool ComputerGameTest::WaitIdle(int milliseconds) {
  return QTest::qWaitFor([this] { 
    return !Game->EngineBusy() && !Game->CommandsPending() && Game->Phase() != versus::TPhase::Starting;
  },
                         milliseconds);
}

int ComputerGameTest::At(const char *vertex) const {
  return *go::PointFromDisplay(Game->Settings().Size, vertex);
}

void ComputerGameTest::ClickAt(const char *vertex) {
  QTest::mouseClick(Game->Label(At(vertex)), Qt::LeftButton);
  WaitIdle();
}

void ComputerGameTest::PressButton(TCuteButton *button) {
  QTest::mouseClick(button, Qt::LeftButton);
  WaitIdle();
}

QString ComputerGameTest::Status() const { return Game->StatusBar1()->PanelText(0); }
bool ComputerGameTest::Stone(const char *vertex) const { return !Game->Image(At(vertex))->IsEmpty(); }
QString ComputerGameTest::Mark(const char *vertex) const { return Game->Label(At(vertex))->text(); }

QStringList ComputerGameTest::Commands() const {
  QFile f(Log);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList out;
  for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    out << line.section(QLatin1Char(' '), 1);  // without the id
  return out;
}

}  // namespace miretoka::test

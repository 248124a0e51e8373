// TForm2: gomoku (five in a row) on the 19-line board. Stones alternate, carry
// no number and never capture; the players judge the game themselves.
#include <QRadioButton>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"

namespace miretoka {

using namespace play;

void TForm2::N7Click() {
  FBoard->CancelDeadMarking(true);
  PlayMode = PlayGomoku;
  {
    // "交互" is only shown checked: its handler would leave gomoku again.
    const QSignalBlocker block(RadioButton1());
    RadioButton1()->setChecked(true);
  }
  CurrentColor = 1;
  FStatusBar1->SetPanelText(1, QStringLiteral("五目並べ中"));
}

void TForm2::N8Click() {
  PlayMode = PlayAlternate;
  FStatusBar1->SetPanelText(1, QString());
}

void TForm2::GomokuPlace(int point) {
  RememberStep();
  MoveNumber = 0;
  RecordMove(0, CurrentColor, point);
  DrawStone(0, CurrentColor, point, 0, QString());
  CurrentColor = NextColor(CurrentColor);
}

}  // namespace miretoka

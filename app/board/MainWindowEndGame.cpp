// TForm2: the three play-mode buttons and the territory count. The marking of
// dead stones itself is the board's (TPlayBoard).
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"

namespace miretoka {

using namespace play;

void TForm2::RadioButton1Click() { SelectAlternate(*FBoard); }

void TForm2::RadioButton2Click() { SelectFree(*FBoard); }

void TForm2::RadioButton3Click() { SelectEndOfGame(this); }

void TForm2::N9Click() {
  if (PlayMode != PlayEndOfGame) return;
  FStatusBar1->SetPanelText(0, QStringLiteral("盤面：") + TerritoryText());
  PlayFeedback(0);
}

}  // namespace miretoka

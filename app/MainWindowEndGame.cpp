// TForm2: the three play-mode buttons, the marking of dead stones at the end
// of a game and the territory count.
#include <QLineEdit>
#include <QRadioButton>

#include "app/DeadGroup.h"
#include "app/ErrorReporter.h"
#include "app/MainWindow.h"
#include "app/PlayState.h"
#include "app/StatusPanels.h"
#include "app/Territory.h"

namespace miretoka {

using namespace play;

void TForm2::RadioButton1Click() {
  CancelDeadMarking(true);
  PlayMode = PlayAlternate;
  CurrentColor = NextColor(CurrentColor);
}

void TForm2::RadioButton2Click() {
  CancelDeadMarking(true);
  PlayMode = PlayFree;
}

void TForm2::RadioButton3Click() {
  PlayMode = PlayEndOfGame;
  Reporter().ShowInformation(this, QStringLiteral("手入れの完了を確認してください。ダメ詰めは不要です。"));
}

void TForm2::CancelDeadMarking(bool restoreLabels) {
  if (restoreLabels)
    for (const auto &[point, text] : DeadCoveredTexts)
      if (Label(point)->text() == QStringLiteral("*")) Label(point)->setText(text);
  DeadCoveredTexts.clear();
  DeadList.clear();
  DeadMarked = 0;
}

void TForm2::MarkDeadStones(int point) {
  const bool stone = Board[static_cast<std::size_t>(point - 1)] > 0;
  if (!stone) return;
  if (DeadMarked == 0) {
    ListDeadGroup(point);
    DeadCoveredTexts.clear();
    for (std::int32_t e : DeadList)
      if (e < 0) {
        DeadCoveredTexts.emplace_back(-e, Label(-e)->text());
        Label(-e)->setText(QStringLiteral("*"));
      }
    DeadMarked = 1;
    return;
  }
  if (!IsInDeadList(point)) return;  // a click beside the marked group leaves the marks
  for (std::int32_t e : DeadList) {
    if (e >= 0) continue;
    const int q = -e;
    Image(q)->Clear();
    Label(q)->setText(QString());
    if (Board[static_cast<std::size_t>(q - 1)] == 1)
      BlackCaptured += 1;
    else
      WhiteCaptured += 1;
    Board[static_cast<std::size_t>(q - 1)] = 0;
  }
  ShowCaptured();
  DeadList.clear();
  DeadCoveredTexts.clear();
  DeadMarked = 0;
}

void TForm2::N9Click() {
  if (PlayMode != PlayEndOfGame) return;
  const TerritoryCount t = CountTerritory();
  FStatusBar1->SetPanelText(0, QStringLiteral("盤面：黒 %1 目、白 %2 目です。")
                                   .arg(t.Black - BlackCaptured)
                                   .arg(t.White - WhiteCaptured));
  PlayFeedback(0);
}

}  // namespace miretoka

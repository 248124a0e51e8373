// TForm2: 解答表示 - the recorded answer of the current problem played by itself from the end
// of the problem's basic figure, one move a second.
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/FigureNavigation.h"

namespace miretoka {

using namespace play;

void TForm2::CuteButton10Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &q = dm.KuraQuery2;
  // In a problem lesson without the problem's rows the cursor would stay on another
  // problem and play its answer on the emptied board instead. (Elsewhere - a lesson without
  // problems in the editor layout - the playback goes on from the current row.)
  const bool found = q.Active() && q.Locate("DTX", kura::TKuraValue(CurrentProblem));
  if (!found && LessonKind != 0) {
    Reporter().ShowInformation(this, QStringLiteral("この問題はありません。"));
    return;
  }
  GoToBranchEnd(dm);
  AutoAdvance = 1;
  // The board is not cleared: stones the learner placed stay. Each drawn move starts Timer2
  // again until the answer ends.
  StepForward();
}

}  // namespace miretoka

// TForm2: a board click in the editor layout. With Edit3 empty the click records a move (left
// button black, any other white), shown without its number; with characters in Edit3 it
// records a mark of the chosen lettering (文字仕様). Either way the click is drawn at once and kept
// in the move list until 基本図登録 or 手順登録 stores it.
#include <QLineEdit>

#include "app/authoring/LessonAuthoring.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/Marks.h"

namespace miretoka {

using namespace play;

void TForm2::AuthoringClick(int point, Qt::MouseButton button) {
  const QString t = FEdit3->text();
  if (!t.isEmpty() && !LetteringChosen()) {
    Reporter().ShowInformation(this, QStringLiteral("文字仕様を選択してください"));
    return;
  }
  MoveCount += 1;
  const std::int32_t code = MarkCode(MarkPlace, MarkColor);
  MoveRecord &entry = MoveAt(MoveCount);
  const std::int32_t buttonColor = button == Qt::LeftButton ? 1 : 2;
  if (t.isEmpty()) {
    CurrentColor = buttonColor;
    Board[static_cast<std::size_t>(point - 1)] = CurrentColor;
    MoveNumber += 1;
    entry = MoveRecord{MoveNumber, CurrentColor, point, 0};
    // As with a placement in play, the stone shows through a background mark's patch.
    Label(point)->SetTransparent(true);
    // A move has no characters; a text left from an earlier, cleared click must not be
    // stored with it.
    MoveTextAt(MoveCount - 1).clear();
  } else {
    if (MarkPlace == MarkOnStone) {
      CurrentColor = buttonColor;
      Board[static_cast<std::size_t>(point - 1)] = CurrentColor;
    } else {
      CurrentColor = MarkPlace == MarkOnBackground ? BackgroundMarkColor : 0;
    }
    MoveNumber = 0;
    entry = MoveRecord{0, CurrentColor, point, code};
    MoveTextAt(MoveCount - 1) = t;
  }
  DrawStone(MoveNumber, CurrentColor, point, t.isEmpty() ? 0 : code, t);
}

}  // namespace miretoka

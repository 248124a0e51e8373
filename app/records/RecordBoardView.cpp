#include "app/records/RecordBoardView.h"

#include <QRadioButton>

#include "app/board/BoardControls.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/SmallBoardWindow.h"
#include "app/board/StatusPanels.h"

namespace miretoka::records {

using namespace play;

namespace {

void CheckAlternate(QRadioButton *alternate) {
  // Checking runs the button's handler when it was not checked; the mode is set either way.
  alternate->setChecked(true);
  PlayMode = PlayAlternate;
}

class TMainBoardView : public TBoardView {
 public:
  explicit TMainBoardView(TForm2 *w) : FWindow(w) {}
  QWidget *Window() const override { return FWindow; }
  int Lines() const override { return 19; }
  void Clear() override {
    FWindow->ClearBoard();
    // The board no longer shows a lesson: a click is a move of the game, not an answer to
    // check, and an answer being played by itself stops.
    LessonKind = 0;
    AutoAdvance = 0;
    CheckAlternate(FWindow->RadioButton1());
  }
  void DrawSetup(int color, int point) override { FWindow->DrawStone(0, color, point, 0, QString()); }
  void DrawMove(int number, int color, int point) override { FWindow->DrawStone(number, color, point, 1, QString()); }
  void Erase(int point) override {
    FWindow->Image(point)->Clear();
    FWindow->Label(point)->setText(QStringLiteral(" "));
  }
  TPointLabel *Label(int point) const override { return FWindow->Label(point); }
  void SetStatus(int panel, const QString &text) override { FWindow->StatusBar1()->SetPanelText(panel, text); }
  QString Status(int panel) const override { return FWindow->StatusBar1()->PanelText(panel); }

 private:
  TForm2 *FWindow;
};

class TSmallBoardView : public TBoardView {
 public:
  explicit TSmallBoardView(TSmallBoardWindow *w) : FWindow(w) {}
  QWidget *Window() const override { return FWindow; }
  int Lines() const override { return FWindow->Lines(); }
  void Clear() override {
    FWindow->ClearWindow();
    CheckAlternate(FWindow->RadioButton1());
  }
  void DrawSetup(int color, int point) override { FWindow->DrawStone(0, color, point, 0); }
  void DrawMove(int number, int color, int point) override { FWindow->DrawStone(number, color, point, 1); }
  void Erase(int point) override {
    FWindow->Image(point)->Clear();
    FWindow->Label(point)->setText(QString());
  }
  TPointLabel *Label(int point) const override { return FWindow->Label(point); }
  void SetStatus(int panel, const QString &text) override { FWindow->StatusBar1()->SetPanelText(panel, text); }
  QString Status(int panel) const override { return FWindow->StatusBar1()->PanelText(panel); }

 private:
  TSmallBoardWindow *FWindow;
};

}  // namespace

std::unique_ptr<TBoardView> MainBoardView(TForm2 *window) { return std::make_unique<TMainBoardView>(window); }
std::unique_ptr<TBoardView> SmallBoardView(TSmallBoardWindow *window) {
  return std::make_unique<TSmallBoardView>(window);
}

}  // namespace miretoka::records

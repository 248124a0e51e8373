// TForm2: choosing a problem of a problem lesson in 問題選択 - the board is cleared and the
// chosen problem's basic figure is drawn - and the wiring of the two problem boxes.
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>
#include <functional>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"

namespace miretoka {

using namespace play;

namespace {

// Runs a handler on a double-click in the text part of a box; the click itself goes on to
// the box as usual.
class TDoubleClickFilter : public QObject {
public:
  TDoubleClickFilter(QObject *parent, std::function<void()> handler) : QObject(parent), FHandler(std::move(handler)) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::MouseButtonDblClick) FHandler();
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void()> FHandler;
};

// A box that starts with none of its entries chosen, its caption in the text part. Typed
// text never becomes an entry of its own.
void ShowCaptionOnly(QComboBox *box, const QString &caption) {
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCurrentIndex(-1);
  box->setEditText(caption);
}

}  // namespace

void TForm2::ConnectProblemControls() {
  struct TBox {
    QComboBox *Box;
    QString Caption;
    void (TForm2::*Handler)();
  };
  for (const TBox &b : {TBox{FComboBox1, QStringLiteral("問題選択"), &TForm2::ComboBox1Click},
                        TBox{FComboBox2, QStringLiteral("解答選択"), &TForm2::ComboBox2Click}}) {
    ShowCaptionOnly(b.Box, b.Caption);
    const auto handler = b.Handler;
    auto run = [this, handler] { RunHandler(this, [this, handler] { (this->*handler)(); }); };
    // A choice from the list, by mouse or keyboard, is the box's click.
    connect(b.Box, &QComboBox::activated, this, run);
    if (b.Box->lineEdit()) b.Box->lineEdit()->installEventFilter(new TDoubleClickFilter(b.Box, run));
  }
}

void TForm2::ComboBox1Click() {
  // With no entry chosen (a double-click on the bare caption) this looks for problem 0,
  // which no figure has.
  CurrentProblem = FComboBox1->currentIndex() + 1;
  // An answer playing by itself stops here, so it does not go on into the new problem and
  // give its answer away; AutoAdvance keeps its value, as with 元に戻す.
  FTimer2->stop();
  FComboBox2->setCurrentIndex(-1);
  FComboBox2->setEditText(QStringLiteral("解答選択"));
  ClearBoard();
  kura::TKuraQuery &q = LessonData(FDataModule).KuraQuery2;
  if (q.Active() && q.Locate("DTX", kura::TKuraValue(CurrentProblem))) {
    ShowProblem();
  } else {
    Reporter().ShowInformation(this, QStringLiteral("この問題はありません。"));
  }
}

}  // namespace miretoka

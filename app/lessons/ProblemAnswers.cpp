// TForm2: judging the learner's answer to a problem - the choice in 解答選択 against the
// sign on the problem's first row, and a stone placed on the board against the problem's
// answer sequences.
#include <QComboBox>
#include <cstdlib>
#include <vector>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/FigureNavigation.h"

namespace miretoka {

using namespace play;

namespace {

enum { fMNB, fTES, fCOL, fPST, fBFR, fBTO, fDTX, fCMT };

std::int32_t Field(kura::TKuraQuery &q, int position) { return static_cast<std::int32_t>(q.Fields(position).AsInteger()); }

const QString AnswerSigns[] = {QStringLiteral("○"), QStringLiteral("×"), QStringLiteral("－")};

bool IsAnswerSign(const QString &text) {
  for (const QString &sign : AnswerSigns)
    if (text == sign) return true;
  return false;
}

}  // namespace

void TForm2::ComboBox2Click() {
  const int index = FComboBox2->currentIndex();
  // A double-click on the bare caption chooses nothing, so there is nothing to judge.
  if (index < 0 || index > 2) return;
  const QString a = AnswerSigns[index];
  kura::TKuraQuery &q = LessonData(FDataModule).KuraQuery2;
  // The sign is read from the problem's own first row only: a problem missing from the figure,
  // or one that is answered on the board alone, has no sign to compare with, and the row the
  // cursor happens to stand on must not be taken for its answer.
  if (!q.Active() || q.IsEmpty()) {
    Reporter().ShowInformation(this, QStringLiteral("この問題はありません。"));
    return;
  }
  // The figure cursor is the position of 1手進む and 1手戻す: reading the sign leaves it where
  // the board is.
  const std::vector<uint8_t> here = q.GetBookmark();
  if (!q.Locate("DTX", kura::TKuraValue(CurrentProblem))) {
    Reporter().ShowInformation(this, QStringLiteral("この問題はありません。"));
    return;
  }
  const QString c = QString::fromStdString(q.Fields(fCMT).AsString());
  q.GotoBookmark(here);
  if (!IsAnswerSign(c)) {
    Reporter().ShowInformation(this, QStringLiteral("この問題は解答選択では答えられません。"));
    return;
  }
  if (a != c) {
    Reporter().ShowInformation(this, QStringLiteral("間違いです。正解は「") + c + QStringLiteral("」です。"));
  } else {
    FStatusBar1->SetPanelText(0, QStringLiteral("正解です"));
    PlayFeedback(0);
  }
}

void TForm2::CheckAnswerMove(int point) {
  // The placement has put the stone down, numbered it and handed the turn over; MoveNumber
  // is the number of the move being judged.
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &q = dm.KuraQuery2;
  const std::vector<uint8_t> before = q.Active() && !q.IsEmpty() ? q.GetBookmark() : std::vector<uint8_t>{};
  const bool found =
      q.Active() && q.Locate("TES;PST;DTX", std::vector<kura::TKuraValue>{kura::TKuraValue(MoveNumber),
                                                                         kura::TKuraValue(point),
                                                                         kura::TKuraValue(CurrentProblem)});
  // A recorded move with a negative colour is a wrong answer kept to show what goes wrong
  // (offered as a red choice by 解答表示): played on the board it is judged wrong too, and
  // its comment tells the learner why.
  const bool recordedWrong = found && Field(q, fCOL) < 0;
  if (!found || recordedWrong) {
    const QString why = recordedWrong ? QString::fromStdString(q.Fields(fCMT).AsString()) : QString();
    if (recordedWrong) q.GotoBookmark(before);  // the figure cursor stays where the board is
    PlayFeedback(0);
    Reporter().ShowInformation(this, QStringLiteral("この手は間違いです。"));
    StepBack();  // takes the wrong stone back
    if (!why.isEmpty()) FStatusBar1->SetPanelText(1, why);
    return;
  }
  // The answer's own comment explains it, as it does when 解答表示 plays the answer.
  ShowComment(QString::fromStdString(q.Fields(fCMT).AsString()));
  const std::int32_t branchEnd = Field(q, fBFR);
  if (branchEnd == 0) {
    // The answer goes on with the next row: 1手進む plays the reply from here.
    PlayFeedback(0);
    FStatusBar1->SetPanelText(0, QStringLiteral("正解です。進めてください。"));
    return;
  }
  const std::vector<uint8_t> answerRow = q.GetBookmark();
  const std::int32_t branches = FindBranches(dm, branchEnd);
  q.GotoBookmark(answerRow);
  if (branches > 0) {
    // 1手進む offers the branches hanging at this end.
    PlayFeedback(0);
    FStatusBar1->SetPanelText(0, QStringLiteral("正解です。進めてください。"));
  } else {
    CurrentColor = 1;
    MoveNumber = 0;
    PlayFeedback(1);
    FStatusBar1->SetPanelText(0, QStringLiteral("正解です。解答手順は終了です。"));
    LessonFinished();
  }
}

void TForm2::PassTurnInProblem() {
  // A figure step leaves CurrentColor at the colour of the move it drew, which a lesson
  // without problems (free placement) never reads. In a problem lesson the learner answers
  // in turn, so the stone after the drawn move must be of the other colour.
  if (LessonKind != 0) CurrentColor = NextColor(std::abs(CurrentColor));
}

}  // namespace miretoka

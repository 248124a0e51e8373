// TForm2: MNB変 - moves every row of the open figure to the figure number typed into Edit3
// (1000 or above) and opens the figure under its new number. The contents row keeps its
// number; the author corrects it in the contents grid.
#include <QLineEdit>
#include <stdexcept>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"

namespace miretoka {

using namespace play;

namespace {

int IntegerFromText(const QString &text) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok) throw std::runtime_error(QStringLiteral("'%1' は整数ではありません").arg(text).toStdString());
  return n;
}

// Whether figure `mnb` already holds rows, read through the scratch query.
bool FigureHasRows(TDataModule1 &dm, int mnb) {
  kura::TKuraQuery &q = dm.KuraQuery4;
  q.Close();
  q.SQL().Clear();
  q.SQL().Add("Select *");
  q.SQL().Add("From figure");
  q.SQL().Add("Where MNB = :MNB");
  q.Params()[0].SetAsInteger(mnb);
  q.Open();
  const bool rows = !q.IsEmpty();
  q.Close();
  return rows;
}

}  // namespace

void TForm2::CuteButton11Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  const int n = IntegerFromText(FEdit3->text());
  if (n < 1000) {
    Reporter().ShowInformation(this, QStringLiteral("MNBが不正です。"));
    return;
  }
  if (n == CurrentFigure) return;  // the rows already carry this number
  // Rows already stored under n would join the figure and mix two figures' branch numbers;
  // the author frees the number first.
  if (FigureHasRows(dm, n)) {
    Reporter().ShowInformation(this, QStringLiteral("MNB %1 の図は既にあります。").arg(n));
    return;
  }
  dm.OpenFigure(CurrentFigure);
  kura::TKuraQuery &q = dm.KuraQuery2;
  // A row given the new number no longer meets "MNB = :MNB" and leaves the live result, so
  // the first row is normally the next one to renumber. Should a posted row stay in the
  // result, it is passed over rather than renumbered again, and the count bounds the walk:
  // every row is renumbered exactly once either way.
  const std::int64_t rows = q.RecordCount();
  for (std::int64_t i = 0; i < rows && !q.IsEmpty(); ++i) {
    q.First();
    while (!q.Eof() && q.FieldByName("MNB").AsInteger() == n) q.Next();
    if (q.FieldByName("MNB").AsInteger() == n) break;  // every row left carries n
    q.Edit();
    q.FieldByName("MNB").SetAsInteger(n);
    q.Post();
  }
  CurrentFigure = n;
  dm.OpenFigure(CurrentFigure);
}

}  // namespace miretoka

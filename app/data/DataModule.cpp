#include "app/data/DataModule.h"

#include <QDir>
#include <exception>
#include <stdexcept>

namespace miretoka {

namespace {

void Setup(kura::TKuraQuery &q) {
  q.SetDatabaseName("kyozai");
  q.SetRequestLive(true);
  q.SetMaxRowCount(-1);
  q.AutoDisplayLabels = false;
  q.CopyOnAppend = false;
  q.SQL().Add("select * from figure");
}

}  // namespace

TDataModule1::TDataModule1(QObject *parent) : QObject(parent) {
  setObjectName(QStringLiteral("DataModule1"));
  for (kura::TKuraQuery *q : {&KuraQuery1, &KuraQuery2, &KuraQuery4}) Setup(*q);
  KuraQuery1.SQL().Clear();
  KuraQuery1.SQL().Add("select * from mokuji");
}

TDataModule1::~TDataModule1() {
  try {
    DataModuleDestroy();
    KuraQuery4.Close();
  } catch (...) {
    // Closing at program end has nothing left to report to.
  }
}

void TDataModule1::OpenContents(const QString &condition) {
  KuraQuery1.Close();
  KuraQuery1.SQL().Clear();
  KuraQuery1.SQL().Add("select * from mokuji");
  KuraQuery1.SQL().Add(condition.toStdString());
  KuraQuery1.SQL().Add("Order By MNB");
  KuraQuery1.Open();
}

int TDataModule1::FirstContentsMnb() {
  if (!KuraQuery1.Active()) return 0;
  KuraQuery1.First();
  if (KuraQuery1.IsEmpty()) return 0;
  return static_cast<int>(KuraQuery1.Fields(0).AsInteger());
}

void TDataModule1::OpenFigure() {
  KuraQuery2.Close();
  KuraQuery2.SQL().Clear();
  KuraQuery2.SQL().Add("select * from figure");
  KuraQuery2.SQL().Add("Where MNB = :MNB");
  KuraQuery2.Params()[0].SetAsInteger(CurrentFigure);
  KuraQuery2.Open();
}

void TDataModule1::OpenFigure(int mnb) {
  CurrentFigure = mnb;
  OpenFigure();
}

int TDataModule1::NextBranchNumber(int mnb) {
  KuraQuery4.Close();
  KuraQuery4.SQL().Clear();
  KuraQuery4.SQL().Add("Select *");
  KuraQuery4.SQL().Add("From figure");
  KuraQuery4.SQL().Add("Where (MNB = :MNB) and (BFR > 0) order by BFR");
  KuraQuery4.Params()[0].SetAsInteger(mnb);
  KuraQuery4.Open();
  int i = 1;
  for (KuraQuery4.First(); !KuraQuery4.Eof(); KuraQuery4.Next()) {
    const int64_t bfr = KuraQuery4.FieldByName("BFR").AsInteger();
    // A number used twice (a damaged figure) is passed over rather than taken for a gap.
    if (bfr < i) continue;
    if (bfr != i) break;
    ++i;
  }
  KuraQuery4.Close();
  return i;
}

void TDataModule1::DataModuleDestroy() {
  KuraQuery1.Close();
  KuraQuery2.Close();
}

void TDataModule1::OpenLessons() {
  FStartupError.clear();
  try {
    if (!QDir(QStringLiteral("kyozai")).exists()) {
      FStartupError = QStringLiteral(
                          "教材フォルダ kyozai が見つかりません（%1）。\n"
                          "教材は cmake --build build --target miretoka_data で作り直せます。"
                          "プログラムは build/bin で起動してください。")
                          .arg(QDir::current().absoluteFilePath(QStringLiteral("kyozai")));
    } else {
      OpenContents(QStringLiteral("Where MNB > 0"));
      OpenFigure(FirstContentsMnb());
      return;
    }
  } catch (const std::exception &e) {
    FStartupError = QStringLiteral(
                        "教材 kyozai を開けません: %1\n"
                        "教材は cmake --build build --target miretoka_data で作り直せます。")
                        .arg(QString::fromUtf8(e.what()));
  }
  // The lesson panel stays empty; the board is usable without lessons.
  try {
    DataModuleDestroy();
  } catch (...) {
  }
  CurrentFigure = 0;
}

TDataModule1 &LessonData(TDataModule1 *dataModule) {
  if (!dataModule) throw std::runtime_error("教材 kyozai を開けません。");
  return *dataModule;
}

}  // namespace miretoka

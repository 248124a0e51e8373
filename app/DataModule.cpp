#include "app/DataModule.h"

namespace miretoka {

TDataModule1::TDataModule1(QObject *parent) : QObject(parent) {
  setObjectName(QStringLiteral("DataModule1"));
}

bool TDataModule1::OpenContents(const QString &) { return false; }

int TDataModule1::FirstContentsMnb() const { return 0; }

bool TDataModule1::OpenFigure(int) { return false; }

}  // namespace miretoka

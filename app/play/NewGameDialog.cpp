#include "app/play/NewGameDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "app/start/Fonts.h"

namespace miretoka::versus {

namespace {

QWidget *Row(QWidget *parent, std::initializer_list<QWidget *> items) {
  auto *row = new QWidget(parent);
  auto *layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QWidget *w : items) layout->addWidget(w);
  layout->addStretch(1);
  return row;
}

}  // namespace

TNewGameDialog::TNewGameDialog(const TGameSettings &g, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("NewGameDialog"));
  setWindowTitle(QStringLiteral("対局の設定"));
  setFont(WindowFont(12));
  auto *form = new QFormLayout(this);

  F9 = new QRadioButton(QStringLiteral("９路盤"), this);
  F13 = new QRadioButton(QStringLiteral("１３路盤"), this);
  F19 = new QRadioButton(QStringLiteral("１９路盤"), this);
  auto *sizes = new QButtonGroup(this);
  for (QRadioButton *b : {F9, F13, F19}) sizes->addButton(b);
  SizeButton(g.Size)->setChecked(true);
  form->addRow(QStringLiteral("碁盤："), Row(this, {F9, F13, F19}));

  FBlack = new QRadioButton(QStringLiteral("黒（先に打つ）"), this);
  FWhite = new QRadioButton(QStringLiteral("白"), this);
  auto *colors = new QButtonGroup(this);
  colors->addButton(FBlack);
  colors->addButton(FWhite);
  (g.LearnerColor == 2 ? FWhite : FBlack)->setChecked(true);
  form->addRow(QStringLiteral("あなたの石："), Row(this, {FBlack, FWhite}));

  FHandicap = new QSpinBox(this);
  FHandicap->setObjectName(QStringLiteral("Handicap"));
  FHandicap->setRange(0, 9);
  FHandicap->setValue(g.Handicap);
  FHandicap->setSpecialValueText(QStringLiteral("なし"));
  FHandicap->setSuffix(QStringLiteral(" 子"));
  form->addRow(QStringLiteral("置き石："), FHandicap);

  FKomi = new QDoubleSpinBox(this);
  FKomi->setObjectName(QStringLiteral("Komi"));
  FKomi->setRange(-50, 50);
  FKomi->setDecimals(1);
  FKomi->setSingleStep(0.5);
  FKomi->setValue(g.Komi);
  FKomi->setSuffix(QStringLiteral(" 目"));
  form->addRow(QStringLiteral("コミ："), FKomi);
  // The komi follows the handicap; the learner may still set another one afterwards.
  connect(FHandicap, &QSpinBox::valueChanged, this, [this](int h) { FKomi->setValue(DefaultKomi(h)); });

  FLevel = new QSpinBox(this);
  FLevel->setObjectName(QStringLiteral("Level"));
  FLevel->setRange(1, 10);
  FLevel->setValue(g.Level);
  form->addRow(QStringLiteral("コンピュータの強さ（レベル）："), FLevel);

  FEngine = new QLineEdit(g.EngineCommand, this);
  FEngine->setObjectName(QStringLiteral("Engine"));
  FEngine->setMinimumWidth(260);
  form->addRow(QStringLiteral("相手のプログラム："), FEngine);

  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("対局開始"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("やめる"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

QRadioButton *TNewGameDialog::SizeButton(int size) const { return size == 13 ? F13 : size == 19 ? F19 : F9; }

TGameSettings TNewGameDialog::Settings() const {
  TGameSettings g;
  g.Size = F13->isChecked() ? 13 : F19->isChecked() ? 19 : 9;
  g.LearnerColor = FWhite->isChecked() ? 2 : 1;
  g.Handicap = FHandicap->value();
  g.Komi = FKomi->value();
  g.Level = FLevel->value();
  g.EngineCommand = FEngine->text().trimmed();
  if (g.EngineCommand.isEmpty()) g.EngineCommand = QString::fromLatin1(DefaultEngineCommand);
  return g;
}

}  // namespace miretoka::versus

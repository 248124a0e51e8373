#pragma once
// 対局の設定: the choices of a new game against the computer - board size 9/13/19, the
// learner's colour, handicap 0 to 9 (on the usual points), komi (6.5, or 0.5 with a
// handicap, following the handicap until the learner changes it), GNU Go's level 1 to 10
// and the command of the engine.
#include <QDialog>

#include "app/play/PlaySettings.h"

class QDoubleSpinBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace miretoka::versus {

class TNewGameDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TNewGameDialog(const TGameSettings &initial, QWidget *parent = nullptr);
  TGameSettings Settings() const;

  QRadioButton *SizeButton(int size) const;
  QRadioButton *ColorButton(int color) const { return color == 1 ? FBlack : FWhite; }
  QSpinBox *HandicapBox() const { return FHandicap; }
  QDoubleSpinBox *KomiBox() const { return FKomi; }
  QSpinBox *LevelBox() const { return FLevel; }
  QLineEdit *EngineBox() const { return FEngine; }

 private:
  QRadioButton *F9, *F13, *F19, *FBlack, *FWhite;
  QSpinBox *FHandicap, *FLevel;
  QDoubleSpinBox *FKomi;
  QLineEdit *FEngine;
};

}  // namespace miretoka::versus

// TForm2: the lettering (文字仕様) of the editor layout - the place of a mark ("石上", "背景",
// "直接" in GroupBox2) and its colour ("標準", "緑", "赤" in GroupBox3). A button that becomes
// checked runs its click handler, whether a person or the program checked it.
#include <QGroupBox>
#include <QRadioButton>

#include "app/board/MainWindow.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/Marks.h"

namespace miretoka {

using namespace play;

void TForm2::RadioButton5Click() { MarkPlace = MarkOnStone; }
void TForm2::RadioButton6Click() { MarkPlace = MarkOnBackground; }
void TForm2::RadioButton7Click() { MarkPlace = MarkDirect; }
void TForm2::RadioButton8Click() { MarkColor = 1; }
void TForm2::RadioButton9Click() { MarkColor = 2; }
void TForm2::RadioButton10Click() { MarkColor = 3; }

QRadioButton *TForm2::RadioButton(int number) const {
  if (number >= 1 && number <= 3) return FModeBox.Buttons[static_cast<std::size_t>(number - 1)];
  QGroupBox *box = number >= 5 && number <= 7 ? FGroupBox2 : number >= 8 && number <= 10 ? FGroupBox3 : nullptr;
  if (!box) return nullptr;
  // Named RadioButton<n> once connected; the group's own option name before that.
  if (auto *rb = box->findChild<QRadioButton *>(QStringLiteral("RadioButton") + QString::number(number))) return rb;
  const int option = number <= 7 ? number - 4 : number - 7;
  return box->findChild<QRadioButton *>(box->objectName() + QStringLiteral("Option") + QString::number(option));
}

void TForm2::ConnectLettering() {
  // Nothing is chosen when the window opens; the choice then holds for the rest of the run.
  ResetLettering();
  const std::pair<int, void (TForm2::*)()> handlers[] = {
      {5, &TForm2::RadioButton5Click}, {6, &TForm2::RadioButton6Click},  {7, &TForm2::RadioButton7Click},
      {8, &TForm2::RadioButton8Click}, {9, &TForm2::RadioButton9Click}, {10, &TForm2::RadioButton10Click}};
  for (const auto &[number, handler] : handlers) {
    QRadioButton *rb = RadioButton(number);
    if (!rb) continue;
    rb->setObjectName(QStringLiteral("RadioButton") + QString::number(number));
    connect(rb, &QRadioButton::toggled, this, [this, handler](bool checked) {
      if (checked) RunHandler(this, [&] { (this->*handler)(); });
    });
  }
}

}  // namespace miretoka

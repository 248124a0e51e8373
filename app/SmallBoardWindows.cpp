#include "app/SmallBoardWindows.h"

namespace miretoka {

namespace {
void SetUpFrame(QDialog *w, const char *name) {
  w->setObjectName(QString::fromLatin1(name));
  w->setWindowTitle(QStringLiteral("ミレトカ"));
  w->setModal(true);
  w->resize(758 - 16, 606 - 38);  // design outer size less the frame
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, QColor(240, 240, 255));
  w->setPalette(pal);
}
}  // namespace

TForm3::TForm3(QWidget *parent) : QDialog(parent) { SetUpFrame(this, "Form3"); }

TForm4::TForm4(QWidget *parent) : QDialog(parent) { SetUpFrame(this, "Form4"); }

}  // namespace miretoka

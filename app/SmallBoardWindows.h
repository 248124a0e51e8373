#pragma once
// The 13-line and 9-line board windows, shown modally from the main window's
// menu. Their boards arrive with their own work; for now they are the empty
// window frames the program creates at start.
#include <QDialog>

namespace miretoka {

class TForm3 : public QDialog {
  Q_OBJECT
public:
  explicit TForm3(QWidget *parent = nullptr);
};

class TForm4 : public QDialog {
  Q_OBJECT
public:
  explicit TForm4(QWidget *parent = nullptr);
};

}  // namespace miretoka

#pragma once
// A main window with its own data files in a temporary folder, a reporter that
// answers message boxes and a silent sound player, for tests that drive the
// real widgets. The temporary folder is the working directory while a test
// runs and holds a lesson directory "kyozai" built from Lessons(), so the
// window opens its lesson tables as the program does.
#include <QCoreApplication>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/board/MainWindow.h"
#include "app/feedback/SoundPlayer.h"
#include "LessonSource.h"

namespace miretoka::test {

class TFakeReporter : public IErrorReporter {
public:
  void ShowError(QWidget *, const QString &text) override { Errors.append(text); }
  void ShowInformation(QWidget *, const QString &text) override { Informations.append(text); }
  TAnswer AskYesNo(QWidget *, const QString &text) override {
    Questions.append(text);
    return Answer;
  }
  QStringList Errors, Informations, Questions;
  TAnswer Answer = TAnswer::No;
};

// Writes a 28 x 28 stone picture (24-bit BMP, magenta corners) and a short WAV.
void WriteStonePicture(const QString &file, bool black);
void WriteSound(const QString &file);

class BoardTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // The lesson material of the test's kyozai: by default one lesson (1000, a
  // basic figure of two stones and one move). Tests of lessons give their own.
  virtual kyozai::TLessonSource Lessons() const;
  // The rows of table "figure" in file order, read straight from the table.
  std::vector<kyozai::TFigureRow> FigureTable() const;

  // Mouse-down on Label<k> with this button.
  void Click(int k, Qt::MouseButton button = Qt::LeftButton);
  void Play(std::initializer_list<int> points) {  // left clicks in turn
    for (int p : points) Click(p);
  }
  void Press(int buttonNumber);              // a mouse click on CuteButton<n>
  void Trigger(const char *menuItemName);    // choose a menu item
  void ClickRadio(int number);               // a mouse click on RadioButton<n>

  int Cell(int k) const;
  QString Text(int k) const;
  bool HasStone(int k) const;  // Image<k> shows a picture
  QString Panel(int i) const;
  QString Edit1() const;
  QString Edit2() const;
  int Sounds() const { return static_cast<int>(Player->Played.size()); }

  // Point number of column c, row r (0-based) on the 19-line board.
  static int P(int c, int r) { return c * 19 + r + 1; }

  QTemporaryDir Dir;
  QString OldDir;
  TDataModule1 DataModule;
  std::unique_ptr<TForm2> Form;
  TFakeReporter *Messages = nullptr;
  TSilentPlayer *Player = nullptr;
  QStringList HelpShown;
  std::vector<int> HelpTopics;  // context numbers of the help topics shown
  int Terminated = 0;
};

}  // namespace miretoka::test

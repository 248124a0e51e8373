#pragma once
// TForm2, the main window "ミレトカ": the 19-line board, the captured-stones
// row, the play-mode buttons, the command buttons, the lesson panel, the menu
// bar and the status bar with its clock.
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/board/BoardControls.h"
#include "app/board/BoardLayout.h"
#include "app/board/BoardSnapshot.h"
#include "app/board/PlayBoard.h"
#include "app/board/WindowParts.h"

class QAction;
class QMenuBar;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QTextBrowser;
class QTableView;
class QComboBox;
class QTimer;
class TCuteButton;

namespace miretoka {

class TContentsDelegate;
class TDataModule1;
class TDataSetModel;
class TStatusPanels;
class TForm3;
class TForm4;
class TSmallBoardWindow;

class TForm2 : public QMainWindow {
  Q_OBJECT
public:
  explicit TForm2(TDataModule1 *dataModule, QWidget *parent = nullptr);
  ~TForm2() override;

  // --- controls (also reachable by object name) ---
  TPointImage *Image(int k) const { return FBoard->Image(k); }
  TPointLabel *Label(int k) const { return FBoard->Label(k); }
  TShape *Shape(int k) const { return FShapes.at(static_cast<std::size_t>(k)); }
  TStatusPanels *StatusBar1() const { return FStatusBar1; }
  QLineEdit *Edit1() const { return FEdit1; }
  QLineEdit *Edit2() const { return FEdit2; }
  QRadioButton *RadioButton1() const { return FModeBox.Buttons[0]; }
  QRadioButton *RadioButton2() const { return FModeBox.Buttons[1]; }
  QRadioButton *RadioButton3() const { return FModeBox.Buttons[2]; }
  QGroupBox *GroupBox1() const { return FModeBox.GroupBox1; }
  TCuteButton *CuteButton(int k) const;
  QAction *MenuItem(const QString &name) const;
  QScrollArea *ScrollArea() const { return FScroll; }
  QWidget *Client() const { return FClient; }
  QTimer *Timer1() const { return FTimer1; }
  // The lesson panel.
  QTableView *DBGrid1() const { return FDBGrid1; }
  QTableView *DBGrid2() const { return FDBGrid2; }
  QComboBox *ComboBox1() const { return FComboBox1; }
  QComboBox *ComboBox2() const { return FComboBox2; }
  QLineEdit *Edit3() const { return FEdit3; }
  QGroupBox *GroupBox2() const { return FGroupBox2; }
  QGroupBox *GroupBox3() const { return FGroupBox3; }
  QTimer *Timer2() const { return FTimer2; }
  // The whole comment of the stone last drawn (status panel 1 keeps a one-line copy).
  QTextBrowser *CommentArea() const { return FComment; }
  // Shows a comment in status panel 1 and in the comment area.
  void ShowComment(const QString &text);

  // The 13-line and 9-line windows that "１３路盤" and "９路盤" open; the
  // program creates them after the main window.
  void SetSmallWindows(TForm3 *form3, TForm4 *form4);
  TForm3 *Form3() const { return FForm3; }
  TForm4 *Form4() const { return FForm4; }

  // --- board (shared play state in miretoka::play) ---
  int PointFromLabel(const TPointLabel *label) const;
  void DrawStone(int moveNumber, int color, int point, int code, const QString &text);
  void PlayFeedback(int kind);
  void ClearBoard();
  void ClearMarks();
  void CaptureAround(int moveNumber, int point);
  void UndoMove();
  void StepBack();

  // --- taking back in the learner layout ---
  // Keeps the board as it is now as one step that 1手戻す can return to.
  void RememberStep();
  // Returns to the newest remembered step; false when there is none.
  bool TakeBackStep();
  int RememberedSteps() const { return FTakeBack.Size(); }
  // The arrow keys of the board: -1 one step back, +1 one step forward, 0 the basic
  // figure. Whoever shows something that is stepped through (a lesson, a game record)
  // may take the keys over by setting StepKeys; by default they step the lesson.
  std::function<void(int direction)> StepKeys;
  void StepLesson(int direction);
  // Coordinates around the boards of all three windows.
  void ShowCoordinates(bool shown);
  QWidget *Coordinates() const { return FCoordinates; }
  // The contents grid's tree look; the open lesson is marked finished once its sequence
  // (or answer) has been followed to the end.
  TContentsDelegate *ContentsDelegate() const { return FContentsDelegate; }
  void LessonFinished();

  // --- event handlers ---
  void FormCreate();
  void Label1MouseDown(TPointLabel *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift);
  void CuteButton5Click();
  void CuteButton6Click();
  void CuteButton7Click();
  void CuteButton9Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton3Click();
  void N10Click();
  void N4Click();
  void N5Click();
  void N7Click();
  void N8Click();
  void Save1Click();
  void N2Click();
  void N9Click();
  void ALLHelpClick();
  void VInfoClick();
  void APEndClick();
  void Timer1Timer();
  void ShowLearnerLayout();
  void ShowEditorLayout();

  // --- lessons ---
  void CuteButton1Click();  // learner / editor layout
  void DBGrid1CellClick();
  void DBGrid1DblClick();
  // Opens the lesson of the contents row under the grid's cursor (the first lesson beneath
  // it for a heading) and draws its basic figure; showHelp 1 also shows its help topic.
  void OpenLesson(int showHelp);
  // Puts the contents cursor on lesson `mnb` and opens it without its help topic; false
  // when the contents have no such row.
  bool OpenLessonNumbered(int mnb);
  // Draws the basic figure of the current problem from the figure query's current row.
  void ShowProblem();
  // Offers the branches of ChoiceTable as green or red "●" marks.
  void ShowChoices();
  void StepForward();
  void Timer2Timer();
  // Problems: 問題選択, 解答選択 and 解答表示.
  void ComboBox1Click();
  void ComboBox2Click();
  void CuteButton10Click();

  // --- marks and authoring (editor layout) ---
  // RadioButton5..7: place of a mark (石上, 背景, 直接); RadioButton8..10: its colour
  // (標準, 緑, 赤). RadioButton(1..3) are the play-mode buttons.
  QRadioButton *RadioButton(int number) const;
  void RadioButton5Click();
  void RadioButton6Click();
  void RadioButton7Click();
  void RadioButton8Click();
  void RadioButton9Click();
  void RadioButton10Click();
  void CuteButton2Click();   // 基本図登録
  void CuteButton3Click();   // 基本図削除
  void CuteButton8Click();   // 手順登録
  void CuteButton4Click();   // 手順削除
  void CuteButton11Click();  // MNB変
  void DBGrid2CellClick();
  // Rebuilds the board along the branch path to the figure query's current row.
  void ReplayToRow();
  // Whether the figure grid follows (and moves) the figure query's cursor.
  bool FigureGridAttached() const { return FFigureGridAttached; }
  void SetFigureGridAttached(bool attached);

  // The text of the version box.
  static QString VersionText();

  // Seams to the outside world, replaced by tests.
  std::function<void(QWidget *, const QString &)> ShowHelp;
  // Shows the help topic with this context number (a lesson's MNB).
  std::function<void(QWidget *, const QString &, int)> ShowHelpTopic;
  std::function<void()> Terminate;

private:
  static TBoardGeometry Geometry();
  TBoardParts BuildBoard();
  void BuildSidePanel();
  void BuildCommentArea();
  // The 設定 menu: 座標表示 and 効果音, both remembered between runs.
  void BuildSettingsMenu(QMenuBar *bar);
  void CoordinatesItemClick();
  void SoundItemClick();
  // The keys of the window: ← → Home step a lesson (through StepKeys), Ctrl+Z takes back,
  // F10 opens the menu bar.
  void SetUpKeys();
  // Puts the contents cursor on the lesson opened in the last run.
  void ShowLastLesson();
  void BuildMenu();
  QAction *AddItem(QWidget *menu, const char *name, const QString &caption, void (TForm2::*handler)());
  TCuteButton *AddButton(int number, const QString &caption, void (TForm2::*handler)());
  // Shows a small window modally on the shared play state and brings the main
  // board back to the 19-line game when it closes.
  void PlayOnSmallBoard(TSmallBoardWindow *window, int size, bool setAlternate);
  // Runs an action that opens the figure query on a saved game, and afterwards puts the
  // query back on the lesson and row that were open (also when the action fails).
  void KeepingLessonFigure(const std::function<void()> &action);

  void AlternatePlace(int point);
  void FreePlace(int point, Qt::MouseButton button);
  void GomokuPlace(int point);

  // The contents row after a heading: the first lesson beneath the row of `n`, with the
  // contents cursor left on it.
  int FirstLessonUnder(int n);
  // Draws figure rows from the figure query's current row up to the end of the branch
  // (BFR > 0) or the last row. Rows below DTX 10 are stones; `plainStones` draws them
  // without numbering codes (problem figures). Returns false for an empty figure.
  bool DrawFigureRows(bool plainStones);
  // MoveKey and StoneNumber of a stone captured during figure playback.
  void FigureCaptureKeys(play::CaptureRecord &record);
  // After a move of the figure is drawn in a problem lesson, the learner's next stone (placed
  // in turn) is of the other colour.
  void PassTurnInProblem();
  // Clicks and double-clicks of 問題選択 and 解答選択 reach ComboBox1Click and ComboBox2Click.
  void ConnectProblemControls();
  void ShowHelpTopicOf(int contextNumber);

  // Lesson seams: branch choice, answer check and authoring come with the lesson panel.
  void ChooseBranch(int point);
  void CheckAnswerMove(int point);
  void AuthoringClick(int point, Qt::MouseButton button);
  void ConnectLettering();
  // Shows why a registration with nothing recorded stores nothing; true when n is 0.
  bool RefuseEmptyRegistration(std::int32_t n);

  TDataModule1 *FDataModule;
  QScrollArea *FScroll = nullptr;
  QWidget *FClient = nullptr;
  std::vector<TShape *> FShapes;
  std::unique_ptr<TPlayBoard> FBoard;
  TForm3 *FForm3 = nullptr;
  TForm4 *FForm4 = nullptr;
  QLineEdit *FEdit1 = nullptr;
  QLineEdit *FEdit2 = nullptr;
  TPlayModeBox FModeBox;
  std::map<int, TCuteButton *> FButtons;
  QTableView *FDBGrid1 = nullptr;
  TDataSetModel *FContentsModel = nullptr;
  QComboBox *FComboBox1 = nullptr;
  QComboBox *FComboBox2 = nullptr;
  QTableView *FDBGrid2 = nullptr;
  TDataSetModel *FFigureModel = nullptr;
  bool FFigureGridAttached = true;
  QLineEdit *FEdit3 = nullptr;
  QGroupBox *FGroupBox2 = nullptr;
  QGroupBox *FGroupBox3 = nullptr;
  QTimer *FTimer2 = nullptr;
  std::map<QString, QAction *> FMenuItems;
  TStatusPanels *FStatusBar1 = nullptr;
  QTimer *FTimer1 = nullptr;
  QTextBrowser *FComment = nullptr;
  QWidget *FCoordinates = nullptr;
  TContentsDelegate *FContentsDelegate = nullptr;

  // One step of the learner: the board, where the figure cursor stood and what the window said.
  struct TStep {
    TBoardSnapshot Board;
    int Figure = 0;
    std::vector<uint8_t> FigureRow;
    QString Prompt, Comment;
  };
  TTakeBackStack<TStep> FTakeBack;
  // A lesson has been opened on the board (and not replaced by a game since): 元に戻す
  // returns to its figure. Without one, the board holds the learner's own game.
  bool FLessonOpen = false;
  // Whether a game of the learner's own is on the board, which opening a lesson would wipe.
  bool GameInProgress() const;
  // The message at the end of a recorded sequence, in the words of the layout.
  static QString EndOfSequenceText();
};

}  // namespace miretoka

#pragma once
// TComputerGameWindow: a game against a GTP engine (GNU Go unless the settings name another)
// on a board of 9, 13 or 19 lines, laid out like the board window of that size.
//
// The learner clicks a point; the engine answers through TEngineProcess without blocking the
// window (a busy bar runs while it thinks, and 投了 and closing still work). The normal rules
// of Go hold here: an occupied point, suicide and an immediate ko recapture are refused with
// a message. 1手戻す takes back the learner's last move with the engine's reply, パス passes,
// 投了 resigns, ヒント shows the engine's choice for the learner as "◎". After two passes the
// engine's dead stones are marked "×"; a click on a group changes its mark, and 計算 counts
// by Japanese rules with komi ("黒の 3目半勝ち"); a click on a group after that changes its
// mark and counts again. The menu 対局 saves the game as SGF or as
// the board size's adjourned game. An engine that is missing, dies, hangs or answers nonsense
// ends the engine's part with a message in Japanese; the game on the board stays.
#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "app/board/BoardLayout.h"
#include "app/play/PlaySettings.h"
#include "go/GameTree.h"
#include "go/gtp/GtpEngine.h"
#include "go/match/Match.h"

class QAction;
class QLabel;
class QMenuBar;
class QProgressBar;
class TCuteButton;

namespace miretoka {

class TDataModule1;
class TPointImage;
class TPointLabel;
class TStatusPanels;

namespace versus {

class TEngineProcess;

enum class TPhase {
  Starting,  // the engine is being set up
  Playing,   // moves are played
  Marking,   // two passes: dead stones are being settled
  Over,      // counted or resigned
  Broken,    // the engine failed; the board stays as it was
};

class TComputerGameWindow : public QDialog {
  Q_OBJECT
 public:
  TComputerGameWindow(const TGameSettings &settings, TDataModule1 *dataModule, QWidget *parent = nullptr);
  ~TComputerGameWindow() override;

  // Starts the engine and sets the game up; the engine moves first when it has black (or
  // white in a handicap game).
  void Start();

  // --- controls, for tests ---
  const TGameSettings &Settings() const { return FSettings; }
  TPointLabel *Label(int point) const { return FLabels.at(static_cast<size_t>(point)); }
  TPointImage *Image(int point) const { return FImages.at(static_cast<size_t>(point)); }
  TCuteButton *UndoButton() const { return FUndo; }
  TCuteButton *PassButton() const { return FPass; }
  TCuteButton *ResignButton() const { return FResign; }
  TCuteButton *HintButton() const { return FHint; }
  TCuteButton *CountButton() const { return FCount; }
  QProgressBar *BusyBar() const { return FBusy; }
  TStatusPanels *StatusBar1() const { return FStatus; }
  QLabel *ResultLabel() const { return FResult; }
  // The count in its parts, or why the engine stopped.
  QLabel *ScoreLabel() const { return FScore; }
  QAction *MenuItem(const QString &name) const;

  // --- state ---
  const go::match::TMatch &Match() const { return FMatch; }
  TPhase Phase() const { return FPhase; }
  bool EngineBusy() const;
  // Commands are still on their way to the engine or waiting for its answer.
  bool CommandsPending() const;
  const std::set<int> &Dead() const { return FDead; }
  int HintPoint() const { return FHintPoint; }
  // "黒の 3目半勝ち" once the game is decided, else empty.
  QString ResultText() const { return FResultText; }
  // The game as an SGF tree: settings, handicap, moves, result.
  go::TGameTree Record() const;

  // --- commands (buttons and menu) ---
  void ClickPoint(int point);
  void UndoCommand();
  void PassCommand();
  void ResignCommand();
  void HintCommand();
  void CountCommand();
  void SaveRecordCommand();
  void SaveAdjournedCommand();

  // Asks for the SGF file to write; tests replace it. Empty cancels.
  std::function<QString(QWidget *parent, const QString &suggested)> ChooseFile;

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  TGameSettings FSettings;
  TDataModule1 *FDataModule;
  TBoardGeometry FGeometry;
  go::match::TMatch FMatch;
  std::unique_ptr<TEngineProcess> FProcess;
  std::unique_ptr<go::gtp::TEngine> FEngine;
  TPhase FPhase = TPhase::Starting;
  int FGeneration = 0;  // raised when answers on their way no longer matter
  int FWaiting = 0;     // requests whose answer the window waits for (busy bar)
  std::set<int> FDead;
  int FHintPoint = 0;
  QString FResultText;
  QString FEngineName;    // what the engine calls itself ("GNU Go")
  bool FCounted = false;  // counted: a click on a group changes its mark and counts again
  std::string FSgfResult;

  std::vector<TPointImage *> FImages;
  std::vector<TPointLabel *> FLabels;
  TCuteButton *FUndo = nullptr, *FPass = nullptr, *FResign = nullptr, *FHint = nullptr, *FCount = nullptr;
  QProgressBar *FBusy = nullptr;
  QLabel *FPlayers = nullptr, *FPrisoners = nullptr, *FResult = nullptr, *FScore = nullptr;
  TStatusPanels *FStatus = nullptr;
  QMenuBar *FMenu = nullptr;
  std::map<QString, QAction *> FMenuItems;

  void BuildWindow();
  int EngineColor() const { return 3 - FSettings.LearnerColor; }
  bool LearnerToMove() const { return FMatch.ToMove() == FSettings.LearnerColor; }
  void SetStatus(const QString &text);
  QString Status() const;
  void Redraw();
  void UpdateButtons();
  void SetWaiting(int delta);
  void AfterMove();
  // Why a move cannot be played now, when the phase is not Playing.
  QString NotPlayingText() const;
  // Ends the game (result already set) and stops the engine.
  void Finish();

  // Engine side (ComputerGameEngine.cpp).
  void EngineMove();
  void EngineFailed(go::gtp::TFault fault, const std::string &why);
  void EngineNonsense(const QString &what);
  void StartMarking();
  void ToggleDead(int point);
};

// Status texts of refused moves.
QString RefusalText(go::match::TRefusal refusal);
// "5目半", "12目", "半目" (the komi may bring halves).
QString PointsText(double points);

}  // namespace versus
}  // namespace miretoka

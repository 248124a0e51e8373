#pragma once
// TRecordPlayer: a game record shown on a board window. The board shows the position of the
// current node, reached by replaying the record from its start through the window's own
// drawing, so captures happen as in play and a learner can go on playing from any position
// ("1手戻す" takes the record's moves back like the learner's own). → steps along the main
// line, ← steps back. Where the record branches, the first move of every variation is offered
// as a "●" (green, red for a move marked bad), as lessons offer their branches; a click on one
// follows it, → follows the main line. The comment of the node is in status panel 1, its
// markup (LB, and TR SQ CR MA as △ □ ○ ×) on the points.
//
// The player lets go of the record as soon as the board is no longer the record's position
// (a stone placed, a lesson opened, the board cleared): ← and → then do nothing until a
// record is opened again.
#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/records/RecordBoardView.h"
#include "go/GameTree.h"


namespace miretoka::records {

class TRecordPlayer : public QObject {
  Q_OBJECT
 public:
  explicit TRecordPlayer(std::unique_ptr<TBoardView> view);
  ~TRecordPlayer() override;

  TBoardView &View() const { return *FView; }

  // Shows the record from its start. The record's size must be the window's.
  void Open(go::TGameTree tree, const QString &file);
  // Opens `tree` the next time the window is shown (the small windows are shown modally by
  // the main window, which clears them first).
  void OpenWhenShown(go::TGameTree tree, const QString &file);

  bool Attached() const { return FTree.has_value(); }
  const go::TGameTree *Tree() const { return FTree ? &*FTree : nullptr; }
  const go::TNode *Current() const { return FCurrent; }
  // The points offered as variations now.
  std::vector<int> Offered() const;

  void StepForward();  // →
  void StepBack();     // ←
  // Follows the variation whose first move is on `point`; false when none is offered there.
  bool ChooseVariation(int point);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  std::unique_ptr<TBoardView> FView;
  std::optional<go::TGameTree> FTree;
  std::optional<go::TGameTree> FPending;
  QString FFile, FPendingFile;
  const go::TNode *FCurrent = nullptr;
  int FMoveNumber = 0;
  std::vector<std::int32_t> FSnapshot;
  std::map<int, QString> FDecorated;             // point -> the text its label had before
  std::map<int, const go::TNode *> FVariations;  // offered point -> first node

  bool StillShown() const;
  void Detach();
  void Rebuild(const go::TNode *node);
  void Enter(const go::TNode *next);  // a child of the current node
  void Apply(const go::TNode &node);
  void Decorate(const go::TNode &node);
  void ClearDecorations();
  void Decorate(int point, const QString &text, const QColor &color);
};

}  // namespace miretoka::records

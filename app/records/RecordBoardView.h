#pragma once
// What the record player needs of a board window, for the 19-line main window and for the
// 13- and 9-line windows alike: clear it, draw setup stones and numbered moves through the
// window's own drawing (so captures, the capture log and the take-back work as in play),
// erase a point, reach a point's label, and write the status bar.
#include <QString>
#include <memory>

class QWidget;

namespace miretoka {

class TForm2;
class TPointLabel;
class TSmallBoardWindow;

namespace records {

class TBoardView {
 public:
  virtual ~TBoardView() = default;
  virtual QWidget *Window() const = 0;
  virtual int Lines() const = 0;
  // The window's clear, then alternate play ("交互").
  virtual void Clear() = 0;
  virtual void DrawSetup(int color, int point) = 0;
  virtual void DrawMove(int number, int color, int point) = 0;
  virtual void Erase(int point) = 0;
  virtual TPointLabel *Label(int point) const = 0;
  virtual void SetStatus(int panel, const QString &text) = 0;
  virtual QString Status(int panel) const = 0;
};

std::unique_ptr<TBoardView> MainBoardView(TForm2 *window);
std::unique_ptr<TBoardView> SmallBoardView(TSmallBoardWindow *window);

}  // namespace records
}  // namespace miretoka

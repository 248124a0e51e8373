#pragma once
// The controls a board is made of: plain shapes (background, lines, star
// points), the stone picture of a point and the text label of a point.
#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

namespace miretoka {

// Board colour of every board window.
inline QColor BoardColor() { return QColor(254, 231, 182); }

// A filled rectangle or circle without border.
class TShape : public QWidget {
  Q_OBJECT
public:
  enum class TKind { Rectangle, Circle };
  TShape(QWidget *parent, TKind kind, const QColor &color);
  TKind Kind() const { return FKind; }
  QColor Color() const { return FColor; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  TKind FKind;
  QColor FColor;
};

class TPointLabel;

// Image<k>: the stone picture of a point, stretched to the control; empty when
// no stone stands there. The picture covers the whole cell of its point, so a
// click anywhere in the cell that misses the smaller label is passed on to it.
class TPointImage : public QLabel {
  Q_OBJECT
public:
  explicit TPointImage(QWidget *parent);
  void SetPicture(const QPixmap &picture);
  void Clear();
  bool IsEmpty() const;
  void SetLabel(TPointLabel *label) { FLabel = label; }

protected:
  void mousePressEvent(QMouseEvent *event) override;

private:
  TPointLabel *FLabel = nullptr;
};

// Label<k>: the text of a point (move number, mark). Transparent by default so
// that the stone and the lines show through; "opaque" for background marks, whose
// text then stands on a patch of board colour just large enough to hide the lines
// under the characters. The dead-stone mark "*" is drawn as a large cross.
// Every label of a window reports its mouse-down to one handler.
class TPointLabel : public QLabel {
  Q_OBJECT
public:
  TPointLabel(QWidget *parent, int pointNumber);
  int PointNumber() const { return FPointNumber; }

  void SetTransparent(bool transparent);
  bool IsTransparent() const { return !FOpaque; }
  void SetFontColor(const QColor &color);
  QColor FontColor() const;
  void SetBold(bool bold);
  bool IsBold() const { return font().bold(); }

  std::function<void(TPointLabel *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift)>
      OnMouseDown;

  // The rectangle of board colour a background mark stands on (empty when none is drawn).
  QRect PatchRect() const;

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  int FPointNumber;
  bool FOpaque = false;
};

// Loads a stone picture from disk. A picture without alpha channel takes the
// colour of its bottom-left pixel as transparent, as the board windows always
// did. Raises EMediaError with a clear message when the file is missing or
// cannot be read as a picture.
//
// On a scaled screen (devicePixelRatio above 1) a picture with more pixels beside it,
// "stB@2x.bmp" or "stB@3x.bmp", is taken when there is one and shown at the same size, so
// the stone stays sharp instead of being an enlarged 28-pixel picture.
QPixmap LoadStonePicture(const QString &file, qreal devicePixelRatio = 0);

}  // namespace miretoka

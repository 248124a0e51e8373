#pragma once
// TCuteButton: the custom-drawn push button of the board windows.
//
// A focusable panel that paints its own face, two bevels and a one-line
// caption. Its look lives in the outer bevel: none at rest, raised when hot
// (pointer over it, or focused with TabFocusUp), lowered while pressed. It
// clicks from the mouse, Space, Enter and the "&" accelerator of its caption,
// can open a drop-down menu below itself, and can swallow clicks that arrive
// while its own click handler is still running (EgnoreContClick).
#include <QColor>
#include <QPointer>
#include <QWidget>
#include <functional>

class QMenu;
class TCuteButtonTimer;

// Cut of a bevel: how its edges are shaded.
enum class TBevelCut { None, Lowered, Raised };
// Horizontal placement of the caption.
enum class TCaptionAlignment { Left, Right, Center };
// Vertical placement of the caption.
enum class TTextLayout { Top, Center, Bottom };

class TCuteButton : public QWidget {
  Q_OBJECT
  friend class TCuteButtonTimer;

public:
  // Pointer enter / leave notification: modifier keys and mouse buttons held
  // at the time, and the pointer position in the button's coordinates.
  using TMouseMoveEvent = std::function<void(TCuteButton *sender, Qt::KeyboardModifiers shift,
                                             Qt::MouseButtons buttons, int x, int y)>;

  explicit TCuteButton(QWidget *parent = nullptr);
  ~TCuteButton() override;

  QString Caption() const { return FCaption; }
  void SetCaption(const QString &caption);

  // The click handler; the board windows assign it once at creation.
  std::function<void(TCuteButton *sender)> OnClick;
  TMouseMoveEvent OnMouseEnter;
  TMouseMoveEvent OnMouseLeave;

  virtual void Click();

  // Panel properties.
  TCaptionAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TCaptionAlignment value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int value);  // at least 1
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut value);
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut value);
  QColor Color() const { return FColor; }
  void SetColor(const QColor &value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool value);

  // Button properties.
  QColor BevelHighlightColor() const { return FBevelHighlightColor; }
  void SetBevelHighlightColor(const QColor &value);
  QColor BevelShadowColor() const { return FBevelShadowColor; }
  void SetBevelShadowColor(const QColor &value);
  QColor DisabledColor() const { return FDisabledColor; }
  void SetDisabledColor(const QColor &value);
  bool UseDisabledColor() const { return FUseDisabledColor; }
  void SetUseDisabledColor(bool value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool value);
  bool ShowFocusRect() const { return FShowFocusRect; }
  void SetShowFocusRect(bool value);
  bool TabFocusUp() const { return FTabFocusUp; }
  void SetTabFocusUp(bool value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout value);
  int MarginX() const { return FMarginX; }
  void SetMarginX(int value);  // values below -1 become -1 (no margin)
  int MarginY() const { return FMarginY; }
  void SetMarginY(int value);
  bool EgnoreContClick() const { return FEgnoreContClick; }
  void SetEgnoreContClick(bool value);
  QMenu *DropDownMenu() const;
  void SetDropDownMenu(QMenu *value);
  int DropDownDelay() const { return FDropDownDelay; }
  void SetDropDownDelay(int value);

  // True while a delayed drop-down waits for its timer.
  bool DropDownPending() const { return FTimer != nullptr; }
  // The rectangle the caption is laid out in, for the current state.
  QRect TextRect() const;

  // System colours of a 3-D button face, used for defaults and the engraved
  // caption of a disabled button.
  static QColor SystemButtonFace();
  static QColor SystemButtonHighlight();
  static QColor SystemButtonShadow();

  QSize sizeHint() const override { return QSize(75, 25); }

protected:
  virtual void DoDropDown(bool fromKeyboard);
  virtual void ShowDropDownMenu();
  virtual void MouseEnter(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  virtual void MouseLeave(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y);
  virtual void Paint(QPainter &painter);

  bool event(QEvent *event) override;
  void changeEvent(QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  void PointerEntered(QPoint pos);
  void PointerLeft(QPoint pos);
  void LeftButtonDown();
  void LeftButtonUp(QPoint pos);
  void SpaceDown();
  void SpaceUp();
  void EnterPressed();
  void RestBevel();
  bool PopupBorrowsFocus(const QFocusEvent *event) const;  // raised with TabFocusUp, else none
  void FreeTimer();
  void DropDownDelayElapsed();
  void UpdateAccelerator();
  void Repaint();

  QString FCaption;
  TCaptionAlignment FAlignment = TCaptionAlignment::Center;
  int FBevelWidth = 1;
  TBevelCut FBevelOuter = TBevelCut::None;
  TBevelCut FBevelInner = TBevelCut::Raised;
  QColor FColor;
  bool FTabStop = true;

  QColor FBevelHighlightColor;
  QColor FBevelShadowColor;
  QColor FDisabledColor{128, 128, 128};
  bool FUseDisabledColor = false;
  bool FFlat = false;
  bool FShowFocusRect = false;
  bool FTabFocusUp = true;
  TTextLayout FLayout = TTextLayout::Center;
  int FMarginX = -1;
  int FMarginY = -1;
  bool FEgnoreContClick = false;
  QPointer<QMenu> FDropDownMenu;
  int FDropDownDelay = 0;

  bool FMenuOpen = false;      // a click arriving now closes a drop-down press: swallow it
  bool FSpaceHeld = false;     // Space went down on this button and is not released yet
  bool FKeyboard = false;      // the pending drop-down was started from the keyboard
  bool FClicked = false;       // left button went down here; a release inside clicks
  bool FMouseCaptured = false; // the button holds the mouse since its left press
  bool FPointerInside = false; // last known pointer position was over the button
  int FShortcutId = 0;
  TCuteButtonTimer *FTimer = nullptr;
};

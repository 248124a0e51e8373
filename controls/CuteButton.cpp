#include "controls/CuteButton.h"

#include "controls/CuteButtonTimer.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QShortcutEvent>

namespace {

// One bevel of the given width, drawn inward from the edges of `rect`, which
// is shrunk by the width drawn. The light colour takes the top row and left
// column except the far corners; the dark colour takes the right column and
// the bottom row whole, so the top-right and bottom-left corner pixels are
// dark, as on a classic 3-D frame.
void Frame3D(QPainter &painter, QRect &rect, const QColor &topColor, const QColor &bottomColor,
             int width) {
  for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    if (r > l) painter.fillRect(QRect(QPoint(l, t), QPoint(r - 1, t)), topColor);
    if (b > t) painter.fillRect(QRect(QPoint(l, t), QPoint(l, b - 1)), topColor);
    painter.fillRect(QRect(QPoint(r, t), QPoint(r, b)), bottomColor);
    painter.fillRect(QRect(QPoint(l, b), QPoint(r, b)), bottomColor);
    rect.adjust(1, 1, -1, -1);
  }
}

}  // namespace

TCuteButton::TCuteButton(QWidget *parent)
    : QWidget(parent),
      FColor(SystemButtonFace()),
      FBevelHighlightColor(SystemButtonHighlight()),
      FBevelShadowColor(SystemButtonShadow()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  resize(75, 25);
}

TCuteButton::~TCuteButton() {
  // The timer is a child and goes with the button; it must not call back.
  if (FTimer) FTimer->FCuteButton = nullptr;
}

QColor TCuteButton::SystemButtonFace() {
  return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}

QColor TCuteButton::SystemButtonHighlight() {
  return QGuiApplication::palette().color(QPalette::Active, QPalette::Light);
}

QColor TCuteButton::SystemButtonShadow() {
  return QGuiApplication::palette().color(QPalette::Active, QPalette::Dark);
}

void TCuteButton::Repaint() { update(); }

// ---------------------------------------------------------------------------
// Properties

void TCuteButton::SetCaption(const QString &caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  UpdateAccelerator();
  Repaint();
}

void TCuteButton::UpdateAccelerator() {
  if (FShortcutId != 0) {
    releaseShortcut(FShortcutId);
    FShortcutId = 0;
  }
  const QKeySequence accelerator = QKeySequence::mnemonic(FCaption);
  if (!accelerator.isEmpty()) FShortcutId = grabShortcut(accelerator);
}

void TCuteButton::SetAlignment(TCaptionAlignment value) {
  if (value == FAlignment) return;
  FAlignment = value;
  Repaint();
}

void TCuteButton::SetBevelWidth(int value) {
  value = std::max(value, 1);
  if (value == FBevelWidth) return;
  FBevelWidth = value;
  Repaint();
}

void TCuteButton::SetBevelOuter(TBevelCut value) {
  if (value == FBevelOuter) return;
  FBevelOuter = value;
  Repaint();
}

void TCuteButton::SetBevelInner(TBevelCut value) {
  if (value == FBevelInner) return;
  FBevelInner = value;
  Repaint();
}

void TCuteButton::SetColor(const QColor &value) {
  if (value == FColor) return;
  FColor = value;
  Repaint();
}

void TCuteButton::SetTabStop(bool value) {
  FTabStop = value;
  // A button off the tab chain still takes the focus when pressed.
  setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

void TCuteButton::SetBevelHighlightColor(const QColor &value) {
  if (value == FBevelHighlightColor) return;
  FBevelHighlightColor = value;
  Repaint();
}

void TCuteButton::SetBevelShadowColor(const QColor &value) {
  if (value == FBevelShadowColor) return;
  FBevelShadowColor = value;
  Repaint();
}

void TCuteButton::SetDisabledColor(const QColor &value) {
  if (value == FDisabledColor) return;
  FDisabledColor = value;
  if (!isEnabled()) Repaint();
}

void TCuteButton::SetUseDisabledColor(bool value) {
  if (value == FUseDisabledColor) return;
  FUseDisabledColor = value;
  if (!isEnabled()) Repaint();
}

void TCuteButton::SetFlat(bool value) {
  if (value == FFlat) return;
  FFlat = value;
  SetBevelInner(value ? TBevelCut::None : TBevelCut::Raised);
  Repaint();
}

void TCuteButton::SetShowFocusRect(bool value) {
  if (value == FShowFocusRect) return;
  FShowFocusRect = value;
  Repaint();
}

void TCuteButton::SetTabFocusUp(bool value) {
  if (value == FTabFocusUp) return;
  FTabFocusUp = value;
  Repaint();
}

void TCuteButton::SetLayout(TTextLayout value) {
  if (value == FLayout) return;
  FLayout = value;
  Repaint();
}

void TCuteButton::SetMarginX(int value) {
  value = std::max(value, -1);
  if (value == FMarginX) return;
  FMarginX = value;
  Repaint();
}

void TCuteButton::SetMarginY(int value) {
  value = std::max(value, -1);
  if (value == FMarginY) return;
  FMarginY = value;
  Repaint();
}

void TCuteButton::SetEgnoreContClick(bool value) { FEgnoreContClick = value; }

QMenu *TCuteButton::DropDownMenu() const { return FDropDownMenu.data(); }

void TCuteButton::SetDropDownMenu(QMenu *value) { FDropDownMenu = value; }

void TCuteButton::SetDropDownDelay(int value) { FDropDownDelay = value; }

// ---------------------------------------------------------------------------
// Clicking

void TCuteButton::Click() {
  // The press that opened the drop-down menu ends in a click; it is not one.
  if (FMenuOpen) {
    FMenuOpen = false;
    return;
  }
  if (!FEgnoreContClick) {
    // A copy, so that a handler may reassign OnClick while it runs.
    const auto handler = OnClick;
    if (handler) handler(this);
    return;
  }
  // Detach the handler while it runs and while the messages that queued up
  // meanwhile are processed: clicks among them find no handler and are lost.
  QPointer<TCuteButton> self(this);
  auto saved = std::move(OnClick);
  OnClick = nullptr;
  if (saved) saved(this);
  if (!self) return;
  QCoreApplication::processEvents();
  if (!self) return;
  // A handler assigned meanwhile wins over the detached one.
  if (!OnClick) OnClick = std::move(saved);
}

void TCuteButton::RestBevel() { SetBevelOuter(FTabFocusUp ? TBevelCut::Raised : TBevelCut::None); }

// ---------------------------------------------------------------------------
// Drop-down menu

void TCuteButton::DoDropDown(bool fromKeyboard) {
  if (FDropDownDelay <= 0) {
    FKeyboard = fromKeyboard;
    ShowDropDownMenu();
    return;
  }
  if (FTimer) return;
  FKeyboard = fromKeyboard;
  FTimer = new TCuteButtonTimer(this, FDropDownDelay);
  FTimer->start();
}

void TCuteButton::FreeTimer() {
  if (!FTimer) return;
  FTimer->stop();
  FTimer->FCuteButton = nullptr;
  FTimer->deleteLater();
  FTimer = nullptr;
}

void TCuteButton::DropDownDelayElapsed() {
  FreeTimer();
  if (FKeyboard || FMouseCaptured) {
    FMouseCaptured = false;
    ShowDropDownMenu();
  }
}

void TCuteButton::ShowDropDownMenu() {
  if (!FDropDownMenu) return;
  QPointer<TCuteButton> self(this);
  FMenuOpen = true;
  QCoreApplication::processEvents();
  if (!self) return;
  if (FDropDownMenu) FDropDownMenu->exec(mapToGlobal(QPoint(0, height())));
  if (!self) return;
  // The menu took the release of the key or button: finish the press here.
  if (FKeyboard) {
    FreeTimer();
    if (FSpaceHeld) SpaceUp();
  } else {
    LeftButtonUp(QPoint(0, 0));
  }
  if (!self) return;
  FMenuOpen = false;
}

// ---------------------------------------------------------------------------
// Pointer

void TCuteButton::MouseEnter(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  if (OnMouseEnter) OnMouseEnter(this, shift, buttons, x, y);
  SetBevelOuter(buttons & Qt::LeftButton ? TBevelCut::Lowered : TBevelCut::Raised);
}

void TCuteButton::MouseLeave(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  if (OnMouseLeave) OnMouseLeave(this, shift, buttons, x, y);
  if (!(hasFocus() && FTabFocusUp)) SetBevelOuter(TBevelCut::None);
}

// Enter and leave come both from the window system and, while the left button
// holds the pointer, from the button's own move tracking; each crossing is
// reported once.
void TCuteButton::PointerEntered(QPoint pos) {
  if (FPointerInside) return;
  FPointerInside = true;
  MouseEnter(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons(), pos.x(),
             pos.y());
}

void TCuteButton::PointerLeft(QPoint pos) {
  if (!FPointerInside) return;
  FPointerInside = false;
  MouseLeave(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons(), pos.x(),
             pos.y());
}

void TCuteButton::enterEvent(QEnterEvent *event) {
  PointerEntered(event->position().toPoint());
  QWidget::enterEvent(event);
}

void TCuteButton::leaveEvent(QEvent *event) {
  PointerLeft(mapFromGlobal(QCursor::pos()));
  QWidget::leaveEvent(event);
}

void TCuteButton::mousePressEvent(QMouseEvent *event) {
  QPointer<TCuteButton> self(this);
  setFocus(Qt::MouseFocusReason);
  if (!self) return;
  const bool left = event->button() == Qt::LeftButton;
  if (left) {
    FPointerInside = true;
    SetBevelOuter(TBevelCut::Lowered);
    FClicked = true;
    FMouseCaptured = true;
  }
  event->accept();
  if (left && FDropDownMenu) DoDropDown(false);
}

// A double-click is simply a second press: two clicks, not one.
void TCuteButton::mouseDoubleClickEvent(QMouseEvent *event) { mousePressEvent(event); }

void TCuteButton::mouseMoveEvent(QMouseEvent *event) {
  if (FMouseCaptured) {
    const QPoint pos = event->position().toPoint();
    if (rect().contains(pos)) {
      if (!FPointerInside) {
        FPointerInside = true;
        MouseEnter(event->modifiers(), event->buttons(), pos.x(), pos.y());
      }
    } else if (FPointerInside) {
      FPointerInside = false;
      MouseLeave(event->modifiers(), event->buttons(), pos.x(), pos.y());
    }
  }
  QWidget::mouseMoveEvent(event);
}

void TCuteButton::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  LeftButtonUp(event->position().toPoint());
}

void TCuteButton::LeftButtonUp(QPoint pos) {
  const bool inside = rect().contains(pos);
  const bool activeControl = FTabFocusUp && window()->focusWidget() == this;
  SetBevelOuter(inside || activeControl ? TBevelCut::Raised : TBevelCut::None);
  // A delayed drop-down still waiting is off: the press ended before it.
  FreeTimer();
  FMouseCaptured = false;
  if (FClicked) {
    FClicked = false;
    if (inside) Click();
  }
}

// ---------------------------------------------------------------------------
// Keys

void TCuteButton::SpaceDown() {
  FSpaceHeld = true;
  SetBevelOuter(TBevelCut::Lowered);
  if (FDropDownMenu) DoDropDown(true);
}

void TCuteButton::SpaceUp() {
  FSpaceHeld = false;
  QPointer<TCuteButton> self(this);
  Click();
  if (self) RestBevel();
}

void TCuteButton::EnterPressed() {
  QPointer<TCuteButton> self(this);
  SetBevelOuter(TBevelCut::Lowered);
  if (FDropDownMenu && FDropDownDelay <= 0)
    ShowDropDownMenu();
  else
    Click();
  if (self) RestBevel();
}

void TCuteButton::keyPressEvent(QKeyEvent *event) {
  if (!isEnabled()) {
    QWidget::keyPressEvent(event);
    return;
  }
  const int key = event->key();
  if (key == Qt::Key_Space) {
    // Holding Space repeats the key; the press has already begun.
    if (!(event->isAutoRepeat() && FSpaceHeld)) SpaceDown();
    event->accept();
    return;
  }
  if (FSpaceHeld) {
    // Any other key while Space is down calls the press off.
    FSpaceHeld = false;
    FreeTimer();
    RestBevel();
    event->accept();
    return;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    event->accept();
    EnterPressed();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TCuteButton::keyReleaseEvent(QKeyEvent *event) {
  // Auto-repeat releases are the window system's, not the user's.
  if (event->isAutoRepeat() || !isEnabled()) {
    QWidget::keyReleaseEvent(event);
    return;
  }
  FreeTimer();
  if (event->key() == Qt::Key_Space && FSpaceHeld) {
    event->accept();
    SpaceUp();
    return;
  }
  QWidget::keyReleaseEvent(event);
}

bool TCuteButton::event(QEvent *event) {
  if (event->type() == QEvent::Shortcut) {
    auto *shortcut = static_cast<QShortcutEvent *>(event);
    if (shortcut->shortcutId() == FShortcutId && FShortcutId != 0) {
      const QWidget *parent = parentWidget();
      if (isEnabled() && (parent ? parent->isVisible() : isVisible())) {
        EnterPressed();
        return true;
      }
      return false;
    }
  }
  return QWidget::event(event);
}

// ---------------------------------------------------------------------------
// Focus and state

// A popup menu borrows the keyboard without the button losing its place
// (some platforms even make the popup the active window for a while). The
// button's own drop-down counts as open until its press is finished.
bool TCuteButton::PopupBorrowsFocus(const QFocusEvent *event) const {
  return event->reason() == Qt::PopupFocusReason || FMenuOpen ||
         QApplication::activePopupWidget() != nullptr;
}

void TCuteButton::focusInEvent(QFocusEvent *event) {
  if (!PopupBorrowsFocus(event) && FTabFocusUp) SetBevelOuter(TBevelCut::Raised);
  Repaint();
  QWidget::focusInEvent(event);
}

void TCuteButton::focusOutEvent(QFocusEvent *event) {
  if (!PopupBorrowsFocus(event)) {
    // Space released elsewhere must not click this button later.
    FSpaceHeld = false;
    SetBevelOuter(TBevelCut::None);
  }
  Repaint();
  QWidget::focusOutEvent(event);
}

void TCuteButton::changeEvent(QEvent *event) {
  switch (event->type()) {
    case QEvent::EnabledChange:
      if (!isEnabled()) {
        FSpaceHeld = false;
        FClicked = false;
        FMouseCaptured = false;
        FreeTimer();
      }
      Repaint();
      break;
    case QEvent::FontChange:
    case QEvent::PaletteChange:
      Repaint();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------
// Painting

QRect TCuteButton::TextRect() const {
  const int inset = FFlat ? FBevelWidth : 2 * FBevelWidth;
  QRect r = rect().adjusted(inset, inset, -inset, -inset);
  if (FMarginX != -1) {
    if (FAlignment == TCaptionAlignment::Left) r.setLeft(r.left() + FMarginX);
    if (FAlignment == TCaptionAlignment::Right) r.setRight(r.right() - FMarginX);
  }
  if (FMarginY != -1) {
    if (FLayout == TTextLayout::Top) r.setTop(r.top() + FMarginY);
    if (FLayout == TTextLayout::Bottom) r.setBottom(r.bottom() - FMarginY);
  }
  if (FBevelOuter == TBevelCut::Lowered) {
    r.setLeft(r.left() + 2);
    r.setTop(r.top() + 2);
  }
  return r;
}

void TCuteButton::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  Paint(painter);
}

void TCuteButton::Paint(QPainter &painter) {
  const bool enabled = isEnabled();
  painter.fillRect(rect(), FUseDisabledColor && !enabled ? FDisabledColor : FColor);

  QRect bevelRect = rect();
  auto drawBevel = [&](TBevelCut cut) {
    if (cut == TBevelCut::None) return;
    const bool raised = cut == TBevelCut::Raised;
    Frame3D(painter, bevelRect, raised ? FBevelHighlightColor : FBevelShadowColor,
            raised ? FBevelShadowColor : FBevelHighlightColor, FBevelWidth);
  };
  drawBevel(FBevelOuter);
  drawBevel(FBevelInner);

  const QRect textRect = TextRect();
  int flags = Qt::TextSingleLine | Qt::TextShowMnemonic;
  switch (FAlignment) {
    case TCaptionAlignment::Left: flags |= Qt::AlignLeft; break;
    case TCaptionAlignment::Right: flags |= Qt::AlignRight; break;
    case TCaptionAlignment::Center: flags |= Qt::AlignHCenter; break;
  }
  switch (FLayout) {
    case TTextLayout::Top: flags |= Qt::AlignTop; break;
    case TTextLayout::Center: flags |= Qt::AlignVCenter; break;
    case TTextLayout::Bottom: flags |= Qt::AlignBottom; break;
  }
  painter.setFont(font());
  painter.setBackgroundMode(Qt::TransparentMode);
  if (enabled) {
    painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter.drawText(textRect, flags, FCaption);
  } else {
    // Engraved: a light copy one pixel down-right, the dark one in place.
    painter.setPen(SystemButtonHighlight());
    painter.drawText(textRect.translated(1, 1), flags, FCaption);
    painter.setPen(SystemButtonShadow());
    painter.drawText(textRect, flags, FCaption);
  }

  if (FShowFocusRect && hasFocus()) {
    // A dotted frame two pixels inside the text rectangle.
    const QRect focus = textRect.adjusted(2, 2, -2, -2);
    if (focus.width() > 0 && focus.height() > 0) {
      const QColor dot = palette().color(QPalette::Active, QPalette::ButtonText);
      for (int x = focus.left(); x <= focus.right(); ++x) {
        if ((x + focus.top()) % 2 == 0) painter.fillRect(x, focus.top(), 1, 1, dot);
        if ((x + focus.bottom()) % 2 == 0) painter.fillRect(x, focus.bottom(), 1, 1, dot);
      }
      for (int y = focus.top(); y <= focus.bottom(); ++y) {
        if ((focus.left() + y) % 2 == 0) painter.fillRect(focus.left(), y, 1, 1, dot);
        if ((focus.right() + y) % 2 == 0) painter.fillRect(focus.right(), y, 1, 1, dot);
      }
    }
  }
}

#include "controls/CuteButton.h"

#include <QMouseEvent>
#include <QPainter>

TCuteButton::TCuteButton(QWidget *parent) : QWidget(parent) { resize(75, 25); }

void TCuteButton::SetCaption(const QString &caption) {
  FCaption = caption;
  update();
}

void TCuteButton::Click() {
  if (OnClick) OnClick(this);
}

void TCuteButton::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.drawText(rect(), Qt::AlignCenter, FCaption);
}

void TCuteButton::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
}

#pragma once
// TCuteButtonTimer: the one-shot delay of a TCuteButton's drop-down menu.
// It exists only while a delayed drop-down is pending; when it fires it hands
// control back to its button, which frees it.
#include <QTimer>

class TCuteButton;

class TCuteButtonTimer : public QTimer {
  Q_OBJECT
public:
  TCuteButtonTimer(TCuteButton *button, int interval);

  TCuteButton *FCuteButton;

private:
  void Fire();
};

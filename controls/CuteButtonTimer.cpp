#include "controls/CuteButtonTimer.h"

#include "controls/CuteButton.h"

TCuteButtonTimer::TCuteButtonTimer(TCuteButton *button, int interval)
    : QTimer(button), FCuteButton(button) {
  setSingleShot(true);
  setInterval(interval);
  connect(this, &QTimer::timeout, this, &TCuteButtonTimer::Fire);
}

void TCuteButtonTimer::Fire() {
  if (FCuteButton) FCuteButton->DropDownDelayElapsed();
}

#include "app/help/HelpViewer.h"

namespace miretoka {
// First cut: the real viewer comes with the help file.
void ShowHelpContents(QWidget *, const QString &) {}
void ShowHelpTopic(QWidget *, const QString &, int) {}
}  // namespace miretoka

#pragma once
// The program's help: a viewer standing in for the platform help system.
#include <QString>
#include <functional>
class QWidget;

namespace miretoka {
class HelpWindow;

// Shows the contents page of the help file.
void ShowHelpContents(QWidget *parent, const QString &helpFile);
// Shows the topic with this context number (a lesson's MNB); the contents page when there is none.
void ShowHelpTopic(QWidget *parent, const QString &helpFile, int contextNumber);

// Receives the message when the help file cannot be shown (missing, unreadable, malformed).
// The default shows a critical message box over `parent`.
using HelpErrorReporter = std::function<void(QWidget *parent, const QString &message)>;
// Installs a reporter (an empty one restores the default) and returns the one it replaces.
HelpErrorReporter SetHelpErrorReporter(HelpErrorReporter reporter);

// The open help window, if any. There is at most one; closing it destroys it.
HelpWindow *CurrentHelpWindow();
}  // namespace miretoka

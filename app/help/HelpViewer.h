#pragma once
// The program's help: a viewer standing in for the platform help system.
#include <QString>
class QWidget;

namespace miretoka {
// Shows the contents page of the help file.
void ShowHelpContents(QWidget *parent, const QString &helpFile);
// Shows the topic with this context number (a lesson's MNB); the contents page when there is none.
void ShowHelpTopic(QWidget *parent, const QString &helpFile, int contextNumber);
}  // namespace miretoka

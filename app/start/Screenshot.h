#pragma once
// Pictures of the program for its documentation, made by the program itself:
//
//   miretoka --screenshot FILE [--coordinates] [--lesson MNB [--forward N]]
//                              [--board 13|9] [--play P,P,…]
//
// --coordinates shows the coordinates, --lesson opens a lesson of the contents (no help
// window) and --forward takes N steps in it (an offered "●" is chosen, the first one);
// --board takes the picture of the 13- or 9-line window instead of the main window, and
// --play places stones in turn on the board shown (point numbers of that board).
#include <QStringList>

class QWidget;

namespace miretoka {

class TForm2;

// Arranges the windows as the arguments ask and returns the window to take the picture
// of; nullptr (with a message on stderr) when an argument is wrong.
QWidget *PrepareScreenshot(TForm2 &main, const QStringList &args);

}  // namespace miretoka

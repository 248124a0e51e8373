#pragma once
// Program start-up: the window set and the message loop.
#include <QString>

class QApplication;

namespace miretoka {

// The application's help file; start-up sets a default, the main window
// replaces it with the file beside the program.
extern QString HelpFile;

// Builds the window set and runs the program; returns the exit status.
// With "--screenshot FILE" the main window is rendered into a PNG after
// start-up and the program ends (status 0 when the file was written).
int RunProgram(QApplication &app, int argc, char **argv);

}  // namespace miretoka

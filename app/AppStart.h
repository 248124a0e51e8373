#pragma once
class QApplication;
namespace miretoka {
// Builds the window set and runs the program; returns the exit status.
int RunProgram(QApplication &app, int argc, char **argv);
}

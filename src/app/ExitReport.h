#pragma once

class QMainWindow;

// An unattended run of the whole program, for checking a build on a machine without a desktop (the
// Windows build under Wine with the offscreen platform). With ZARARE_EXIT_REPORT set to a file name in
// the environment, once the packet counter leaves 0 the program writes its caption and both counters
// to that file and chooses File, Exit itself. Without the variable nothing is watched.
namespace ExitReport {
void watch(QMainWindow *form);
}

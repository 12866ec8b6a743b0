#pragma once

#include <csignal>

namespace tolvane {

// The signals held off below; a program the run starts gets them back at their defaults.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

// kEndingSignals as a signal set.
sigset_t endingSignalSet();

// Hangups, interrupts and requests to terminate are held off while the program works on
// the files, so none of them cuts a backup or an append short; a box asks whether one
// came and ends the run there. A signal the program was started to ignore stays ignored.
void deferEndingSignals();
bool endingSignalCame();

// The player is gone: ends the program at once, as a Windows program ends when its
// console window is closed. Nothing after the box is done, and the system lets go of
// the ini. A held-off signal ends the program as it would have without being held off.
[[noreturn]] void endRunHere();

}  // namespace tolvane

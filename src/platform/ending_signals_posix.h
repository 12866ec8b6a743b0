#pragma once

#include <csignal>

namespace tolvane {

// The signals held off below; a program the run starts gets them back at their defaults.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

// Signals that would kill the program in the middle of a change, where a failed call
// lets it cut the ini back and say so: a reader gone away (SIGPIPE), and a file-size
// limit reached (SIGXFSZ), which then fails the write with EFBIG, as a full disk would.
constexpr int kFailureSignals[] = {SIGPIPE, SIGXFSZ};

// kEndingSignals as a signal set.
sigset_t endingSignalSet();

// kEndingSignals and kFailureSignals: what a program the run starts gets back at their
// defaults.
sigset_t signalsForStartedPrograms();

// Ignores kFailureSignals, so that the calls they would interrupt fail instead.
void ignoreFailureSignals();

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

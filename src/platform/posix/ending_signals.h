#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdio>

namespace tolvane {

// Every signal disposition of the run is set here, and so is its one rule: a hangup, an
// interrupt or a request to terminate ends the run at the next box; nothing after it is
// done. Until then they are held off, so none of them cuts a backup or an append short.

// The sign a run opened in a terminal window sends the run that opened the window, once
// it has started there.
constexpr int kStartedInAWindowSignal = SIGUSR1;

// Once, before the box is chosen: holds off the ending signals (one the run was started
// to ignore, as under nohup, stays ignored); ignores SIGPIPE and SIGXFSZ, so the write
// they would stop fails instead; catches SIGCHLD, so a dialog's end wakes its wait, and
// the started sign, so that a stray one ends nothing.
void takeOverSignals();

// The signals a started program gets back at their defaults, with none of them blocked.
sigset_t signalsForStartedPrograms();

// Each box asks before it is shown and once it is answered.
void endRunIfAnEndingSignalCame();

// The player is gone: ends the program at once, as a Windows program ends when its
// console window is closed. Nothing after the box is done, and the system lets go of
// the ini. A held-off signal ends the program as it would have without being held off.
[[noreturn]] void endRunHere();

// Whether `stream` is a terminal that was closed, as its hangup says: its end of input
// is no player's Ctrl-D, and the run ends as at a hangup.
bool terminalClosed(std::FILE* stream);

// A program the run starts and waits for (a dialog, a terminal window). From
// construction, the ending signals, SIGCHLD and the started sign are blocked, and let in
// only while waiting, so a hangup that comes while the program starts is noticed at
// once, not taken before the wait and missed.
class StartedProgramWait {
public:
    StartedProgramWait();  // ends the run here if an ending signal already came
    StartedProgramWait(const StartedProgramWait&) = delete;
    StartedProgramWait& operator=(const StartedProgramWait&) = delete;
    ~StartedProgramWait();
    // The program's wait status, or -1 if it could not be waited for. An ending signal
    // meanwhile terminates the program, waits for it and ends the run here.
    int waitFor(pid_t pid) const;
    // Whether the started sign came before `seconds` passed and before `pid` failed (ended
    // other than with status 0). `pid` ending with 0 is waited past: a terminal's client
    // may hand the window to its server and return at once. Without the sign, a `pid`
    // still running is terminated and waited for. An ending signal meanwhile terminates
    // `pid` and ends the run here.
    bool waitForStartedSign(pid_t pid, int seconds) const;

private:
    sigset_t previous_;
    sigset_t waiting_;
};

}  // namespace tolvane

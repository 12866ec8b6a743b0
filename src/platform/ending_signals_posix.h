#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdio>

namespace tolvane {

// Every signal disposition of the run is set here, and so is its one rule: a hangup, an
// interrupt or a request to terminate ends the run at the next box; nothing after it is
// done. Until then they are held off, so none of them cuts a backup or an append short.

// Once, before the box is chosen: holds off the ending signals (one the run was started
// to ignore, as under nohup, stays ignored); ignores SIGPIPE and SIGXFSZ, so the write
// they would stop fails instead; catches SIGCHLD, so a dialog's end wakes its wait.
void takeOverSignals();

// Just before the run is replaced by another program: puts back the dispositions and the
// mask it was started with. A signal held off until then ends the run first.
void giveBackSignals();

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

// A program the run starts and waits for (a dialog). From construction, the ending
// signals and SIGCHLD are blocked, and let in only while waiting, so a hangup that comes
// while the program starts is noticed at once, not taken before the wait and missed.
class StartedProgramWait {
public:
    StartedProgramWait();  // ends the run here if an ending signal already came
    StartedProgramWait(const StartedProgramWait&) = delete;
    StartedProgramWait& operator=(const StartedProgramWait&) = delete;
    ~StartedProgramWait();
    // The program's wait status, or -1 if it could not be waited for. An ending signal
    // meanwhile terminates the program, waits for it and ends the run here.
    int waitFor(pid_t pid) const;

private:
    sigset_t previous_;
    sigset_t waiting_;
};

}  // namespace tolvane

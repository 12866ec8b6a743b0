#include "platform/posix/ending_signals.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iterator>

namespace tolvane {
namespace {

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

// Signals that would kill the program in the middle of a change, where a failed call
// lets it cut the ini back and say so: a reader gone away (SIGPIPE), and a file-size
// limit reached (SIGXFSZ), which then fails the write with EFBIG, as a full disk would.
constexpr int kFailureSignals[] = {SIGPIPE, SIGXFSZ};

// Every signal whose disposition the run changes, as it was started with them.
constexpr int kTakenSignals[] = {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGXFSZ, SIGCHLD, kStartedInAWindowSignal};
struct sigaction startedWith[std::size(kTakenSignals)];

// The held-off signal, 0 until one comes.
volatile std::sig_atomic_t endingSignal = 0;

extern "C" void rememberEndingSignal(int signal) { endingSignal = signal; }

// SIGCHLD must be caught for sigsuspend to wake when a dialog ends; a run started with
// it ignored would also find its dialogs reaped before it could wait for them.
extern "C" void noteProgramEnded(int) {}
extern "C" void ignoreStrayStartedSign(int) {}

sigset_t endingSignalsAnd(int other) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : kEndingSignals) sigaddset(&signals, signal);
    if (other != 0) sigaddset(&signals, other);
    return signals;
}

const struct sigaction& startedWithFor(int signal) {
    std::size_t i = 0;
    while (kTakenSignals[i] != signal) ++i;
    return startedWith[i];
}

// What a started program's wait blocks, and lets in only while waiting.
sigset_t heldWhileWaiting() {
    sigset_t held = endingSignalsAnd(SIGCHLD);
    sigaddset(&held, kStartedInAWindowSignal);
    return held;
}

void terminateAndWait(pid_t pid) {
    int status = 0;
    ::kill(pid, SIGTERM);
    while (::waitpid(pid, &status, 0) != pid && errno == EINTR) {
    }
}

void setHandler(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

void takeOverSignals() {
    for (std::size_t i = 0; i < std::size(kTakenSignals); ++i)
        ::sigaction(kTakenSignals[i], nullptr, &startedWith[i]);
    for (int signal : kFailureSignals) setHandler(signal, SIG_IGN, 0);
    // No SA_RESTART: a box waiting for its line wakes up.
    for (int signal : kEndingSignals)
        if (startedWithFor(signal).sa_handler != SIG_IGN) setHandler(signal, rememberEndingSignal, 0);
    setHandler(SIGCHLD, noteProgramEnded, SA_RESTART | SA_NOCLDSTOP);
    setHandler(kStartedInAWindowSignal, ignoreStrayStartedSign, SA_RESTART);
    // A mask inherited from the parent would hide them for the whole run.
    const sigset_t ending = endingSignalsAnd(0);
    ::sigprocmask(SIG_UNBLOCK, &ending, nullptr);
}

sigset_t signalsForStartedPrograms() {
    sigset_t signals = endingSignalsAnd(0);
    for (int signal : kFailureSignals) sigaddset(&signals, signal);
    return signals;
}

void endRunIfAnEndingSignalCame() {
    if (endingSignal != 0) endRunHere();
}

void endRunHere() {
    if (endingSignal != 0) {
        std::signal(endingSignal, SIG_DFL);
        sigset_t ending;
        sigemptyset(&ending);
        sigaddset(&ending, endingSignal);
        ::sigprocmask(SIG_UNBLOCK, &ending, nullptr);  // it may be held for a dialog
        std::raise(endingSignal);
    }
    std::_Exit(0);
}

bool terminalClosed(std::FILE* stream) {
    struct pollfd terminal = {fileno(stream), 0, 0};
    return ::isatty(terminal.fd) && ::poll(&terminal, 1, 0) == 1 &&
           (terminal.revents & (POLLHUP | POLLERR)) != 0;
}

StartedProgramWait::StartedProgramWait() {
    const sigset_t held = heldWhileWaiting();
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
    waiting_ = previous_;
    for (int signal : kEndingSignals) sigdelset(&waiting_, signal);
    sigdelset(&waiting_, SIGCHLD);
    endRunIfAnEndingSignalCame();
}

StartedProgramWait::~StartedProgramWait() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

// No program is left running and none unwaited for when the run ends here.
int StartedProgramWait::waitFor(pid_t pid) const {
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) return status;
        if (ended < 0 && errno != EINTR) return -1;
        if (endingSignal != 0) {
            terminateAndWait(pid);
            endRunHere();
        }
        ::sigsuspend(&waiting_);
    }
}

namespace {

// What is left until `deadline`, or false once it has passed.
bool timeLeft(const timespec& deadline, timespec& left) {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    left.tv_sec = deadline.tv_sec - now.tv_sec;
    left.tv_nsec = deadline.tv_nsec - now.tv_nsec;
    if (left.tv_nsec < 0) {
        left.tv_nsec += 1000000000L;
        --left.tv_sec;
    }
    return left.tv_sec >= 0;
}

}  // namespace

bool StartedProgramWait::waitForStartedSign(pid_t pid, int seconds) const {
    const sigset_t awaited = heldWhileWaiting();
    timespec deadline;
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += seconds;
    bool running = true;
    timespec left;
    while (timeLeft(deadline, left)) {
        int status = 0;
        if (running && ::waitpid(pid, &status, WNOHANG) == pid) {
            running = false;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
        }
        const int signal = ::sigtimedwait(&awaited, nullptr, &left);
        if (signal == kStartedInAWindowSignal) return true;
        if ((signal == SIGHUP || signal == SIGINT || signal == SIGTERM) &&
            startedWithFor(signal).sa_handler != SIG_IGN) {
            endingSignal = signal;
            if (running) terminateAndWait(pid);
            endRunHere();
        }
    }
    if (running) terminateAndWait(pid);
    return false;
}

}  // namespace tolvane

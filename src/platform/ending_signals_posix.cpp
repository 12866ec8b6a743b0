#include "platform/ending_signals_posix.h"

#include <csignal>
#include <cstdlib>

namespace tolvane {
namespace {

// The held-off signal, 0 until one comes.
volatile std::sig_atomic_t endingSignal = 0;

extern "C" void rememberEndingSignal(int signal) { endingSignal = signal; }

}  // namespace

sigset_t endingSignalSet() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : kEndingSignals) sigaddset(&signals, signal);
    return signals;
}

sigset_t signalsForStartedPrograms() {
    sigset_t signals = endingSignalSet();
    for (int signal : kFailureSignals) sigaddset(&signals, signal);
    return signals;
}

void ignoreFailureSignals() {
    for (int signal : kFailureSignals) std::signal(signal, SIG_IGN);
}

void deferEndingSignals() {
    struct sigaction remember {};
    remember.sa_handler = rememberEndingSignal;
    sigemptyset(&remember.sa_mask);
    remember.sa_flags = 0;  // no SA_RESTART: a box waiting for its line wakes up
    // A mask inherited from the parent would hide them for the whole run.
    const sigset_t ending = endingSignalSet();
    ::sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    for (int signal : kEndingSignals) {
        struct sigaction previous {};
        // nohup starts a program with the hangup ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &remember, nullptr);
    }
}

bool endingSignalCame() { return endingSignal != 0; }

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

}  // namespace tolvane

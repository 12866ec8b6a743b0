#include <csignal>
#include <cstdio>

#include "platform/ending_signals_posix.h"
#include "platform/prompt_box_posix.h"

namespace tolvane {

PromptBox& systemPromptBox() {
    // A reader that went away must not kill the program before it can finish cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    deferEndingSignals();
    static TerminalPromptBox box(stdin, stdout);
    return box;
}

}  // namespace tolvane

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/ending_signals_posix.h"
#include "platform/prompt_box_posix.h"

namespace tolvane {
namespace {

// Some launchers and scripts start a program with standard input or output closed. The
// ini, the first file the run opens, would then take that number: the boxes would be
// written into it, or its lines read as answers. A closed one reads as the end of input,
// which answers No, and takes what is written.
void openClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened < 0 || opened == fd) continue;
        ::dup2(opened, fd);
        ::close(opened);
    }
}

}  // namespace

// A run started from a terminal or a script keeps the terminal box, so it never opens a
// window; one started from a file manager or a launcher, on a desktop, shows the
// desktop's own dialogs. With no dialog program either, the terminal box reads the end
// of input at once: no question is answered Yes and nothing is touched.
PromptBox& systemPromptBox() {
    openClosedStandardDescriptors();
    // A reader that went away must not kill the program before it can finish cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    deferEndingSignals();
    DialogCommand dialog;
    if (startedFromADesktop(STDIN_FILENO, std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")) &&
        findDialogProgram(std::getenv("PATH"), dialog)) {
        static DesktopPromptBox desktop(dialog);
        return desktop;
    }
    static TerminalPromptBox terminal(stdin, stdout);
    return terminal;
}

}  // namespace tolvane

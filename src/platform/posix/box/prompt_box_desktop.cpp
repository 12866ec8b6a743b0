#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/box/dialog_command.h"
#include "platform/posix/ending_signals.h"
#include "platform/posix/box/prompt_box.h"

extern char** environ;

namespace tolvane {
namespace {

// Only Yes is Yes. Escape or the window's close button in an OK box is OK, as in a
// message box; anything else, a crash or a kill included, is a box not shown.
PromptAnswer answerOf(const Prompt& prompt, int status) {
    if (!WIFEXITED(status)) return kBoxNotShown;
    const int code = WEXITSTATUS(status);
    if (isQuestion(prompt.style)) return code == 0 ? kIdYes : code == 1 ? kIdNo : kBoxNotShown;
    return code == 0 || code == 1 ? kIdOk : kBoxNotShown;
}

bool isSet(const char* variable) { return variable != nullptr && variable[0] != '\0'; }

// The dialog's wait status, or -1 if it could not be started or waited for.
int showDialog(const DialogCommand& command, const Prompt& prompt) {
    const StartedProgramWait wait;
    pid_t pid = 0;
    if (!startQuietly(command.path, dialogArguments(command.program, prompt), dialogEnvironment(environ), pid))
        return -1;
    return wait.waitFor(pid);
}

}  // namespace

DesktopPromptBox::DesktopPromptBox(std::vector<DialogCommand> commands) : commands_(std::move(commands)) {}

// A kdialog without its Wayland plugin aborts, a zenity without a display exits at
// once: neither is the player's answer, so the box goes to the next program, and the
// one that showed it keeps the rest of the run.
PromptAnswer DesktopPromptBox::showPrompt(const Prompt& prompt) {
    for (std::size_t tried = 0; tried < commands_.size(); ++tried) {
        const int status = showDialog(commands_[current_], prompt);
        // A signal held while the dialog closed is taken now, and ends the run at this box.
        endRunIfAnEndingSignalCame();
        const PromptAnswer answer = status < 0 ? kBoxNotShown : answerOf(prompt, status);
        if (answer != kBoxNotShown) return answer;
        current_ = (current_ + 1) % commands_.size();
    }
    return kBoxNotShown;
}

bool aPersonAnswersAtTheTerminal() {
    const int terminal = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal < 0) return false;  // no controlling terminal
    const bool foreground = ::tcgetpgrp(terminal) == ::getpgrp();
    ::close(terminal);
    return foreground;
}

bool onADesktop(const char* waylandDisplay, const char* display) {
    return isSet(waylandDisplay) || isSet(display);
}

}  // namespace tolvane

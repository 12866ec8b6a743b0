#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/posix/ending_signals.h"
#include "platform/posix/box/prompt_box.h"
#include "platform/posix/box/terminal_answers.h"
#include "platform/posix/box/terminal_layout.h"

namespace tolvane {
namespace {

constexpr int kColumnsWhenNotATerminal = 80;

}  // namespace

void TerminalPromptBox::writeText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out_);
}

int TerminalPromptBox::availableColumns() const {
    if (columns_ > 0) return columns_;
    struct winsize size;
    if (::ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kColumnsWhenNotATerminal;
}

PromptAnswer TerminalPromptBox::showPrompt(const Prompt& prompt) {
    endRunIfAnEndingSignalCame();
    writeText("\n");
    writeText(drawTerminalBox(prompt, static_cast<std::size_t>(availableColumns()), charset_));
    for (;;) {
        writeText(isQuestion(prompt.style) ? "(Oui/Non) > " : "(OK) > ");
        if (std::fflush(out_) != 0) {
            endRunIfAnEndingSignalCame();
            if (terminalClosed(out_)) endRunHere();
            return kBoxNotShown;
        }
        const InputLine line = readLine(in_);
        endRunIfAnEndingSignalCame();
        if (line.failed || (line.ended && terminalClosed(in_))) endRunHere();
        if (line.ended) return kBoxNotShown;
        const PromptAnswer button = buttonFor(prompt, line);
        if (button != kAskAgain) return button;
    }
}

}  // namespace tolvane

#include "platform/posix/box/terminal_window.h"

#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/posix/box/dialog_command.h"
#include "platform/posix/ending_signals.h"

extern char** environ;

namespace tolvane {
namespace {

// How each terminal emulator is given the command to run, as its own argument list.
struct TerminalWindow {
    const char* name;
    const char* commandOption;  // what comes before the command; null: nothing
};

constexpr TerminalWindow kTerminalWindows[] = {
    {"x-terminal-emulator", "-e"},  // Debian's policy: -e, then the command's own words
    {"xdg-terminal-exec", nullptr},
    {"konsole", "-e"},
    {"gnome-terminal", "--"},
    {"xfce4-terminal", "-x"},
    {"mate-terminal", "-x"},
    {"lxterminal", "-e"},
    {"qterminal", "-e"},
    {"xterm", "-e"},
};

// Set in the window's environment to the opening run's process id: the run in the window
// finds its program and its folder through that process, and a run that was itself
// opened in a window never opens another one.
constexpr const char* kOpenerVariable = "TOLVANE_OPENED_IN_A_TERMINAL_WINDOW";

// A terminal that has not started the run inside its window by then counts as failed.
constexpr int kSecondsToStart = 20;

// x-terminal-emulator is an alternative that leads, through links, to a terminal or to
// Debian's wrapper of one (xfce4-terminal.wrapper), which re-splits a lone -e argument.
// One of the known terminals is started as itself, with its own form: the wrapper's
// terminal as the search path finds it.
TerminalWindowCommand whatItLeadsTo(const TerminalWindowCommand& alternative, std::string_view searchPath) {
    char resolved[PATH_MAX];
    if (::realpath(alternative.path.c_str(), resolved) == nullptr) return alternative;
    const std::string_view path = resolved;
    std::string_view name = path.substr(path.rfind('/') + 1);
    constexpr std::string_view kWrapper = ".wrapper";
    const bool wrapper = name.size() > kWrapper.size() && name.substr(name.size() - kWrapper.size()) == kWrapper;
    if (wrapper) name.remove_suffix(kWrapper.size());
    for (std::size_t kind = 1; kind < std::size(kTerminalWindows); ++kind) {
        if (name != kTerminalWindows[kind].name) continue;
        TerminalWindowCommand terminal{kind, std::string(path)};
        if (!wrapper) return terminal;
        return findOnSearchPath(searchPath, kTerminalWindows[kind].name, terminal.path) ? terminal : alternative;
    }
    return alternative;
}

// The decimal process id in `text`, or 0.
pid_t processIdIn(const char* text) {
    if (text == nullptr || *text < '1' || *text > '9') return 0;
    char* end = nullptr;
    const long id = std::strtol(text, &end, 10);
    return *end == '\0' && id > 0 && id < INT_MAX ? static_cast<pid_t>(id) : 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

std::vector<TerminalWindowCommand> findTerminalWindows(const char* searchPath) {
    const std::string_view path = searchPathOrDefault(searchPath);
    std::vector<TerminalWindowCommand> found;
    for (std::size_t kind = 0; kind < std::size(kTerminalWindows); ++kind) {
        TerminalWindowCommand terminal{kind, {}};
        if (!findOnSearchPath(path, kTerminalWindows[kind].name, terminal.path)) continue;
        if (kind == 0) terminal = whatItLeadsTo(terminal, path);
        bool already = false;
        for (const TerminalWindowCommand& earlier : found) already = already || earlier.kind == terminal.kind;
        if (!already) found.push_back(terminal);
    }
    return found;
}

std::vector<std::string> terminalWindowArguments(const TerminalWindowCommand& terminal, const std::string& program) {
    const TerminalWindow& window = kTerminalWindows[terminal.kind];
    std::vector<std::string> args = {window.name};
    if (window.commandOption != nullptr) args.push_back(window.commandOption);
    args.push_back(program);
    return args;
}

// The window runs /proc/ID/exe, this very program whatever its path holds, and the
// terminal starts in the root folder: no terminal nor shell ever sees the folder's name.
// This run waits until the run in the window has moved into its folder; a terminal that
// fails first, or never starts it, hands over to the next one. The window and the program in it run in UTF-8 (C.UTF-8, built into the C
// library), whatever the session's locale. This run opened nothing, so it holds no lock.
bool reopenInATerminalWindow(const char* searchPath) {
    if (std::getenv(kOpenerVariable) != nullptr) return false;
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> environment = dialogEnvironment(environ);
    environment.push_back(std::string(kOpenerVariable) + "=" + self);
    for (const TerminalWindowCommand& terminal : findTerminalWindows(searchPath)) {
        const StartedProgramWait wait;
        pid_t pid = 0;
        if (!startQuietly(terminal.path, terminalWindowArguments(terminal, "/proc/" + self + "/exe"), environment,
                          pid, "/"))
            continue;
        if (wait.waitForStartedSign(pid, kSecondsToStart)) {
            wait.waitFor(pid);  // a file manager sees the run end with its window
            return true;
        }
    }
    return false;
}

// The opening run is found by its id only while it runs this same program; its folder is
// then entered through /proc, whatever its name holds.
void settleInTheOpenersFolder() {
    const char* opener = std::getenv(kOpenerVariable);
    if (opener == nullptr) return;
    const pid_t id = processIdIn(opener);
    const std::string process = "/proc/" + std::to_string(id);
    if (id == 0 || !sameFile("/proc/self/exe", process + "/exe") || ::chdir((process + "/cwd").c_str()) != 0 ||
        ::kill(id, kStartedInAWindowSignal) != 0)
        endRunHere();
}

}  // namespace tolvane

#include "platform/terminal_window_posix.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/dialog_command_posix.h"
#include "platform/ending_signals_posix.h"

extern char** environ;

namespace tolvane {
namespace {

// How each terminal emulator is given the folder and the command to run. The command is
// passed as its own argument list wherever the terminal takes one; lxterminal and
// qterminal take it as one word that they split themselves, shell-style.
struct TerminalWindow {
    const char* name;
    const char* folderOption;   // joined to the folder when it ends in '=', else before it; null: none
    const char* commandOption;  // what comes before the command; null: nothing
    bool commandAsOneWord;
};

constexpr TerminalWindow kTerminalWindows[] = {
    {"x-terminal-emulator", nullptr, "-e", false},  // Debian's -e, which every one of them takes
    {"xdg-terminal-exec", nullptr, nullptr, false},
    {"konsole", "--workdir", "-e", false},
    {"gnome-terminal", "--working-directory=", "--", false},
    {"xfce4-terminal", "--working-directory=", "-x", false},
    {"mate-terminal", "--working-directory=", "-x", false},
    {"lxterminal", "--working-directory=", "-e", true},
    {"qterminal", "--workdir", "-e", true},
    {"xterm", nullptr, "-e", false},
};

// Set in the window's environment: a run that was itself opened in a window and still
// finds no terminal never opens another one.
constexpr std::string_view kOpenedInAWindow = "TOLVANE_OPENED_IN_A_TERMINAL_WINDOW=1";

// The path as one word for a terminal that splits its command itself: lxterminal as a
// shell would, qterminal as Qt does. Both take double quotes; a path holding a character
// that they would read differently inside them is given to neither (empty).
std::string oneWord(const std::string& path) {
    if (path.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._+-") ==
        std::string::npos)
        return path;
    if (path.find_first_of("\"\\$`") != std::string::npos) return {};
    return '"' + path + '"';
}

bool openedInAWindow() {
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (kOpenedInAWindow == *entry) return true;
    return false;
}

bool ownPathAndFolder(std::string& program, std::string& folder) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) return false;
    program.assign(buffer, static_cast<std::size_t>(length));
    if (::getcwd(buffer, sizeof buffer) == nullptr) return false;
    folder = buffer;
    return true;
}

}  // namespace

bool findTerminalWindow(const char* searchPath, TerminalWindowCommand& found) {
    for (std::size_t kind = 0; kind < std::size(kTerminalWindows); ++kind) {
        if (findOnSearchPath(searchPathOrDefault(searchPath), kTerminalWindows[kind].name, found.path)) {
            found.kind = kind;
            return true;
        }
    }
    return false;
}

std::vector<std::string> terminalWindowArguments(const TerminalWindowCommand& terminal,
                                                 const std::string& program,
                                                 const std::string& folder) {
    const TerminalWindow& window = kTerminalWindows[terminal.kind];
    std::vector<std::string> args = {window.name};
    if (window.folderOption != nullptr) {
        const std::string_view option = window.folderOption;
        if (option.back() == '=')
            args.push_back(std::string(option) + folder);
        else
            args.insert(args.end(), {std::string(option), folder});
    }
    if (window.commandOption != nullptr) args.push_back(window.commandOption);
    args.push_back(window.commandAsOneWord ? oneWord(program) : program);
    return args;
}

void reopenInATerminalWindow(const char* searchPath) {
    TerminalWindowCommand terminal;
    std::string program, folder;
    if (openedInAWindow() || !findTerminalWindow(searchPath, terminal) || !ownPathAndFolder(program, folder))
        return;
    std::vector<std::string> args = terminalWindowArguments(terminal, program, folder);
    if (args.back().empty()) return;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) envp.push_back(*entry);
    std::string marker(kOpenedInAWindow);
    envp.push_back(marker.data());
    envp.push_back(nullptr);
    // The window's programs start with the signals this run was started with.
    giveBackSignals();
    ::execve(terminal.path.c_str(), argv.data(), envp.data());
    takeOverSignals();
}

}  // namespace tolvane

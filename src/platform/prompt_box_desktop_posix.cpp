#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/cp1252.h"
#include "platform/ending_signals_posix.h"
#include "platform/prompt_box_posix.h"

extern char** environ;

namespace tolvane {
namespace {

std::string utf8Of(std::string_view cp1252) {
    std::string utf8;
    appendUtf8OfCp1252(cp1252, utf8);
    return utf8;
}

// zenity: a question's icon is set by name; an OK box without an icon is an info box
// whose icon name is empty. --no-markup shows the text as it is, --no-wrap keeps its
// lines, and with them the signature's spaces, as a message box does.
std::vector<std::string> zenityArguments(const Prompt& prompt, const std::string& text) {
    std::vector<std::string> args = {"zenity"};
    switch (prompt.style) {
        case PromptStyle::Ok: args.insert(args.end(), {"--info", "--icon-name="}); break;
        case PromptStyle::OkError: args.push_back("--error"); break;
        case PromptStyle::OkInformation: args.push_back("--info"); break;
        case PromptStyle::YesNoQuestion: args.push_back("--question"); break;
        case PromptStyle::YesNoWarning:
            args.insert(args.end(), {"--question", "--icon-name=dialog-warning"});
            break;
    }
    args.insert(args.end(), {"--title=" + utf8Of(prompt.caption), "--text=" + text,
                             "--no-markup", "--no-wrap"});
    if (isQuestion(prompt.style))
        args.insert(args.end(), {"--ok-label=Oui", "--cancel-label=Non"});
    else
        args.push_back("--ok-label=OK");
    return args;
}

// kdialog has no box without an icon: an OK box shows the information icon.
std::vector<std::string> kdialogArguments(const Prompt& prompt, const std::string& text) {
    const char* kind = "--msgbox";
    if (prompt.style == PromptStyle::OkError) kind = "--error";
    if (prompt.style == PromptStyle::YesNoQuestion) kind = "--yesno";
    if (prompt.style == PromptStyle::YesNoWarning) kind = "--warningyesno";
    std::vector<std::string> args = {"kdialog", "--title", utf8Of(prompt.caption), kind, text};
    if (isQuestion(prompt.style))
        args.insert(args.end(), {"--yes-label", "Oui", "--no-label", "Non"});
    else
        args.insert(args.end(), {"--ok-label", "OK"});
    return args;
}

// Only Yes is Yes. Escape or the window's close button in an OK box is OK, as in a
// message box; anything else, a crash or a kill included, is a box not shown.
PromptAnswer answerOf(const Prompt& prompt, int status) {
    if (!WIFEXITED(status)) return kBoxNotShown;
    const int code = WEXITSTATUS(status);
    if (isQuestion(prompt.style)) return code == 0 ? kIdYes : code == 1 ? kIdNo : kBoxNotShown;
    return code == 0 || code == 1 ? kIdOk : kBoxNotShown;
}

// The dialog starts with the signals the program holds off back to their defaults,
// and prints nowhere: nothing it says reaches the program's output.
bool startDialog(const std::vector<std::string>& args, pid_t& pid) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    sigset_t defaults;
    sigset_t none;
    sigemptyset(&defaults);
    for (int signal : kEndingSignals) sigaddset(&defaults, signal);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int error = posix_spawnp(&pid, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return error == 0;
}

// Waits for the dialog to close. A hangup or a request to terminate closes the dialog
// too, and ends the run here: no dialog is left open and no child unwaited for.
int waitForDialog(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) != pid) {
        if (errno != EINTR) return -1;
        if (!endingSignalCame()) continue;
        ::kill(pid, SIGTERM);
        while (::waitpid(pid, &status, 0) != pid && errno == EINTR) {
        }
        endRunHere();
    }
    return status;
}

bool isExecutable(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool onSearchPath(std::string_view searchPath, const char* name) {
    while (!searchPath.empty()) {
        const std::size_t end = std::min(searchPath.find(':'), searchPath.size());
        const std::string folder(end == 0 ? "." : searchPath.substr(0, end));
        if (isExecutable(folder + "/" + name)) return true;
        searchPath.remove_prefix(std::min(end + 1, searchPath.size()));
    }
    return false;
}

bool isSet(const char* variable) { return variable != nullptr && variable[0] != '\0'; }

}  // namespace

std::vector<std::string> dialogArguments(DialogProgram program, const Prompt& prompt) {
    const std::string text = utf8Of(prompt.text);
    return program == DialogProgram::Zenity ? zenityArguments(prompt, text)
                                            : kdialogArguments(prompt, text);
}

PromptAnswer DesktopPromptBox::showPrompt(const Prompt& prompt) {
    if (endingSignalCame()) endRunHere();
    pid_t pid = 0;
    if (!startDialog(dialogArguments(program_, prompt), pid)) return kBoxNotShown;
    const int status = waitForDialog(pid);
    return status < 0 ? kBoxNotShown : answerOf(prompt, status);
}

bool startedFromADesktop(int standardInput, const char* waylandDisplay, const char* display) {
    if (!isSet(waylandDisplay) && !isSet(display)) return false;
    struct stat input;
    if (::fstat(standardInput, &input) != 0) return true;  // started with none
    const bool scripted = ::isatty(standardInput) || S_ISFIFO(input.st_mode) ||
                          S_ISSOCK(input.st_mode) || S_ISREG(input.st_mode);
    return !scripted;
}

bool findDialogProgram(const char* searchPath, DialogProgram& found) {
    const std::string_view path = isSet(searchPath) ? searchPath : "/usr/bin:/bin";
    if (onSearchPath(path, "zenity")) {
        found = DialogProgram::Zenity;
        return true;
    }
    if (onSearchPath(path, "kdialog")) {
        found = DialogProgram::Kdialog;
        return true;
    }
    return false;
}

}  // namespace tolvane

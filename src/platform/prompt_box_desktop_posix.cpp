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

// A locale is UTF-8 by its name's codeset, as glibc reads it: "UTF-8" or "utf8", in any case.
bool isUtf8Locale(std::string_view name) {
    std::string folded;
    for (char c : name)
        if (c != '-') folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return folded.find(".utf8") != std::string::npos;
}

// The value of `name` in `environment`, the first one as getenv finds it, or null.
const char* valueOf(const char* const* environment, std::string_view name) {
    for (const char* const* entry = environment; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (text.size() > name.size() && text.substr(0, name.size()) == name && text[name.size()] == '=')
            return *entry + name.size() + 1;
    }
    return nullptr;
}

bool isSet(const char* variable) { return variable != nullptr && variable[0] != '\0'; }

// The locale that decides how a program reads its text: LC_ALL, else LC_CTYPE, else LANG,
// else the C locale, whose characters are ASCII.
std::string_view characterLocale(const char* const* environment) {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = valueOf(environment, name);
        if (isSet(value)) return value;
    }
    return "C";
}

// The signals the program holds off, and one more.
sigset_t endingSignalsAnd(int other) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : kEndingSignals) sigaddset(&signals, signal);
    sigaddset(&signals, other);
    return signals;
}

// The dialog starts with the signals the program holds off back to their defaults,
// and prints nowhere: nothing it says reaches the program's output. It is started by
// its absolute path, never searched for again.
bool startDialog(const std::string& path, const std::vector<std::string>& args, pid_t& pid) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment = dialogEnvironment(environ);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    const sigset_t defaults = endingSignalsAnd(SIGPIPE);
    sigset_t none;
    sigemptyset(&none);
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int error = posix_spawn(&pid, path.c_str(), &files, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return error == 0;
}

// While a dialog is started and waited for, the ending signals and SIGCHLD are blocked,
// and let in only inside sigsuspend: a hangup that comes while the dialog is being
// started is then noticed at once, not taken before the wait begins and missed.
class SignalsHeldForADialog {
public:
    SignalsHeldForADialog() {
        const sigset_t held = endingSignalsAnd(SIGCHLD);
        ::sigprocmask(SIG_BLOCK, &held, &previous_);
        waiting_ = previous_;
        for (int signal : kEndingSignals) sigdelset(&waiting_, signal);
        sigdelset(&waiting_, SIGCHLD);
    }
    SignalsHeldForADialog(const SignalsHeldForADialog&) = delete;
    SignalsHeldForADialog& operator=(const SignalsHeldForADialog&) = delete;
    ~SignalsHeldForADialog() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    // Waits until a signal comes: the dialog's end, or an ending signal.
    void waitForASignal() const { ::sigsuspend(&waiting_); }

private:
    sigset_t previous_;
    sigset_t waiting_;
};

// Waits for the dialog to close. A hangup or a request to terminate closes the dialog
// too, and ends the run here: no dialog is left open and no child unwaited for.
int waitForDialog(pid_t pid, const SignalsHeldForADialog& signals) {
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) return status;
        if (ended < 0 && errno != EINTR) return -1;
        if (endingSignalCame()) {
            ::kill(pid, SIGTERM);
            while (::waitpid(pid, &status, 0) != pid && errno == EINTR) {
            }
            endRunHere();
        }
        signals.waitForASignal();
    }
}

// The dialog's wait status, or -1 if it could not be started or waited for.
int showDialog(const DialogCommand& command, const Prompt& prompt) {
    const SignalsHeldForADialog signals;
    if (endingSignalCame()) endRunHere();
    pid_t pid = 0;
    if (!startDialog(command.path, dialogArguments(command.program, prompt), pid)) return -1;
    return waitForDialog(pid, signals);
}

// SIGCHLD must be caught for sigsuspend to wake when the dialog ends; a run started with
// it ignored would also find its dialogs reaped before it could wait for them.
extern "C" void noteDialogEnded(int) {}

bool isExecutable(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Only absolute folders: an empty entry, ".", or any relative one means the folder the
// run started in, the game's, where any downloaded file may be executable.
bool findOnSearchPath(std::string_view searchPath, const char* name, std::string& found) {
    while (!searchPath.empty()) {
        const std::size_t end = std::min(searchPath.find(':'), searchPath.size());
        const std::string_view folder = searchPath.substr(0, end);
        if (!folder.empty() && folder[0] == '/') {
            const std::string candidate = std::string(folder) + "/" + name;
            if (isExecutable(candidate)) {
                found = candidate;
                return true;
            }
        }
        searchPath.remove_prefix(std::min(end + 1, searchPath.size()));
    }
    return false;
}

}  // namespace

std::vector<std::string> dialogArguments(DialogProgram program, const Prompt& prompt) {
    const std::string text = utf8Of(prompt.text);
    return program == DialogProgram::Zenity ? zenityArguments(prompt, text)
                                            : kdialogArguments(prompt, text);
}

std::vector<std::string> dialogEnvironment(const char* const* environment) {
    const bool utf8 = isUtf8Locale(characterLocale(environment));
    std::vector<std::string> result;
    for (const char* const* entry = environment; *entry != nullptr; ++entry)
        if (utf8 || std::string_view(*entry).substr(0, 7) != "LC_ALL=") result.emplace_back(*entry);
    if (!utf8) result.emplace_back("LC_ALL=C.UTF-8");  // glibc always has it
    return result;
}

DesktopPromptBox::DesktopPromptBox(DialogCommand command) : command_(std::move(command)) {
    struct sigaction noted {};
    noted.sa_handler = noteDialogEnded;
    sigemptyset(&noted.sa_mask);
    noted.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    ::sigaction(SIGCHLD, &noted, nullptr);
}

PromptAnswer DesktopPromptBox::showPrompt(const Prompt& prompt) {
    const int status = showDialog(command_, prompt);
    // A signal held while the dialog closed is taken now, and ends the run at this box.
    if (endingSignalCame()) endRunHere();
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

bool findDialogProgram(const char* searchPath, DialogCommand& found) {
    const std::string_view path = searchPath != nullptr ? searchPath : "/usr/bin:/bin";
    if (findOnSearchPath(path, "zenity", found.path)) {
        found.program = DialogProgram::Zenity;
        return true;
    }
    if (findOnSearchPath(path, "kdialog", found.path)) {
        found.program = DialogProgram::Kdialog;
        return true;
    }
    return false;
}

}  // namespace tolvane

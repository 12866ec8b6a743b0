#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/cp1252.h"
#include "platform/posix/box/dialog_command.h"
#include "platform/posix/ending_signals.h"

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

bool isExecutable(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> dialogArguments(DialogProgram program, const Prompt& prompt) {
    const std::string text = utf8Of(prompt.text);
    return program == DialogProgram::Zenity ? zenityArguments(prompt, text)
                                            : kdialogArguments(prompt, text);
}

// zenity refuses the texts in a locale that is not UTF-8, and so does every GTK program
// in one whose name says UTF-8 but that is not installed. C.UTF-8 is built into glibc,
// and every word on a button is given, so nothing the player reads changes.
std::vector<std::string> dialogEnvironment(const char* const* environment) {
    std::vector<std::string> result;
    for (const char* const* entry = environment; *entry != nullptr; ++entry)
        if (std::string_view(*entry).substr(0, 7) != "LC_ALL=") result.emplace_back(*entry);
    result.emplace_back("LC_ALL=C.UTF-8");
    return result;
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

std::vector<DialogCommand> findDialogPrograms(const char* searchPath) {
    constexpr std::pair<DialogProgram, const char*> kPrograms[] = {
        {DialogProgram::Zenity, "zenity"}, {DialogProgram::Kdialog, "kdialog"}};
    std::vector<DialogCommand> found;
    for (const auto& [program, name] : kPrograms) {
        DialogCommand command{program, {}};
        if (findOnSearchPath(searchPathOrDefault(searchPath), name, command.path)) found.push_back(command);
    }
    return found;
}

bool startQuietly(const std::string& path, const std::vector<std::string>& args,
                  std::vector<std::string> environment, pid_t& pid, const char* folder) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    const sigset_t defaults = signalsForStartedPrograms();
    sigset_t none;
    sigemptyset(&none);
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    if (folder != nullptr) posix_spawn_file_actions_addchdir_np(&files, folder);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int error = posix_spawn(&pid, path.c_str(), &files, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return error == 0;
}

}  // namespace tolvane

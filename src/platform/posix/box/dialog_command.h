#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/prompt_box.h"

namespace tolvane {

// The desktop's own dialog programs, which are started, never linked.
enum class DialogProgram { Zenity, Kdialog };

// A dialog program found on the search path, and the absolute path it is started by.
struct DialogCommand {
    DialogProgram program = DialogProgram::Zenity;
    std::string path;
};

// The dialog program's whole argument list for one box, its name first, in UTF-8.
std::vector<std::string> dialogArguments(DialogProgram program, const Prompt& prompt);

// The environment a dialog starts with: `environment` (a null-terminated list, as
// environ) with LC_ALL=C.UTF-8 in place of any LC_ALL, so that the dialog programs take
// the texts whatever the session's locale, installed or not.
std::vector<std::string> dialogEnvironment(const char* const* environment);

// The path of `name` in the first absolute folder of `searchPath` (a PATH value) that
// holds it as an executable file, or false. Empty and relative entries, which lead into
// the folder the run started in, the game's, are never searched.
bool findOnSearchPath(std::string_view searchPath, const char* name, std::string& found);

// A PATH value as a search takes it: null, for an unset PATH, is /usr/bin:/bin.
constexpr std::string_view searchPathOrDefault(const char* searchPath) {
    return searchPath != nullptr ? searchPath : "/usr/bin:/bin";
}

// Starts the program at `path` (never searched for again) with `args`, its name first, and
// `environment`, as its own process: the signals the run holds off or ignores at their
// defaults, none blocked, and its output nowhere, so nothing it says reaches the run's;
// in `folder` where one is given, else in the run's. False if it could not be started.
bool startQuietly(const std::string& path, const std::vector<std::string>& args,
                  std::vector<std::string> environment, pid_t& pid, const char* folder = nullptr);

// zenity and kdialog, those of them found in the absolute folders of `searchPath`,
// zenity first; empty where there is neither.
std::vector<DialogCommand> findDialogPrograms(const char* searchPath);

}  // namespace tolvane

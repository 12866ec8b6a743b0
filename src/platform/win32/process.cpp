#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/process.h"

namespace tolvane {
namespace {

// An administrator's run with UAC on. With UAC off (TokenElevationTypeDefault) nothing
// is virtualized for anyone, so the game reads the same file.
bool elevatedUnderUac() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    Handle token(raw);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size) &&
           type == TokenElevationTypeFull;
}

// %LOCALAPPDATA%\VirtualStore\ then the file's full path without its drive, where
// Windows keeps the copy a program that is not elevated writes under Program Files.
bool inVirtualStore(const char* path) {
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length < 3 || length >= MAX_PATH || full[1] != ':' || full[2] != '\\') return false;
    constexpr char kStore[] = "\\VirtualStore";
    char copy[MAX_PATH + sizeof kStore + MAX_PATH];
    const DWORD base = GetEnvironmentVariableA("LOCALAPPDATA", copy, MAX_PATH);
    if (base == 0 || base >= MAX_PATH) return false;
    lstrcpyA(copy + base, kStore);
    lstrcpyA(copy + base + sizeof kStore - 1, full + 2);
    const DWORD attributes = GetFileAttributesA(copy);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// A double-click, a shortcut or `start` makes a console for this run alone. Nothing is
// ever written to it, and left open it would stand empty over the first box and take
// its keyboard. A console shared with cmd, where the run was typed, stays. Windows 11
// 24H2 and later make none at all, as the manifest asks; older Windows make one, let
// go of here.
void prepareProcess() {
    DWORD attached[2];
    if (GetConsoleProcessList(attached, 2) == 1) FreeConsole();
}

// The game is never elevated: under Program Files it reads the VirtualStore copy where
// one exists, and an elevated run would change the file beneath it instead.
bool gameReadsAnotherCopy(const char* path) { return elevatedUnderUac() && inVirtualStore(path); }

}  // namespace tolvane

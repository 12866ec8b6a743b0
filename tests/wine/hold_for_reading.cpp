// Holds a file open for reading, as an editor, the game or an antivirus scanner may:
// shared for reading only, so others can copy it but not open it for writing, or with
// "read-write" shared for writing too, but never for deletion, so that it cannot be
// replaced. Creates the file named by the second argument once it holds the first, and
// lets go when the file named by the third appears (or after two minutes), LINGER
// milliseconds later.
//   hold_for_reading FILE READY STOP [read|read-write [LINGER]]
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 4 || argc > 6) return 2;
    const bool shareWrite = argc > 4 && std::strcmp(argv[4], "read-write") == 0;
    const DWORD linger = argc > 5 ? static_cast<DWORD>(std::atoi(argv[5])) : 0;
    HANDLE held = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | (shareWrite ? FILE_SHARE_WRITE : 0),
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(ready);
    for (int i = 0; i < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    Sleep(linger);
    CloseHandle(held);
    return 0;
}

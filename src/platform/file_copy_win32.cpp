#include "platform/file_copy_win32.h"

namespace tolvane {

bool seek(HANDLE file, std::int64_t offset, DWORD from) {
    LARGE_INTEGER position;
    position.QuadPart = offset;
    return SetFilePointerEx(file, position, nullptr, from);
}

bool writeAll(HANDLE file, const char* bytes, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

// The copy reads through the handle open for writing. Opening the ini once more
// (CopyFileA does) would clash with that handle's share mode on Windows itself.
bool copyContents(HANDLE in, HANDLE out, std::int64_t& copied) {
    char buffer[16 * 1024];  // on the stack: a static one would be stored in the program
    copied = 0;
    if (!seek(in, 0, FILE_BEGIN)) return false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        if (!writeAll(out, buffer, got)) return false;
        copied += got;
    }
}

}  // namespace tolvane

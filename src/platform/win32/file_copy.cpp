#include "platform/win32/file_copy.h"

#include <cstring>

#include "platform/win32/handle.h"
#include "platform/win32/retry.h"

namespace tolvane {
namespace {

// Blocks are on the stack only while a copy or a comparison runs: two at most, far within
// the main thread's stack.
constexpr DWORD kBlock = 16 * 1024;

// Reads up to `size` bytes at the position, going on after short reads; false if a read
// failed.
bool readFully(HANDLE file, char* into, DWORD size, DWORD& got) {
    got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file, into + got, size - got, &n, nullptr)) return false;
        if (n == 0) break;
        got += n;
    }
    return true;
}

bool isLong(HANDLE file, std::int64_t size) {
    LARGE_INTEGER length;
    return GetFileSizeEx(file, &length) && length.QuadPart == size;
}

}  // namespace

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
    char buffer[kBlock];
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

bool holdTheSameBytes(HANDLE a, HANDLE b, std::int64_t size) {
    char first[kBlock];
    char second[kBlock];
    if (!isLong(a, size) || !isLong(b, size) || !seek(a, 0, FILE_BEGIN) || !seek(b, 0, FILE_BEGIN))
        return false;
    for (std::int64_t at = 0; at < size;) {
        const DWORD want = static_cast<DWORD>(size - at < kBlock ? size - at : kBlock);
        DWORD gotA = 0;
        DWORD gotB = 0;
        if (!readFully(a, first, want, gotA) || !readFully(b, second, want, gotB) || gotA != want ||
            gotB != want || std::memcmp(first, second, want) != 0)
            return false;
        at += want;
    }
    return true;
}

bool endsWith(HANDLE file, std::int64_t offset, const char* bytes, std::size_t size) {
    char stored[512];
    DWORD got = 0;
    return size <= sizeof stored && isLong(file, offset + static_cast<std::int64_t>(size)) &&
           seek(file, offset, FILE_BEGIN) && readFully(file, stored, static_cast<DWORD>(size), got) &&
           got == size && std::memcmp(stored, bytes, size) == 0;
}

HANDLE openExisting(const char* path, DWORD access, DWORD share) {
    return CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE openWhenLetGo(const char* path, DWORD access, DWORD share) {
    HANDLE file = INVALID_HANDLE_VALUE;
    retryWhileHeld(heldByAnother, [&] {
        file = openExisting(path, access, share);
        return file != INVALID_HANDLE_VALUE;
    });
    return file;
}

// Whether the copy under `temp`, opened again for reading only, holds what the ini
// (`in`) held as copied: a file system that reports writes it did not store is caught
// before the older backup goes.
bool holdsTheCopy(const char* temp, HANDLE in, std::int64_t copied) {
    Handle reread(openWhenLetGo(temp, GENERIC_READ, FILE_SHARE_READ));
    return reread.valid() && holdTheSameBytes(reread.get(), in, copied);
}

// Wine's move is a rename that it does not flush; the kernel's FAT and ntfs3 may store
// it only with the file itself, so the backup is flushed once more under its new name.
bool flushUnderItsName(const char* to) {
    Handle moved(openWhenLetGo(to, GENERIC_WRITE, FILE_SHARE_READ));
    return moved.valid() && FlushFileBuffers(moved.get()) && moved.close();
}

// A file already at that length is left alone: on a full disk, Wine's SetEndOfFile
// writes a byte at the end, which then fails although nothing needs cutting.
bool cutTo(HANDLE file, std::int64_t length) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart == length) return true;
    return retryWhileHeld(heldOrMapped, [&] { return seek(file, length, FILE_BEGIN) && SetEndOfFile(file); });
}

}  // namespace tolvane

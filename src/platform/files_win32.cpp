#include <windows.h>

#include "platform/files.h"

namespace tolvane {
namespace {

// Owns one Win32 handle and closes it on every path out.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    // Closes now; false if the close reported an error.
    bool close() {
        HANDLE handle = release();
        return handle != INVALID_HANDLE_VALUE && CloseHandle(handle);
    }

private:
    HANDLE handle_;
};

// Others may go on reading the ini (the game, an editor), but nobody else may write to
// it while this handle is open: a second run of the program asks for write access too,
// so it cannot open the ini until the first has closed it, or has ended in any way.
HANDLE openHeld(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool seek(HANDLE file, std::int64_t offset, DWORD from) {
    LARGE_INTEGER position;
    position.QuadPart = offset;
    return SetFilePointerEx(file, position, nullptr, from);
}

bool cutTo(HANDLE file, std::int64_t length) {
    return seek(file, length, FILE_BEGIN) && SetEndOfFile(file);
}

bool isReadOnly(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
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

// The copy reads through the handle that holds the ini. Opening the ini once more
// (CopyFileA does) would clash with that handle's write access on Windows itself.
bool copyContents(HANDLE in, HANDLE out) {
    char buffer[16 * 1024];  // on the stack: a static one would be stored in the program
    if (!seek(in, 0, FILE_BEGIN)) return false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        if (!writeAll(out, buffer, got)) return false;
    }
}

// The volume and the file index name one file, whichever path leads to it.
bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// LockedFile keeps its handle as an integer, so that its header needs no windows.h.
HANDLE toHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

}  // namespace

LockedFile::~LockedFile() {
    if (isOpen()) close();
    if (toHandle(held_) != INVALID_HANDLE_VALUE) CloseHandle(toHandle(held_));
}

// A file with the read-only attribute cannot be opened for writing, by administrators
// either. The second handle keeps the file, and its share mode, once the first is closed.
OpenResult LockedFile::open(const char* path) {
    Handle file(openHeld(path, GENERIC_READ | GENERIC_WRITE));
    if (!file.valid())
        return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenResult::Missing : OpenResult::Failed;
    LARGE_INTEGER size;
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size))
        return OpenResult::Failed;
    HANDLE duplicate = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), &duplicate, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        return OpenResult::Failed;
    path_ = path;
    lengthAtOpen_ = size.QuadPart;
    handle_ = fromHandle(file.release());
    held_ = fromHandle(duplicate);
    return OpenResult::Opened;
}

bool LockedFile::isOpen() const { return toHandle(handle_) != INVALID_HANDLE_VALUE; }

// The held handle shares no deletion, so Windows lets nobody rename or delete the ini
// while the run lives; a link can still lead elsewhere, and Wine's sharing is not always
// Windows'. Asking for no access opens the name without clashing with any share mode.
bool LockedFile::isStillNamed() const {
    if (toHandle(held_) == INVALID_HANDLE_VALUE) return false;
    Handle named(CreateFileA(path_, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return named.valid() && sameFile(named.get(), toHandle(held_));
}

// DeleteFileA removes a link itself, not what it leads to; CREATE_NEW then refuses to
// write through whatever might still stand at `temp`. The copy is a plain new file: a
// read-only attribute on the ini does not follow it. Windows refuses to replace a
// read-only backup, but Wine's move would: both keep it.
bool LockedFile::copyTo(const char* to, const char* temp) {
    if (!isOpen() || isReadOnly(to)) return false;
    DeleteFileA(temp);
    Handle out(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!out.valid()) return false;
    if (copyContents(toHandle(handle_), out.get()) && FlushFileBuffers(out.get()) && out.close() &&
        MoveFileExA(temp, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    out.close();
    DeleteFileA(temp);  // a copy cut short by a full disk leaves a part of the file
    return false;
}

bool LockedFile::append(std::string_view bytes) {
    return isOpen() && seek(toHandle(handle_), 0, FILE_END) &&
           writeAll(toHandle(handle_), bytes.data(), bytes.size());
}

bool LockedFile::flush() { return isOpen() && FlushFileBuffers(toHandle(handle_)); }

bool LockedFile::close() {
    Handle file(toHandle(handle_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    return file.close();
}

bool LockedFile::restoreLength() {
    Handle writing(toHandle(handle_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    HANDLE file = toHandle(held_);
    const bool cut = file != INVALID_HANDLE_VALUE && cutTo(file, lengthAtOpen_) &&
                     FlushFileBuffers(file);
    const bool closed = !writing.valid() || writing.close();
    return cut && closed;
}

}  // namespace tolvane

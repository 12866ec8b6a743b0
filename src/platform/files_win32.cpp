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

HANDLE openExistingForWriting(const char* path) {
    // Others may go on reading the file, but nobody else may write while the patch does.
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool cutTo(HANDLE file, std::int64_t length) {
    LARGE_INTEGER position;
    position.QuadPart = length;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// Enough of a file's metadata to tell whether anything wrote to it.
struct FileState {
    bool exists;
    WIN32_FILE_ATTRIBUTE_DATA data;
};

FileState stateOf(const char* path) {
    FileState state{};
    state.exists = GetFileAttributesExA(path, GetFileExInfoStandard, &state.data) != 0;
    return state;
}

bool sameState(const FileState& a, const FileState& b) {
    if (!a.exists || !b.exists) return a.exists == b.exists;
    return a.data.nFileSizeHigh == b.data.nFileSizeHigh &&
           a.data.nFileSizeLow == b.data.nFileSizeLow &&
           CompareFileTime(&a.data.ftLastWriteTime, &b.data.ftLastWriteTime) == 0;
}

// AppendFile keeps its handle as an integer, so that its header needs no windows.h.
HANDLE toHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

}  // namespace

CopyResult copyFile(const char* from, const char* to) {
    const FileState before = stateOf(to);
    if (CopyFileA(from, to, FALSE)) return CopyResult::Copied;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return CopyResult::SourceMissing;
    // CopyFileA can stop part way through and leave the target half-written (Wine does,
    // with error 31, when the disk fills); a half-made backup would be worse than none.
    // A target it never touched, such as an older backup it could not replace, stays.
    if (!sameState(before, stateOf(to))) DeleteFileA(to);
    return CopyResult::Failed;
}

AppendFile::~AppendFile() {
    if (isOpen()) close();
}

bool AppendFile::open(const char* path) {
    Handle file(openExistingForWriting(path));
    LARGE_INTEGER size;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) ||
        !SetFilePointerEx(file.get(), zero, nullptr, FILE_END))
        return false;
    path_ = path;
    lengthAtOpen_ = size.QuadPart;
    handle_ = fromHandle(file.release());
    return true;
}

bool AppendFile::isOpen() const { return toHandle(handle_) != INVALID_HANDLE_VALUE; }

bool AppendFile::append(std::string_view bytes) {
    if (!isOpen()) return false;
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(toHandle(handle_), next, static_cast<DWORD>(left), &written, nullptr) ||
            written == 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

bool AppendFile::close() {
    Handle file(toHandle(handle_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    return file.close();
}

bool AppendFile::restoreLength() {
    if (path_ == nullptr) return false;
    Handle file(isOpen() ? toHandle(handle_) : openExistingForWriting(path_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    return file.valid() && cutTo(file.get(), lengthAtOpen_) && file.close();
}

}  // namespace tolvane

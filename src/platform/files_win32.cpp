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

bool isReadOnly(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// CopyFileA carries the read-only attribute over. Players set it on Morrowind.ini to
// keep the launcher from resetting it; a read-only backup would then make every later
// run fail once they clear it again.
bool makeWritable(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesA(path, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
}

bool flushToDisk(const char* path) {
    Handle file(openExistingForWriting(path));
    return file.valid() && FlushFileBuffers(file.get()) && file.close();
}

// AppendFile keeps its handle as an integer, so that its header needs no windows.h.
HANDLE toHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

}  // namespace

CopyResult copyFile(const char* from, const char* to, const char* temp) {
    // DeleteFileA removes a link itself, not what it leads to; the copy then refuses to
    // write through whatever might still stand at `temp`.
    DeleteFileA(temp);
    if (!CopyFileA(from, temp, TRUE)) {
        const DWORD error = GetLastError();
        DeleteFileA(temp);  // CopyFileA cut short by a full disk leaves a part of the file
        return error == ERROR_FILE_NOT_FOUND ? CopyResult::SourceMissing : CopyResult::Failed;
    }
    // Windows refuses to replace a read-only backup, but Wine's move would: both keep it.
    if (makeWritable(temp) && flushToDisk(temp) && !isReadOnly(to) &&
        MoveFileExA(temp, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return CopyResult::Copied;
    DeleteFileA(temp);
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
    const bool flushed = file.valid() && FlushFileBuffers(file.get());
    return file.close() && flushed;
}

bool AppendFile::restoreLength() {
    if (path_ == nullptr) return false;
    Handle file(isOpen() ? toHandle(handle_) : openExistingForWriting(path_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    return file.valid() && cutTo(file.get(), lengthAtOpen_) && FlushFileBuffers(file.get()) &&
           file.close();
}

}  // namespace tolvane

#include <windows.h>

#include "platform/file_copy_win32.h"
#include "platform/files.h"
#include "platform/handle_win32.h"

namespace tolvane {
namespace {

// The one byte every run locks, as tolvane.exe or natively: at 2^62, far past any ini's end.
OVERLAPPED lockedByte() {
    OVERLAPPED at{};
    at.OffsetHigh = 1u << 30;
    return at;
}

// Wine's server turns the lock into a record lock on the Linux file, which the native
// program's lock meets: a write lock through a handle that writes, a read lock through
// one that only reads. Only another run's lock refuses: a file system that offers no
// locks is used without one.
bool lockAgainstOtherRuns(HANDLE file) {
    OVERLAPPED at = lockedByte();
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    return GetLastError() != ERROR_LOCK_VIOLATION;
}

// Two Wine servers (two prefixes on one game folder) see only each other's record locks,
// and two read locks do not clash: from the Yes on, the lock is held through the handle
// that writes. A process's locks through two handles clash, so the first goes first.
bool moveLock(HANDLE from, HANDLE to) {
    OVERLAPPED at = lockedByte();
    UnlockFileEx(from, 0, 1, 0, &at);
    return lockAgainstOtherRuns(to);
}

// A file already at that length is left alone: on a full disk, Wine's SetEndOfFile
// writes a byte at the end, which then fails although nothing needs cutting.
bool cutTo(HANDLE file, std::int64_t length) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart == length) return true;
    return seek(file, length, FILE_BEGIN) && SetEndOfFile(file);
}

bool isReadOnly(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Windows refuses to write a read-only file even to administrators; Wine run by root
// would write it, so the attribute itself is what refuses.
bool isWritableDiskFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
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

// Asking for no access opens the name without clashing with any share mode.
bool leadsTo(const char* name, HANDLE file) {
    Handle named(openExisting(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    return file != INVALID_HANDLE_VALUE && named.valid() && sameFile(named.get(), file);
}

// LockedFile keeps its handles as integers, so that its header needs no windows.h.
HANDLE toHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

}  // namespace

LockedFile::~LockedFile() {
    if (isOpen()) close();
    if (toHandle(held_) != INVALID_HANDLE_VALUE) CloseHandle(toHandle(held_));
    if (toHandle(lock_) != INVALID_HANDLE_VALUE) CloseHandle(toHandle(lock_));
}

// Before the player's Yes, the ini is only read, shared for reading and writing: the
// game, its launcher and editors go on as usual, and under Program Files Windows makes
// no copy of it in the VirtualStore.
OpenResult LockedFile::open(const char* path) {
    Handle file(openExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    if (!file.valid())
        return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenResult::Missing : OpenResult::Failed;
    LARGE_INTEGER size;
    if (!isWritableDiskFile(file.get()) || !GetFileSizeEx(file.get(), &size) ||
        !lockAgainstOtherRuns(file.get()))
        return OpenResult::Failed;
    path_ = path;
    keptLength_ = size.QuadPart;
    lock_ = fromHandle(file.release());
    return OpenResult::Opened;
}

// From the Yes on, nobody else may write it, and a read-only attribute set while a box
// waited refuses, read from the file that would be written. Under Program Files, Windows
// may open a copy in the VirtualStore here, which the game reads from then on: the file
// changed is this one, whatever the locked one is. The second handle keeps it, and its
// share mode, once the first is closed.
bool LockedFile::openForWriting() {
    if (isOpen()) return true;
    if (path_ == nullptr) return false;
    Handle file(openExisting(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
    HANDLE duplicate = INVALID_HANDLE_VALUE;
    if (!file.valid() || !isWritableDiskFile(file.get()) ||
        !moveLock(toHandle(lock_), file.get()) ||
        !DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), &duplicate, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        return false;
    handle_ = fromHandle(file.release());
    held_ = fromHandle(duplicate);
    return true;
}

bool LockedFile::isOpen() const { return toHandle(handle_) != INVALID_HANDLE_VALUE; }

// The handles share no deletion, so Windows lets nobody rename or delete the ini while
// the run lives; a link can still lead elsewhere, and Wine's sharing is not always
// Windows'. Before the Yes, the file is the one opened for reading.
bool LockedFile::isStillNamed() const {
    const bool writing = toHandle(held_) != INVALID_HANDLE_VALUE;
    return path_ != nullptr && leadsTo(path_, toHandle(writing ? held_ : lock_));
}

// DeleteFileA removes a link itself, not what it leads to, unless `temp` is the ini's
// own file; CREATE_NEW then refuses to write through whatever might still stand at
// `temp`. The copy is a plain new file: a read-only attribute on the ini does not follow
// it. Windows refuses to replace a read-only backup, but Wine's move would: both keep it.
bool LockedFile::copyTo(const char* to, const char* temp) {
    if (!isOpen() || isReadOnly(to) || leadsTo(temp, toHandle(handle_))) return false;
    DeleteFileA(temp);
    Handle out(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!out.valid()) return false;
    std::int64_t copied = 0;
    if (copyContents(toHandle(handle_), out.get(), copied) && FlushFileBuffers(out.get()) &&
        out.close() && holdsTheCopy(temp, toHandle(handle_), copied) &&
        MoveFileExA(temp, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        keptLength_ = copied;
        return flushUnderItsName(to);
    }
    out.close();
    DeleteFileA(temp);  // a copy cut short by a full disk leaves a part of the file
    return false;
}

std::size_t LockedFile::readStart(char* into, std::size_t size) {
    DWORD got = 0;
    if (!isOpen() || !seek(toHandle(handle_), 0, FILE_BEGIN) ||
        !ReadFile(toHandle(handle_), into, static_cast<DWORD>(size), &got, nullptr))
        return 0;
    return got;
}

// What is appended is kept to be read back once flushed.
bool LockedFile::append(std::string_view bytes) {
    if (!isOpen() || bytes.size() > kMostAppended - appendedSize_) return false;
    CopyMemory(appended_ + appendedSize_, bytes.data(), bytes.size());
    appendedSize_ += bytes.size();
    return seek(toHandle(handle_), 0, FILE_END) && writeAll(toHandle(handle_), bytes.data(), bytes.size());
}

// Read back by name through a handle of its own, which must let the writing handle
// write, after the flush: a write reported done that was not stored is found here.
bool LockedFile::flush() {
    if (!isOpen() || !FlushFileBuffers(toHandle(handle_))) return false;
    Handle reread(openExisting(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    return reread.valid() && sameFile(reread.get(), toHandle(held_)) &&
           endsWith(reread.get(), keptLength_, appended_, appendedSize_);
}

bool LockedFile::close() {
    Handle file(toHandle(handle_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    return file.close();
}

bool LockedFile::restoreLength() {
    Handle writing(toHandle(handle_));
    handle_ = fromHandle(INVALID_HANDLE_VALUE);
    HANDLE file = toHandle(held_);
    const bool cut = file != INVALID_HANDLE_VALUE && cutTo(file, keptLength_) &&
                     FlushFileBuffers(file);
    const bool closed = !writing.valid() || writing.close();
    return cut && closed;
}

}  // namespace tolvane

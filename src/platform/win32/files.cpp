#include <windows.h>

#include <new>

#include "platform/win32/file_checks.h"
#include "platform/win32/file_copy.h"
#include "platform/files.h"
#include "platform/win32/handle.h"
#include "platform/win32/retry.h"

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

}  // namespace

// `reading` is the ini as held from hold() on, open for reading only and shared for
// reading and writing, with the lock until the Yes. `writing` is opened at the Yes and
// takes the lock; `kept`, a second handle of it, stays once writing is finished, to
// name and cut back the file changed.
struct LockedFile::Handles {
    Handle reading;
    Handle writing;
    Handle kept;
};

LockedFile::LockedFile() {
    static_assert(sizeof(Handles) <= sizeof handles_ && alignof(Handles) <= alignof(void*));
    new (handles_) Handles;
}

LockedFile::~LockedFile() { handles().~Handles(); }

LockedFile::Handles& LockedFile::handles() { return *std::launder(reinterpret_cast<Handles*>(handles_)); }
const LockedFile::Handles& LockedFile::handles() const {
    return *std::launder(reinterpret_cast<const Handles*>(handles_));
}

// Before the player's Yes, the ini is only read, shared for reading and writing: the
// game, its launcher and editors go on as usual, and under Program Files Windows makes
// no copy of it in the VirtualStore. A read-only one is refused from the start.
OpenResult LockedFile::hold(const char* path) {
    if (state_ != State::NotHeld) return OpenResult::Failed;
    Handle file(openExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    if (!file.valid())
        return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenResult::Missing : OpenResult::Failed;
    LARGE_INTEGER size;
    if (!isWritableDiskFile(file.get()) || !GetFileSizeEx(file.get(), &size) ||
        !lockAgainstOtherRuns(file.get()))
        return OpenResult::Failed;
    path_ = path;
    keptLength_ = size.QuadPart;
    handles().reading.reset(file.release());
    state_ = State::Held;
    return OpenResult::Opened;
}

// From the Yes on, nobody else may write it, and a read-only attribute set while a box
// waited refuses, read from the file that would be written. Under Program Files, Windows
// may open a copy in the VirtualStore here, which the game reads from then on: the file
// changed is this one, whatever the locked one is. Another program that writes it, once
// it has kept it for about two seconds, or another run that took the lock, refuses too.
bool LockedFile::startWriting() {
    if (state_ != State::Held) return false;
    Handle file(openWhenLetGo(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
    HANDLE kept = INVALID_HANDLE_VALUE;
    if (!file.valid() || !isWritableDiskFile(file.get()) || !moveLock(handles().reading.get(), file.get()) ||
        !DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), &kept, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    handles().writing.reset(file.release());
    handles().kept.reset(kept);
    state_ = State::Writing;
    return true;
}

bool LockedFile::isWriting() const { return state_ == State::Writing; }

// The handles share no deletion, so Windows lets nobody rename or delete the ini while
// the run lives; a link can still lead elsewhere, and Wine's sharing is not always
// Windows'. Before the Yes, the file is the one opened for reading.
bool LockedFile::isStillNamed() const {
    const Handle& file = handles().kept.valid() ? handles().kept : handles().reading;
    return path_ != nullptr && leadsTo(path_, file.get());
}

// DeleteFileA removes a link itself, not what it leads to, unless `temp` is the ini's
// own file; CREATE_NEW then refuses to write through whatever might still stand at
// `temp`. The copy is a plain new file: a read-only attribute on the ini does not follow
// it. Windows refuses to replace a read-only backup, but Wine's move would: both keep it.
// The copy is flushed and read back before it replaces `to`; no `temp` is left unless
// removing it failed. A scanner's passing hold on either name is waited out.
bool LockedFile::copyTo(const char* to, const char* temp) {
    const HANDLE in = handles().writing.get();
    if (!isWriting() || isReadOnly(to) || leadsTo(temp, in)) return false;
    retryWhileHeld(heldOrDeletePending,
                   [&] { return DeleteFileA(temp) || GetLastError() == ERROR_FILE_NOT_FOUND; });
    Handle out;
    const auto create = [&] {
        out.reset(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        return out.valid();
    };
    if (!retryWhileHeld(heldOrDeletePending, create)) return false;
    std::int64_t copied = 0;
    if (copyContents(in, out.get(), copied) && FlushFileBuffers(out.get()) && out.close() &&
        holdsTheCopy(temp, in, copied) && retryWhileHeld(heldOrDeletePending, [&] {
            return MoveFileExA(temp, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        })) {
        keptLength_ = copied;
        return flushUnderItsName(to);
    }
    out.close();
    DeleteFileA(temp);  // a copy cut short by a full disk leaves a part of the file
    return false;
}

std::size_t LockedFile::readStart(char* into, std::size_t size) {
    DWORD got = 0;
    const HANDLE file = handles().writing.get();
    if (!isWriting() || !seek(file, 0, FILE_BEGIN) || !ReadFile(file, into, static_cast<DWORD>(size), &got, nullptr))
        return 0;
    return got;
}

std::int64_t LockedFile::length() const {
    LARGE_INTEGER size;
    return isWriting() && GetFileSizeEx(handles().writing.get(), &size) ? size.QuadPart : -1;
}

// What is appended is kept to be read back once flushed.
bool LockedFile::append(std::string_view bytes) {
    if (!isWriting() || bytes.size() > kMostAppended - appendedSize_) return false;
    CopyMemory(appended_ + appendedSize_, bytes.data(), bytes.size());
    appendedSize_ += bytes.size();
    const HANDLE file = handles().writing.get();
    return seek(file, 0, FILE_END) && writeAll(file, bytes.data(), bytes.size());
}

// Read back by name through a handle of its own, which must let the writing handle
// write, after the flush: a write reported done that was not stored is found here.
bool LockedFile::flush() {
    if (!isWriting() || !FlushFileBuffers(handles().writing.get())) return false;
    Handle reread(openWhenLetGo(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    return reread.valid() && sameFile(reread.get(), handles().kept.get()) &&
           endsWith(reread.get(), keptLength_, appended_, appendedSize_);
}

bool LockedFile::finishWriting() {
    if (!isWriting()) return false;
    state_ = State::Held;
    return handles().writing.close();
}

// The file cut back is the one changed, whatever its name leads to now. What it keeps
// is what was copied to the backup.
bool LockedFile::cutBack() {
    if (state_ == State::NotHeld) return false;
    state_ = State::Held;
    const HANDLE file = handles().kept.get();
    const bool cut = handles().kept.valid() && cutTo(file, keptLength_) && FlushFileBuffers(file);
    const bool closed = !handles().writing.valid() || handles().writing.close();
    return cut && closed;
}

}  // namespace tolvane

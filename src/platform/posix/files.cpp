#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/posix/fd.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/file_permissions.h"
#include "platform/files.h"
#include "platform/posix/standard_descriptors.h"

namespace tolvane {
namespace {

// The lock every run takes, native or under Wine, whose server turns a Windows range
// lock into this same kind of record lock: one byte at 2^62, far past any ini's end.
// It belongs to the open file, not the process, and goes with its last descriptor, so a
// killed run never blocks the next one. Only another run's lock refuses: a file system
// that offers no locks (NFS without its lock service, some FUSE ones) is used without.
bool lockAgainstOtherRuns(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t{1} << 62;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 || (errno != EAGAIN && errno != EACCES);
}

bool sameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool sameFile(int a, int b) {
    struct stat first;
    struct stat second;
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && sameInode(first, second);
}

bool leadsTo(const char* name, int fd) {
    struct stat held;
    struct stat named;
    return fd >= 0 && ::fstat(fd, &held) == 0 && ::stat(name, &named) == 0 && sameInode(held, named);
}

// Whether the copy made under `temp`, read through a descriptor of its own, holds what
// the ini (`in`) held as copied: a file system that reports writes it did not store
// (failing disks, network and FUSE ones) is caught before the older backup goes.
bool holdsTheCopy(const char* temp, int written, int in, off_t copied) {
    Fd reread(::open(temp, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    return reread.valid() && sameFile(reread.get(), written) && holdTheSameBytes(reread.get(), in, copied);
}

}  // namespace

// `held` is the ini, open for reading and writing from hold() on, with the lock. From
// the Yes until the end of writing, `writing` is a second descriptor of it, whose close
// reports what the file system could not store.
struct LockedFile::Handles {
    Fd held;
    Fd writing;
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

// Opening never creates the file, and refuses what is not a regular file, has no write
// permission for anyone (root may open such a file, so its mode is read too), or is
// marked read-only by Windows. O_NONBLOCK keeps a FIFO in place of the file from hanging
// the open; regular files ignore it. A standard descriptor the shell opened on the ini
// is let go of before any box: the boxes go nowhere near the ini, and none of its lines
// is read as an answer. The ini's own descriptors are numbered above the standard ones.
OpenResult LockedFile::hold(const char* path) {
    if (state_ != State::NotHeld) return OpenResult::Failed;
    struct stat info;
    if (::stat(path, &info) == 0) detachStandardDescriptorsFrom(info);
    Fd fd(aboveStandardDescriptors(::open(path, O_RDWR | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)));
    if (!fd.valid()) return errno == ENOENT ? OpenResult::Missing : OpenResult::Failed;
    if (!lockAgainstOtherRuns(fd.get()) || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        (info.st_mode & 0222) == 0 || markedReadOnlyByWindows(path))
        return OpenResult::Failed;
    path_ = path;
    keptLength_ = info.st_size;
    handles().held.reset(fd.release());
    state_ = State::Held;
    return OpenResult::Opened;
}

// Open for writing since hold(): a native program's write access changes nothing for
// other programs. The player may have made the ini read-only while a box waited.
bool LockedFile::startWriting() {
    const int held = handles().held.get();
    struct stat info;
    if (state_ != State::Held || ::fstat(held, &info) != 0 || !mayWrite(path_, info)) return false;
    handles().writing.reset(::fcntl(held, F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!handles().writing.valid()) return false;
    state_ = State::Writing;
    return true;
}

bool LockedFile::isWriting() const { return state_ == State::Writing; }

bool LockedFile::isStillNamed() const { return leadsTo(path_, handles().held.get()); }

// The copy is made under `temp`, flushed, read back and renamed over `to`, so a link at
// `to` is replaced, not written through. O_EXCL: a leftover that is still there, or a
// link put back in its place, is never written through; no `temp` is left unless
// removing it failed, and one that is the ini's own file (the ini a link to it) is never
// removed. A `to` the user may not replace is kept. The copy is private until it has the
// ini's owner and permissions. FAT as desktops mount sticks (flush) and the kernel's
// ntfs3 may store the rename only with the renamed file itself: until it is flushed
// again under its new name, a power cut can leave the new name pointing at nothing.
bool LockedFile::copyTo(const char* to, const char* temp) {
    const int in = handles().writing.get();
    struct stat ini;
    if (!isWriting() || ::fstat(in, &ini) != 0 || !mayReplace(to) || leadsTo(temp, in)) return false;
    if (::unlink(temp) != 0 && errno != ENOENT) return false;
    Fd out(::open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!out.valid()) return false;
    off_t copied = 0;
    if (takeOwnerAndMode(out.get(), ini) && copyContents(in, out.get(), ini.st_size, copied) &&
        startWritingOut(out.get()) && holdsTheCopy(temp, out.get(), in, copied) && ::fsync(out.get()) == 0 &&
        ::rename(temp, to) == 0) {
        keptLength_ = copied;
        const bool durable = ::fsync(out.get()) == 0 && syncFolder();
        return out.close() && durable;
    }
    ::unlink(temp);
    return false;
}

std::size_t LockedFile::readStart(char* into, std::size_t size) {
    const ssize_t got = isWriting() ? ::pread(handles().writing.get(), into, size, 0) : -1;
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::int64_t LockedFile::length() const {
    struct stat info;
    return isWriting() && ::fstat(handles().writing.get(), &info) == 0 ? info.st_size : -1;
}

// What is appended is kept to be read back once flushed.
bool LockedFile::append(std::string_view bytes) {
    if (!isWriting() || bytes.size() > kMostAppended - appendedSize_) return false;
    std::memcpy(appended_ + appendedSize_, bytes.data(), bytes.size());
    appendedSize_ += bytes.size();
    return writeAll(handles().writing.get(), bytes.data(), bytes.size());
}

// Read back by name through a descriptor of its own, after the flush: a write reported
// done that the file system did not store is found here, before success is told.
bool LockedFile::flush() {
    if (!isWriting() || ::fsync(handles().writing.get()) != 0) return false;
    Fd reread(::open(path_, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return reread.valid() && sameFile(reread.get(), handles().held.get()) &&
           endsWith(reread.get(), keptLength_, appended_, appendedSize_);
}

bool LockedFile::finishWriting() {
    if (!isWriting()) return false;
    state_ = State::Held;
    return handles().writing.close();
}

// The file cut back is the one held, whatever its name leads to now. What it keeps is
// what was copied to the backup.
bool LockedFile::cutBack() {
    if (state_ == State::NotHeld) return false;
    state_ = State::Held;
    const int file = handles().held.get();
    const bool cut = ::ftruncate(file, keptLength_) == 0 && ::fsync(file) == 0;
    const bool closed = !handles().writing.valid() || handles().writing.close();
    return cut && closed;
}

}  // namespace tolvane

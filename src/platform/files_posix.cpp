#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"

namespace tolvane {
namespace {

// Owns one descriptor and closes it on every path out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; false if the close reported an error.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Streams `in` from `offset` to its end into `out` through one small buffer.
bool copyThroughBuffer(int in, off_t offset, int out) {
    static char buffer[128 * 1024];
    for (;;) {
        const ssize_t got = ::pread(in, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!writeAll(out, buffer, static_cast<std::size_t>(got))) return false;
        offset += got;
    }
}

// Copies all of `in`, `size` bytes and whatever may follow them, to `out`. Reads at
// explicit offsets: `in` is the locked ini, whose own position is left alone.
bool copyContents(int in, int out, off_t size) {
    off_t done = 0;
#if defined(__linux__)
    // The kernel copies without passing the bytes through this process, which keeps a
    // large ini as quick to back up as cp does. It is asked for no more than the file
    // holds: asking past the end at a file-size limit fails even with nothing left.
    // Where it cannot copy at all (another kind of file system, an old kernel), it says
    // so before copying anything and the loop below takes over.
    while (done < size) {
        off_t from = done;
        const ssize_t copied = ::copy_file_range(in, &from, out, nullptr,
                                                 static_cast<std::size_t>(size - done), 0);
        if (copied > 0) {
            done += copied;
            continue;
        }
        if (copied == 0) break;
        if (errno == EINTR) continue;
        const bool unsupported =
            errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
        if (done > 0 || !unsupported) return false;
        break;
    }
#else
    (void)size;
#endif
    return copyThroughBuffer(in, done, out);
}

// A backup with no write permission is kept, although a rename would replace it: the
// player may have made it read-only to keep it, and permission bits do not stop root.
bool mayReplace(const char* path) {
    struct stat info;
    if (::lstat(path, &info) != 0 || !S_ISREG(info.st_mode)) return true;
    return (info.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

// The backup belongs to whoever owns the ini, with its permissions, as `sed -i` leaves a
// file: made by root for a player, it stays the player's to read and to replace.
bool takeOwnerAndMode(int backup, const struct stat& ini) {
    struct stat made;
    if (::fstat(backup, &made) != 0) return false;
    if ((made.st_uid != ini.st_uid || made.st_gid != ini.st_gid) && ::geteuid() == 0 &&
        ::fchown(backup, ini.st_uid, ini.st_gid) != 0)
        return false;
    return ::fchmod(backup, ini.st_mode & 0777) == 0;
}

// Only another run's lock refuses. A file system that offers no locks at all (NFS
// without its lock service, some FUSE ones) is used without one, as any editor uses it.
bool lockAgainstOtherRuns(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    return errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL;
}

// Makes a rename in the current folder survive a power cut.
bool syncFolder() {
    Fd folder(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() && ::fsync(folder.get()) == 0 && folder.close();
}

}  // namespace

LockedFile::~LockedFile() {
    if (isOpen()) close();
    if (held_ >= 0) ::close(static_cast<int>(held_));
}

// O_NONBLOCK keeps a FIFO in place of the file from hanging the open; regular files
// ignore it. The lock is flock's, tied to the open file and dropped with its last
// descriptor, so a killed run never blocks the next one. The length is read once the
// lock is held. Root may open a file with no write permission, so its mode is read too.
OpenResult LockedFile::open(const char* path) {
    Fd fd(::open(path, O_RDWR | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return errno == ENOENT ? OpenResult::Missing : OpenResult::Failed;
    struct stat info;
    if (!lockAgainstOtherRuns(fd.get()) || ::fstat(fd.get(), &info) != 0 ||
        !S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0)
        return OpenResult::Failed;
    Fd held(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!held.valid()) return OpenResult::Failed;
    path_ = path;
    lengthAtOpen_ = info.st_size;
    handle_ = fd.release();
    held_ = held.release();
    return OpenResult::Opened;
}

bool LockedFile::isOpen() const { return handle_ >= 0; }

bool LockedFile::isStillNamed() const {
    struct stat held;
    struct stat named;
    return held_ >= 0 && ::fstat(static_cast<int>(held_), &held) == 0 &&
           ::stat(path_, &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// O_EXCL: a leftover that is still there, or a link put back in its place, is never
// written through. The copy is private until it has the ini's owner and permissions.
bool LockedFile::copyTo(const char* to, const char* temp) {
    const int in = static_cast<int>(handle_);
    struct stat ini;
    if (!isOpen() || ::fstat(in, &ini) != 0 || !mayReplace(to)) return false;
    if (::unlink(temp) != 0 && errno != ENOENT) return false;
    Fd out(::open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!out.valid()) return false;
    if (takeOwnerAndMode(out.get(), ini) && copyContents(in, out.get(), ini.st_size) &&
        ::fsync(out.get()) == 0 && out.close() && ::rename(temp, to) == 0)
        return syncFolder();
    ::unlink(temp);
    return false;
}

bool LockedFile::append(std::string_view bytes) {
    return isOpen() && writeAll(static_cast<int>(handle_), bytes.data(), bytes.size());
}

bool LockedFile::flush() { return isOpen() && ::fsync(static_cast<int>(handle_)) == 0; }

bool LockedFile::close() {
    Fd fd(static_cast<int>(handle_));
    handle_ = -1;
    return fd.close();
}

bool LockedFile::restoreLength() {
    Fd writing(static_cast<int>(handle_));
    handle_ = -1;
    const int file = static_cast<int>(held_);
    const bool cut = held_ >= 0 && ::ftruncate(file, lengthAtOpen_) == 0 && ::fsync(file) == 0;
    const bool closed = !writing.valid() || writing.close();
    return cut && closed;
}

}  // namespace tolvane

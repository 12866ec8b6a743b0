#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_copy_posix.h"
#include "platform/files.h"
#include "platform/standard_descriptors_posix.h"

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
        const int fd = release();
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_;
};

// A file with no write permission is read-only for whoever runs the program: permission
// bits do not stop root, yet the player may have set them to keep the file as it is.
bool mayWrite(const char* path, const struct stat& info) {
    return (info.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

// A backup with no write permission is kept, although a rename would replace it.
bool mayReplace(const char* path) {
    struct stat info;
    return ::lstat(path, &info) != 0 || !S_ISREG(info.st_mode) || mayWrite(path, info);
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

bool leadsTo(const char* name, int fd) {
    struct stat held;
    struct stat named;
    return fd >= 0 && ::fstat(fd, &held) == 0 && ::stat(name, &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
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
// ignore it. Root may open a file with no write permission, so its mode is read too.
// A standard descriptor the shell opened on the ini is let go of before any box: the
// boxes go nowhere near the ini, and none of its lines is read as an answer.
OpenResult LockedFile::open(const char* path) {
    struct stat info;
    if (::stat(path, &info) == 0) detachStandardDescriptorsFrom(info);
    const int opened = ::open(path, O_RDWR | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    Fd fd(aboveStandardDescriptors(opened));
    if (!fd.valid()) return errno == ENOENT ? OpenResult::Missing : OpenResult::Failed;
    if (!lockAgainstOtherRuns(fd.get()) || ::fstat(fd.get(), &info) != 0 ||
        !S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0)
        return OpenResult::Failed;
    Fd held(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!held.valid()) return OpenResult::Failed;
    path_ = path;
    keptLength_ = info.st_size;
    handle_ = fd.release();
    held_ = held.release();
    return OpenResult::Opened;
}

// Open for writing since open(): a native program's write access changes nothing for
// other programs. The player may have made the ini read-only while a box waited.
bool LockedFile::openForWriting() {
    struct stat info;
    return isOpen() && ::fstat(static_cast<int>(handle_), &info) == 0 && mayWrite(path_, info);
}

bool LockedFile::isOpen() const { return handle_ >= 0; }

bool LockedFile::isStillNamed() const { return leadsTo(path_, static_cast<int>(held_)); }

// O_EXCL: a leftover that is still there, or a link put back in its place, is never
// written through. A `temp` that is the ini's own file (the ini a link to it) is never
// removed. The copy is private until it has the ini's owner and permissions.
bool LockedFile::copyTo(const char* to, const char* temp) {
    const int in = static_cast<int>(handle_);
    struct stat ini;
    if (!isOpen() || ::fstat(in, &ini) != 0 || !mayReplace(to) || leadsTo(temp, in)) return false;
    if (::unlink(temp) != 0 && errno != ENOENT) return false;
    Fd out(::open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!out.valid()) return false;
    off_t copied = 0;
    if (takeOwnerAndMode(out.get(), ini) && copyContents(in, out.get(), ini.st_size, copied) &&
        ::fsync(out.get()) == 0 && out.close() && ::rename(temp, to) == 0) {
        keptLength_ = copied;
        return syncFolder();
    }
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
    const bool cut = held_ >= 0 && ::ftruncate(file, keptLength_) == 0 && ::fsync(file) == 0;
    const bool closed = !writing.valid() || writing.close();
    return cut && closed;
}

}  // namespace tolvane

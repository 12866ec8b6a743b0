#include <fcntl.h>
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

// Streams the rest of `in` into `out` through one small buffer.
bool copyThroughBuffer(int in, int out) {
    static char buffer[128 * 1024];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!writeAll(out, buffer, static_cast<std::size_t>(got))) return false;
    }
}

// Copies `size` bytes, and whatever may follow them, from `in` to `out`.
bool copyContents(int in, int out, off_t size) {
#if defined(__linux__)
    // The kernel copies without passing the bytes through this process, which keeps a
    // large ini as quick to back up as cp does. It is asked for no more than the file
    // holds: asking past the end at a file-size limit fails even with nothing left.
    // Where it cannot copy at all (another kind of file system, an old kernel), it says
    // so before copying anything and the loop below takes over.
    for (off_t done = 0; done < size;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr,
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
    return copyThroughBuffer(in, out);
}

// A regular file the user may not write keeps its protection, although a rename would
// replace it: the player may have made an older backup read-only to keep it.
bool mayReplace(const char* path) {
    struct stat info;
    if (::lstat(path, &info) != 0 || !S_ISREG(info.st_mode)) return true;
    return ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

// Makes a rename in the current folder survive a power cut.
bool syncFolder() {
    Fd folder(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() && ::fsync(folder.get()) == 0 && folder.close();
}

}  // namespace

// O_NONBLOCK keeps a FIFO in place of `from` from hanging the open; regular files ignore it.
CopyResult copyFile(const char* from, const char* to, const char* temp) {
    Fd in(::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) return errno == ENOENT ? CopyResult::SourceMissing : CopyResult::Failed;
    struct stat source;
    if (::fstat(in.get(), &source) != 0 || !S_ISREG(source.st_mode) || !mayReplace(to))
        return CopyResult::Failed;

    // O_EXCL: a leftover that is still there, or a link put back in its place, is
    // never written through. The copy stays writable by its owner even when the ini
    // is read-only, so that the next run can replace it.
    if (::unlink(temp) != 0 && errno != ENOENT) return CopyResult::Failed;
    Fd out(::open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  (source.st_mode & 0777) | S_IWUSR));
    if (!out.valid()) return CopyResult::Failed;
    if (copyContents(in.get(), out.get(), source.st_size) && ::fsync(out.get()) == 0 &&
        out.close() && ::rename(temp, to) == 0)
        return syncFolder() ? CopyResult::Copied : CopyResult::Failed;
    ::unlink(temp);
    return CopyResult::Failed;
}

AppendFile::~AppendFile() {
    if (isOpen()) close();
}

bool AppendFile::open(const char* path) {
    Fd fd(::open(path, O_WRONLY | O_APPEND | O_CLOEXEC));
    struct stat info;
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    path_ = path;
    lengthAtOpen_ = info.st_size;
    handle_ = fd.release();
    return true;
}

bool AppendFile::isOpen() const { return handle_ >= 0; }

bool AppendFile::append(std::string_view bytes) {
    return isOpen() && writeAll(static_cast<int>(handle_), bytes.data(), bytes.size());
}

bool AppendFile::close() {
    Fd fd(static_cast<int>(handle_));
    handle_ = -1;
    const bool flushed = fd.valid() && ::fsync(fd.get()) == 0;
    return fd.close() && flushed;
}

bool AppendFile::restoreLength() {
    if (path_ == nullptr) return false;
    Fd fd(isOpen() ? static_cast<int>(handle_) : ::open(path_, O_WRONLY | O_CLOEXEC));
    handle_ = -1;
    return fd.valid() && ::ftruncate(fd.get(), lengthAtOpen_) == 0 && ::fsync(fd.get()) == 0 &&
           fd.close();
}

}  // namespace tolvane

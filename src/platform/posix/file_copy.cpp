#include "platform/posix/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix/fd.h"

namespace tolvane {
namespace {

// Streams `in` from `offset` to its end into `out` through one small buffer.
bool copyThroughBuffer(int in, off_t& offset, int out) {
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

// Reads up to `size` bytes at `offset`, going on after short reads; how many were read,
// or -1 if a read failed.
ssize_t readFully(int fd, char* into, std::size_t size, off_t offset) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, into + got, size - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

bool isLong(int fd, off_t size) {
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_size == size;
}

}  // namespace

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

bool copyContents(int in, int out, off_t size, off_t& copied) {
    copied = 0;
#if defined(__linux__)
    // The kernel copies without passing the bytes through this process, which keeps a
    // large ini as quick to back up as cp does. It is asked for no more than the file
    // holds: asking past the end at a file-size limit fails even with nothing left.
    // Where it cannot copy at all (another kind of file system, an old kernel), it says
    // so before copying anything and the loop below takes over.
    while (copied < size) {
        off_t from = copied;
        const ssize_t done = ::copy_file_range(in, &from, out, nullptr,
                                               static_cast<std::size_t>(size - copied), 0);
        if (done > 0) {
            copied += done;
            continue;
        }
        if (done == 0) break;
        if (errno == EINTR) continue;
        const bool unsupported =
            errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
        if (copied > 0 || !unsupported) return false;
        break;
    }
#else
    (void)size;
#endif
    return copyThroughBuffer(in, copied, out);
}

bool holdTheSameBytes(int a, int b, off_t size) {
    static char first[128 * 1024];  // both blocks stay in the processor's cache for the comparison
    static char second[sizeof first];
    if (!isLong(a, size) || !isLong(b, size)) return false;
    for (off_t at = 0; at < size;) {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(size - at, sizeof first));
        const ssize_t got = readFully(a, first, want, at);
        if (got != static_cast<ssize_t>(want) || readFully(b, second, want, at) != got ||
            std::memcmp(first, second, want) != 0)
            return false;
        at += got;
    }
    return true;
}

bool endsWith(int fd, off_t offset, const char* bytes, std::size_t size) {
    char stored[512];
    if (size > sizeof stored || !isLong(fd, offset + static_cast<off_t>(size))) return false;
    return readFully(fd, stored, size, offset) == static_cast<ssize_t>(size) &&
           std::memcmp(stored, bytes, size) == 0;
}

bool startWritingOut(int fd) {
#if defined(__linux__)
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
#endif
    return true;
}

bool syncFolder() {
    Fd folder(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() && ::fsync(folder.get()) == 0 && folder.close();
}

}  // namespace tolvane

#include "platform/file_copy_posix.h"

#include <unistd.h>

#include <cerrno>

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

}  // namespace tolvane

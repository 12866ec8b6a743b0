#include "platform/posix/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tolvane {
namespace {

constexpr int kFirstAfterStandard = STDERR_FILENO + 1;

// Standard input reads the end of input, which answers No; output and error take what
// is written. Without /dev/null the descriptor is closed, and reads and writes through
// it fail, which the boxes take as a box not shown.
void putOnDevNull(int fd) {
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened < 0) {
        ::close(fd);
        return;
    }
    if (opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
    }
}

bool isClosed(int fd) { return ::fcntl(fd, F_GETFD) < 0 && errno == EBADF; }

bool isFile(int fd, const struct stat& file) {
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_dev == file.st_dev && info.st_ino == file.st_ino;
}

}  // namespace

// Some launchers and scripts start a program with standard input or output closed, and
// a shell can hand it the ini itself (tolvane >> Morrowind.ini, tolvane < Morrowind.ini):
// the boxes would be written into the ini, or its lines read as answers.
void openClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd < kFirstAfterStandard; ++fd)
        if (isClosed(fd)) putOnDevNull(fd);
}

void detachStandardDescriptorsFrom(const struct stat& file) {
    for (int fd = STDIN_FILENO; fd < kFirstAfterStandard; ++fd)
        if (isFile(fd, file)) putOnDevNull(fd);
}

// A descriptor that took the number of a closed standard one would receive the boxes,
// or give its bytes as answers.
int aboveStandardDescriptors(int fd) {
    if (fd < 0 || fd >= kFirstAfterStandard) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kFirstAfterStandard);
    ::close(fd);
    return moved;
}

}  // namespace tolvane

#pragma once

#include <unistd.h>

namespace tolvane {

// Owns one descriptor and closes it on every path out.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
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
    // Closes the one owned, if any, and owns `fd` instead.
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now; false if the close reported an error.
    bool close() {
        const int fd = release();
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_;
};

}  // namespace tolvane

#pragma once

#include <windows.h>

namespace tolvane {

// Owns one Win32 handle and closes it on every path out.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    // Closes the one owned, if any, and owns `handle` instead.
    void reset(HANDLE handle) {
        if (valid()) CloseHandle(handle_);
        handle_ = handle;
    }
    // Closes now; false if the close reported an error.
    bool close() {
        HANDLE handle = release();
        return handle != INVALID_HANDLE_VALUE && CloseHandle(handle);
    }

private:
    HANDLE handle_;
};

}  // namespace tolvane

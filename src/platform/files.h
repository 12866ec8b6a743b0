#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tolvane {

enum class OpenResult { Opened, Missing, Failed };

// An existing file held for one run, from before the first box until it is destroyed:
// it takes a lock that both builds of the program agree on, an exclusive lock on one
// byte far past the end of any ini, so that a second run, native or under Wine, cannot
// hold it meanwhile. The system lets go of it when the process ends, however it ends.
// Writing needs openForWriting, which on Windows asks for write access only then.
class LockedFile {
public:
    LockedFile() = default;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    // Opens `path` (never creating it) and locks it; `path` must stay alive. On POSIX, a
    // standard descriptor that is this file is first put on /dev/null, and the file's
    // own descriptors are numbered above the standard ones. Missing: there is no such
    // file. Failed: it is not a regular file, is read-only or has no write permission
    // (whoever runs the program), or another run holds the lock.
    OpenResult open(const char* path);
    // Makes the held file writable. On Windows it is opened for writing here, sharing
    // only reading, and the lock moves to that handle. False: it cannot be written now:
    // it was made read-only meanwhile (whoever runs the program), or, on Windows,
    // another program writes it or another run took the lock.
    bool openForWriting();
    bool isOpen() const;
    // Whether the name it was opened by still leads, following links, to the file being
    // changed. False: the name was given to another file, removed, or cannot be looked up.
    bool isStillNamed() const;
    // Replaces `to` with a byte-for-byte copy of the file, whole or not at all: the copy
    // is made under `temp` (a leftover there is removed, never followed), flushed to disk,
    // read back, and renamed over `to`, so a link at `to` is replaced, not written
    // through; the copy is flushed again under its new name before the folder is. Both are
    // names in the current folder. False: `to` is as it was, or already the whole copy
    // when only the last flush of the folder failed; no `temp` is left unless removing it
    // failed too. A `to` with no write permission (on Windows, a read-only one), or that
    // the user may not write, is never replaced (nor one NTFS marks read-only). What a
    // cut-back keeps is what was copied.
    bool copyTo(const char* to, const char* temp);
    // The first bytes of the file, up to `size` of them, read through the handle open
    // for writing; how many were read (0 also when the read failed).
    std::size_t readStart(char* into, std::size_t size);
    // Adds `bytes` at the end. False if any of them could not be written, or if more
    // than kMostAppended bytes have been added in all.
    bool append(std::string_view bytes);
    // Flushes what was written to disk, then reads the file back by its name; stays
    // open. False if the flush failed, or if the file read back is not its kept length
    // followed by exactly what was appended.
    bool flush();
    // Closes the file for writing; it stays held. False if the close reported an error;
    // closed either way.
    bool close();
    // Cuts the very file it changes back to the length of its backup (before any backup,
    // of the file when it was opened), whatever its name leads to now, flushes it and
    // closes it for writing. False if it could not be cut back.
    bool restoreLength();

private:
    const char* path_ = nullptr;
    std::intptr_t handle_ = -1;  // open for writing, until close()
    std::intptr_t held_ = -1;    // the file being changed, open until destroyed
    std::intptr_t lock_ = -1;    // Windows: open for reading since open(), with the lock
    std::int64_t keptLength_ = 0;
    static constexpr std::size_t kMostAppended = 256;
    char appended_[kMostAppended] = {};
    std::size_t appendedSize_ = 0;
};

}  // namespace tolvane

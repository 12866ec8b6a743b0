#pragma once

#include <cstdint>
#include <string_view>

namespace tolvane {

enum class OpenResult { Opened, Missing, Failed };

// An existing file held for one run: opened for reading and writing (never created), and
// held against every other run of the program until it is destroyed, even once closed
// for writing, so that two runs never back up or append to it at once. The system lets
// go of it when the process ends, however it ends.
class LockedFile {
public:
    LockedFile() = default;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    // Opens and locks `path`, which must stay alive. Missing: there is no such file.
    // Failed: it is not a regular file, has no write permission (whoever runs the
    // program), may not be written, or another run holds it.
    OpenResult open(const char* path);
    bool isOpen() const;
    // Whether the name it was opened by still leads, following links, to this very file.
    // False: the name was given to another file, removed, or cannot be looked up.
    bool isStillNamed() const;
    // Replaces `to` with a byte-for-byte copy of the open file, whole or not at all: the
    // copy is made under `temp` (a leftover there is removed, never followed), flushed to
    // disk and renamed over `to`, so a link at `to` is replaced, not written through. Both
    // are names in the current folder. False: `to` is as it was, or already the whole
    // copy when only the last flush of the folder failed; no `temp` is left unless
    // removing it failed too. A `to` with no write permission (on Windows, a read-only
    // one), or that the user may not write, is never replaced.
    bool copyTo(const char* to, const char* temp);
    // Adds `bytes` at the end. False if any of them could not be written.
    bool append(std::string_view bytes);
    // Flushes what was written to disk; stays open. False if the flush failed.
    bool flush();
    // Closes the file for writing; it stays held. False if the close reported an error;
    // closed either way.
    bool close();
    // Cuts the very file it holds back to its length when it was opened, whatever its
    // name leads to now, flushes it and closes it for writing. False if it could not be
    // cut back.
    bool restoreLength();

private:
    const char* path_ = nullptr;
    std::intptr_t handle_ = -1;  // open for writing, until close()
    std::intptr_t held_ = -1;    // the same open file, which keeps other runs out
    std::int64_t lengthAtOpen_ = 0;
};

}  // namespace tolvane

#pragma once

#include <cstdint>
#include <string_view>

namespace tolvane {

enum class CopyResult { Copied, SourceMissing, Failed };

// Replaces `to` with a byte-for-byte copy of `from`, whole or not at all: the copy is
// made under `temp` (a leftover there is removed, never followed), flushed to disk and
// renamed over `to`, so a link at `to` is replaced, not written through. All three are
// names in the current folder. SourceMissing: `from` does not exist. Failed: `to` is as
// it was, or already the whole copy when only the last flush of the folder failed; no
// `temp` is left unless removing it failed too. A `to` the user may not write (on
// Windows, a read-only one) is not replaced.
CopyResult copyFile(const char* from, const char* to, const char* temp);

// An existing file opened for appending raw bytes, which can be cut back to the length
// it had when it was opened. Closes itself when destroyed.
class AppendFile {
public:
    AppendFile() = default;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile();

    // Opens `path`, which must stay alive; never creates it. False if it cannot be opened.
    bool open(const char* path);
    bool isOpen() const;
    // Adds `bytes` at the end. False if any of them could not be written.
    bool append(std::string_view bytes);
    // Flushes what was written to disk and closes. False if either failed; closed
    // either way.
    bool close();
    // Cuts the file back to its length at open(), reopening it by name once closed,
    // flushes it and leaves it closed. False if the file could not be cut back.
    bool restoreLength();

private:
    const char* path_ = nullptr;
    std::intptr_t handle_ = -1;
    std::int64_t lengthAtOpen_ = 0;
};

}  // namespace tolvane

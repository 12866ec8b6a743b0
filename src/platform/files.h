#pragma once

#include <cstdint>
#include <string_view>

namespace tolvane {

enum class CopyResult { Copied, SourceMissing, Failed };

// Copies `from` to `to` byte for byte, replacing `to`. SourceMissing: `from` does not
// exist and nothing was touched. Failed: `from` is untouched, and `to` is either as it
// was or removed, never left half-written.
CopyResult copyFile(const char* from, const char* to);

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
    // Commits what was written and closes. False if that failed; closed either way.
    bool close();
    // Cuts the file back to its length at open(), reopening it by name once closed,
    // and leaves it closed. False if the file could not be cut back.
    bool restoreLength();

private:
    const char* path_ = nullptr;
    std::intptr_t handle_ = -1;
    std::int64_t lengthAtOpen_ = 0;
};

}  // namespace tolvane

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tolvane {

// GameReadsAnotherCopy: the ini was left alone because the game reads another copy of
// it (gameReadsAnotherCopy); hold never gives it.
enum class OpenResult { Opened, Missing, Failed, GameReadsAnotherCopy };

// A file's name in the run's folder, as found there.
using FileName = std::array<char, 256>;

// How `name` was found in the run's folder by findName.
enum class NameMatch { Exact, OtherCase, None, Several };

// The name of the file the game's Windows would open as `name` in the run's folder: a
// file named exactly so (Exact), or else the one whose name differs only in letter case
// (OtherCase). `found` is that name, or `name` itself where none matches (None) or more
// than one does (Several). On Windows, whose names ignore case already, always Exact. A
// folder that cannot be read matches nothing.
NameMatch findName(const char* name, FileName& found);

// An existing file held for one run, locked against every other run of the program,
// native or under Wine. Its states, and the calls that change them:
//   not held --hold--> held --startWriting--> writing --finishWriting, cutBack--> held
// It is let go of when destroyed, and by the system when the process ends, however it
// ends. Each platform keeps its own handles, in its own files.cpp.
class LockedFile {
public:
    LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    // Not held to held: opens `path` (never creating it; it must stay alive) and locks it.
    // Missing: no such file. Failed: no regular file, not writable, or held by another run.
    OpenResult hold(const char* path);
    // Held to writing. False, and still held, if it cannot be written now.
    bool startWriting();
    // Whether it is in the writing state, from startWriting until it is held again.
    bool isWriting() const;
    // Whether the name it is held by still leads, following links, to the file it holds.
    // False also when the name cannot be looked up.
    bool isStillNamed() const;

    // While writing: replaces `to` with a copy of the file made under `temp`, whole or not
    // at all. False: `to` is as it was, or already the whole copy if only its last flush failed.
    bool copyTo(const char* to, const char* temp);
    // While writing: the file's first bytes, up to `size`; how many were read, 0 on failure.
    std::size_t readStart(char* into, std::size_t size);
    // While writing: the file's length in bytes, -1 if it cannot be read.
    std::int64_t length() const;
    // While writing: adds `bytes` at the end. False if any could not be written, or if
    // more than kMostAppended bytes would have been added in all.
    bool append(std::string_view bytes);
    // While writing: flushes the file to disk. False if the flush failed, or if the file
    // read back by its name is not its kept length followed by exactly what was appended.
    bool flush();

    // Writing to held. False if the close reported an error; held either way.
    bool finishWriting();
    // To held, from either state: cuts the file held back to its length at its backup (or
    // when it was held) and flushes it. False if it could not be cut back and flushed.
    bool cutBack();

private:
    enum class State { NotHeld, Held, Writing };
    struct Handles;  // defined in each platform's files.cpp, kept in place below
    Handles& handles();
    const Handles& handles() const;

    State state_ = State::NotHeld;
    const char* path_ = nullptr;
    std::int64_t keptLength_ = 0;
    static constexpr std::size_t kMostAppended = 256;
    char appended_[kMostAppended] = {};
    std::size_t appendedSize_ = 0;
    alignas(void*) unsigned char handles_[3 * sizeof(void*)];
};

}  // namespace tolvane

#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include <sys/resource.h>

namespace tolvane::testing {

// Each test runs in a fresh temporary folder made the current directory, so the program's
// fixed relative names reach real files that nothing else uses.
class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::string previous_;
    std::string dir_;
};

void writeFile(const char* name, std::string_view bytes);
// The file's bytes, or nullopt if there is no such file.
std::optional<std::string> readFile(const char* name);
bool exists(const char* name);

// Limits the size of files this process may write, the way a full disk stops a write,
// and holds for root too. SIGXFSZ is ignored so the write fails instead of killing us.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit();

private:
    struct rlimit previous_;
    void (*previousHandler_)(int);
};

// Sets an inode flag (FS_IMMUTABLE_FL, FS_APPEND_FL), which binds root as well, and
// clears it again at the end of the scope. ok() is false where the file system or the
// privileges do not allow it.
class InodeFlag {
public:
    InodeFlag(const char* name, int flag);
    InodeFlag(const InodeFlag&) = delete;
    InodeFlag& operator=(const InodeFlag&) = delete;
    ~InodeFlag();
    bool ok() const { return ok_; }

private:
    std::string name_;
    int flag_;
    bool ok_ = false;
};

}  // namespace tolvane::testing

#include "scratch_dir.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tolvane::testing {

void ScratchDirTest::SetUp() {
    previous_ = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
}

void ScratchDirTest::TearDown() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void writeFile(const char* name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
}

std::optional<std::string> readFile(const char* name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool exists(const char* name) { return access(name, F_OK) == 0; }

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = previous_;
    limit.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
}

namespace {

bool changeFlag(const char* name, int flag, bool on) {
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | flag) : (flags & ~flag);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

}  // namespace

InodeFlag::InodeFlag(const char* name, int flag) : name_(name), flag_(flag) {
    ok_ = changeFlag(name, flag, true);
}

InodeFlag::~InodeFlag() {
    if (ok_) changeFlag(name_.c_str(), flag_, false);
}

}  // namespace tolvane::testing

// Replays a device-mapper log-writes log onto a copy of the disk it was recorded from,
// one entry at a time, as the kernel's log-writes documentation lays the log out: a
// super block in sector 0, then each entry's header in a sector of its own, followed by
// its data. Run inside the power-cut machine, statically linked.
//   replay LOG count                 the number of entries
//   replay LOG apply DISK FROM TO    writes entries FROM to TO-1 onto DISK
//   replay LOG each DISK CHECK       applies every entry in turn onto DISK, and runs
//                                    CHECK N after each (N entries applied, from 0)
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kMagic = 0x6a736677736872ULL;
constexpr std::uint64_t kDiscard = 4;
constexpr std::uint64_t kMark = 8;

struct Super {
    std::uint64_t magic, version, entries;
    std::uint32_t sectorSize;
} __attribute__((packed));

struct Entry {
    std::uint64_t sector, sectors, flags, dataLength;
} __attribute__((packed));

[[noreturn]] void die(const char* what) {
    std::fprintf(stderr, "replay: %s\n", what);
    std::exit(1);
}

void readAt(int fd, void* into, std::size_t size, std::uint64_t offset) {
    if (::pread(fd, into, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size)) die("short read");
}

class Log {
public:
    explicit Log(const char* path) : fd_(::open(path, O_RDONLY)) {
        if (fd_ < 0) die("cannot open the log");
        readAt(fd_, &super_, sizeof super_, 0);
        if (super_.magic != kMagic || super_.version != 1 || super_.sectorSize == 0) die("not a log-writes log");
        next_ = super_.sectorSize;
    }
    std::uint64_t entries() const { return super_.entries; }
    std::uint32_t sectorSize() const { return super_.sectorSize; }
    // Reads entry `index` (entries are read in order), with its data.
    void read(std::uint64_t index, Entry& entry, std::vector<char>& data) {
        while (read_ <= index) {
            readAt(fd_, &entry, sizeof entry, next_);
            const std::uint64_t dataAt = next_ + sectorSize();
            if (entry.flags & kMark) {
                data.assign(entry.dataLength, '\0');
                readAt(fd_, data.data(), data.size(), next_ + sizeof entry);
                next_ = dataAt;
            } else if (entry.flags & kDiscard) {
                data.clear();
                next_ = dataAt;
            } else {
                data.assign(entry.sectors * sectorSize(), '\0');
                if (!data.empty()) readAt(fd_, data.data(), data.size(), dataAt);
                next_ = dataAt + data.size();
            }
            ++read_;
        }
    }

private:
    int fd_;
    Super super_{};
    std::uint64_t next_ = 0;
    std::uint64_t read_ = 0;
};

// A discarded range reads as zeros here: the state with the least left in it.
void apply(const Log& log, const Entry& entry, const std::vector<char>& data, int disk) {
    if (entry.flags & kMark) return;
    const std::uint64_t at = entry.sector * log.sectorSize();
    if (entry.flags & kDiscard) {
        const std::vector<char> zeros(entry.sectors * log.sectorSize(), '\0');
        if (!zeros.empty() && ::pwrite(disk, zeros.data(), zeros.size(), static_cast<off_t>(at)) < 0) die("write failed");
        return;
    }
    if (!data.empty() && ::pwrite(disk, data.data(), data.size(), static_cast<off_t>(at)) != static_cast<ssize_t>(data.size()))
        die("write failed");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) die("usage: replay LOG count | apply DISK FROM TO | each DISK CHECK | mark N");
    Log log(argv[1]);
    const std::string verb = argv[2];
    Entry entry{};
    std::vector<char> data;
    if (verb == "count") {
        std::printf("%llu\n", static_cast<unsigned long long>(log.entries()));
    } else if (verb == "apply" && argc == 6) {
        const int disk = ::open(argv[3], O_WRONLY);
        if (disk < 0) die("cannot open the disk");
        const std::uint64_t from = std::strtoull(argv[4], nullptr, 10), to = std::strtoull(argv[5], nullptr, 10);
        for (std::uint64_t i = 0; i < to && i < log.entries(); ++i) {
            log.read(i, entry, data);
            if (i >= from) apply(log, entry, data, disk);
        }
        if (::fsync(disk) != 0) die("flush failed");
    } else if (verb == "each" && argc == 5) {
        const int disk = ::open(argv[3], O_WRONLY);
        if (disk < 0) die("cannot open the disk");
        const std::string check = std::string(argv[4]) + " ";
        for (std::uint64_t i = 0;; ++i) {
            if (std::system((check + std::to_string(i)).c_str()) != 0) die("the check could not run");
            if (i == log.entries()) break;
            log.read(i, entry, data);
            apply(log, entry, data, disk);
            if (::fsync(disk) != 0) die("flush failed");
        }
    } else if (verb == "mark" && argc == 4) {
        const std::uint64_t index = std::strtoull(argv[3], nullptr, 10);
        if (index >= log.entries()) return 1;
        log.read(index, entry, data);
        if (!(entry.flags & kMark)) return 1;
        std::printf("%.*s\n", static_cast<int>(data.size()), data.data());
    } else {
        die("usage: replay LOG count | apply DISK FROM TO | each DISK CHECK | mark N");
    }
    return 0;
}

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace tolvane {
namespace {

void copyName(const char* name, FileName& into) {
    const std::size_t size = std::min(std::strlen(name), into.size() - 1);
    std::memcpy(into.data(), name, size);
    into[size] = '\0';
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (lowerAscii(*a) != lowerAscii(*b)) return false;
    return *a == *b;
}

}  // namespace

// Wine, Proton and Windows itself open names whatever their letter case, and copies of
// old installs, renaming tools and dual-boot NTFS leave morrowind.ini or MORROWIND.INI
// behind. The names looked for are ASCII, so ASCII's case is the one compared.
NameMatch findName(const char* name, FileName& found) {
    copyName(name, found);
    struct stat info;
    if (::lstat(name, &info) == 0) return NameMatch::Exact;
    DIR* folder = ::opendir(".");
    if (folder == nullptr) return NameMatch::None;
    int matches = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (!sameIgnoringCase(entry->d_name, name)) continue;
        if (++matches == 1) copyName(entry->d_name, found);
    }
    ::closedir(folder);
    if (matches == 1) return NameMatch::OtherCase;
    copyName(name, found);
    return matches == 0 ? NameMatch::None : NameMatch::Several;
}

}  // namespace tolvane

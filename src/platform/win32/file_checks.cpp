#include "platform/win32/file_checks.h"

#include "platform/win32/file_copy.h"
#include "platform/files.h"
#include "platform/win32/handle.h"

namespace tolvane {

bool isReadOnly(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Windows refuses to write a read-only file even to administrators; Wine run by root
// would write it, so the attribute itself is what refuses.
bool isWritableDiskFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
}

// The volume and the file index name one file, whichever path leads to it.
bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// Asking for no access opens the name without clashing with any share mode.
bool leadsTo(const char* name, HANDLE file) {
    Handle named(openExisting(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    return file != INVALID_HANDLE_VALUE && named.valid() && sameFile(named.get(), file);
}

// Windows' own lookups already ignore letter case.
NameMatch findName(const char* name, FileName& found) {
    lstrcpynA(found.data(), name, static_cast<int>(found.size()));
    return NameMatch::Exact;
}

}  // namespace tolvane

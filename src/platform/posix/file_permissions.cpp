#include "platform/posix/file_permissions.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace tolvane {
namespace {

// What a file system that stores no owners or modes (FAT, exFAT, some FUSE ones) says
// when asked to change them.
bool keepsNoPermissions(int error) { return error == EPERM || error == ENOSYS || error == EOPNOTSUPP; }

}  // namespace

// Windows' read-only mark, which NTFS keeps apart from the mode (that still shows write
// bits): ntfs-3g gives the file's attributes as a big-endian word, the kernel's ntfs3 as
// one byte. A file system without them, or one that cannot read them, marks nothing.
bool markedReadOnlyByWindows(const char* path) {
    constexpr unsigned char kReadOnly = 0x01;
    unsigned char attributes[4];
    if (::getxattr(path, "system.ntfs_attrib_be", attributes, sizeof attributes) == 4)
        return (attributes[3] & kReadOnly) != 0;
    return ::getxattr(path, "system.dos_attrib", attributes, 1) == 1 && (attributes[0] & kReadOnly) != 0;
}

// A file with no write permission is read-only for whoever runs the program: permission
// bits do not stop root, yet the player may have set them to keep the file as it is.
bool mayWrite(const char* path, const struct stat& info) {
    return (info.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0 &&
           !markedReadOnlyByWindows(path);
}

// A backup with no write permission is kept, although a rename would replace it.
bool mayReplace(const char* path) {
    struct stat info;
    return ::lstat(path, &info) != 0 || !S_ISREG(info.st_mode) || mayWrite(path, info);
}

// The backup belongs to whoever owns the ini, with its permissions, as `sed -i` leaves a
// file: made by root for a player, it stays the player's to read and to replace. Only
// what differs is changed. Where the file system cannot change it, the backup is kept
// only if it is the ini's already and grants nobody more than the ini does.
bool takeOwnerAndMode(int backup, const struct stat& ini) {
    struct stat made;
    if (::fstat(backup, &made) != 0) return false;
    const bool ownerNeeded = (made.st_uid != ini.st_uid || made.st_gid != ini.st_gid) && ::geteuid() == 0;
    const mode_t mode = ini.st_mode & 0777;
    bool refused = false;
    if (ownerNeeded && ::fchown(backup, ini.st_uid, ini.st_gid) != 0) {
        if (!keepsNoPermissions(errno)) return false;
        refused = true;
    }
    if ((made.st_mode & 07777) != mode && ::fchmod(backup, mode) != 0) {
        if (!keepsNoPermissions(errno)) return false;
        refused = true;
    }
    if (!refused) return true;
    if (::fstat(backup, &made) != 0) return false;
    const bool owned = !ownerNeeded || (made.st_uid == ini.st_uid && made.st_gid == ini.st_gid);
    return owned && (made.st_mode & 07777 & ~mode) == 0;
}

}  // namespace tolvane

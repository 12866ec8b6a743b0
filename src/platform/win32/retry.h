#pragma once

#include <windows.h>

namespace tolvane {

// Antivirus scanners, the search indexer, sync clients and editors open a file for a
// moment right after it is written or closed, and Windows refuses some calls meanwhile.
// Such a call is tried again with growing waits, about two seconds in all, before its
// failure counts. `passes(error)` names the refusals that pass; any other, such as
// another run's lock, a read-only attribute, a missing file or a full disk, fails at once.
// GetLastError still explains the last attempt when it returns false.
template <typename Attempt>
bool retryWhileHeld(bool (*passes)(DWORD error), Attempt attempt) {
    static constexpr DWORD kWaitsMs[] = {10, 20, 40, 80, 160, 320, 500, 500, 500};
    for (DWORD wait : kWaitsMs) {
        if (attempt()) return true;
        if (!passes(GetLastError())) return false;
        Sleep(wait);
    }
    return attempt();
}

// Another handle that shares too little with the one asked for.
inline bool heldByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION; }
// Also a name that cannot be replaced or made again while another handle, without
// delete sharing, keeps it, or while its deletion waits for that handle to close.
inline bool heldOrDeletePending(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}
// Also a file another program has mapped into memory, which cannot be cut.
inline bool heldOrMapped(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

}  // namespace tolvane

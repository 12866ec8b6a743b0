#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace tolvane {

// Opens an existing file, never creating one; INVALID_HANDLE_VALUE if it cannot.
HANDLE openExisting(const char* path, DWORD access, DWORD share);

// Moves `file`'s position to `offset` from `from`. False if it could not.
bool seek(HANDLE file, std::int64_t offset, DWORD from);

// Writes all of `bytes` at `file`'s position. False if any could not be written.
bool writeAll(HANDLE file, const char* bytes, std::size_t size);

// Copies all of `in`, from its start, to `out`; `copied` is how many bytes reached
// `out`. False if a read or a write failed.
bool copyContents(HANDLE in, HANDLE out, std::int64_t& copied);

// Whether `a` and `b` both hold exactly `size` bytes, the same ones, from their starts.
// False also when either could not be read. Both positions are moved.
bool holdTheSameBytes(HANDLE a, HANDLE b, std::int64_t size);

// Whether `file` is `offset` bytes long followed by exactly `bytes`. False also when it
// could not be read. Its position is moved.
bool endsWith(HANDLE file, std::int64_t offset, const char* bytes, std::size_t size);

// openExisting, tried again while another program's handle shares too little with it
// (retryWhileHeld). INVALID_HANDLE_VALUE if it still could not be opened.
HANDLE openWhenLetGo(const char* path, DWORD access, DWORD share);

// Whether `temp`, opened again for reading only, holds the `copied` bytes `in` holds.
bool holdsTheCopy(const char* temp, HANDLE in, std::int64_t copied);

// Cuts `file` to `length` bytes, waiting out another program's mapping or hold. False if
// it could not be cut.
bool cutTo(HANDLE file, std::int64_t length);

// Flushes the file named `to` to disk through a handle of its own. False if it could not.
bool flushUnderItsName(const char* to);

}  // namespace tolvane

#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tolvane {

// Writes all of `bytes`, going on after interruptions. False if any could not be written.
bool writeAll(int fd, const char* bytes, std::size_t size);

// Copies all of `in`, `size` bytes and whatever may follow them, to the end of `out`,
// reading at explicit offsets so that `in`'s own position is left alone. `copied` is
// how many bytes reached `out`. False if a read or a write failed.
bool copyContents(int in, int out, off_t size, off_t& copied);

// Whether `a` and `b` both hold exactly `size` bytes, the same ones, read in large blocks
// from their starts. False also when either could not be read.
bool holdTheSameBytes(int a, int b, off_t size);

// Whether `fd` is `offset` bytes long followed by exactly `bytes`. False also when it
// could not be read.
bool endsWith(int fd, off_t offset, const char* bytes, std::size_t size);

// Starts `fd`'s data on its way to the disk, so that reading it back, which the page
// cache serves either way, overlaps the wait for the disk instead of adding to it.
// Always true: where the system cannot, the later fsync does it all.
bool startWritingOut(int fd);

// Makes a rename in the current folder survive a power cut. False if the flush failed.
bool syncFolder();

}  // namespace tolvane

// Whole writes on a raw descriptor, for the posix backend's files, registry
// and marker files.
#pragma once

#include <cstddef>

namespace ce::posix {

// Writes all size bytes, retrying after interruptions and short writes.
// False when the descriptor refuses (a full disk, say).
bool writeAll(int fd, const void* data, size_t size);

}  // namespace ce::posix

// Passing the star image on to the home screen at the end of every run.
#pragma once

#include <cstdint>

namespace qorv {

struct RunKeys;
struct RunBuffers;

// "is2StarPath" is taken only when it fits a read of this many bytes.
constexpr uint32_t kStarPathBytes = 8192;

// When the run record's "QORVCompleteInstalled" is non-zero, copies its
// "is2StarPath" to "starPNG" of HKLM SOFTWARE\Microsoft\CHome\QORV\Page1
// (which must exist) and sets "Updated" = 1 in SOFTWARE\Microsoft\CHome\QORV.
// Any step that fails ends it silently.
void updateStarImage(const RunKeys& keys, RunBuffers& buffers);

}  // namespace qorv

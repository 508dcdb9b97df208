// The device tool's memory: every block of a megabyte or more is asked to
// be backed by large pages.
//
// An import or an export of a phone's registry holds its files whole and
// builds arenas of their keys, values and text: about eight times the
// export's size, in a few large vectors that grow by doubling.  Filled page
// by page, a block of that size takes hundreds of page faults per megabyte,
// and on a virtual machine those cost as much as the import's own work.  The
// programs on the device (and the emulated ones) keep their one large
// buffer advised where they read it; the device tool has many, so it
// advises them where they are made.  The memory is the same, but for the
// rounding of each large block up to whole large pages.
#include <cstdlib>
#include <new>

#include "platform/posix/sys/sys_io.h"

namespace {

// Blocks from this size on are large; below it the rounding would waste
// more than the advice saves.
constexpr size_t kLargeBlockBytes = size_t{1} << 20;
// The large page of x86-64 (and of arm64 with 4 KB pages).
constexpr size_t kLargePageBytes = size_t{2} << 20;

// nullptr when the memory is not there.
void* allocateOrNull(size_t size) noexcept {
    void* block = nullptr;
    if (size >= kLargeBlockBytes && size <= SIZE_MAX - kLargePageBytes) {
        size_t rounded = (size + kLargePageBytes - 1) & ~(kLargePageBytes - 1);
        block = std::aligned_alloc(kLargePageBytes, rounded);
        if (block != nullptr)
            ce::posix::adviseLargePages(block, rounded);
    } else {
        block = std::malloc(size == 0 ? 1 : size);
    }
    return block;
}

void* allocate(size_t size) {
    void* block = allocateOrNull(size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

}  // namespace

// Both kinds of block are released by free().  Every form that pairs with
// these deletes is made here, so that none comes from elsewhere (a
// sanitizer's runtime, say) with a release of its own.
void* operator new(size_t size) {
    return allocate(size);
}
void* operator new[](size_t size) {
    return allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}

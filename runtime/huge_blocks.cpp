#include "runtime/huge_blocks.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORV_KEEP_OPERATOR_NEW 1
#endif

namespace orv::rt {

#if defined(ORV_KEEP_OPERATOR_NEW) || !defined(MADV_HUGEPAGE)

bool huge_blocks_in_use() { return false; }

#else

bool huge_blocks_in_use() { return true; }

namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

// A block on a huge page boundary, its whole pages marked; null when the
// C library has none.  Freed with free(), as every block of operator new.
void* huge_block(std::size_t size) {
    const std::size_t length = (size + kHugePage - 1) & ~(kHugePage - 1);
    if (length < size) return nullptr;
    void* block = std::aligned_alloc(kHugePage, length);
    if (block != nullptr) ::madvise(block, length, MADV_HUGEPAGE);
    return block;
}

// The standard operator new: a new handler, when installed, is called
// until it makes room or gives up; then bad_alloc.
void* allocate(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        void* block = size >= kHugeBlock ? huge_block(size) : nullptr;
        if (block == nullptr) block = std::malloc(size);
        if (block != nullptr) return block;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

}  // namespace

#endif

}  // namespace orv::rt

#if !defined(ORV_KEEP_OPERATOR_NEW) && defined(MADV_HUGEPAGE)
// The nothrow forms of the C++ library call these; operator delete (free)
// takes blocks of either size.
void* operator new(std::size_t size) { return orv::rt::allocate(size); }
void* operator new[](std::size_t size) { return orv::rt::allocate(size); }
#endif

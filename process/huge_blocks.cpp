// The global operator new and delete of the engine's programs: large blocks
// in huge pages (huge_pages.h says which).
#include <cstdlib>
#include <new>

#include "process/huge_pages.h"
#include "process/sanitized.h"

#if ORV_SANITIZED

bool orv::proc::huge_blocks_in_use() { return false; }

#else

bool orv::proc::huge_blocks_in_use() { return true; }

namespace {

// The standard operator new: a new handler, when installed, is called
// until it makes room or gives up; then bad_alloc.
void* allocate(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        void* block = size >= orv::proc::kLargeBlock ? orv::proc::huge_block(size) : nullptr;
        if (block == nullptr) block = std::malloc(size);
        if (block != nullptr) return block;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

}  // namespace

// The C++ library's operator new[] and nothrow forms call this one, and
// every block it gives, of either kind, is freed with free().
void* operator new(std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

#endif

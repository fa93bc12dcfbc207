#include "process/huge_pages.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace orv::proc {

namespace {

// Advises huge pages over the whole 4 KiB pages of [DATA, DATA + BYTES).
void advise_huge_pages(void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kPage = 4096;
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (address + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (address + bytes) & ~(kPage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace

std::size_t huge_length(std::size_t bytes) {
    const std::size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    return length < bytes ? 0 : length;
}

void* huge_block(std::size_t bytes) {
    const std::size_t length = huge_length(bytes);
    if (length == 0) return nullptr;
    void* block = std::aligned_alloc(kHugePage, length);
    if (block != nullptr) advise_huge_pages(block, length);
    return block;
}

}  // namespace orv::proc

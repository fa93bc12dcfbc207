#include "engine/common/data_array.h"

#include <cstdint>
#include <string>

#include <sys/mman.h>

#include "runtime/io_error.h"

namespace orv::engine {

void* map_zeroed(std::size_t bytes) {
    // Mapped with one huge page to spare, then trimmed to start on a huge
    // page boundary, so that every page of the array can be a huge one.
    const std::size_t length = rt::huge_length(bytes);
    if (length == 0) return nullptr;
    void* raw = ::mmap(nullptr, length + rt::kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + rt::kHugePage - 1) & ~(rt::kHugePage - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t tail = start + length + rt::kHugePage - (aligned + length);
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    void* data = reinterpret_cast<void*>(aligned);
    rt::advise_huge_pages(data, length);
    return data;
}

void no_memory(std::string_view name, std::size_t count, std::size_t size) {
    std::string message = "Out of memory: no memory for ";
    message.append(name);
    message += " (" + std::to_string(count) + " values of " + std::to_string(size) + " bytes)";
    throw rt::Stop{message, 1};
}

void unmap_zeroed(void* data, std::size_t bytes) {
    if (data != nullptr) ::munmap(data, rt::huge_length(bytes));
}

}  // namespace orv::engine

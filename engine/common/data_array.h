// Storage for the large arrays of a run (the raw data, the record windows of
// the data file).  On a machine where every first touch of a 4 KiB page is a
// fault into the kernel, a fresh 100 MB array costs more to bring in than to
// fill; these arrays are therefore mapped in 2 MiB pages.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "process/huge_pages.h"

namespace orv::engine {

// Below this size the heap serves the array.
inline constexpr std::size_t kLargeArrayBytes = rt::kLargeBlock;

// Maps BYTES of zeroed memory on 2 MiB boundaries, in 2 MiB pages where the
// kernel has them; nullptr when the mapping fails.
void* map_zeroed(std::size_t bytes);
void unmap_zeroed(void* data, std::size_t bytes);

namespace detail {
// Set while fresh() sizes a vector just allocated: its memory is known to
// be zeros, so its new elements need not be looked at.
inline thread_local bool fresh_memory = false;
}  // namespace detail

// An allocator whose memory is always zeroed (calloc, or a fresh mapping for
// large arrays) and whose new elements are zeros.  An array made by fresh()
// holds zeros without a byte written or read, so its pages come in only as
// data fill them; any other growth (after a shrink, say) writes a zero
// where an element's bytes are not zero already.
template <typename T>
struct ZeroedAllocator {
    using value_type = T;
    ZeroedAllocator() = default;
    template <typename U>
    ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        void* p = bytes >= kLargeArrayBytes ? map_zeroed(bytes) : std::calloc(n == 0 ? 1 : n, sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= kLargeArrayBytes)
            unmap_zeroed(p, bytes);
        else
            std::free(p);
    }
    template <typename U>
    void construct(U* p) noexcept {
        static_assert(std::is_trivially_copyable_v<U>, "zeroed arrays hold plain values");
        if (!detail::fresh_memory) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(p);
            if (std::any_of(bytes, bytes + sizeof(U), [](unsigned char b) { return b != 0; }))
                std::memset(static_cast<void*>(p), 0, sizeof(U));
        }
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) { return true; }
};

// The NSUBJ x NVAR data of a run.
using DataArray = std::vector<double, ZeroedAllocator<double>>;

// A new array of N zeros in place of V's contents.
template <typename T>
void fresh(std::vector<T, ZeroedAllocator<T>>& v, std::size_t n) {
    std::vector<T, ZeroedAllocator<T>> made;
    struct Mark {
        Mark() { detail::fresh_memory = true; }
        ~Mark() { detail::fresh_memory = false; }
    };
    {
        const Mark fresh_memory;
        made.resize(n);
    }
    v.swap(made);
}

// Ends the run: no memory for the array NAME of COUNT elements of SIZE bytes.
[[noreturn]] void no_memory(std::string_view name, std::size_t count, std::size_t size);

// The same, for an array sized from the job's declared counts: when the
// memory cannot be had, the run stops with a message that names the array
// and the size asked for.
template <typename T>
void fresh(std::vector<T, ZeroedAllocator<T>>& v, std::size_t n, std::string_view name) {
    try {
        fresh(v, n);
    } catch (const std::bad_alloc&) {
        no_memory(name, n, sizeof(T));
    } catch (const std::length_error&) {
        no_memory(name, n, sizeof(T));
    }
}

// V set to N zeros, under the same rule.
template <typename T>
void zeros(std::vector<T>& v, std::size_t n, std::string_view name) {
    try {
        v.assign(n, T{});
    } catch (const std::bad_alloc&) {
        no_memory(name, n, sizeof(T));
    } catch (const std::length_error&) {
        no_memory(name, n, sizeof(T));
    }
}

}  // namespace orv::engine

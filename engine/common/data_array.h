// Storage for the large arrays of a run (the raw data, the factor scores):
// plain vectors, whose large blocks operator new places in huge pages in the
// engine's programs (process/huge_pages.h), and a failed allocation that
// stops the run naming the array.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace orv::engine {

// The NSUBJ x NVAR data of a run.
using DataArray = std::vector<double>;

// Ends the run: no memory for the array NAME of COUNT elements of SIZE bytes.
[[noreturn]] void no_memory(std::string_view name, std::size_t count, std::size_t size);

// V set to N zeros.  For an array sized from the job's declared counts: when
// the memory cannot be had, the run stops with a message that names the
// array and the size asked for.
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

// Large blocks in 2 MiB pages.
//
// A run of a thousand variables makes and drops arrays of several megabytes
// many times over.  In 4 KiB pages each array brings its pages in one fault
// at a time, and on some machines (virtual ones above all) the faults cost
// more than the arithmetic on the array.  The system backs a range with
// transparent huge pages where it has been advised so and the range holds
// whole 2 MiB pages; with its setting "never" it does not.
#pragma once

#include <cstddef>

namespace orv::rt {

inline constexpr std::size_t kHugePage = std::size_t{1} << 21;
// Blocks from this size on are worth huge pages.
inline constexpr std::size_t kLargeBlock = std::size_t{1} << 20;

// BYTES rounded up to whole huge pages; 0 when that does not fit.
std::size_t huge_length(std::size_t bytes);

// Advises huge pages over the whole 4 KiB pages of [DATA, DATA + BYTES).
// A hint only: where the system refuses, pages come in 4 KiB as ever.
void advise_huge_pages(void* data, std::size_t bytes);

// In a program linked with the library orv_huge_blocks (orvcalc and
// orvcalc-window), operator new gives every block of kLargeBlock bytes or
// more on a huge page boundary, rounded up to whole huge pages and advised
// as above (so a block of 1 MiB takes 2 MiB once touched); smaller blocks,
// and blocks of a stricter alignment, come from the C library as they
// would.  True there; false in builds with a sanitizer, which keep the
// sanitizer's own operator new.
bool huge_blocks_in_use();

}  // namespace orv::rt

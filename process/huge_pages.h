// Large blocks in 2 MiB pages.
//
// A run of a thousand variables makes and drops arrays of several megabytes
// many times over.  In 4 KiB pages each array brings its pages in one fault
// at a time, and on some machines (virtual ones above all) the faults cost
// more than the arithmetic on the array.  The system backs a range with
// transparent huge pages where it has been advised so and the range holds
// whole 2 MiB pages; with its setting "never" it does not.
//
// There is one way in: the global operator new of a program linked with the
// library orv_huge_blocks (orvcalc and orvcalc-window) gives every block of
// kLargeBlock bytes or more from huge_block(); smaller blocks, and blocks of
// a stricter alignment, come from the C library as they would.  Every large
// array of the engine is a std::vector and so goes this way: the raw data X
// and SUBJID, the factor scores SC, the correlation, cross-product and
// residual matrices, the tetrachoric indicator bits, the record windows of
// the data file.  Builds with a sanitizer keep the sanitizer's operator new.
#pragma once

#include <cstddef>

namespace orv::proc {

inline constexpr std::size_t kHugePage = std::size_t{1} << 21;
// Blocks from this size on are worth huge pages.
inline constexpr std::size_t kLargeBlock = std::size_t{1} << 20;

// BYTES rounded up to whole huge pages; 0 when that does not fit.
std::size_t huge_length(std::size_t bytes);

// A block of BYTES on a huge page boundary, rounded up to whole huge pages
// (so a block of 1 MiB takes 2 MiB once touched) and advised for huge pages
// (a hint only: where the system refuses, pages come in 4 KiB as ever);
// null when the C library has no such block.  Freed with free().
void* huge_block(std::size_t bytes);

// In a program linked with orv_huge_blocks: true where its operator new
// places large blocks with huge_block(), false in builds with a sanitizer.
bool huge_blocks_in_use();

}  // namespace orv::proc

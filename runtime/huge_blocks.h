// Large blocks in 2 MiB pages.
//
// A run of a thousand variables makes and drops arrays of several megabytes
// many times over.  In 4 KiB pages each array brings its pages in one fault
// at a time, and on some machines (virtual ones above all) the faults cost
// more than the arithmetic on the array.  In a program linked with the
// library orv_rt_huge_blocks (orvcalc), every block of kHugeBlock bytes or
// more that operator new gives starts on a 2 MiB boundary and is marked
// for transparent huge pages; smaller blocks come from the C library as
// they would.  The system's setting decides in the end: with transparent
// huge pages "never" the blocks are in 4 KiB pages.  Builds with the
// address or thread sanitizer keep the sanitizer's own operator new.
#pragma once

#include <cstddef>

namespace orv::rt {

inline constexpr std::size_t kHugeBlock = std::size_t{1} << 20;

// True when operator new of this program places large blocks as above.
bool huge_blocks_in_use();

}  // namespace orv::rt

// Large arrays in 2 MiB pages.
//
// A run of a thousand variables makes and drops arrays of several megabytes
// many times over.  In 4 KiB pages each array brings its pages in one fault
// at a time, and on some machines (virtual ones above all) the faults cost
// more than the arithmetic on the array.  The C library backs its heap and
// its large blocks with transparent huge pages when asked at process start
// (the tunable glibc.malloc.hugetlb=1 in GLIBC_TUNABLES), and reads its
// tunables only then: so the program starts itself once more, in place,
// with the setting.
#pragma once

#include <optional>
#include <string>

namespace orv::rt {

// The value GLIBC_TUNABLES takes for huge pages: CURRENT (null when the
// variable is unset) with the setting added.  Nothing when CURRENT names
// the setting already, whatever its value: a user's own choice stands.
std::optional<std::string> tunables_with_huge_pages(const char* current);

// Replaces the process by the same program with the same arguments, open
// files and process id, run with the setting, when it does not have it yet
// and the C library reads it.  Returns when nothing is to be done or the
// program cannot be started again; the run then goes on in 4 KiB pages.
// Call it first in main, before any thread starts.
void restart_with_huge_pages(char** argv);

}  // namespace orv::rt

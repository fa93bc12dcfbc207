// The engine's fatal stop: message records on the window, the pause prompt,
// then the stop that writes "Stop - Program terminated.".
#pragma once

#include <string_view>

#include "engine/common/units.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/io_error.h"

namespace orv::engine {

// The message in the engine's usual layout (T30,A,/,/): from record column
// 30, followed by two empty records.
[[noreturn]] void FATAL(std::string_view message);

// The message records in a layout of their own (a column other than 30, a
// width that right-aligns the text, several lines).
template <typename... Items>
[[noreturn]] void FATAL(const rt::Format& layout, const Items&... items) {
    rt::write(LUCON, layout, items...);
    rt::host().pause();
    throw rt::Stop{"", 1};
}

}  // namespace orv::engine

#include "engine/common/data_array.h"

#include <string>

#include "runtime/io_error.h"

namespace orv::engine {

void no_memory(std::string_view name, std::size_t count, std::size_t size) {
    std::string message = "Out of memory: no memory for ";
    message.append(name);
    message += " (" + std::to_string(count) + " values of " + std::to_string(size) + " bytes)";
    throw rt::Stop{message, 1};
}

}  // namespace orv::engine

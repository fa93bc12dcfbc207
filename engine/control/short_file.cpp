#include "engine/control/short_file.h"

#include "engine/common/fatal.h"

namespace orv::engine {

void stop_file_ends(const std::string& file, long long records, const std::string& held) {
    FATAL("FATAL ERROR: File " + file + " ends after " + std::to_string(records) +
          (records == 1 ? " record, with " : " records, with ") + held);
}

std::string held_for(std::size_t count, const char* what, long long declared, const char* things,
                     const char* keyword) {
    return std::to_string(count) + " " + what + " for the " + std::to_string(declared) + " " + things +
           " declared on " + keyword;
}

}  // namespace orv::engine

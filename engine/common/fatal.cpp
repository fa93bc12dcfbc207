#include "engine/common/fatal.h"

namespace orv::engine {

void FATAL(std::string_view message) {
    static const rt::Format layout = rt::parse_format("(T30,A,/,/)");
    FATAL(layout, message);
}

}  // namespace orv::engine

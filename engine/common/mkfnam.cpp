#include "engine/common/mkfnam.h"

#include "engine/common/fields.h"

namespace orv::engine {

void MKFNAM(std::string& base, std::string& result, std::string_view extension) {
    const std::size_t lead = base.find_first_not_of(' ');
    if (lead == std::string::npos) {
        base.assign(base.size(), ' ');
    } else if (lead > 0) {
        base.erase(0, lead);
        base.append(lead, ' ');
    }
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos) {
        result = base.substr(0, dot + 1);
    } else {
        result = trimmed(base).substr(0, 8);
        result += '.';
    }
    result.append(extension);
}

}  // namespace orv::engine

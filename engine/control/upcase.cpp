#include "engine/control/upcase.h"

namespace orv::engine {

void UPCASE(std::string& text) {
    const std::size_t lead = text.find_first_not_of(' ');
    if (lead == std::string::npos) return;  // all blank
    if (lead > 0) {
        text.erase(0, lead);
        text.append(lead, ' ');
    }
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
}

}  // namespace orv::engine

#include "engine/control/record_window.h"

#include "runtime/units.h"

namespace orv::engine {

void fill(Window& window, int unit, std::size_t wanted, std::size_t per, std::size_t bytes) {
    window.text.clear();
    window.ends.clear();
    window.failure = nullptr;
    try {
        std::string record;
        for (std::size_t k = 0; k < wanted; ++k) {
            if (k % per == 0 && window.text.size() >= bytes) return;
            if (!rt::read_record(unit, record)) {
                window.ended = true;
                return;
            }
            window.append(record);
        }
    } catch (...) {
        window.failure = std::current_exception();
        window.ended = true;
    }
}

}  // namespace orv::engine

#include "engine/control/deflab.h"

#include <algorithm>

#include "runtime/formatted_io.h"

namespace orv::engine {

void DEFLAB(int n, std::vector<std::string>& labels) {
    static const rt::Format three = rt::parse_format("('V',I3.3)");
    // Past 999 the number takes the digits it needs, so labels stay distinct.
    static const rt::Format wide = rt::parse_format("('V',I0)");
    labels.assign(static_cast<std::size_t>(std::max(n, 0)), std::string());
    std::vector<std::string> record(1);
    for (int i = 1; i <= n; ++i) {
        rt::write_internal(record, 15, i <= 999 ? three : wide, i);
        labels[static_cast<std::size_t>(i - 1)] = record[0];
    }
}

}  // namespace orv::engine

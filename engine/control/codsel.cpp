#include "engine/control/codsel.h"

#include <cstddef>

namespace orv::engine {

bool CODSEL(const JOBSET& job, std::string_view code) {
    if (job.OUTPUT != "T") return false;
    for (std::size_t i = 0; i < 7 && i < job.OUTCOD.size(); ++i)
        if (std::string_view(job.OUTCOD[i]).substr(0, 3) == code) return true;
    return false;
}

}  // namespace orv::engine

#include "engine/common/opnmat.h"

#include "engine/common/fields.h"
#include "engine/common/mkfnam.h"
#include "runtime/units.h"

namespace orv::engine {

std::string OPNMAT(int unit, std::string_view jobdir, std::string_view jobbas, std::string_view extension) {
    std::string base(jobbas);
    std::string name;
    MKFNAM(base, name, extension);
    std::string path = trimmed(std::string(jobdir)) + name;
    rt::open_unit_or_fail(unit, path, {rt::OpenStatus::Unknown, false});
    return path;
}

}  // namespace orv::engine

#include "engine/control/orvcalc.h"

#include "engine/control/banner.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {
constexpr int LUJOB = 12;
constexpr int LUCON = rt::kConsoleUnit;
}  // namespace

void ORVCALC() {
    rt::host().set_status("Running");
    BANNER();
    rt::host().set_dialog_filter("OV INPUT *.in, *.in; All Files, *.*");
    // A blank name takes the command line's first argument or asks for the
    // file; the command file must exist.
    rt::open_unit_or_fail(LUJOB, "", {rt::OpenStatus::Old, true});

    // The job's stages are not built yet: the run ends normally here.
    rt::close_unit(LUJOB);
    rt::write(LUCON, "(T30,A8)", "Finished");
    rt::host().set_status("Finished");
    rt::host().set_end_mode(static_cast<int>(rt::EndMode::Close));
}

}  // namespace orv::engine

#include "engine/control/orvcalc.h"

#include "engine/common/units.h"
#include "engine/control/banner.h"
#include "engine/control/echojb.h"
#include "engine/control/jobset.h"
#include "engine/control/rdjob.h"
#include "engine/control/rdlabs.h"
#include "engine/control/rdload.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/io_error.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {


void write_finished() {
    static const rt::Format format = rt::parse_format("(T30,A8)");
    rt::write(LUCON, format, "Finished");
}

// The normal end: the data file and the report are closed, "Finished" is
// shown and the window closes by itself.
void normal_end() {
    rt::close_unit(LUDAT);
    rt::close_unit(LURPT);
    write_finished();
    rt::host().set_end_mode(static_cast<int>(rt::EndMode::Close));
    rt::host().set_status("Finished");
}

// The rotation, listing and score stages, in their order.
// Each decides by its own rule whether it runs (stages.h): at most one
// rotation, Promax after Varimax.
void rotate_list_and_score(JOBSET& job, RUNDATA& run) {
    WVMSTG(job, run);
    VARSTG(job, run);
    PROSTG(job, run);
    OBLSTG(job, run);
    HKSTG(job, run);
    ITMSTG(job, run);
    SCRSTG(job, run, 0);
    SCPSTG(job, run);
}

}  // namespace

void ORVCALC() {
    rt::host().set_status("Running");
    BANNER();
    rt::host().set_dialog_filter("OV INPUT *.in, *.in; All Files, *.*");
    // A blank name takes the first command-line argument, or asks for the
    // file.  The outcome is not tested here: a command file that could not
    // be opened ends the run at its first read with the run-time's message,
    // which names the unit and the file.
    rt::open_unit(LUJOB, "", {rt::OpenStatus::Old, true});

    JOBSET job;
    RUNDATA run;
    SPLITP(job);
    RDJOB(job);

    if (is_word(job.MODTYP, "ROT")) {
        RDLOAD(job.DATFIL, job.DATFMT, job.DATTYP, job.PHIFIL, job.NVAR, job.NFAC, run.L, run.PHI, run.COMM,
               run.FACSS);
        RDLABS(job.LABOPT, job.NVAR, job.VARLAB);
        ECHOJB(job);
        run.ORDER.assign(static_cast<std::size_t>(job.NVAR), 0);  // items in their own order
    } else {
        CORSTG(job, run);
        RDLABS(job.LABOPT, job.NVAR, job.VARLAB);
        ECHOJB(job);
        if (is_word(job.VERBOS, "LONG")) CORPRT(job, run);
        if (is_word(job.MODTYP, "TRP")) {
            TRPSTG(job, run, 0);  // a thread per usable CPU
            normal_end();
            return;
        }
        if (job.NFAC <= 0 || is_word(job.MODTYP, "CMT")) {
            normal_end();
            return;
        }
        EXTSTG(job, run);
        UNRSTG(job, run);
    }

    // Neither rotation nor scores: the run ends here, without closing the
    // window by itself.
    if (is_word(job.ROTMTH, "NONE") && is_word(job.SCRMTH, "NONE")) {
        rt::close_unit(LUDAT);
        rt::close_unit(LURPT);
        write_finished();
        throw rt::Stop{"", 0};
    }
    rotate_list_and_score(job, run);
    normal_end();
}

}  // namespace orv::engine

#include "engine/control/rdlabs.h"

#include <algorithm>
#include <cstddef>

#include "engine/common/fatal.h"
#include "engine/common/units.h"
#include "engine/control/jobset.h"
#include "engine/control/short_file.h"
#include "engine/control/upcase.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"

namespace orv::engine {

void RDLABS(const std::string& LABOPT, int NVAR, std::vector<std::string>& VARLAB) {
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    VARLAB.assign(nvar, blank_text(15));
    std::string option = LABOPT;
    option.resize(15, ' ');
    if (!is_word(option, "LABELS")) return;

    // The keyword: the first item of the next line, its leftmost 8 characters.
    // A command file that ends before the line lacks the keyword as well.
    std::string keyword = blank_text(8);
    bool present = true;
    try {
        rt::read_list(LUJOB, keyword);
    } catch (const rt::IoError& e) {
        if (e.kind() != rt::IoErrorKind::EndOfFile) throw;
        present = false;
    }
    UPCASE(keyword);
    if (!present || keyword != ">LABELS:") {
        static const rt::Format missing = rt::parse_format("(T30,A40,/,/)");
        FATAL(missing, "FATAL ERROR: Keyword  >LABELS:   missing");
    }

    rt::backspace_unit(LUJOB);
    rt::UnitSource source(LUJOB);
    rt::ListInput in(source);
    in >> keyword;
    std::size_t read = 0;
    try {
        for (; read < nvar; ++read) in >> VARLAB[read];
    } catch (const rt::IoError& e) {
        if (!end_of_file(e)) throw;
        FATAL("FATAL ERROR: The command file ends with " + std::to_string(read) + " labels on >LABELS: for the " +
              std::to_string(nvar) + " variables declared on >DATA:");
    }
    in.finish();
}

}  // namespace orv::engine

// The command-file reader.  The command file is read strictly in sequence,
// one read per expected line: every line must stand in its place, and a line
// that is missing or out of place stops the run with a message naming the
// keyword expected there.  Keywords and option words are upper-cased and
// left-adjusted (UPCASE) and compared as read, cut to their field widths.
#include "engine/control/rdjob.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>

#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/finite.h"
#include "engine/control/short_file.h"
#include "engine/control/upcase.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// Record layouts of the reader's formatted lines and window messages.
struct Layouts {
    rt::Format a1 = rt::parse_format("(A1)");
    rt::Format a7 = rt::parse_format("(A7)");
    rt::Format title = rt::parse_format("(A7,A80)");
    rt::Format item = rt::parse_format("(A200)");
    rt::Format format = rt::parse_format("(A8,A80)");
    rt::Format items_read = rt::parse_format("(T30,A22)");
    rt::Format t30 = rt::parse_format("(T30,A,/,/)");
    rt::Format t30a38 = rt::parse_format("(T30,A38,/,/)");
    rt::Format t30a39 = rt::parse_format("(T30,A39,/,/)");
    rt::Format t30a40 = rt::parse_format("(T30,A40,/,/)");
    rt::Format t30a41 = rt::parse_format("(T30,A41,/,/)");
    rt::Format t30a45 = rt::parse_format("(T30,A45,/,/)");
    rt::Format t30a50 = rt::parse_format("(T30,A50,/,/)");
    rt::Format t29a37 = rt::parse_format("(T29,A37,/,/)");
    rt::Format t29a41 = rt::parse_format("(T29,A41,/,/)");
    rt::Format raw_data = rt::parse_format("(/,/,T30,A42,/,T30,A,/,/)");
    rt::Format plots = rt::parse_format("(T30,A50,/,T30,A32,/,/)");
};

const Layouts& layouts() {
    static const Layouts l;
    return l;
}

// A blank-padded word of `width` characters.
std::string padded(std::string_view word, std::size_t width) {
    std::string text(width, ' ');
    text.replace(0, std::min(word.size(), width), word.substr(0, width));
    return text;
}


// A file name read as blank would make the open ask the host for one, which
// takes the command-line argument: the command file itself.
void require_name(const std::string& name, std::string_view keyword) {
    if (trimmed(name).empty()) FATAL("FATAL ERROR: The " + std::string(keyword) + " line names no file");
}

// Steps back over the line just read, so that the next read sees it again.
void give_back() { rt::backspace_unit(LUJOB); }

// One list-directed statement on the command file.
class Line {
public:
    Line() : in_(source_) {}
    rt::ListInput& in() { return in_; }
    void end() { in_.finish(); }

private:
    rt::UnitSource source_{LUJOB};
    rt::ListInput in_;
};

// True when `read` met the end of the command file: no line is left where
// a keyword line should stand.  Such a file lacks the keyword, and the
// caller gives the keyword's own message.
template <typename Read>
bool at_end(Read&& read) {
    try {
        read();
        return false;
    } catch (const rt::IoError& e) {
        if (e.kind() != rt::IoErrorKind::EndOfFile) throw;
        return true;
    }
}

// Reads a keyword of `width` characters and the given items in one
// list-directed read; the keyword comes back upper-cased, blank when the
// command file has ended.
template <typename... Items>
std::string keyword_line(std::size_t width, Items&... items) {
    std::string key(width, ' ');
    Line line;
    if (at_end([&] { line.in() >> key; })) return key;
    if constexpr (sizeof...(items) > 0) (line.in() >> ... >> items);
    line.end();
    UPCASE(key);
    return key;
}

void upcase_all(std::string& a) { UPCASE(a); }
template <typename... Rest>
void upcase_all(std::string& a, Rest&... rest) {
    UPCASE(a);
    upcase_all(rest...);
}

// Comment lines (a "*" in column 1) before >TITLE:, then the title.
void read_title(JOBSET& job) {
    const Layouts& f = layouts();
    std::string first(1, ' ');
    bool ended = false;
    do {
        ended = at_end([&] { rt::read(LUJOB, f.a1, first); });
    } while (!ended && first == "*");

    std::string key(7, ' ');
    job.JOBTTL = blank_text(80);
    if (!ended) {
        give_back();
        rt::read(LUJOB, f.title, key, job.JOBTTL);
    }
    UPCASE(key);
    if (key != ">TITLE:") {
        rt::write_list(LUCON, "FATAL ERROR: Keyword  >TITLE:   missing");
        throw rt::Stop{"", 1};
    }
}

void read_data(JOBSET& job) {
    const Layouts& f = layouts();
    std::string key(6, ' ');
    job.DATFIL = blank_text(kPathWidth);
    if (Line line; !at_end([&] { line.in() >> key; })) {
        line.in().path(job.DATFIL);
        line.in() >> job.NVAR >> job.NSUBJ;
        line.end();
    }
    UPCASE(key);
    if (key != ">DATA:") FATAL(f.t30a38, "FATAL ERROR: Keyword  >DATA:   missing");
    require_name(job.DATFIL, ">DATA:");
    // Counts below 1 would size every array of the run from garbage.  The
    // subject count sizes only the raw data: it is checked once the input
    // type is known.
    if (job.NVAR < 1) FATAL("FATAL ERROR: Number of variables on >DATA: must be at least 1");
}

// The optional >ITEMS: line and the item texts it names.
void read_items(JOBSET& job) {
    const Layouts& f = layouts();
    job.ITMKEY = blank_text(7);
    // At the end of the file the report line is missing: nothing to give back.
    if (at_end([&] { rt::read(LUJOB, f.a7, job.ITMKEY); })) return;
    UPCASE(job.ITMKEY);
    if (job.ITMKEY == ">ITEMS:") {
        give_back();
        std::string key(7, ' ');
        job.ITMNAM = blank_text(kPathWidth);
        Line line;
        line.in() >> key;
        line.in().path(job.ITMNAM);
        line.end();
        require_name(job.ITMNAM, ">ITEMS:");

        // One record per text, read one at a time (as the one read of all
        // texts under (A200) would by reversion), so that the texts take
        // only what the file holds.
        rt::open_unit_or_fail(LUTMP, trimmed(job.ITMNAM), {rt::OpenStatus::Old, true});
        const auto nvar = static_cast<std::size_t>(job.NVAR);
        job.ITMTXT.clear();
        std::string text = blank_text(200);
        while (job.ITMTXT.size() < nvar) {
            try {
                rt::read(LUTMP, f.item, text);
            } catch (const rt::IoError& e) {
                if (!end_of_file(e)) throw;
                stop_file_ends(rt::unit_file_name(LUTMP), static_cast<long long>(job.ITMTXT.size()),
                               held_for(job.ITMTXT.size(), "item texts", job.NVAR, "variables", ">DATA:"));
            }
            job.ITMTXT.push_back(text);
        }
        rt::close_unit(LUTMP);
        rt::write(LUCON, f.items_read, "Items read sucessfully");
    } else if (job.ITMKEY == ">OUTFIL") {
        give_back();
    }
    // Any other line is dropped.
}

void read_outfile(JOBSET& job) {
    const Layouts& f = layouts();
    std::string key(9, ' ');
    job.OUTFIL = blank_text(kPathWidth);
    job.VERBOS = blank_text(5);
    if (Line line; !at_end([&] { line.in() >> key; })) {
        line.in().path(job.OUTFIL);
        line.in() >> job.VERBOS;
        line.end();
    }
    upcase_all(key, job.VERBOS);
    if (key != ">OUTFILE:") FATAL(f.t30a41, "FATAL ERROR: Keyword  >OUTFILE:   missing");
    require_name(job.OUTFIL, ">OUTFILE:");
    if (!is_word(job.VERBOS, "SHORT") && !is_word(job.VERBOS, "LONG"))
        FATAL(f.t30a45, "FATAL ERROR: Keyword  Print_Verbosity missing");
}

void read_metric(JOBSET& job) {
    const Layouts& f = layouts();
    job.METRIC = blank_text(2);
    job.DATTYP = blank_text(4);
    job.SMOOPT = blank_text(2);
    std::string key = keyword_line(8, job.METRIC, job.DATTYP, job.SMOOPT);
    upcase_all(job.METRIC, job.DATTYP, job.SMOOPT);
    if (key != ">METRIC:") FATAL(f.t30a50, "FATAL ERROR: Keyword  >METRIC:   missing");
    static constexpr std::string_view metrics[] = {"DC", "CD", "IP", "OR", "CO", "DI"};
    static constexpr std::string_view types[] = {"FLD2", "FLD1", "RAW", "COR"};
    const bool metric_ok = std::any_of(std::begin(metrics), std::end(metrics),
                                       [&](std::string_view m) { return is_word(job.METRIC, m); });
    const bool type_ok =
        std::any_of(std::begin(types), std::end(types), [&](std::string_view t) { return is_word(job.DATTYP, t); });
    if (!metric_ok || !type_ok) FATAL(f.t30a50, "FATAL ERROR: Unrecognized keyword on >METRIC: line");
    // A correlation or loading matrix is read whatever the subject count.
    // Correlations of raw data need two subjects, and Pearson correlations
    // (metrics CO and IP) two variables.
    if (is_word(job.DATTYP, "RAW") && job.NSUBJ < 1)
        FATAL("FATAL ERROR: Number of subjects on >DATA: must be at least 1");
    if (is_word(job.DATTYP, "RAW") && job.NSUBJ == 1)
        FATAL("FATAL ERROR: One subject on >DATA: has no correlations: raw data need at least 2 subjects");
    if (is_word(job.DATTYP, "RAW") && (job.METRIC == "CO" || job.METRIC == "IP") && job.NVAR < 2)
        FATAL("FATAL ERROR: One variable on >DATA: has no correlations: metric " + job.METRIC +
              " needs at least 2 variables");
}

void read_phi(JOBSET& job) {
    std::string key(5, ' ');
    job.PHIFIL = blank_text(kPathWidth);
    if (Line line; !at_end([&] { line.in() >> key; })) {
        line.in().path(job.PHIFIL);
        line.end();
    }
    UPCASE(key);
    if (key != ">PHI:") FATAL(layouts().t30a50, "FATAL ERROR: Keyword  >PHI:   missing");
    require_name(job.PHIFIL, ">PHI:");
}

void open_raw_data(const JOBSET& job) {
    // The data file must exist: a missing one is not created empty.
    open_input(LUDAT, trimmed(job.DATFIL), layouts().raw_data, "FATAL ERROR! Problem opening Raw Data File");
}

// The guessing-parameter line of metric DC (its keyword is not checked) and
// the NVAR parameters of the file it names, laid out freely.
void read_guessing(JOBSET& job) {
    std::string key(8, ' ');
    job.CPRFIL = blank_text(kPathWidth);
    // The keyword is not checked, but the line must be there.
    if (Line line; !at_end([&] { line.in() >> key; })) {
        line.in().path(job.CPRFIL);
        line.end();
    } else {
        FATAL("FATAL ERROR: Keyword  >CPARAM:   missing");
    }
    require_name(job.CPRFIL, ">CPARAM:");
    job.CPRFLG = 1;
    rt::open_unit_or_fail(LUCPR, trimmed(job.CPRFIL), {rt::OpenStatus::Old, true});
    rt::UnitSource unit(LUCPR);
    CountingSource source(unit);
    rt::ListInput in(source);
    // The parameters grow with the values read; those a slash leaves out
    // are added as zeros once the data have met the variable count (CORSTG).
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    job.CPARM.clear();
    try {
        while (job.CPARM.size() < nvar && !in.ended()) {
            double c = 0.0;
            in >> c;
            if (!std::isfinite(c)) stop_not_finite(rt::unit_file_name(LUCPR), source.records(), c);
            job.CPARM.push_back(c);
        }
    } catch (const rt::IoError& e) {
        if (!end_of_file(e)) throw;
        stop_file_ends(rt::unit_file_name(LUCPR), source.records(),
                       held_for(job.CPARM.size(), "guessing parameters", job.NVAR, "variables", ">DATA:"));
    }
    in.finish();
}

void read_model(JOBSET& job) {
    const Layouts& f = layouts();
    job.MODTYP = blank_text(4);
    job.LABOPT = blank_text(15);
    job.SRTOPT = blank_text(15);
    std::string key = keyword_line(7, job.MODTYP, job.NFAC, job.LABOPT, job.SRTOPT);
    upcase_all(job.MODTYP, job.LABOPT, job.SRTOPT);
    if (key != ">MODEL:") FATAL(f.t30a39, "FATAL ERROR: Keyword  >MODEL:   missing");
    // NFAC of 0 or below ends an extraction job after the correlations, but
    // model ROT goes straight to the rotation of NFAC factors read from its
    // loading file: below 1 it has nothing to rotate.  More factors than
    // variables cannot be extracted or rotated.  CMT and TRP jobs end
    // before any factor is formed, so they run whatever the count.
    if (is_word(job.MODTYP, "ROT") && job.NFAC < 1)
        FATAL("FATAL ERROR: Number of factors on >MODEL: must be at least 1");
    const bool factored = !is_word(job.MODTYP, "CMT") && !is_word(job.MODTYP, "TRP");
    if (factored && job.NFAC > job.NVAR)
        FATAL("FATAL ERROR: Number of factors on >MODEL: exceeds number of variables");
}

void read_rotate(JOBSET& job) {
    const Layouts& f = layouts();
    job.ROTMTH = blank_text(8);
    std::string key = keyword_line(8, job.ROTMTH);
    UPCASE(job.ROTMTH);
    if (key != ">ROTATE:") FATAL(f.t29a41, "FATAL ERROR: Keyword >ROTATE:    missing");

    // The methods with a parameter read their line again; the method word
    // read the second time is not kept, so ROTMTH stays upper case.
    std::string again(8, ' '), word(8, ' ');
    job.ROTNAM = blank_text(25);
    if (is_word(job.ROTMTH, "VARIMAX")) {
        job.ROTNAM = padded("Varimax", 25);
    } else if (is_word(job.ROTMTH, "WVARIMAX")) {
        job.ROTNAM = padded("Weighted Varimax", 25);
    } else if (is_word(job.ROTMTH, "NONE")) {
        job.ROTNAM = padded("None", 25);
    } else if (is_word(job.ROTMTH, "OBLIMIN")) {
        job.ROTNAM = padded("Oblimin", 25);
        give_back();
        keyword_line(8, word, job.DELTA);
        // NaN is refused with the values above 0.0, minus infinity as the
        // other parameters that are not finite numbers are.
        if (!(job.DELTA <= 0.0))
            throw rt::Stop{"*********FATAL ERROR: The Oblimin Delta parameter must be less than 0.0*********", 1};
        if (!std::isfinite(job.DELTA)) FATAL("FATAL ERROR: The Oblimin Delta parameter must be a finite number");
    } else if (is_word(job.ROTMTH, "PROMAX")) {
        job.ROTNAM = padded("Promax", 25);
        give_back();
        try {
            keyword_line(8, word, job.POWER);
        } catch (const rt::IoError&) {
            FATAL(f.t29a37, "FATAL ERROR: Promax requires a power");
        }
        // The target needs a positive power.
        if (job.POWER < 1) FATAL("FATAL ERROR: The Promax power must be at least 1");
    } else if (is_word(job.ROTMTH, "HK")) {
        job.ROTNAM = padded("Harris-Kaiser", 25);
        give_back();
        keyword_line(8, word, job.HKPAR);
        if (!std::isfinite(job.HKPAR)) FATAL("FATAL ERROR: The Harris-Kaiser parameter must be a finite number");
    }

    if (is_word(job.SRTOPT, "SORT") && is_word(job.ROTMTH, "NONE")) {
        rt::write(LUCON, f.t30, "WARNING: Orvalis does not sort unrotated solutions");
        job.SRTOPT = padded("NOSORT", 15);
    }
    // A single factor is never rotated; ROTNAM keeps the name read.
    if (job.NFAC == 1) job.ROTMTH = padded("NONE", 8);
}

void read_score_and_plot(JOBSET& job) {
    const Layouts& f = layouts();
    job.SCRMTH = blank_text(8);
    std::string key = keyword_line(7, job.SCRMTH);
    UPCASE(job.SCRMTH);
    if (key != ">SCORE:") FATAL(f.t30a39, "FATAL ERROR: Keyword >SCORE:    missing");
    // Scores need the subjects' data.
    if (is_word(job.DATTYP, "COR")) job.SCRMTH = padded("NOSCORE", 8);

    job.PLTOPT = blank_text(8);
    key = keyword_line(6, job.PLTOPT);
    UPCASE(job.PLTOPT);
    if (key != ">PLOT:") FATAL(f.t30a38, "FATAL ERROR: Keyword >PLOT:    missing");
    if (is_word(job.PLTOPT, "ALL") && is_word(job.SCRMTH, "NOSCORE"))
        FATAL(f.plots, "FATAL ERROR: You have requested factor score plots", "without computing factor scores.");
}

// The narrowest page on which every table of the report holds one column:
// a 15-character row label, its blank, and an F15.3 correlation.
constexpr int kNarrowestPage = 32;

// Values of >TECHNICAL: that the routines they are handed to refuse, named
// as the line names them.  The rotation limits matter only to a job whose
// rotation stage runs; Oblimin takes 0 iterations for its own default, and
// Harris-Kaiser takes any criterion, a negative one for its default.
void check_technical(const JOBSET& job) {
    auto refuse = [](const char* name, const std::string& value, const std::string& rule) {
        FATAL(std::string("FATAL ERROR: Technical parameter ") + name + " on >TECHNICAL: is " + value +
              "; it must be " + rule);
    };
    if (job.PAGEWIDTH < kNarrowestPage)
        refuse("PAGEWIDTH", std::to_string(job.PAGEWIDTH),
               "at least " + std::to_string(kNarrowestPage) + " columns for the report's tables");
    const bool rotated = is_word(job.ROTMTH, "VARIMAX") || is_word(job.ROTMTH, "WVARIMAX") ||
                         is_word(job.ROTMTH, "PROMAX") || is_word(job.ROTMTH, "OBLIMIN") || is_word(job.ROTMTH, "HK");
    if (!rotated || job.NFAC < 2 || is_word(job.MODTYP, "CMT") || is_word(job.MODTYP, "TRP")) return;
    const std::string rotation = " for the " + trimmed(job.ROTNAM) + " rotation";
    const bool oblimin = is_word(job.ROTMTH, "OBLIMIN");
    if (job.ROT_EPS < 0.0 && !is_word(job.ROTMTH, "HK"))
        refuse("ROT_EPS", number_text(job.ROT_EPS), "0 or more" + rotation);
    if (job.ROT_MAXIT < (oblimin ? 0 : 1))
        refuse("ROT_MAXIT", std::to_string(job.ROT_MAXIT), (oblimin ? "0 or more" : "at least 1") + rotation);
}

// The optional >TECHNICAL: line; the engine's defaults when it is absent.
void read_technical(JOBSET& job) {
    if (keyword_line(11) == ">TECHNICAL:") {
        give_back();
        keyword_line(11, job.COMP_EPS, job.MAXIT, job.ROT_EPS, job.ROT_MAXIT, job.RNDSTRTS, job.HYPER_WIDTH,
                     job.INIT_COM, job.PAGEWIDTH, job.OUTPUT);
        upcase_all(job.RNDSTRTS, job.OUTPUT, job.INIT_COM);
        // NaN would pass every test of the iterations and the hyperplane
        // count, an infinity would end them at once: neither is a setting.
        const std::pair<const char*, double> reals[] = {
            {"COMP_EPS", job.COMP_EPS}, {"ROT_EPS", job.ROT_EPS}, {"HYPER_WIDTH", job.HYPER_WIDTH}};
        for (const auto& [name, value] : reals)
            if (!std::isfinite(value))
                FATAL(std::string("FATAL ERROR: Technical parameter ") + name + " must be a finite number");
        check_technical(job);
    } else {
        // The defaults stand once, in JOBSET.
        const JOBSET defaults;
        job.COMP_EPS = defaults.COMP_EPS;
        job.MAXIT = defaults.MAXIT;
        job.ROT_EPS = defaults.ROT_EPS;
        job.ROT_MAXIT = defaults.ROT_MAXIT;
        job.RNDSTRTS = defaults.RNDSTRTS;
        job.HYPER_WIDTH = defaults.HYPER_WIDTH;
        job.INIT_COM = defaults.INIT_COM;
        job.PAGEWIDTH = defaults.PAGEWIDTH;
        job.OUTPUT = defaults.OUTPUT;
        give_back();
    }
}

// The >OUTPUT: line: a count, then that many matrix-file codes.
void read_output(JOBSET& job) {
    if (keyword_line(8) != ">OUTPUT:") FATAL(layouts().t30a38, "FATAL ERROR: Keyword >OUTPUT: missing");
    give_back();
    job.OUTCOD.assign(job.OUTCOD.size(), blank_text(3));
    std::string key(8, ' ');
    Line line;
    line.in() >> key >> job.NOUTM;
    // The count is cut toward zero; there are slots for 8 codes, and codes
    // beyond them are ignored with the rest of the line.
    const double slots = static_cast<double>(job.OUTCOD.size());
    const int count = job.NOUTM >= slots ? static_cast<int>(slots) : job.NOUTM >= 1.0 ? static_cast<int>(job.NOUTM) : 0;
    // The codes stand on the line itself: a read that reaches the next
    // keyword line, or the end of the file, has run out of codes.
    auto too_few = [&](int given) {
        FATAL("FATAL ERROR: The count on >OUTPUT: is " + number_text(job.NOUTM) +
              ", larger than the number of codes the line gives (" + std::to_string(given) + ")");
    };
    for (int i = 0; i < count; ++i) {
        std::string& code = job.OUTCOD[static_cast<std::size_t>(i)];
        if (at_end([&] { line.in() >> code; }) || code.front() == '>') too_few(i);
        UPCASE(code);
    }
    line.end();
}

void read_format(JOBSET& job) {
    std::string key(8, ' ');
    job.DATFMT = blank_text(80);
    at_end([&] { rt::read(LUJOB, layouts().format, key, job.DATFMT); });
    UPCASE(key);
    if (key != ">FORMAT:") FATAL(layouts().t30a40, "FATAL ERROR: Keyword  >FORMAT:   missing");
}

// Marks every file the job names for reading, read already or to be read
// later, as an input of the run: no report or matrix file may be written
// over one of them.  The data file is named by what the job takes it for.
void mark_inputs(const JOBSET& job) {
    if (!job.JOBPTH.empty()) rt::mark_input(job.JOBPTH, "the command file");
    const char* data = is_word(job.MODTYP, "ROT") || is_word(job.DATTYP, "FLD1") || is_word(job.DATTYP, "FLD2")
                           ? "the loading matrix named on >DATA:"
                       : is_word(job.DATTYP, "COR") ? "the correlation matrix named on >DATA:"
                                                    : "the raw data file named on >DATA:";
    rt::mark_input(job.DATFIL, data);
    if (job.ITMKEY == ">ITEMS:") rt::mark_input(job.ITMNAM, "the item file named on >ITEMS:");
    if (is_word(job.DATTYP, "FLD2")) rt::mark_input(job.PHIFIL, "the factor correlation file named on >PHI:");
    if (is_word(job.METRIC, "DC")) rt::mark_input(job.CPRFIL, "the guessing-parameter file named on >CPARAM:");
}

}  // namespace

void SPLITP(JOBSET& job) {
    job.JOBPTH = rt::unit_file_name(LUJOB);
    const std::size_t slash = job.JOBPTH.rfind('/');
    std::string_view name = job.JOBPTH;
    if (slash == std::string::npos) {
        job.JOBDIR.clear();
    } else {
        job.JOBDIR = job.JOBPTH.substr(0, slash + 1);
        name.remove_prefix(slash + 1);
    }
    job.JOBBAS = padded(name, 15);
}

void RDJOB(JOBSET& job) {
    read_title(job);
    read_data(job);
    read_items(job);
    read_outfile(job);
    read_metric(job);
    if (is_word(job.DATTYP, "FLD2")) read_phi(job);
    if (is_word(job.DATTYP, "RAW")) open_raw_data(job);
    job.CPRFLG = 0;
    if (is_word(job.METRIC, "DC")) read_guessing(job);
    read_model(job);
    read_rotate(job);
    read_score_and_plot(job);
    read_technical(job);
    if (job.OUTPUT == "T") read_output(job);
    read_format(job);
    mark_inputs(job);
    // A report is replaced, never appended to: one left by an earlier run
    // must not pass for this run's.  A relative name is taken from the
    // working directory.
    open_output(LURPT, trimmed(job.OUTFIL), "The report named on >OUTFILE:", rt::OpenStatus::Replace);
}

}  // namespace orv::engine

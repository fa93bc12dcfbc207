#include "engine/control/echojb.h"

#include <cstddef>
#include <string>

#include "engine/common/units.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"

namespace orv::engine {

namespace {

// The text cut or blank-padded to `width`, as a field of that width holds it.
std::string field(const std::string& text, std::size_t width) {
    std::string out = text.substr(0, width);
    out.resize(width, ' ');
    return out;
}

void title_block() {
    static const rt::Format format = rt::parse_format(
        "(/,34X,'Orvalis 2.0 ',/,/,"
        "8X,'Exploratory Factor Analysis of Dichotomous, Ordered and Continuous Items',/,"
        "27X,'Tetrachoric, Polychoric and Pearson Correlations',/,/,"
        "32X,'Analysis Report',/,/,"
        "19X,'Written by orvcalc, the Orvalis analysis engine',5(/))");
    rt::write(LURPT, format);
}

void command_listing(const JOBSET& job) {
    static const rt::Format heading = rt::parse_format("('0===========COMMAND LISTING====================0',/)");
    static const rt::Format line_format = rt::parse_format("(A200)");
    static const rt::Format labels_line = rt::parse_format("('>LABELS: Label names . . . ')");
    static const rt::Format closing = rt::parse_format("(/,/,/)");

    rt::write(LURPT, heading);
    rt::rewind_unit(LUJOB);
    const bool nolabels = is_word(field(job.LABOPT, 15), "NOLABELS");
    std::string line = blank_text(200);
    for (int count = 0; count < 100; ++count) {
        try {
            rt::read(LUJOB, line_format, line);
        } catch (const rt::IoError& e) {
            // A command file without its stop line: the listing ends with it.
            if (e.kind() != rt::IoErrorKind::EndOfFile) throw;
            break;
        }
        if (line.compare(0, 7, ">FORMAT") == 0 && nolabels) {
            rt::write(LURPT, line_format, line);
            break;
        }
        if (line.compare(0, 6, ">LABEL") == 0) {
            rt::write(LURPT, labels_line);
            break;
        }
        rt::write(LURPT, line_format, line);
    }
    rt::write(LURPT, closing);
}

void model_block(const JOBSET& job) {
    static const rt::Format heading = rt::parse_format("('0==================MODEL=======================0',/)");
    static const rt::Format text = rt::parse_format("(A)");
    static const rt::Format counts = rt::parse_format(
        "('Number of subjects = ',I6,/,'Number of factors = ',I3,/,'Number of variables = ',I3,/,"
        "'Variables are coded: ',A31,/,'The correlation matrix is: ',A10,/,'The rotation is: ',A25)");
    static const rt::Format scores = rt::parse_format("('Factor Scores are: ',A20)");

    rt::write(LURPT, heading);

    const std::string smoopt = field(job.SMOOPT, 2);
    const std::string smoothing = smoopt == "SM" || smoopt == "PS" ? "Smoothed   " : "Unsmoothed ";

    const std::string metric = field(job.METRIC, 2);
    std::string coding;
    if (metric == "CO") coding = "Continuous";
    else if (metric == "DI" || metric == "DC") coding = "Dichotomous";
    else if (metric == "OR") coding = "Ordered";
    else if (metric == "IP") coding = "Ipsatized";
    else if (metric == "CD") coding = "Continous -> Dichotomous";

    const std::string model = field(job.MODTYP, 4);
    if (is_word(model, "TRP")) rt::write(LURPT, text, "Model = Test of underlying multivariate normality");
    if (job.NFAC > 0) {
        if (is_word(model, "PCA")) rt::write(LURPT, text, "Model = Principal Components Analysis");
        if (is_word(model, "ROT")) rt::write(LURPT, text, "Model = Rotate existing matrix");
        if (is_word(model, "PFA")) rt::write(LURPT, text, "Model = Principal Factor Analysis");
    }

    // A score word outside the three known ones leaves the score text blank.
    const std::string score = field(job.SCRMTH, 8);
    std::string score_text;
    if (is_word(score, "REG")) score_text = "Regression Method";
    else if (is_word(score, "BART")) score_text = "Bartlett Method";
    else if (is_word(score, "NOSCORE")) score_text = "None";

    rt::write(LURPT, counts, job.NSUBJ, job.NFAC, job.NVAR, field(coding, 31), field(smoothing, 11),
              field(job.ROTNAM, 25));
    if (metric == "CO") rt::write(LURPT, scores, field(score_text, 20));

    if (metric == "CO" || metric == "IP") rt::write(LURPT, text, "Correlations are Pearson Product Moments");
    else if (metric == "DI" || metric == "CD") rt::write(LURPT, text, "Correlations are tetrachorics");
    else if (metric == "OR") rt::write(LURPT, text, "Correlations are polychorics");
    else if (metric == "DC") rt::write(LURPT, text, "Correlations are tetrachorics corrected for guessing");
    rt::write_list(LURPT);
}

void technical_block(const JOBSET& job) {
    static const rt::Format heading = rt::parse_format("(/,/,/,'0==============TECHNICAL PARAMETERS============0')");
    static const rt::Format values = rt::parse_format(
        "(/,'Epsilon for Communality Estimation = ',F10.9,/,"
        "'Maximum Iterations for Communality Estimation =',I4,/,"
        "'Epsilon for Rotation Accuracy = ',F10.9,/,"
        "'Maximum Iterations for Rotation =',I4)");
    static const rt::Format text = rt::parse_format("(A)");
    static const rt::Format hyperplane = rt::parse_format("('Hyperplane width = ',F5.3,/)");

    rt::write(LURPT, heading);
    rt::write(LURPT, values, job.COMP_EPS, job.MAXIT, job.ROT_EPS, job.ROT_MAXIT);
    const std::string starts = field(job.RNDSTRTS, 1);
    if (starts == "T") rt::write(LURPT, text, "Rotate from Random Orientation");
    else if (starts == "F") rt::write(LURPT, text, "Rotate from Unrotated Orientation");
    rt::write(LURPT, hyperplane, job.HYPER_WIDTH);
    rt::write_list(LURPT);
}

}  // namespace

void ECHOJB(const JOBSET& job) {
    title_block();
    command_listing(job);
    model_block(job);
    technical_block(job);
}

}  // namespace orv::engine

#include "numlib/routines1/errexit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numlib/routines1/machine.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"

namespace orv::num1 {

namespace {

// The library's two output units: library-wide settings for the whole run.
int advisory_unit = 6;
int error_unit = 6;

void unit_setting(int iflag, int& iunit, int& setting) {
    if (iflag == 0) iunit = setting;
    else if (iflag == 1) setting = iunit;
}

}  // namespace

void ADVUNIT(int iflag, int& iunit) { unit_setting(iflag, iunit, advisory_unit); }

void ERRUNIT(int iflag, int& iunit) { unit_setting(iflag, iunit, error_unit); }

void WRTREC(int nout, std::string_view rec) {
    if (nout < 0) return;
    std::size_t last = rec.find_last_not_of(' ');
    std::size_t length = last == std::string_view::npos ? 1 : last + 1;
    std::string text(rec.substr(0, length));
    text.resize(length, ' ');  // an empty record is written as one blank
    static const rt::Format format = rt::parse_format("(A)");
    rt::write(nout, format, text);
}

int ERREXIT(int ifail, int ierror, std::string_view srname, int nrec, std::span<const std::string> rec) {
    if (ierror == 0) return 0;
    const int tens = (ifail / 10) % 10;
    const bool noisy = ifail == 0 || ifail == -1 || ifail == -13 || (ifail > 0 && tens != 0);
    if (!noisy) return ierror;

    int nerr = 0;
    ERRUNIT(0, nerr);
    const std::size_t count = std::min<std::size_t>(nrec < 0 ? 0 : static_cast<std::size_t>(nrec), rec.size());
    for (std::size_t i = 0; i < count; ++i) WRTREC(nerr, rec[i]);
    if (ifail == -13) return ierror;

    static const rt::Format exit_line = rt::parse_format("(A,A,A,A,I6)");
    std::vector<std::string> line(1);
    rt::write_internal(line, 72, exit_line, " ** ABNORMAL EXIT from NUM Library routine ", srname, ": IFAIL", " =",
                       ierror);
    WRTREC(nerr, line[0]);
    if (std::abs(ifail % 10) != 1) {
        WRTREC(nerr, " ** NUM hard failure - execution terminated");
        HARDSTOP();
    }
    WRTREC(nerr, " ** NUM soft failure - control returned");
    return ierror;
}

namespace {

// The common part of the two argument reporters: the blank record and the
// reporter's records, unless IFAIL asks for silence.
void report_parameter(int ifail, int& nerr, const std::vector<std::string>& records) {
    ++nerr;
    if (ifail % 10 == 1 && (ifail / 10) % 10 == 0) return;
    int unit = 0;
    ERRUNIT(0, unit);
    WRTREC(unit, " ");
    for (const std::string& record : records) WRTREC(unit, record);
}

}  // namespace

void PARERRC(std::string_view value, std::string_view pname, int ifail, int& nerr, std::string_view srname) {
    static const rt::Format format = rt::parse_format("(A,A,A,A,A,/,8X,A,/,8X,A)");
    std::vector<std::string> records(3);
    rt::write_internal(records, 65, format, " *****  Parameter  ", pname, "  is invalid in routine  ", srname,
                       "  ***** ", "Value supplied is", value);
    report_parameter(ifail, nerr, records);
}

void PARERRI(int ivalue, std::string_view pname, int ifail, int& nerr, std::string_view srname) {
    static const rt::Format format = rt::parse_format("(A,A,A,A,A,/,8X,A,I6)");
    std::vector<std::string> records(2);
    rt::write_internal(records, 65, format, " *****  Parameter  ", pname, "  is invalid in routine  ", srname,
                       "  ***** ", "Value supplied is ", ivalue);
    report_parameter(ifail, nerr, records);
}

void HARDSTOP() { throw rt::Stop{"", 1}; }

void NBLIMS(std::string_view text, int& ifirst, int& ilast) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        ifirst = 0;
        ilast = 0;
        return;
    }
    ifirst = static_cast<int>(first) + 1;
    ilast = static_cast<int>(text.find_last_not_of(' ')) + 1;
}

void SCLFAC(double anorm, double small, double big, double& scale, int& flag) {
    const double b = MCBASE();
    double d = 0.0;
    double factor = 1.0;
    if (anorm > big) {
        flag = -1;
        d = std::log(anorm) - std::log(big);
        factor = 1.0 / b;
    } else if (anorm > 0.0 && anorm < small) {
        flag = -1;
        d = std::log(small) - std::log(anorm);
        factor = b;
    } else {
        flag = 0;
    }
    scale = 1.0;
    if (flag != -1) return;
    // Infinite or NaN norms have no finite exponent: take the cap.
    const int cap = std::min(-MCEMIN(), MCEMAX() - 1);
    const double steps = d / std::log(b);
    int k = std::isfinite(steps) && steps < cap ? static_cast<int>(steps) + 1 : cap;
    k = std::min(k, cap);
    // factor^k by repeated squaring: an exact power of the base.
    double power = factor;
    for (int e = k; e > 0; e >>= 1) {
        if (e & 1) scale *= power;
        power *= power;
    }
}

}  // namespace orv::num1

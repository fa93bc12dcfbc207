#include "numlib/routines1/x04cbf.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/machine.h"
#include "runtime/format.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"

namespace orv::num1 {

namespace {

constexpr std::size_t kFormCopy = 81;     // the copy of FORM
constexpr std::size_t kRecord = 133;      // heading and row records
constexpr std::size_t kMessage = 80;      // error records
constexpr int kWidestRecord = 132;

// The first character of an option, upper-cased (a blank for an empty text).
char option(std::string_view text) {
    if (text.empty()) return ' ';
    const char c = text.front();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool all_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

// The text from its first to its last non-blank character (empty when it
// is all blank).
std::string_view significant(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Position (from 1) of the last non-blank character; 0 when all blank.
int last_non_blank(std::string_view text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? 0 : static_cast<int>(last) + 1;
}

int decimal_digits(int value) {
    int digits = 1;
    for (; value >= 10; value /= 10) ++digits;
    return digits;
}

// The descriptor that shows every element of a double to full precision,
// derived from the machine's base, mantissa digits and exponent range:
// "1P,E 24. 15".
std::string full_precision_descriptor() {
    const double log_base = std::log10(static_cast<double>(MCBASE()));
    const int digits = static_cast<int>(std::ceil(MCDIGS() * log_base));
    const int exponent = static_cast<int>(std::ceil(std::log10(std::max(-MCEMIN(), MCEMAX()) * log_base) + 2.0));
    static const rt::Format f = rt::parse_format("('1P,E',I3,'.',I3)");
    std::vector<std::string> text(1);
    rt::write_internal(text, 11, f, digits + exponent + 3, digits - 1);
    return text[0];
}

// A descriptor wide enough for the values that will be printed: the
// elements of the chosen part of A, zeros left out of the smallest.
template <typename Element>
std::string default_descriptor(char matrix, char diag, int m, int n, Element at) {
    double big = 1.0;
    double small = 1.0;
    auto scan = [&](double value) {
        const double v = std::fabs(value);
        if (v > big) big = v;
        if (v != 0.0 && v < small) small = v;
    };
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= m; ++i) {
            const bool wanted = matrix == 'G' || (matrix == 'L' && i > j) || (matrix == 'U' && i < j) ||
                                (i == j && diag == 'N');
            if (wanted) scan(at(i, j));
        }
    }
    if (small < 0.001 || big >= 9999.99991) return "1PE13.4";
    if (big > 1.0) return "F11.4";
    return "F8.4";
}

// A format "(<letter><width>)" with the width in an I4 field, built at run
// time for the column numbers and row numbers.
rt::Format integer_format(std::string_view head, int width) {
    static const rt::Format f = rt::parse_format("(A,I4,A)");
    std::vector<std::string> text(1);
    rt::write_internal(text, 10, f, head, width, ")");
    return rt::parse_format(text[0]);
}

// Writes the items with the format by internal WRITE into `record` from
// the 0-based column `start` to its end.  Returns false when the write fails
// (the record is then unchanged).
template <typename Items>
bool write_into(std::string& record, std::size_t start, const rt::Format& format, const Items& items) {
    std::vector<std::string> text(1);
    try {
        rt::write_internal(text, record.size() - start, format, items);
    } catch (const rt::IoError&) {
        return false;
    }
    record.replace(start, text[0].size(), text[0]);
    return true;
}

}  // namespace

void X04CBF(std::string_view matrix, std::string_view diag, int m, int n, std::span<const double> a, int lda,
            std::string_view form, std::string_view title, std::string_view labrow,
            std::span<const std::string> rlabs, std::string_view labcol, std::span<const std::string> clabs,
            int ncols, int indent, int& ifail) {
    const char kind = option(matrix);
    const char dkind = option(diag);
    const char rkind = option(labrow);
    const char ckind = option(labcol);
    const bool triangle = kind == 'L' || kind == 'U';
    const int width = (ncols >= 1 && ncols <= kWidestRecord) ? ncols : 80;
    const int i0 = (indent >= 0 && indent < width) ? indent : 0;
    const int usable = width - i0;

    // Elements are read only once M and N are positive, and then M <= LDA
    // has been checked, so the size needed is at least 1.
    auto require_a = [&] {
        if (m < 1 || n < 1) return;
        const std::int64_t need = static_cast<std::int64_t>(lda) * (n - 1) + m;
        if (static_cast<std::int64_t>(a.size()) < need)
            throw std::length_error("X04CBF: A holds fewer than LDA*(N-1)+M elements");
    };
    auto at = [&](int i, int j) {
        return a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lda)];
    };

    std::string form_copy(form.substr(0, std::min(form.size(), kFormCopy)));
    form_copy.resize(kFormCopy, ' ');

    int ierror = 0;
    int nrec = 0;
    std::vector<std::string> rec(2);
    const std::string shown_matrix(1, matrix.empty() ? ' ' : matrix.front());
    const std::string shown_diag(1, diag.empty() ? ' ' : diag.front());
    const std::string shown_labrow(1, labrow.empty() ? ' ' : labrow.front());
    const std::string shown_labcol(1, labcol.empty() ? ' ' : labcol.front());

    rt::Format element;
    int field = 0;
    int label_width = 1;
    int per_block = 0;

    if (kind != 'G' && !triangle) {
        static const rt::Format f = rt::parse_format("(A,A,A)");
        rt::write_internal(rec, kMessage, f, " ** On entry, MATRIX is not valid : MATRIX = '", shown_matrix, "'");
        ierror = 1;
        nrec = 1;
    } else if ((rkind != 'N' && rkind != 'I' && rkind != 'C') || (ckind != 'N' && ckind != 'I' && ckind != 'C')) {
        static const rt::Format f = rt::parse_format("(A,/,A,A,A,A,A)");
        rt::write_internal(rec, kMessage, f, " ** On entry, either LABROW or LABCOL is not valid :", "    LABROW = '",
                           shown_labrow, "', LABCOL = '", shown_labcol, "'.");
        ierror = 6;
        nrec = 2;
    } else if (m > lda) {
        static const rt::Format f = rt::parse_format("(A,I16,A,I16)");
        rt::write_internal(rec, kMessage, f, " ** On entry, M.gt.LDA: M = ", m, ", LDA = ", lda);
        ierror = 3;
        nrec = 1;
    } else if (triangle && dkind != 'B' && dkind != 'N' && dkind != 'U') {
        static const rt::Format f = rt::parse_format("(A,A,A,A,A)");
        rt::write_internal(rec, kMessage, f, " ** On entry, MATRIX = '", shown_matrix, "', but DIAG is not valid : DIAG = '",
                           shown_diag, "'");
        ierror = 2;
        nrec = 1;
    } else if (significant(form_copy).size() > 80) {
        static const rt::Format f = rt::parse_format("(A,/,4X,A)");
        const std::size_t first = form_copy.find_first_not_of(' ');
        rt::write_internal(rec, kMessage, f, " ** On entry, FORMAT has more than 80 characters: the first 75 are",
                           form_copy.substr(first, 75));
        ierror = 4;
        nrec = 2;
    } else {
        // The element descriptor, then its field width from two trial writes
        // of 0.0 with the run-time format built around it: the width is how
        // far the second value moves the last written character.
        std::string descriptor;
        if (all_blank(form_copy)) {
            require_a();
            descriptor = default_descriptor(kind, triangle ? dkind : 'G', m, n, at);
        } else if (form_copy.front() == '*' && all_blank(std::string_view(form_copy).substr(1))) {
            descriptor = full_precision_descriptor();
        } else {
            descriptor = std::string(significant(form_copy));
        }
        bool usable_format = true;
        try {
            element = rt::parse_format("(999(:," + descriptor + "))");
            std::vector<std::string> one(1);
            std::vector<std::string> two(1);
            rt::write_internal(one, kRecord, element, 0.0);
            rt::write_internal(two, 2 * kRecord, element, 0.0, 0.0);
            field = last_non_blank(two[0]) - last_non_blank(one[0]);
        } catch (const rt::IoError&) {
            usable_format = false;
        }
        // A descriptor that does not move the second value to the right of
        // the first cannot lay out columns (and would leave no width to
        // divide the record by).
        if (!usable_format || field < 1) {
            static const rt::Format f = rt::parse_format("(A,/,4X,A)");
            rt::write_internal(rec, kMessage, f,
                               " ** The format specifier in FORMAT cannot be used to print a number: FORMAT =",
                               form_copy.substr(0, 75));
            ierror = 5;
            nrec = 2;
        } else {
            if (rkind == 'I') {
                label_width = decimal_digits(m) + 1;
            } else if (rkind == 'C') {
                if (m >= 1 && rlabs.size() < static_cast<std::size_t>(m))
                    throw std::length_error("X04CBF: RLABS holds fewer than M labels");
                std::size_t longest = 0;
                for (int i = 1; i <= m; ++i)
                    longest = std::max<std::size_t>(longest, std::max<std::size_t>(significant(rlabs[i - 1]).size(), 1));
                label_width = static_cast<int>(longest) + 1;
            }
            per_block = (usable - label_width - 1) / field;
            if (per_block < 1) {
                static const rt::Format f = rt::parse_format("(A,/,A,I16,A,I16)");
                rt::write_internal(rec, kMessage, f,
                                   " ** On entry, NCOLS-INDENT is not wide enough to hold at least one matrix",
                                   "    column: NCOLS = ", width, ", INDENT =", i0);
                ierror = 7;
                nrec = 2;
            }
        }
    }
    if (ierror != 0) {
        ifail = ERREXIT(ifail, ierror, "X04CBF", nrec, rec);
        return;
    }
    require_a();
    if (ckind == 'C' && m >= 1 && n >= 1 && clabs.size() < static_cast<std::size_t>(n))
        throw std::length_error("X04CBF: CLABS holds fewer than N labels");

    int nout = 0;
    ADVUNIT(0, nout);
    const std::size_t margin = static_cast<std::size_t>(i0);
    const std::size_t rec_width = static_cast<std::size_t>(width);

    // The title, cut into pieces of U - 1 characters, each starting in
    // column I0 + 2.
    if (!all_blank(title)) {
        const std::string_view text = title.substr(0, title.find_last_not_of(' ') + 1);
        const std::size_t piece = static_cast<std::size_t>(usable - 1);
        for (std::size_t start = 0; start < text.size(); start += piece)
            WRTREC(nout, std::string(margin + 1, ' ') + std::string(text.substr(start, piece)));
    }
    if (m < 1 || n < 1) {
        ifail = 0;
        return;
    }

    // Values start in column I0 + LW + 2; the k-th field of a block ends in
    // column I0 + LW + 1 + k*W.
    const std::size_t values_start = margin + static_cast<std::size_t>(label_width) + 1;
    const std::size_t w = static_cast<std::size_t>(field);
    const rt::Format heading_format = integer_format("(999I", field);
    const rt::Format row_format = integer_format("(I", label_width);

    for (std::int64_t first_col = 1; first_col <= n; first_col += per_block) {
        const int j1 = static_cast<int>(first_col);
        const int j2 = static_cast<int>(std::min<std::int64_t>(n, first_col + per_block - 1));
        const int count = j2 - j1 + 1;
        if (j1 > 1) WRTREC(nout, " ");

        std::string record(kRecord, ' ');
        if (ckind == 'I') {
            std::vector<int> numbers;
            for (int j = j1; j <= j2; ++j) numbers.push_back(j);
            write_into(record, values_start, heading_format, numbers);
            WRTREC(nout, std::string_view(record).substr(0, rec_width));
        } else if (ckind == 'C') {
            for (int k = 1; k <= count; ++k) {
                const std::string& label = clabs[static_cast<std::size_t>(j1 + k - 2)];
                std::string_view text = significant(std::string_view(label).substr(0, std::min(w, label.size())));
                if (text.empty()) text = " ";
                const std::size_t end = values_start + static_cast<std::size_t>(k) * w;  // one past the field
                record.replace(end - text.size(), text.size(), text);
            }
            WRTREC(nout, std::string_view(record).substr(0, rec_width));
        }

        for (int i = 1; i <= m; ++i) {
            record.assign(kRecord, ' ');
            if (rkind == 'I') {
                write_into(record, margin, row_format, std::vector<int>{i});
            } else if (rkind == 'C') {
                const std::string_view text = significant(rlabs[static_cast<std::size_t>(i - 1)]);
                record.replace(values_start - 1 - text.size(), text.size(), text);
            }

            // The values of this row in the block and the field of the first.
            std::vector<double> values;
            int first_field = 1;
            const int k = i - j1 + 1;  // the diagonal's position in the block
            const bool diagonal_here = triangle && k >= 1 && k <= count && dkind != 'B';
            const double diagonal = diagonal_here ? (dkind == 'U' ? 1.0 : at(i, i)) : 0.0;
            if (kind == 'G') {
                for (int j = j1; j <= j2; ++j) values.push_back(at(i, j));
            } else if (kind == 'L') {
                for (int j = j1; j <= std::min(i - 1, j2); ++j) values.push_back(at(i, j));
                if (diagonal_here) values.push_back(diagonal);
            } else if (diagonal_here) {
                first_field = k;
                values.push_back(diagonal);
                for (int j = i + 1; j <= j2; ++j) values.push_back(at(i, j));
            } else {
                first_field = std::max(k + 1, 1);
                for (int j = std::max(i + 1, j1); j <= j2; ++j) values.push_back(at(i, j));
            }
            // A value that cannot be written leaves its row without values;
            // printing goes on.
            if (!values.empty())
                write_into(record, values_start + static_cast<std::size_t>(first_field - 1) * w, element, values);
            WRTREC(nout, std::string_view(record).substr(0, rec_width));
        }
    }
    ifail = 0;
}

}  // namespace orv::num1

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

// The arguments of one call, with the options read from their first
// characters and the record width and indent put in range.
struct Call {
    std::string_view matrix, diag, labrow, labcol;
    int m, n;
    std::span<const double> a;
    int lda;
    std::span<const std::string> rlabs, clabs;
    char kind, dkind, rkind, ckind;
    bool triangle;
    int width, i0, usable;

    Call(std::string_view matrix_, std::string_view diag_, int m_, int n_, std::span<const double> a_, int lda_,
         std::string_view labrow_, std::span<const std::string> rlabs_, std::string_view labcol_,
         std::span<const std::string> clabs_, int ncols, int indent)
        : matrix(matrix_), diag(diag_), labrow(labrow_), labcol(labcol_), m(m_), n(n_), a(a_), lda(lda_),
          rlabs(rlabs_), clabs(clabs_), kind(option(matrix_)), dkind(option(diag_)), rkind(option(labrow_)),
          ckind(option(labcol_)), triangle(kind == 'L' || kind == 'U'),
          width((ncols >= 1 && ncols <= kWidestRecord) ? ncols : 80),
          i0((indent >= 0 && indent < width) ? indent : 0), usable(width - i0) {}

    double at(int i, int j) const {
        return a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lda)];
    }
    // Elements are read only once M and N are positive, and then M <= LDA
    // has been checked, so the size needed is at least 1.
    void require_a() const {
        if (m < 1 || n < 1) return;
        const std::int64_t need = static_cast<std::int64_t>(lda) * (n - 1) + m;
        if (static_cast<std::int64_t>(a.size()) < need)
            throw std::length_error("X04CBF: A holds fewer than LDA*(N-1)+M elements");
    }
};

// How the table is laid out: the elements' format and field width, the
// width of the row labels, the columns of a block, and the formats of the
// column and row numbers.
struct Layout {
    rt::Format element;
    int field = 0;
    int label_width = 1;
    int per_block = 0;
    rt::Format heading, row;
};

// An argument error: its number and the records of its message.
struct ArgumentError {
    int number = 0;
    int nrec = 0;
    std::vector<std::string> rec = std::vector<std::string>(2);
};

// The element descriptor that FORM_COPY asks for.
std::string element_descriptor(const Call& c, const std::string& form_copy) {
    if (all_blank(form_copy)) {
        c.require_a();
        return default_descriptor(c.kind, c.triangle ? c.dkind : 'G', c.m, c.n,
                                  [&](int i, int j) { return c.at(i, j); });
    }
    if (form_copy.front() == '*' && all_blank(std::string_view(form_copy).substr(1))) {
        return full_precision_descriptor();
    }
    return std::string(significant(form_copy));
}

// The run-time format built around DESCRIPTOR and its field width, from two
// trial writes of 0.0: the width is how far the second value moves the
// last written character.  False when the descriptor cannot print a real
// number.
bool element_format(const std::string& descriptor, Layout& layout) {
    try {
        layout.element = rt::parse_format("(999(:," + descriptor + "))");
        std::vector<std::string> one(1);
        std::vector<std::string> two(1);
        rt::write_internal(one, kRecord, layout.element, 0.0);
        rt::write_internal(two, 2 * kRecord, layout.element, 0.0, 0.0);
        layout.field = last_non_blank(two[0]) - last_non_blank(one[0]);
    } catch (const rt::IoError&) {
        return false;
    }
    // A descriptor that does not move the second value to the right of the
    // first cannot lay out columns (and would leave no width to divide the
    // record by).
    return layout.field >= 1;
}

// The width of the row labels, the blank after them included.
int row_label_width(const Call& c) {
    if (c.rkind == 'I') return decimal_digits(c.m) + 1;
    if (c.rkind != 'C') return 1;
    if (c.m >= 1 && c.rlabs.size() < static_cast<std::size_t>(c.m))
        throw std::length_error("X04CBF: RLABS holds fewer than M labels");
    std::size_t longest = 0;
    for (int i = 1; i <= c.m; ++i)
        longest = std::max<std::size_t>(longest, std::max<std::size_t>(significant(c.rlabs[i - 1]).size(), 1));
    return static_cast<int>(longest) + 1;
}

// The argument checks, errors 1 to 7 in this order; the layout when all
// of them pass.
ArgumentError check_arguments(const Call& c, std::string_view form, Layout& layout) {
    std::string form_copy(form.substr(0, std::min(form.size(), kFormCopy)));
    form_copy.resize(kFormCopy, ' ');
    const std::string shown_matrix(1, c.matrix.empty() ? ' ' : c.matrix.front());
    const std::string shown_diag(1, c.diag.empty() ? ' ' : c.diag.front());
    const std::string shown_labrow(1, c.labrow.empty() ? ' ' : c.labrow.front());
    const std::string shown_labcol(1, c.labcol.empty() ? ' ' : c.labcol.front());
    ArgumentError e;
    auto fail = [&](int number, int nrec) {
        e.number = number;
        e.nrec = nrec;
        return e;
    };

    if (c.kind != 'G' && !c.triangle) {
        static const rt::Format f = rt::parse_format("(A,A,A)");
        rt::write_internal(e.rec, kMessage, f, " ** On entry, MATRIX is not valid : MATRIX = '", shown_matrix, "'");
        return fail(1, 1);
    }
    if ((c.rkind != 'N' && c.rkind != 'I' && c.rkind != 'C') || (c.ckind != 'N' && c.ckind != 'I' && c.ckind != 'C')) {
        static const rt::Format f = rt::parse_format("(A,/,A,A,A,A,A)");
        rt::write_internal(e.rec, kMessage, f, " ** On entry, either LABROW or LABCOL is not valid :", "    LABROW = '",
                           shown_labrow, "', LABCOL = '", shown_labcol, "'.");
        return fail(6, 2);
    }
    if (c.m > c.lda) {
        static const rt::Format f = rt::parse_format("(A,I16,A,I16)");
        rt::write_internal(e.rec, kMessage, f, " ** On entry, M.gt.LDA: M = ", c.m, ", LDA = ", c.lda);
        return fail(3, 1);
    }
    if (c.triangle && c.dkind != 'B' && c.dkind != 'N' && c.dkind != 'U') {
        static const rt::Format f = rt::parse_format("(A,A,A,A,A)");
        rt::write_internal(e.rec, kMessage, f, " ** On entry, MATRIX = '", shown_matrix,
                           "', but DIAG is not valid : DIAG = '", shown_diag, "'");
        return fail(2, 1);
    }
    if (significant(form_copy).size() > 80) {
        static const rt::Format f = rt::parse_format("(A,/,4X,A)");
        const std::size_t first = form_copy.find_first_not_of(' ');
        rt::write_internal(e.rec, kMessage, f, " ** On entry, FORMAT has more than 80 characters: the first 75 are",
                           form_copy.substr(first, 75));
        return fail(4, 2);
    }
    if (!element_format(element_descriptor(c, form_copy), layout)) {
        static const rt::Format f = rt::parse_format("(A,/,4X,A)");
        rt::write_internal(e.rec, kMessage, f,
                           " ** The format specifier in FORMAT cannot be used to print a number: FORMAT =",
                           form_copy.substr(0, 75));
        return fail(5, 2);
    }
    layout.label_width = row_label_width(c);
    layout.per_block = (c.usable - layout.label_width - 1) / layout.field;
    if (layout.per_block < 1) {
        static const rt::Format f = rt::parse_format("(A,/,A,I16,A,I16)");
        rt::write_internal(e.rec, kMessage, f,
                           " ** On entry, NCOLS-INDENT is not wide enough to hold at least one matrix",
                           "    column: NCOLS = ", c.width, ", INDENT =", c.i0);
        return fail(7, 2);
    }
    layout.heading = integer_format("(999I", layout.field);
    layout.row = integer_format("(I", layout.label_width);
    return e;
}

// The title, cut into pieces of U - 1 characters, each starting in column
// I0 + 2.
void print_title(int nout, const Call& c, std::string_view title) {
    if (all_blank(title)) return;
    const std::string_view text = title.substr(0, title.find_last_not_of(' ') + 1);
    const std::size_t piece = static_cast<std::size_t>(c.usable - 1);
    for (std::size_t start = 0; start < text.size(); start += piece)
        WRTREC(nout, std::string(static_cast<std::size_t>(c.i0) + 1, ' ') + std::string(text.substr(start, piece)));
}

// Values start in column I0 + LW + 2; the k-th field of a block ends in
// column I0 + LW + 1 + k*W.
std::size_t values_start(const Call& c, const Layout& l) {
    return static_cast<std::size_t>(c.i0) + static_cast<std::size_t>(l.label_width) + 1;
}

// The record of the column numbers or labels over columns J1..J2, if any.
void print_column_labels(int nout, const Call& c, const Layout& l, int j1, int j2) {
    const std::size_t start = values_start(c, l);
    const std::size_t w = static_cast<std::size_t>(l.field);
    std::string record(kRecord, ' ');
    if (c.ckind == 'I') {
        std::vector<int> numbers;
        for (int j = j1; j <= j2; ++j) numbers.push_back(j);
        write_into(record, start, l.heading, numbers);
    } else if (c.ckind == 'C') {
        for (int k = 1; k <= j2 - j1 + 1; ++k) {
            const std::string& label = c.clabs[static_cast<std::size_t>(j1 + k - 2)];
            std::string_view text = significant(std::string_view(label).substr(0, std::min(w, label.size())));
            if (text.empty()) text = " ";
            const std::size_t end = start + static_cast<std::size_t>(k) * w;  // one past the field
            record.replace(end - text.size(), text.size(), text);
        }
    } else {
        return;
    }
    WRTREC(nout, std::string_view(record).substr(0, static_cast<std::size_t>(c.width)));
}

// Row I of the block of columns J1..J2: its label and the values of the
// chosen part of A.
void print_row(int nout, const Call& c, const Layout& l, int i, int j1, int j2) {
    const std::size_t start = values_start(c, l);
    std::string record(kRecord, ' ');
    if (c.rkind == 'I') {
        write_into(record, static_cast<std::size_t>(c.i0), l.row, std::vector<int>{i});
    } else if (c.rkind == 'C') {
        const std::string_view text = significant(c.rlabs[static_cast<std::size_t>(i - 1)]);
        record.replace(start - 1 - text.size(), text.size(), text);
    }

    // The values of this row in the block and the field of the first.
    std::vector<double> values;
    int first_field = 1;
    const int count = j2 - j1 + 1;
    const int k = i - j1 + 1;  // the diagonal's position in the block
    const bool diagonal_here = c.triangle && k >= 1 && k <= count && c.dkind != 'B';
    const double diagonal = diagonal_here ? (c.dkind == 'U' ? 1.0 : c.at(i, i)) : 0.0;
    if (c.kind == 'G') {
        for (int j = j1; j <= j2; ++j) values.push_back(c.at(i, j));
    } else if (c.kind == 'L') {
        for (int j = j1; j <= std::min(i - 1, j2); ++j) values.push_back(c.at(i, j));
        if (diagonal_here) values.push_back(diagonal);
    } else if (diagonal_here) {
        first_field = k;
        values.push_back(diagonal);
        for (int j = i + 1; j <= j2; ++j) values.push_back(c.at(i, j));
    } else {
        first_field = std::max(k + 1, 1);
        for (int j = std::max(i + 1, j1); j <= j2; ++j) values.push_back(c.at(i, j));
    }
    // A value that cannot be written leaves its row without values;
    // printing goes on.
    if (!values.empty())
        write_into(record, start + static_cast<std::size_t>(first_field - 1) * static_cast<std::size_t>(l.field),
                   l.element, values);
    WRTREC(nout, std::string_view(record).substr(0, static_cast<std::size_t>(c.width)));
}

}  // namespace

void X04CBF(std::string_view matrix, std::string_view diag, int m, int n, std::span<const double> a, int lda,
            std::string_view form, std::string_view title, std::string_view labrow,
            std::span<const std::string> rlabs, std::string_view labcol, std::span<const std::string> clabs,
            int ncols, int indent, int& ifail) {
    const Call c(matrix, diag, m, n, a, lda, labrow, rlabs, labcol, clabs, ncols, indent);
    Layout layout;
    ArgumentError error = check_arguments(c, form, layout);
    if (error.number != 0) {
        ifail = ERREXIT(ifail, error.number, "X04CBF", error.nrec, error.rec);
        return;
    }
    c.require_a();
    if (c.ckind == 'C' && m >= 1 && n >= 1 && clabs.size() < static_cast<std::size_t>(n))
        throw std::length_error("X04CBF: CLABS holds fewer than N labels");

    int nout = 0;
    ADVUNIT(0, nout);
    print_title(nout, c, title);
    if (m < 1 || n < 1) {
        ifail = 0;
        return;
    }
    for (std::int64_t first_col = 1; first_col <= n; first_col += layout.per_block) {
        const int j1 = static_cast<int>(first_col);
        const int j2 = static_cast<int>(std::min<std::int64_t>(n, first_col + layout.per_block - 1));
        if (j1 > 1) WRTREC(nout, " ");
        print_column_labels(nout, c, layout, j1, j2);
        for (int i = 1; i <= m; ++i) print_row(nout, c, layout, i, j1, j2);
    }
    ifail = 0;
}

}  // namespace orv::num1

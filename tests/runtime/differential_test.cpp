// Differential test of formatted WRITE and READ against GNU Fortran.
//
// A few thousand random statements (formats with every data and control
// edit descriptor, nested groups and reversion; values across all
// magnitudes, NaN, infinities and signed zeros; input fields of every
// shape) run through our run-time and through gfortran_driver, a small
// program built with gfortran, in one process fed all cases at once.
// Our side is the statement layer itself (FormattedOutput over a
// StringSink, FormattedInput over an InternalSource).  Records written and
// value bits read must be identical; a statement that gfortran refuses must
// throw here too.  Where we depart from gfortran on purpose (it departs from
// ISO/IEC 1539 or is inconsistent), the generator does not make such cases;
// each is named where it is avoided.
//
// The seed is fixed and printed; ORV_DIFF_SEED and ORV_DIFF_CASES override
// it and the number of cases for a longer exploration.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "runtime/format.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/records.h"

namespace orv::rt {
namespace {

// Items of one statement.  `type` is I (INTEGER(8), our long long), J
// (INTEGER(4), our int), R (REAL(8)), L or A.  Output integers in the
// 32-bit range go as J, the others as I.
struct Item {
    char type = 'I';
    std::int64_t i = 0;
    double r = 0;
    bool l = false;
    std::string a;  // output: the text; input: blanks of the declared length
};

struct Case {
    char mode = 'W';  // W or R
    std::string format;
    std::vector<Item> items;
    std::vector<std::string> records;  // R only
};

// What one side made of a case: the lines the driver prints after "OK n"
// (records as "<len>:<text>", items as "I <hex>" ...), or an error.
struct Outcome {
    bool error = false;
    std::string message;
    std::vector<std::string> lines;
};

std::string hex64(std::uint64_t bits) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016" PRIX64, bits);
    return buf;
}

std::string sized(const std::string& text) { return std::to_string(text.size()) + ":" + text; }

// The driver passes the items of a statement as runs of types cycling
// I, R, L, A, J; at most this many runs.
constexpr int kRuns = 15;

bool fits_runs(const std::vector<Item>& items) {
    static const char cycle[] = "IRLAJ";
    int run = 0;
    for (const Item& it : items) {
        while (cycle[run % 5] != it.type)
            if (++run >= kRuns) return false;
    }
    return true;
}

// Where a numeric field of a READ lies, and how it is read.
struct NumericField {
    std::size_t record, start, width;
    bool integer, blank_zero;
};

// Malformed numeric fields where gfortran is inconsistent are mended (also
// those made by cutting a record short, and fields that overlap):
// - a lone sign in an integer field gets a digit: gfortran refuses it under
//   I and reads 0 under B, O, Z and G; we refuse it (10.7.2.1);
// - so does an exponent letter or sign without digits ("1.5e+"): gfortran
//   refuses it at the end of a record and reads exponent 0 when more of the
//   record follows; we refuse it, and under BZ read the blanks after it as
//   zeros (10.7.2.1), which gfortran refuses;
// - text after Inf or NaN and a blank is blanked: we accept anything there;
//   gfortran accepts "inf x" but refuses "inf -6".
// Each mend turns a character into a digit or blanks some: this ends.
void mend_numeric_fields(std::vector<std::string>& records, const std::vector<NumericField>& fields) {
    constexpr auto npos = std::string_view::npos;
    for (bool mended = true; mended;) {
        mended = false;
        for (const NumericField& f : fields) {
            if (f.record >= records.size() || f.start >= records[f.record].size()) continue;
            std::string& rec = records[f.record];
            std::string_view field = std::string_view(rec).substr(f.start, f.width);
            std::size_t first = field.find_first_not_of(' '), last = field.find_last_not_of(' ');
            if (first == npos) continue;
            std::size_t word = first + (field[first] == '+' || field[first] == '-');
            bool bad_end = f.integer
                ? !f.blank_zero && first == last && word > first
                : std::string_view(last > first ? "EeDdQq+-" : "EeDdQq").find(field[last]) != npos;
            std::size_t gap = !f.integer && word < field.size() && std::string_view("IiNn").find(field[word]) != npos
                ? field.find(' ', word)
                : npos;
            if (bad_end) {
                rec[f.start + last] = '1';
                mended = true;
            } else if (gap != npos && gap < last) {
                rec.replace(f.start + gap, last + 1 - gap, last + 1 - gap, ' ');
                mended = true;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Random cases

class Generator {
public:
    explicit Generator(std::uint64_t seed) : rng_(seed) {}

    Case output_case() {
        Case c;
        c.mode = 'W';
        c.format = format(false);
        for (const DataEdit& e : edits_for(c.format, 1 + uniform(0, 7))) c.items.push_back(output_item(e));
        while (!fits_runs(c.items)) c.items.pop_back();
        return c;
    }

    // The records are laid out so that each field read finds text of its
    // kind, then cut short or lengthened at random.  The driver reads them
    // from an internal file, whose records all have the length of the
    // longest; our side gets the same padded records.
    Case input_case() {
        Case c;
        c.mode = 'R';
        c.format = format(true);
        // Where the statement reads, found by walking the format.  `need` is
        // the length every record must reach: see below.
        struct Layout : FormatWalker::Handler {
            std::vector<std::string> records{std::string()};
            std::size_t pos = 0, need = 0;
            std::vector<NumericField> numbers;
            void literal(std::string_view) override {}
            void position(ItemType type, int count) override {
                std::size_t k = static_cast<std::size_t>(count);
                // Past the record end we keep counting positions; gfortran
                // does not, so a left tab never starts beyond the end.
                if (type == ItemType::TL || (type == ItemType::T && k - 1 < pos)) need = std::max(need, pos);
                if (type == ItemType::T) pos = k - 1;
                else if (type == ItemType::TL) pos = pos > k ? pos - k : 0;
                else pos += k;
            }
            void end_record() override {
                records.emplace_back();
                pos = 0;
            }
        } layout;
        try {
            Format f = parse_format(c.format);
            FormatWalker walker(f, layout);
            for (int k = uniform(1, 7); k > 0; --k) {
                DataEdit e = walker.next_edit();
                Item item = input_item(e);
                std::size_t width = e.width > 0 ? static_cast<std::size_t>(e.width) : item.a.size();
                // A field that the record end cuts is read as what is there
                // of it, on both sides (no BZ zeros for the missing columns,
                // the rightmost characters of a cut Aw field), so such fields
                // are made.  L fields stay inside: gfortran reads an L field
                // past the end of an internal record on into the next record
                // (and past the last).
                if (item.type == 'L') layout.need = std::max(layout.need, layout.pos + width);
                if (item.type != 'A' && item.type != 'L')
                    layout.numbers.push_back({layout.records.size() - 1, layout.pos, width,
                                              item.type == 'I' || item.type == 'J', e.modes.blank_zero});
                std::string& rec = layout.records.back();
                if (rec.size() < layout.pos + width) rec.resize(layout.pos + width, ' ');
                rec.replace(layout.pos, width, input_field(e, item.type, width));
                layout.pos += width;
                c.items.push_back(item);
                if (layout.records.size() > 40 || rec.size() > 2000) break;
            }
            walker.finish();
        } catch (const IoError&) {  // a format we refuse: gfortran must too
        }
        if (c.items.empty()) c.items.emplace_back();
        while (!fits_runs(c.items)) c.items.pop_back();
        c.records = layout.records;
        // Short records, and now and then a missing last record.
        for (std::string& rec : c.records) {
            if (chance(0.15) && !rec.empty()) rec.resize(uniform(0, static_cast<int>(rec.size())));
            else if (chance(0.2)) rec += filler(uniform(1, 4));
        }
        if (c.records.size() > 1 && chance(0.05)) c.records.pop_back();
        std::size_t length = layout.need;
        for (const std::string& rec : c.records) length = std::max(length, rec.size());
        for (std::string& rec : c.records) rec.resize(length, ' ');
        mend_numeric_fields(c.records, layout.numbers);
        return c;
    }

private:
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    template <typename T>
    const T& pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(uniform(0, static_cast<int>(v.size()) - 1))];
    }

    // --- formats -----------------------------------------------------------

    std::string format(bool input) {
        std::string body = list(input, 0);
        // A format without any data edit descriptor fails every statement
        // with items: keep a few of them.
        bool has_data = false;
        try {
            has_data = parse_format("(" + body + ")").has_data_edit;
        } catch (const FormatError&) {
        }
        if (!has_data && chance(0.9)) body += "," + data_edit(input, true, nullptr);
        std::string text = "(" + body + ")";
        if (chance(0.1) && text.find('H') == std::string::npos) {
            // Lower case and blanks are insignificant outside literals.
            std::string mixed;
            bool in_literal = false;
            for (char ch : text) {
                if (ch == '\'' || ch == '"') in_literal = !in_literal;
                if (!in_literal && ch >= 'A' && ch <= 'Z' && chance(0.5)) ch = static_cast<char>(ch - 'A' + 'a');
                mixed += ch;
                if (!in_literal && (ch == ',' || ch == '(') && chance(0.3)) mixed += ' ';
            }
            text = mixed;
        }
        return text;
    }

    // On output a position edit (X, T, TL, TR) comes only right after a data
    // edit or a literal, and TL goes back no further than that field's known
    // width.  gfortran 12 misplaces left tabs that start beyond the written
    // part of the record ((A,T20,T5,A) writes at column 18), position edits
    // that follow one another ('abcde',TL2,T5,L2) and a TL past the left tab
    // limit; we move to the column 10.8.1 names.  After a field, T leftward
    // lands in the written part, where both agree.
    std::string list(bool input, int depth) {
        int n = uniform(1, 5);
        std::string text;
        int field = -1;  // width just written: -1 none, 0 unknown
        for (int k = 0; k < n; ++k) {
            if (k > 0) text += ',';
            int what = uniform(0, 99);
            if (what < 50) {
                text += data_edit(input, true, &field);
            } else if (what < 85 || depth >= 2) {
                text += control(input, field);
            } else {
                if (chance(0.6)) text += std::to_string(uniform(1, 3));
                // Mostly with a data edit descriptor: format reversion into a
                // group without one is an error (10.4 para 8).
                text += "(" + list(input, depth + 1) +
                        (chance(0.8) ? "," + data_edit(input, true, nullptr) : "") + ")";
                field = -1;
            }
        }
        return text;
    }

    std::string control(bool input, int& field) {
        int choice = uniform(0, 12);
        if (!input && field < 0 && choice >= 3 && choice <= 6) choice = 9;
        if (!input && choice == 5 && field < 1) choice = 6;
        int before = field;
        field = -1;
        switch (choice) {
        case 0: return std::to_string(uniform(-3, 3)) + "P";
        case 1: return pick<std::string>({"S", "SP", "SS"});
        case 2: return chance(0.5) ? "BN" : "BZ";
        case 3: return std::to_string(uniform(1, 5)) + "X";
        case 4: return "T" + std::to_string(uniform(1, 30));
        case 5: return "TL" + std::to_string(input ? uniform(1, 10) : uniform(1, std::min(before, 10)));
        case 6: return "TR" + std::to_string(uniform(1, 6));
        case 7: return chance(0.7) ? "/" : "2/";
        case 8: return ":";
        default:
            if (input) return data_edit(input, false, nullptr);
            return literal(field);
        }
    }

    std::string literal(int& field) {
        std::string body;
        int n = uniform(0, 5);
        for (int k = 0; k < n; ++k) body += static_cast<char>(uniform(32, 126));
        field = static_cast<int>(body.size());
        if (field == 0) field = -1;  // nothing written
        int style = uniform(0, 2);
        if (style == 2 && !body.empty()) {
            // gfortran misreads an H string holding a blank and then a
            // backslash ((3Ha \f,I3) fails, and crashes inside a group).
            for (char& ch : body)
                if (ch == '\\') ch = '/';
            return std::to_string(body.size()) + "H" + body;
        }
        char q = style == 0 ? '\'' : '"';
        std::string text(1, q);
        for (char ch : body) {
            text += ch;
            if (ch == q) text += q;
        }
        return text + q;
    }

    // A data edit descriptor; `field`, when given, gets the width of its
    // fields (0 when the item decides it).
    std::string data_edit(bool input, bool allow_repeat, int* field) {
        std::string text;
        if (allow_repeat && chance(0.3)) text += std::to_string(uniform(1, 4));
        int kind = uniform(0, 11);
        int w = 0;
        auto num = [](int v) { return std::to_string(v); };
        switch (kind) {
        case 0:
        case 1:
        case 2:
        case 3: {
            text += "IBOZ"[kind];
            w = input ? uniform(1, 12) : (chance(0.2) ? 0 : uniform(1, kind == 1 ? 40 : 14));
            text += num(w);
            if (chance(0.4)) text += "." + num(uniform(0, w == 0 ? 6 : w));
            break;
        }
        case 4: {
            w = input ? uniform(1, 20) : (chance(0.15) ? 0 : uniform(1, 25));
            text += "F" + num(w) + "." + num(uniform(0, w == 0 ? 8 : std::min(w, 10)));
            break;
        }
        case 5:
        case 6:
        case 7:
        case 8: {
            static const char* names[] = {"E", "EN", "ES", "D"};
            text += names[kind - 5];
            w = uniform(1, 25);
            text += num(w) + "." + num(uniform(0, 10));
            if (kind != 8 && chance(0.35)) text += "E" + num(uniform(1, 4));
            break;
        }
        case 9: {
            text += "G";
            int style = input ? 2 : uniform(0, 6);
            if (style == 0) text += "0";
            else if (style == 1) text += "0." + num(uniform(0, 8));
            else {
                w = uniform(1, 25);
                text += num(w) + "." + num(uniform(0, 10));
                if (chance(0.3)) text += "E" + num(uniform(1, 4));
            }
            break;
        }
        case 10:
            w = uniform(1, 6);
            text += "L" + num(w);
            break;
        default:
            text += "A";
            if (chance(0.5)) {
                w = uniform(1, 12);
                text += num(w);
            }
            break;
        }
        if (field) *field = w;
        return text;
    }

    // The data edit descriptors the first n items of a statement get.
    static std::vector<DataEdit> edits_for(const std::string& text, int n) {
        struct Quiet : FormatWalker::Handler {
            void literal(std::string_view) override {}
            void position(ItemType, int) override {}
            void end_record() override {}
        } quiet;
        std::vector<DataEdit> edits;
        try {
            Format f = parse_format(text);
            FormatWalker walker(f, quiet);
            for (int k = 0; k < n; ++k) edits.push_back(walker.next_edit());
        } catch (const IoError&) {  // a format we refuse: gfortran must too
        }
        if (edits.empty()) edits.emplace_back();
        return edits;
    }

    // --- values ------------------------------------------------------------

    double real_value() {
        double sign = chance(0.4) ? -1.0 : 1.0;
        std::uniform_real_distribution<double> unit(1.0, 10.0);
        switch (uniform(0, 9)) {
        case 0: return std::bit_cast<double>(rng_());
        case 1:
        case 2: return sign * unit(rng_) * std::pow(10.0, uniform(-8, 10));
        case 3: return sign * uniform(0, 999999) / std::pow(10.0, uniform(0, 6));
        case 4:  // exact binary ties: 0.125, 2.5, 0.375 ...
            return sign * (2 * uniform(0, 200) + 1) / std::ldexp(1.0, uniform(1, 10));
        case 5:
            return pick<double>({0.0, -0.0, std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                                 std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(), 1.0,
                                 -1.0, 0.5, 9.5, 99.5, 0.05, 0.95, 9.9999999, 0.1, 1e10, 1e-10, 999.9996});
        case 6: return -unit(rng_) * std::pow(10.0, uniform(-12, -3));  // rounds to -0
        case 7: return sign * unit(rng_) * std::pow(10.0, uniform(11, 307));
        case 8: return sign * unit(rng_) * std::pow(10.0, uniform(-320, -11));
        default: return sign * uniform(0, 100000);
        }
    }

    std::int64_t integer_value() {
        switch (uniform(0, 4)) {
        case 0: return static_cast<std::int64_t>(rng_());
        case 1: return uniform(-1000, 1000);
        case 2:
            return pick<std::int64_t>({std::numeric_limits<std::int64_t>::min(),
                                       std::numeric_limits<std::int64_t>::max(), 0, -1, 1});
        default: {
            std::int64_t v = 1;
            for (int k = uniform(0, 17); k > 0; --k) v *= 10;
            return (chance(0.5) ? -v : v) + uniform(-1, 1);
        }
        }
    }

    std::string text_value(int length) {
        std::string s;
        for (int k = 0; k < length; ++k) s += static_cast<char>(uniform(32, 126));
        return s;
    }

    Item output_item(const DataEdit& e) {
        Item it;
        switch (e.kind) {
        case 'I':
        case 'B':
        case 'O':
        case 'Z': it.type = 'I'; break;
        case 'L': it.type = 'L'; break;
        case 'A': it.type = 'A'; break;
        case 'G': it.type = "IRRRLA"[uniform(0, 5)]; break;
        default: it.type = 'R'; break;
        }
        it.i = integer_value();
        // gfortran writes Bw.0, Ow.0 and Zw.0 of the most negative INTEGER(8)
        // as if it were zero (all blanks); we write its bits.
        if ((e.kind == 'B' || e.kind == 'O' || e.kind == 'Z') && e.digits == 0 &&
            it.i == std::numeric_limits<std::int64_t>::min())
            ++it.i;
        if (it.type == 'I' && it.i >= INT32_MIN && it.i <= INT32_MAX) it.type = 'J';
        it.r = real_value();
        // gfortran rounds EN output of subnormals wrongly (EN16.7 of
        // -9.8230787455718865e-311 gives -98.2307874-312); we round correctly.
        while (e.variant == 'N' && std::fpclassify(it.r) == FP_SUBNORMAL) it.r = real_value();
        it.l = chance(0.5);
        it.a = text_value(uniform(1, 12));
        return it;
    }

    Item input_item(const DataEdit& e) {
        Item it;
        switch (e.kind) {
        case 'I':
        case 'B':
        case 'O':
        case 'Z': it.type = chance(0.5) ? 'I' : 'J'; break;
        case 'L': it.type = 'L'; break;
        case 'A': it.type = 'A'; break;
        case 'G': it.type = "IJRRLA"[uniform(0, 5)]; break;
        default: it.type = 'R'; break;
        }
        it.a.assign(static_cast<std::size_t>(uniform(1, 10)), ' ');
        return it;
    }

    // --- input fields ------------------------------------------------------

    std::string digits(int n, int radix) {
        static const char all[] = "0123456789ABCDEFabcdef";
        std::string s;
        for (int k = 0; k < n; ++k) {
            int d = uniform(0, radix - 1);
            s += radix == 16 && d >= 10 && chance(0.5) ? all[d + 6] : all[d];
        }
        return s;
    }

    std::string filler(int n) {
        std::string s;
        for (int k = 0; k < n; ++k) s += chance(0.6) ? ' ' : static_cast<char>('0' + uniform(0, 9));
        return s;
    }

    std::string integer_text(char kind) {
        int radix = kind == 'B' ? 2 : kind == 'O' ? 8 : kind == 'Z' ? 16 : 10;
        switch (uniform(0, 9)) {
        case 0: return "";
        case 1: return digits(uniform(19, 22), radix);  // overflow, or just in range
        case 2: return std::string(1, "x.+-e "[uniform(0, 5)]) + digits(uniform(0, 3), radix);
        default: {
            std::string s;
            if (radix == 10 && chance(0.3)) s += chance(0.5) ? '-' : '+';
            s += digits(uniform(1, 6), radix);
            if (chance(0.15)) s.insert(static_cast<std::size_t>(uniform(0, static_cast<int>(s.size()))), " ");
            return s;
        }
        }
    }

    std::string real_text() {
        switch (uniform(0, 19)) {
        case 0: return "";
        case 1:
            return pick<std::string>({"Inf", "-Inf", "+Infinity", "NaN", "nan", "-inf", "INF", ".", "+", "-", "E5",
                                      "1.2.3", "1e", "1e+", "--1", "1x", "0.1E-400", "1E400", "1D309", "4.9E-324",
                                      "2.4703282292062328E-324", ".5", "5.", "-0", "-.0E0"});
        default: {
            std::string s;
            if (chance(0.3)) s += chance(0.5) ? '-' : '+';
            s += digits(uniform(0, 5), 10);
            if (chance(0.6)) s += '.';
            s += digits(uniform(0, 5), 10);
            if (s.empty() || s == "." || s == "-" || s == "+" || s == "-." || s == "+.") s += "1";
            switch (uniform(0, 5)) {
            case 0: s += std::string(1, "EeDd"[uniform(0, 3)]) + digits(uniform(1, 3), 10); break;
            case 1:
                s += std::string(1, "EeDd"[uniform(0, 3)]) + (chance(0.5) ? "-" : "+") + digits(uniform(1, 3), 10);
                break;
            case 2: s += std::string(chance(0.5) ? "-" : "+") + digits(uniform(1, 3), 10); break;
            default: break;
            }
            if (chance(0.1)) s.insert(static_cast<std::size_t>(uniform(0, static_cast<int>(s.size()))), " ");
            return s;
        }
        }
    }

    std::string logical_text() {
        return pick<std::string>({"T", "F", ".T", ".F", ".true.", ".false.", "t", "f", "true", ".f", "X", "", "1",
                                  "Tx", ". T"});
    }

    std::string input_field(const DataEdit& e, char type, std::size_t width) {
        std::string text;
        if (type == 'A') {
            text = text_value(static_cast<int>(width));
            for (char& ch : text)
                if (ch == ',') ch = ';';
            return text;
        }
        if (type == 'L') text = logical_text();
        else if (type == 'I' || type == 'J') text = integer_text(e.kind);
        else text = real_text();
        if (text.size() > width) text.resize(width);
        std::size_t pad = width - text.size();
        std::size_t left = chance(0.7) ? pad : static_cast<std::size_t>(uniform(0, static_cast<int>(pad)));
        return std::string(left, ' ') + text + std::string(pad - left, ' ');
    }

    std::mt19937_64 rng_;
};

// ---------------------------------------------------------------------------
// Our side: the statement layer itself.

Outcome run_ours(const Case& c) {
    Outcome out;
    try {
        Format f = parse_format(c.format);
        if (c.mode == 'W') {
            StringSink sink;
            FormattedOutput w(sink, f);
            for (const Item& it : c.items) {
                switch (it.type) {
                case 'I': w << static_cast<long long>(it.i); break;
                case 'J': w << static_cast<int>(it.i); break;
                case 'R': w << it.r; break;
                case 'L': w << it.l; break;
                default: w << std::string_view(it.a); break;
                }
            }
            w.finish();
            // StringSink joins the records with "\n"; literals and items hold
            // no line feed.
            for (std::size_t start = 0, k = 0; k < static_cast<std::size_t>(sink.count); ++k) {
                std::size_t end = std::min(sink.text.find('\n', start), sink.text.size());
                out.lines.push_back(sized(sink.text.substr(start, end - start)));
                start = end + 1;
            }
        } else {
            InternalSource source(std::vector<std::string_view>(c.records.begin(), c.records.end()));
            FormattedInput r(source, f);
            for (Item it : c.items) {
                switch (it.type) {
                case 'I': {
                    long long v = 0;
                    r >> v;
                    out.lines.push_back("I " + hex64(static_cast<std::uint64_t>(v)));
                    break;
                }
                case 'J': {
                    int v = 0;
                    r >> v;
                    out.lines.push_back("J " + hex64(static_cast<std::uint64_t>(std::int64_t{v})));
                    break;
                }
                case 'R': {
                    double v = 0;
                    r >> v;
                    out.lines.push_back("R " + hex64(std::bit_cast<std::uint64_t>(v)));
                    break;
                }
                case 'L': {
                    bool v = false;
                    r >> v;
                    out.lines.push_back(v ? "L T" : "L F");
                    break;
                }
                default:
                    r >> it.a;
                    out.lines.push_back("A " + sized(it.a));
                    break;
                }
            }
            r.finish();
        }
    } catch (const IoError& e) {  // FormatError too
        out.error = true;
        out.message = e.what();
    }
    return out;
}

// ---------------------------------------------------------------------------
// gfortran's side

std::string driver_input(const std::vector<Case>& cases) {
    std::string s;
    for (const Case& c : cases) {
        if (c.mode == 'W') s += "W " + std::to_string(c.items.size()) + "\n";
        else s += "R " + std::to_string(c.records.size()) + " " + std::to_string(c.items.size()) + "\n";
        s += c.format + "\n";
        for (const std::string& rec : c.records) s += sized(rec) + "\n";
        for (const Item& it : c.items) {
            switch (it.type) {
            case 'I':
            case 'J': s += it.type + (c.mode == 'W' ? " " + hex64(static_cast<std::uint64_t>(it.i)) : ""); break;
            case 'R': s += c.mode == 'W' ? "R " + hex64(std::bit_cast<std::uint64_t>(it.r)) : "R"; break;
            case 'L': s += c.mode == 'W' ? (it.l ? "L T" : "L F") : "L"; break;
            default: s += c.mode == 'W' ? "A " + sized(it.a) : "A " + std::to_string(it.a.size()); break;
            }
            s += "\n";
        }
    }
    return s;
}

// Runs the driver once over all cases; an empty vector when it failed.
std::vector<Outcome> run_gfortran(const std::vector<Case>& cases, std::string& failure) {
    const std::string driver = ORV_GFORTRAN_DRIVER;
    if (driver.empty()) {
        failure = "gfortran was not found when the build was configured; install gfortran (scripts/setup.sh)";
        return {};
    }
    const std::string stem = testing::TempDir() + "/orv_diff_" + std::to_string(getpid());
    const std::string in_path = stem + "_in.txt";
    const std::string out_path = stem + "_out.txt";
    const std::string command = "'" + driver + "' < '" + in_path + "' > '" + out_path + "'";
    std::ofstream(in_path, std::ios::binary) << driver_input(cases);
    int status = std::system(command.c_str());
    std::vector<Outcome> results;
    std::ifstream out(out_path, std::ios::binary);
    std::string line;
    while (std::getline(out, line)) {
        Outcome o;
        if (line.rfind("ERR ", 0) == 0) {
            o.error = true;
            o.message = line.substr(4);
        } else if (line.rfind("OK ", 0) == 0) {
            for (int n = std::stoi(line.substr(3)); n > 0 && std::getline(out, line); --n) o.lines.push_back(line);
        } else {
            failure = "unexpected driver output: " + line;
            return {};
        }
        results.push_back(std::move(o));
    }
    std::remove(in_path.c_str());
    std::remove(out_path.c_str());
    if (status != 0 || results.size() != cases.size()) {
        failure = "driver failed (status " + std::to_string(status) + ") after " + std::to_string(results.size()) +
                  " of " + std::to_string(cases.size()) + " cases: " + command;
        return {};
    }
    return results;
}

std::string describe(const Case& c, const Outcome& ours, const Outcome& theirs) {
    std::ostringstream s;
    s << (c.mode == 'W' ? "WRITE" : "READ") << " format " << c.format << "\n";
    for (const std::string& rec : c.records) s << "  record [" << rec << "]\n";
    for (const Item& it : c.items) {
        s << "  item " << it.type << " ";
        if (c.mode == 'W') {
            switch (it.type) {
            case 'I':
            case 'J': s << it.i; break;
            case 'R': {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.17g (bits %s)", it.r,
                              hex64(std::bit_cast<std::uint64_t>(it.r)).c_str());
                s << buf;
                break;
            }
            case 'L': s << (it.l ? "T" : "F"); break;
            default: s << "[" << it.a << "]"; break;
            }
        } else if (it.type == 'A') {
            s << "len " << it.a.size();
        }
        s << "\n";
    }
    auto show = [&s](const char* who, const Outcome& o) {
        s << "  " << who << ": ";
        if (o.error) s << "error: " << o.message << "\n";
        else {
            s << "\n";
            for (const std::string& l : o.lines) s << "    [" << l << "]\n";
        }
    };
    show("ours    ", ours);
    show("gfortran", theirs);
    return s.str();
}

std::uint64_t env_number(const char* name, std::uint64_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 0) : fallback;
}

TEST(Differential, RandomStatementsMatchGfortran) {
    const std::uint64_t seed = env_number("ORV_DIFF_SEED", 20261209);
    const std::size_t count = env_number("ORV_DIFF_CASES", 4000);
    std::printf("differential test: seed %" PRIu64 ", %zu cases (ORV_DIFF_SEED / ORV_DIFF_CASES)\n", seed, count);

    Generator gen(seed);
    std::vector<Case> cases;
    for (std::size_t k = 0; k < count; ++k) cases.push_back(k % 2 == 0 ? gen.output_case() : gen.input_case());

    std::string failure;
    std::vector<Outcome> theirs = run_gfortran(cases, failure);
    ASSERT_TRUE(failure.empty()) << failure;

    int writes = 0, reads = 0, both_failed = 0, mismatches = 0;
    std::string report;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        Outcome ours = run_ours(cases[k]);
        bool same = theirs[k].error ? ours.error : !ours.error && ours.lines == theirs[k].lines;
        if (!same) {
            if (++mismatches <= 40) report += describe(cases[k], ours, theirs[k]) + "\n";
        } else if (theirs[k].error) {
            ++both_failed;
        } else {
            (cases[k].mode == 'W' ? writes : reads)++;
        }
    }
    std::printf("differential test: %d identical (%d writes, %d reads), %d refused by both, %d mismatches\n",
                writes + reads, writes, reads, both_failed, mismatches);
    EXPECT_EQ(mismatches, 0) << report;
    // The random space must exercise successful transfers, not only errors.
    EXPECT_GT(writes + reads, static_cast<int>(count) / 2);
}

}  // namespace
}  // namespace orv::rt

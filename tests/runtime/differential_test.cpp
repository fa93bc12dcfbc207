// Differential test of formatted WRITE and READ against GNU Fortran.
//
// A few thousand random statements (formats with every data and control
// edit descriptor, nested groups and reversion; values across all
// magnitudes, NaN, infinities and signed zeros; input fields of every
// shape) run through our run-time and through gfortran_driver, a small
// program built with gfortran, in one process fed all cases at once.
// Records written and value bits read must be identical; a statement that
// gfortran refuses must throw here too.  Statements that hit known faults
// of gfortran's run-time are set aside and counted (gfortran_fault).
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

#include "runtime/edit_output.h"
#include "runtime/format.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/records.h"

namespace orv::rt {
namespace {

// Items of one statement.  `type` is I (INTEGER(8)), J (INTEGER(4)), R
// (REAL(8)), L or A.  Our run-time edits B, O and Z of a negative integer
// in the width of the kind it fits, so values in the 32-bit range go to the
// driver as INTEGER(4).
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
    bool crashed = false;  // gfortran's run-time crashed on the case
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

// ---------------------------------------------------------------------------
// Random cases

class Generator {
public:
    explicit Generator(std::uint64_t seed) : rng_(seed) {}

    Case output_case() {
        Case c;
        c.mode = 'W';
        c.format = format(false);
        std::vector<DataEdit> edits = edits_for(c.format, 1 + uniform(0, 7));
        for (const DataEdit& e : edits) c.items.push_back(output_item(e));
        while (!fits_runs(c.items)) c.items.pop_back();
        return c;
    }

    Case input_case() {
        Case c;
        c.mode = 'R';
        c.format = format(true);
        int n = 1 + uniform(0, 6);
        Format f;
        try {
            f = parse_format(c.format);
        } catch (const FormatError&) {
            c.records.push_back("1");
            c.items.emplace_back();
            return c;
        }
        // Walk the format as the read will, placing a field of the right
        // kind wherever a data edit descriptor will look.
        struct Layout : FormatWalker::Handler {
            std::vector<std::string> records{std::string()};
            std::size_t pos = 0;
            void literal(std::string_view) override {}
            void position(ItemType type, int count) override {
                std::size_t k = static_cast<std::size_t>(count);
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
            FormatWalker walker(f, layout);
            for (int k = 0; k < n; ++k) {
                DataEdit e = walker.next_edit();
                Item item = input_item(e);
                std::size_t width = e.width >= 0 ? static_cast<std::size_t>(e.width) : item.a.size();
                if (e.kind == 'G' && item.type == 'A' && e.width == 0) width = item.a.size();
                std::string field = input_field(e, item.type, width);
                std::string& rec = layout.records.back();
                if (rec.size() < layout.pos + width) rec.resize(layout.pos + width, ' ');
                rec.replace(layout.pos, width, field);
                layout.pos += width;
                c.items.push_back(item);
                if (layout.records.size() > 40 || rec.size() > 2000) break;
            }
            walker.finish();
        } catch (const IoError&) {
            if (c.items.empty()) c.items.emplace_back();
        }
        while (!fits_runs(c.items)) c.items.pop_back();
        c.records = layout.records;
        // Short records, and now and then a missing last record.
        for (std::string& rec : c.records) {
            for (char& ch : rec)
                if (ch == '\0') ch = ' ';
            if (chance(0.15) && !rec.empty()) rec.resize(uniform(0, static_cast<int>(rec.size())));
            else if (chance(0.2)) rec += filler(uniform(1, 4));
        }
        if (c.records.size() > 1 && chance(0.05)) c.records.pop_back();
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
        if (!has_data && chance(0.9)) body += "," + data_edit(input, true);
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

    std::string list(bool input, int depth) {
        int n = uniform(1, 5);
        std::string text;
        for (int k = 0; k < n; ++k) {
            if (k > 0) text += ',';
            int what = uniform(0, 99);
            if (what < 50) {
                text += data_edit(input, true);
            } else if (what < 85 || depth >= 2) {
                text += control(input);
            } else {
                if (chance(0.6)) text += std::to_string(uniform(1, 3));
                // Mostly with a data edit descriptor: format reversion into a
                // group without one is an error (10.4 para 8).
                text += "(" + list(input, depth + 1) + (chance(0.8) ? "," + data_edit(input, true) : "") + ")";
            }
        }
        return text;
    }

    std::string control(bool input) {
        switch (uniform(0, 12)) {
        case 0: return std::to_string(uniform(-3, 3)) + "P";
        case 1: return pick<std::string>({"S", "SP", "SS"});
        case 2: return chance(0.5) ? "BN" : "BZ";
        case 3: return std::to_string(uniform(1, 5)) + "X";
        case 4: return "T" + std::to_string(uniform(1, 30));
        case 5: return "TL" + std::to_string(uniform(1, 10));
        case 6: return "TR" + std::to_string(uniform(1, 6));
        case 7: return chance(0.7) ? "/" : "2/";
        case 8: return ":";
        default:
            if (input) return data_edit(input, false);
            return literal();
        }
    }

    std::string literal() {
        std::string body;
        int n = uniform(0, 5);
        for (int k = 0; k < n; ++k) body += static_cast<char>(uniform(32, 126));
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

    std::string data_edit(bool input, bool allow_repeat) {
        std::string text;
        if (allow_repeat && chance(0.3)) text += std::to_string(uniform(1, 4));
        int kind = uniform(0, 11);
        auto num = [](int v) { return std::to_string(v); };
        switch (kind) {
        case 0:
        case 1:
        case 2:
        case 3: {
            text += "IBOZ"[kind];
            int w = input ? uniform(1, 12) : (chance(0.2) ? 0 : uniform(1, kind == 1 ? 40 : 14));
            text += num(w);
            if (chance(0.4)) text += "." + num(uniform(0, w == 0 ? 6 : w));
            break;
        }
        case 4: {
            int w = input ? uniform(1, 20) : (chance(0.15) ? 0 : uniform(1, 25));
            text += "F" + num(w) + "." + num(uniform(0, w == 0 ? 8 : std::min(w, 10)));
            break;
        }
        case 5:
        case 6:
        case 7:
        case 8: {
            static const char* names[] = {"E", "EN", "ES", "D"};
            text += names[kind - 5];
            text += num(uniform(1, 25)) + "." + num(uniform(0, 10));
            if (kind != 8 && chance(0.35)) text += "E" + num(uniform(1, 4));
            break;
        }
        case 9: {
            text += "G";
            int style = input ? 2 : uniform(0, 6);
            if (style == 0) text += "0";
            else if (style == 1) text += "0." + num(uniform(0, 8));
            else {
                text += num(uniform(1, 25)) + "." + num(uniform(0, 10));
                if (chance(0.3)) text += "E" + num(uniform(1, 4));
            }
            break;
        }
        case 10: text += "L" + num(uniform(1, 6)); break;
        default:
            text += "A";
            if (chance(0.5)) text += num(uniform(1, 12));
            break;
        }
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
        } catch (const std::exception&) {
            if (edits.empty()) edits.push_back(DataEdit{});
        }
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
        // as if it were zero (all blanks); that value is not sent there.
        if ((e.kind == 'B' || e.kind == 'O' || e.kind == 'Z') && e.digits == 0 &&
            it.i == std::numeric_limits<std::int64_t>::min())
            ++it.i;
        if (it.type == 'I' && it.i >= INT32_MIN && it.i <= INT32_MAX) it.type = 'J';
        it.r = real_value();
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
        case 'Z': it.type = 'I'; break;
        case 'L': it.type = 'L'; break;
        case 'A': it.type = 'A'; break;
        case 'G': it.type = "IRRLA"[uniform(0, 4)]; break;
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
        else if (type == 'I') text = integer_text(e.kind);
        else text = real_text();
        if (text.size() > width) text.resize(width);
        std::size_t pad = width - text.size();
        std::size_t left = chance(0.7) ? pad : static_cast<std::size_t>(uniform(0, static_cast<int>(pad)));
        return std::string(left, ' ') + text + std::string(pad - left, ' ');
    }

    std::mt19937_64 rng_;
};

// ---------------------------------------------------------------------------
// GNU Fortran's output faults
//
// gfortran mishandles a leftward tab (TL, or T to a column left of the
// position) taken while the position stands beyond the end of what the
// record holds, a leftward tab next to another position edit, two position
// edits in a row that start inside the record, and a TL that runs past the
// left tab limit: it places the next field at the wrong column and even
// copies stale characters of earlier statements into the gap.  For
// example WRITE (A3,T20,TL6,I2) 'abc', 7 gives the 7 at column 17 instead of
// 15, ('abcde',TL2,T5,L2) .TRUE. gives "ab Te" instead of "abcd T", and
// (L6,TL3,TL5,L6) T, F keeps both fields instead of writing F over T
// (10.8.1.2: the position stops at the left tab limit).  Those statements
// are set aside and counted.

bool gfortran_fault(const Case& c) {
    if (c.mode != 'W') return false;
    struct Track : FormatWalker::Handler {
        std::size_t pos = 0, length = 0;
        bool moved = false, moved_left = false;  // since the last field
        bool moved_inside = false;               // the first move started inside
        bool fault = false;
        void put(std::size_t width) {
            pos += width;
            length = std::max(length, pos);
            moved = moved_left = false;
        }
        void literal(std::string_view text) override {
            if (!text.empty()) put(text.size());
        }
        void position(ItemType type, int count) override {
            std::size_t n = static_cast<std::size_t>(count);
            bool leftward = type == ItemType::TL || (type == ItemType::T && n - 1 < pos);
            if (moved && (moved_left || leftward || moved_inside)) fault = true;
            if (!moved) moved_inside = pos < length;
            if (leftward && (pos > length || (type == ItemType::TL && n > pos))) fault = true;
            moved = true;
            moved_left = moved_left || leftward;
            if (type == ItemType::T) pos = n - 1;
            else if (type == ItemType::TL) pos = pos > n ? pos - n : 0;
            else pos += n;
        }
        void end_record() override {
            pos = length = 0;
            moved = moved_left = false;
        }
    } track;
    try {
        Format f = parse_format(c.format);
        FormatWalker walker(f, track);
        for (const Item& it : c.items) {
            DataEdit e = walker.next_edit();
            std::string field;
            // gfortran rounds EN output of subnormal numbers wrongly: EN16.7 of
            // -9.8230787455718865e-311 gives -98.2307874-312, not ...875-312.
            if (it.type == 'R' && e.variant == 'N' && std::fpclassify(it.r) == FP_SUBNORMAL) return true;
            switch (it.type) {
            case 'R': edit_real_output(e, it.r, field); break;
            case 'L': edit_logical_output(e, it.l, field); break;
            case 'A': edit_text_output(e, it.a, field); break;
            default:
                if (e.kind == 'G') e = DataEdit{'I', 0, e.width, -1, -1, e.modes};
                edit_integer_output(e, it.i, field);
                break;
            }
            track.put(field.size());
        }
        walker.finish();
    } catch (const std::exception&) {
        return false;
    }
    return track.fault;
}

// ---------------------------------------------------------------------------
// Our side

class VectorSink final : public RecordSink {
public:
    void put_record(std::string_view record) override { records.emplace_back(record); }
    IoError error(IoErrorKind kind, std::string detail) const override {
        return IoError(kind, std::move(detail), -1, "test records");
    }
    std::vector<std::string> records;
};

Outcome run_ours(const Case& c) {
    Outcome out;
    try {
        Format f = parse_format(c.format);
        if (c.mode == 'W') {
            VectorSink sink;
            FormattedOutput w(sink, f);
            for (const Item& it : c.items) {
                switch (it.type) {
                case 'I':
                case 'J': w << static_cast<long long>(it.i); break;
                case 'R': w << it.r; break;
                case 'L': w << it.l; break;
                default: w << std::string_view(it.a); break;
                }
            }
            w.finish();
            for (const std::string& rec : sink.records) out.lines.push_back(sized(rec));
        } else {
            std::vector<std::string_view> views(c.records.begin(), c.records.end());
            InternalSource source(views);
            FormattedInput r(source, f);
            std::vector<Item> items = c.items;
            for (Item& it : items) {
                switch (it.type) {
                case 'I': {
                    long long v = 0;
                    r >> v;
                    it.i = v;
                    break;
                }
                case 'R': r >> it.r; break;
                case 'L': r >> it.l; break;
                default: r >> it.a; break;
                }
            }
            r.finish();
            for (const Item& it : items) {
                switch (it.type) {
                case 'I': out.lines.push_back("I " + hex64(static_cast<std::uint64_t>(it.i))); break;
                case 'R': out.lines.push_back("R " + hex64(std::bit_cast<std::uint64_t>(it.r))); break;
                case 'L': out.lines.push_back(it.l ? "L T" : "L F"); break;
                default: out.lines.push_back("A " + sized(it.a)); break;
                }
            }
        }
    } catch (const IoError& e) {
        out.error = true;
        out.message = e.what();
    } catch (const FormatError& e) {
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

// Runs the driver over all cases; an empty vector when it failed.  The
// run-time of gfortran itself now and then crashes on a statement after
// some others (its format cache); that case is marked `crashed` and the
// driver goes on from the next one.
std::vector<Outcome> run_gfortran(const std::vector<Case>& cases, std::string& failure) {
    const std::string driver = ORV_GFORTRAN_DRIVER;
    if (driver.empty()) {
        failure = "gfortran was not found when the build was configured; install gfortran (scripts/setup.sh)";
        return {};
    }
    const std::string dir = testing::TempDir();
    const std::string stem = dir + "/orv_diff_" + std::to_string(getpid());
    const std::string in_path = stem + "_in.txt";
    const std::string out_path = stem + "_out.txt";
    const std::string command = "'" + driver + "' < '" + in_path + "' > '" + out_path + "' 2>/dev/null";
    std::vector<Outcome> results;
    for (int restarts = 0; results.size() < cases.size(); ++restarts) {
        {
            std::ofstream in(in_path, std::ios::binary);
            in << driver_input(std::vector<Case>(cases.begin() + static_cast<std::ptrdiff_t>(results.size()),
                                                 cases.end()));
        }
        int status = std::system(command.c_str());
        std::ifstream out(out_path, std::ios::binary);
        std::string line;
        while (std::getline(out, line)) {
            Outcome o;
            if (line.rfind("ERR ", 0) == 0) {
                o.error = true;
                o.message = line.substr(4);
            } else if (line.rfind("OK ", 0) == 0) {
                int n = std::stoi(line.substr(3));
                int got = 0;
                for (; got < n && std::getline(out, line); ++got) o.lines.push_back(line);
                if (got < n) break;  // cut short by a crash
            } else {
                failure = "unexpected driver output: " + line;
                return {};
            }
            results.push_back(std::move(o));
        }
        if (status == 0) break;
        if (restarts == 20 || results.size() >= cases.size()) {
            failure = "driver failed (status " + std::to_string(status) + "): " + command;
            return {};
        }
        Outcome crashed;
        crashed.crashed = true;
        results.push_back(crashed);
    }
    std::remove(in_path.c_str());
    std::remove(out_path.c_str());
    if (results.size() != cases.size()) {
        failure = "driver answered " + std::to_string(results.size()) + " of " + std::to_string(cases.size()) +
                  " cases";
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

    int matched = 0, both_failed = 0, mismatches = 0, write_mismatches = 0, set_aside = 0;
    int writes = 0, reads = 0;
    std::string write_report, read_report;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        if (theirs[k].crashed) {
            std::printf("gfortran crashed on: %s", driver_input({cases[k]}).c_str());
            ++set_aside;
            continue;
        }
        if (gfortran_fault(cases[k])) {
            ++set_aside;
            continue;
        }
        Outcome ours = run_ours(cases[k]);
        bool same = theirs[k].error ? ours.error : !ours.error && ours.lines == theirs[k].lines;
        if (!same) {
            ++mismatches;
            bool write = cases[k].mode == 'W';
            if (write) ++write_mismatches;
            if ((write ? write_mismatches : mismatches - write_mismatches) <= 20)
                (write ? write_report : read_report) += describe(cases[k], ours, theirs[k]) + "\n";
            continue;
        }
        if (theirs[k].error) {
            ++both_failed;
        } else {
            ++matched;
            (cases[k].mode == 'W' ? writes : reads)++;
        }
    }
    std::printf("differential test: %d identical (%d writes, %d reads), %d refused by both, %d set aside "
                "(gfortran faults), %d mismatches (%d writes)\n",
                matched, writes, reads, both_failed, set_aside, mismatches, write_mismatches);
    EXPECT_EQ(mismatches, 0) << write_report << read_report;
    // The random space must exercise successful transfers, not only errors.
    EXPECT_GT(matched, static_cast<int>(count) / 2);
}

}  // namespace
}  // namespace orv::rt

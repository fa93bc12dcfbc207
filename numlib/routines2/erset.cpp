#include "numlib/routines2/erset.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"

namespace orv::num2 {

namespace {

constexpr int kMaxLevels = 50;
constexpr std::size_t kNameLength = 32;
constexpr std::size_t kMaxText = 1024;
constexpr std::size_t kStoreSize = 300;
constexpr std::size_t kEntryOverhead = 8;
constexpr std::size_t kMaxLiteral = 255;

// Print and stop attributes of types 1..7 as the library ships them.
constexpr std::array<int, 7> kDefaultPrint{0, 0, 1, 1, 1, 1, 1};
constexpr std::array<int, 7> kDefaultStop{0, 0, 0, 1, 1, 0, 1};

struct Level {
    std::string name;  // kNameLength characters, blank-padded
    int type = -1;     // -1: not in use
    int code = -1;
};

struct Insertion {
    char kind;  // 'I', 'D' or 'L'
    int index;  // 1..9
    std::string text;
};

// The whole machinery: one stack, one pending message, one insertion store,
// the attributes per type.  Process-wide, as the library's settings are.
struct Machinery {
    std::array<Level, kMaxLevels + 1> levels;  // [1..kMaxLevels]; [0] unused
    int depth = 1;
    std::string pending;  // ".  " + text after insertion; empty = none
    std::vector<Insertion> store;
    std::size_t store_used = 0;
    std::array<int, 7> print = kDefaultPrint;
    std::array<int, 7> stop = kDefaultStop;
    bool immediate_warning = false;  // a type 6 message since the last user-level pop
    bool immediate_fatal = false;    // the same for type 7

    Machinery() {
        levels[1].name = padded_name("USER");
        levels[1].type = 0;
        levels[1].code = 0;
    }

    static std::string padded_name(std::string_view name) {
        std::string out(name.substr(0, std::min(name.size(), kNameLength)));
        out.resize(kNameLength, ' ');
        return out;
    }
};

Machinery& state() {
    static Machinery m;
    return m;
}

[[noreturn]] void stop_run() { throw rt::Stop{"", 1}; }

bool valid_type(int type) { return type >= 1 && type <= 7; }
bool prints(int type) { return valid_type(type) && state().print[type - 1] == 1; }
bool stops(int type) { return valid_type(type) && state().stop[type - 1] == 1; }

std::string trim(std::string text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string integer_text(long long value) {
    static const rt::Format f = rt::parse_format("(I20)");
    return trim(rt::format_records(f, value));
}

// |value| with the wrap-around of two's complement for the most negative
// value, which has no positive counterpart.
int iabs(int value) {
    return value == INT_MIN ? INT_MIN : (value < 0 ? -value : value);
}

void store_insertion(char kind, int index, std::string text) {
    if (index < 1 || index > 9) return;
    Machinery& m = state();
    // A later value for the same field replaces the earlier one.
    auto same = std::find_if(m.store.begin(), m.store.end(),
                             [&](const Insertion& e) { return e.kind == kind && e.index == index; });
    if (same != m.store.end()) {
        m.store_used -= same->text.size() + kEntryOverhead;
        m.store.erase(same);
    }
    const std::size_t need = text.size() + kEntryOverhead;
    if (m.store_used + need > kStoreSize) return;  // does not fit: dropped
    m.store_used += need;
    m.store.push_back({kind, index, std::move(text)});
}

void empty_store() {
    state().store.clear();
    state().store_used = 0;
}

const std::string* find_insertion(char kind, int index) {
    for (const Insertion& e : state().store)
        if (e.kind == kind && e.index == index) return &e.text;
    return nullptr;
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool lower(char c) { return c >= 'a' && c <= 'z'; }

// ".  " followed by MSG with its insertion fields replaced, at most kMaxText
// characters.
std::string build_text(std::string_view msg) {
    static constexpr std::string_view kKinds = "ACDIKLRSZ";
    msg = msg.substr(0, std::min(msg.size(), kMaxText));
    std::string out = ".  ";
    std::size_t i = 0;
    while (i < msg.size() && out.size() < kMaxText) {
        if (msg[i] == '%' && i + 4 < msg.size() && msg[i + 1] == '(' && msg[i + 4] == ')') {
            const char kind = upper(msg[i + 2]);
            const char digit = msg[i + 3];
            if (kKinds.find(kind) != std::string_view::npos && digit >= '1' && digit <= '9') {
                if (const std::string* value = find_insertion(kind, digit - '0')) {
                    out += *value;
                    i += 5;
                    continue;
                }
            }
        }
        out += msg[i];
        ++i;
    }
    if (out.size() > kMaxText) out.resize(kMaxText);
    return out;
}

// A routine name as printed: the first letter upper-cased when the name
// starts with a lower-case letter followed by an upper-case one.
std::string shown_name(std::string name) {
    if (name.size() >= 2 && lower(name[0]) && name[1] >= 'A' && name[1] <= 'Z') name[0] = upper(name[0]);
    return name;
}

std::string_view type_word(int type) {
    static constexpr std::array<std::string_view, 7> kWords{"NOTE    ", "ALERT   ", "WARNING ", "FATAL   ",
                                                            "TERMINAL", "WARNING ", "FATAL   "};
    return valid_type(type) ? kWords[type - 1] : std::string_view("UNKNOWN ");
}

void write_line(int unit, const std::string& text) {
    static const rt::Format f = rt::parse_format("(A)");
    rt::write(unit, f, text);
}

// Prints the pending message for the current level on the message unit,
// with a traceback when it arose below the routine that the engine called.
void print_pending() {
    Machinery& m = state();
    if (m.pending.empty()) return;
    int unit = 6;
    UMACH(3, unit);
    const Level& here = m.levels[m.depth];

    std::string name = shown_name(here.name);
    name = name.substr(0, name.find(' '));
    const std::string head = " " + integer_text(here.code) + " from " + name;
    const std::string& text = m.pending;

    // First record: as much as fits in 59 characters with the head, ending
    // before the last blank of that room.
    const std::size_t room = head.size() < 59 ? 59 - head.size() : 1;
    std::string first;
    std::string rest;
    if (text.size() <= room) {
        first = text;
    } else {
        const std::size_t blank = room >= 2 ? text.find_last_of(' ', room - 1) : std::string::npos;
        if (blank != std::string::npos && blank >= 1) {
            first = text.substr(0, blank);
            rest = text.substr(blank + 1);
        } else {
            first = text.substr(0, room);
            rest = text.substr(room);
        }
    }
    write_line(unit, "");
    write_line(unit, " *** " + std::string(type_word(here.type)) + " ERROR" + head + first);

    // Continuation records of up to 64 characters, broken after a blank.
    std::size_t pos = 0;
    while (pos < rest.size()) {
        if (rest[pos] == ' ') ++pos;
        if (pos >= rest.size()) break;
        std::size_t take = rest.size() - pos;
        if (take > 64) {
            const std::size_t blank = rest.find_last_of(' ', pos + 63);
            take = (blank != std::string::npos && blank >= pos) ? blank - pos + 1 : 64;
        }
        write_line(unit, " ***          " + rest.substr(pos, take));
        pos += take;
    }

    if (m.depth > 2) {
        static const rt::Format row = rt::parse_format("(5X,A,I6,6X,I6,A)");
        write_line(unit, "     Here is a traceback of subprogram calls in reverse order:");
        std::string heading = "Routine name";
        heading.resize(27, ' ');
        write_line(unit, "     " + heading + " " + "    Error type  Error code");
        write_line(unit, "     ------------" + std::string(16, ' ') + "    ----------  ----------");
        for (int level = m.depth; level >= 1; --level) {
            const Level& l = m.levels[level];
            rt::write(unit, row, shown_name(l.name), l.type, l.code,
                      std::string_view(level >= 3 ? "    (Called internally)" : ""));
        }
    }
    m.pending.clear();
    empty_store();
}

// A terminal message of the machinery itself at the current level, printed
// when terminal messages are printed; the run then stops.
[[noreturn]] void misuse(int code, std::string_view text) {
    E1MES(5, code, text);
    stop_run();
}

int level_value(int iopt, bool type, std::string_view routine) {
    Machinery& m = state();
    if (iopt != 0 && iopt != 1) {
        Level& here = m.levels[m.depth];
        here.type = 5;
        here.code = 1;
        m.pending = ".  The argument passed to " + std::string(routine) + " must be 0 or 1.";
        print_pending();
        stop_run();
    }
    const int level = m.depth + iopt;
    if (level > kMaxLevels) return -1;  // no level below the deepest
    return type ? m.levels[level].type : m.levels[level].code;
}

// Checks an integer against ILOW and, when given, IHIGH; the common work of
// CHKIRG and CHKNLD.
void check_range(int ivalue, std::string_view name, int ilow, std::optional<int> ihigh, int icode) {
    if (!ihigh) {
        if (ivalue >= ilow) return;
        MSGTXT(1, name);
        MSGINT(1, ivalue);
        MSGINT(2, ilow);
        E1MES(5, icode, "%(L1) = %(I1).  %(L1) must be greater than or equal to %(I2).");
        return;
    }
    if (ivalue >= ilow && ivalue <= *ihigh) return;
    MSGTXT(1, name);
    MSGINT(1, ivalue);
    MSGINT(2, ilow);
    MSGINT(3, *ihigh);
    E1MES(5, icode,
          "%(L1) = %(I1).  %(L1) must be greater than or equal to %(I2) and less than or equal to %(I3).");
}

void next_code(int& icode) {
    if (icode < INT_MAX) ++icode;
}

}  // namespace

void reset_error_machinery() { state() = Machinery(); }

void ERSET(int iersvr, int ipact, int isact) {
    E1PSH("ERSET");
    bool bad = false;
    if (iersvr < 0 || iersvr > 5) {
        MSGINT(1, iersvr);
        E1MES(5, 1, "Invalid error severity level indicator.  IERSVR must be 0 to 5.  IERSVR = %(I1)");
        bad = true;
    }
    if (ipact < -1 || ipact > 2) {
        MSGINT(1, ipact);
        E1MES(5, 2, "Invalid value specified for printing action.  IPACT must be -1 to 2.  IPACT = %(I1)");
        bad = true;
    }
    if (isact < -1 || isact > 2) {
        MSGINT(1, isact);
        E1MES(5, 3, "Invalid value specified for stopping action.  ISACT must be -1 to 2.  ISACT = %(I1)");
        bad = true;
    }
    if (!bad) {
        int p = ipact;
        int s = isact;
        ERATTR(iersvr, p, s);
        // Warnings and fatal errors have immediate forms that follow them.
        if (iersvr == 3 || iersvr == 4) {
            p = ipact;
            s = isact;
            ERATTR(iersvr + 3, p, s);
        }
    }
    E1POP("ERSET");
}

void ERATTR(int iersvr, int& ipatt, int& isatt) {
    Machinery& m = state();
    if (iersvr < -7 || iersvr > 7) return;
    if (iersvr < 0) {
        ipatt = m.print[-iersvr - 1];
        isatt = m.stop[-iersvr - 1];
        return;
    }
    E1PSH("ERATTR");
    bool bad = false;
    if (ipatt < -1 || ipatt > 2) {
        MSGINT(1, ipatt);
        E1MES(5, 1,
              "Invalid value specified for print table attribute.  IPATT must be -1, 0, 1, or 2.  IPATT = %(I1)");
        bad = true;
    }
    if (isatt < -1 || isatt > 2) {
        MSGINT(1, isatt);
        E1MES(5, 1,
              "Invalid value specified for stop table attribute.  ISATT must be -1, 0, 1, or 2.  ISATT = %(I1)");
        bad = true;
    }
    if (!bad) {
        const int first = iersvr == 0 ? 1 : iersvr;
        const int last = iersvr == 0 ? 7 : iersvr;
        for (int t = first; t <= last; ++t) {
            if (ipatt == 2) m.print[t - 1] = kDefaultPrint[t - 1];
            else if (ipatt != -1) m.print[t - 1] = ipatt;
            if (isatt == 2) m.stop[t - 1] = kDefaultStop[t - 1];
            else if (isatt != -1) m.stop[t - 1] = isatt;
        }
    }
    E1POP("ERATTR");
}

int LSTERR() {
    const int type = N1RTY(1);
    return (type >= 1 && type <= 4) ? N1RCD(1) : 0;
}

int N1RTY(int iopt) { return level_value(iopt, true, "N1RTY"); }
int N1RCD(int iopt) { return level_value(iopt, false, "N1RCD"); }

void E1PSH(std::string_view name) {
    Machinery& m = state();
    if (m.depth >= kMaxLevels) {
        MSGINT(1, kMaxLevels);
        misuse(1, "Error condition in E1PSH.  Push would cause stack level to exceed %(I1).");
    }
    ++m.depth;
    Level& l = m.levels[m.depth];
    l.name = Machinery::padded_name(name);
    l.type = 0;
    l.code = 0;
}

ErrorLevel::ErrorLevel(std::string_view name) : name_(name), exceptions_(std::uncaught_exceptions()) {
    E1PSH(name_);
}

ErrorLevel::~ErrorLevel() noexcept(false) {
    if (!popped_ && std::uncaught_exceptions() == exceptions_) E1POP(name_);
}

void ErrorLevel::pop() {
    popped_ = true;
    E1POP(name_);
}

void E1POP(std::string_view name) {
    Machinery& m = state();
    if (m.depth <= 1) {
        E1PSH("E1POP");
        MSGTXT(1, name);
        misuse(1, "Error condition in E1POP.  Cannot pop from %(L1) because stack is empty.");
    }
    const std::string given = Machinery::padded_name(name);
    if (given != m.levels[m.depth].name) {
        MSGTXT(1, name);
        MSGTXT(2, m.levels[m.depth].name);
        misuse(2, "Error condition in E1POP.  %(L1) does not match the name %(L2) in the stack.");
    }

    const int d = m.depth;
    const Level& here = m.levels[d];
    const int t = here.type;
    if (t >= 2 && t <= 7) {
        m.levels[d - 1].type = t;
        m.levels[d - 1].code = here.code;
    }
    if (t >= 1 && t <= 4) {
        if (d == 2) {
            if (prints(t)) print_pending();
            if (stops(t)) stop_run();
        }
    } else if (t == 5) {
        if (prints(t)) print_pending();
        if (stops(t)) stop_run();
    } else if (t == 6 || t == 7) {
        if (prints(t)) print_pending();
        if (d == 2) {
            int immediate = 0;
            if (m.immediate_fatal) immediate = 7;
            else if (m.immediate_warning) immediate = 6;
            m.immediate_warning = false;
            m.immediate_fatal = false;
            if (immediate != 0 && stops(immediate)) stop_run();
        }
    }
    if (d < kMaxLevels) {
        m.levels[d + 1].type = -1;
        m.levels[d + 1].code = -1;
    }
    --m.depth;
}

void E1MES(int ietype, int iercd, std::string_view msg) {
    Machinery& m = state();
    Level& here = m.levels[m.depth];
    if (ietype != -1) here.type = ietype;
    if (iercd >= 0) here.code = iercd;
    if (ietype == 0 || iercd == 0) {
        m.pending.clear();
    } else {
        if (!(msg.empty() || msg == " ")) m.pending = build_text(msg);
        if (here.type == 6) m.immediate_warning = true;
        if (here.type == 7) m.immediate_fatal = true;
        if (here.type >= 5 && here.type <= 7 && prints(here.type)) print_pending();
    }
    empty_store();
}

void MSGINT(int ii, int ivalue) { store_insertion('I', ii, integer_text(ivalue)); }

void MSGDBL(int id, double dvalue) {
    if (id < 1 || id > 9) return;
    static const rt::Format scaled = rt::parse_format("(1P,D24.15)");
    static const rt::Format plain = rt::parse_format("(D24.15)");
    const bool unscaled = dvalue == 0.0 || std::isnan(dvalue);
    store_insertion('D', id, trim(rt::format_records(unscaled ? plain : scaled, dvalue)));
}

void MSGTXT(int il, std::string_view text) {
    const int index = iabs(il);
    if (index < 1 || index > 9) return;
    std::string value(text.substr(0, std::min(text.size(), kMaxLiteral)));
    if (il > 0) {
        const std::size_t last = value.find_last_not_of(' ');
        value.resize(last == std::string::npos ? 1 : last + 1, ' ');
    }
    store_insertion('L', index, std::move(value));
}

void CHKIRG(int ivalue, std::string_view name, int ilow, int ihigh, int& icode) {
    check_range(ivalue, name, ilow, ihigh < ilow ? std::nullopt : std::optional<int>(ihigh), icode);
    next_code(icode);
}

void CHKORD(int ival1, std::string_view name1, int ival2, std::string_view name2, int& icode) {
    if (ival1 > ival2) {
        MSGTXT(1, name1);
        MSGINT(1, ival1);
        MSGTXT(2, name2);
        MSGINT(2, ival2);
        E1MES(5, icode, "%(L1) = %(I1) and %(L2) = %(I2).  %(L1) must be less than or equal to %(L2).");
    }
    next_code(icode);
}

void CHKDNN(double dvalue, std::string_view name, int& icode) {
    if (!(dvalue >= 0.0)) {
        MSGTXT(1, name);
        MSGDBL(1, dvalue);
        E1MES(5, icode, "%(L1) = %(D1).  %(L1) must be greater than or equal to zero.");
    }
    next_code(icode);
}

void CHKNLD(int nmin, int n, std::string_view namen, int lda, std::string_view namelda, int& icode) {
    const bool skip_first = !namen.empty() && namen.front() == '*';
    if (skip_first) namen.remove_prefix(1);
    if (!skip_first) check_range(n, namen, nmin, std::nullopt, icode);
    next_code(icode);
    check_range(lda, namelda, 1, std::nullopt, icode);
    next_code(icode);
    if (lda >= 1) CHKORD(n, namen, lda, namelda, icode);
    else next_code(icode);
}

}  // namespace orv::num2

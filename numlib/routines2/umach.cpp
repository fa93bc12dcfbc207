#include "numlib/routines2/umach.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"

namespace orv::num2 {

namespace {

// |value|, keeping the most negative integer as it is (two's complement
// wrap-around) instead of overflowing.
int iabs(int value) { return value == INT_MIN ? INT_MIN : (value < 0 ? -value : value); }

struct Units {
    int input = 5;
    int output = 6;
    int message = 6;
};
Units units;

struct Page {
    int width = 78;
    int length = 60;
};
Page page;

// Number-printing options 1..16: range of ISET (no upper bound when high <
// low) and default.
struct PrintOption {
    int low, high, initial;
};
constexpr std::array<PrintOption, 16> kPrintOptions{{
    {0, 1, 0},     {0, -1, 1000000}, {-2, -3, -2}, {0, 3, 2}, {0, 1, 0}, {0, 5, 3},  {0, 5, 2},  {0, 255, 0},
    {0, 10, 3},    {0, 50, 0},       {0, 255, 0},  {0, 50, 0}, {1, 50, 10}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0},
}};

struct PrintSettings {
    std::array<int, 16> current{};
    std::array<int, 16> preset{};
    PrintSettings() {
        for (std::size_t k = 0; k < kPrintOptions.size(); ++k) current[k] = preset[k] = kPrintOptions[k].initial;
    }
};
PrintSettings print_settings;

// One chapter-option table: per chapter, per option, the span of its values
// in `values` (an option exists when its span is not empty).
struct OptionTable {
    struct Option {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    std::vector<std::vector<Option>> chapters;  // [chapter-1][option-1]
    std::vector<int> values;

    void add(int chapter, int option, std::initializer_list<int> initial) {
        auto& options = chapters[static_cast<std::size_t>(chapter - 1)];
        if (options.size() < static_cast<std::size_t>(option)) options.resize(static_cast<std::size_t>(option));
        options[static_cast<std::size_t>(option - 1)] = {values.size(), initial.size()};
        values.insert(values.end(), initial);
    }
};

struct OptionTables {
    OptionTable math, stat;
    OptionTables() {
        math.chapters.resize(10);
        stat.chapters.resize(20);
        // MATH chapter 1 option 17: the condition-number flag is its second value.
        math.add(1, 17, {1, 2});
        // MATH chapter 2 option 1: the eigenvalue routines' settings.
        math.add(2, 1, {1, 16, 0, 1, 1, 16, 0, 1});
    }
};

// Built on the first call of IUMAG.
std::optional<OptionTables>& option_tables() {
    static std::optional<OptionTables> tables;
    return tables;
}

[[noreturn]] void stop_run() { throw rt::Stop{"", 1}; }

void write_line(int unit, const std::string& text) {
    static const rt::Format f = rt::parse_format("(A)");
    rt::write(unit, f, text);
}

// The last record of UMACH's and IMACH's own messages: a text, a value in
// six columns, a full stop.
void write_value_line(int unit, const std::string& text, int value) {
    static const rt::Format f = rt::parse_format("(A,I6,A)");
    rt::write(unit, f, text, value, std::string_view("."));
}

double machine_nan() { return std::bit_cast<double>(std::uint64_t{0x7FF8000000000000}); }
float machine_nan_single() { return std::bit_cast<float>(std::uint32_t{0x7FC00000}); }

// The complaint of DMACH and AMACH about N, as a terminal message.
void bad_constant_index(std::string_view routine, int n) {
    ErrorLevel frame(routine);
    MSGINT(1, n);
    E1MES(5, 5, "The argument must be between 1 and 8 inclusive. N = %(I1)");
}

}  // namespace

void reset_options() {
    units = Units{};
    page = Page{};
    print_settings = PrintSettings{};
    option_tables().reset();
}

void UMACH(int n, int& nunit) {
    switch (n) {
        case 1: nunit = units.input; return;
        case 2: nunit = units.output; return;
        case 3: nunit = units.message; return;
        case -1: units.input = nunit; return;
        case -2: units.output = nunit; return;
        case -3: units.message = nunit; return;
        default: break;
    }
    const int unit = units.message;
    write_line(unit, "");
    write_line(unit, " *** TERMINAL ERROR 5 from UMACH.  The absolute");
    write_line(unit, " ***          value of the index variable must be");
    write_value_line(unit, " ***          1, 2, or 3.  IABS(N) = ", iabs(n));
    write_line(unit, "");
    stop_run();
}

void PGOPT(int iopt, int& ipage) {
    ErrorLevel frame("PGOPT");
    int icode = 1;
    CHKIRG(iabs(iopt), "IABS(IOPT)", 1, 2, icode);
    if (N1RTY(0) == 0) {
        if (iopt == 1) {
            ipage = page.width;
        } else if (iopt == 2) {
            ipage = page.length;
        } else if (iopt == -1) {
            if (ipage < 10) {
                MSGINT(1, ipage);
                E1MES(5, 2, "IPAGE = %(I1).  Page width must be greater than or equal to 10.");
            } else {
                page.width = ipage;
            }
        } else {
            if (ipage < 10) {
                MSGINT(1, ipage);
                E1MES(5, 3, "IPAGE = %(I1).  Page length must be greater than or equal to 10.");
            } else {
                page.length = ipage;
            }
        }
    }
}

int IMACH(int n) {
    static constexpr std::array<int, 12> kValues{32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
    if (n >= 1 && n <= 12) return kValues[static_cast<std::size_t>(n - 1)];
    int unit = 6;
    UMACH(2, unit);
    write_line(unit, "");
    write_line(unit, " *** TERMINAL ERROR 5 from IMACH.  The argument");
    write_line(unit, " ***          must be between 1 and 12 inclusive.");
    write_value_line(unit, " ***          N = ", n);
    write_line(unit, "");
    stop_run();
}

double DMACH(int n) {
    using L = std::numeric_limits<double>;
    switch (n) {
        case 1: return L::min();
        case 2: return L::max();
        case 3: return L::epsilon() / 2.0;
        case 4: return L::epsilon();
        case 5: return std::log10(2.0);
        case 6: return machine_nan();
        case 7: return L::infinity();
        case 8: return -L::infinity();
        default: break;
    }
    bad_constant_index("DMACH", n);
    return machine_nan();
}

float AMACH(int n) {
    using L = std::numeric_limits<float>;
    switch (n) {
        case 1: return L::min();
        case 2: return L::max();
        case 3: return L::epsilon() / 2.0f;
        case 4: return L::epsilon();
        case 5: return static_cast<float>(std::log10(2.0));
        case 6: return machine_nan_single();
        case 7: return L::infinity();
        case 8: return -L::infinity();
        default: break;
    }
    bad_constant_index("AMACH", n);
    return machine_nan_single();
}

void IUMAG(std::string_view prodnm, int ichp, int iact, int numopt, std::span<const int> iopts,
           std::span<int> ivals) {
    ErrorLevel frame("IUMAG");
    if (iact != 1 && iact != 2) {
        MSGINT(1, iact);
        E1MES(5, 1, "IACT must be 1 to get option values or 2 to put option values.  IACT = %(I1) is invalid.");
        return;
    }
    std::string product(prodnm.substr(0, std::min<std::size_t>(prodnm.size(), 4)));
    product.resize(4, ' ');
    for (char& c : product)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (product != "MATH" && product != "STAT") {
        MSGTXT(1, prodnm);
        E1MES(5, 2, "The product name must be either MATH or STAT.  PRODNM = %(L1) is invalid.");
        return;
    }
    if (!option_tables()) option_tables().emplace();
    OptionTable& table = product == "MATH" ? option_tables()->math : option_tables()->stat;
    const int chapters = static_cast<int>(table.chapters.size());
    if (ichp < 1 || ichp > chapters) {
        MSGINT(1, ichp);
        MSGINT(2, chapters);
        E1MES(5, 3,
              product == "MATH" ? "ICHP = %(I1) is an invalid MATH chapter number.  To get or put MATH options, ICHP "
                                  "must be between 1 and %(I2)."
                                : "ICHP = %(I1) is an invalid STAT chapter number.  To get or put STAT options, ICHP "
                                  "must be between 1 and %(I2).");
        return;
    }
    const auto& options = table.chapters[static_cast<std::size_t>(ichp - 1)];
    bool any = false;
    for (const auto& o : options) any = any || o.count > 0;
    if (!any) {
        MSGINT(1, ichp);
        E1MES(5, 4,
              product == "MATH" ? "No options exist for MATH chapter %(I1).  Only existing options may have values "
                                  "retrieved from or placed into them."
                                : "No options exist for STAT chapter %(I1).  Only existing options may have values "
                                  "retrieved from or placed into them.");
        return;
    }
    if (numopt <= 0) {
        MSGINT(1, numopt);
        E1MES(5, 5, "NUMOPT = %(I1) is an invalid number of options.  NUMOPT must be greater than zero.");
        return;
    }
    if (iopts.size() < static_cast<std::size_t>(numopt)) throw std::length_error("IUMAG: IOPTS is shorter than NUMOPT");
    std::size_t needed = 0;
    for (int i = 0; i < numopt; ++i) {
        const int number = iabs(iopts[static_cast<std::size_t>(i)]);
        if (number < 1 || static_cast<std::size_t>(number) > options.size() ||
            options[static_cast<std::size_t>(number - 1)].count == 0) {
            MSGINT(1, i + 1);
            MSGINT(2, iopts[static_cast<std::size_t>(i)]);
            MSGTXT(1, product);
            MSGINT(3, ichp);
            E1MES(5, 6, "IOPTS(%(I1)) = %(I2) is an invalid %(L1) chapter %(I3) option number.");
            return;
        }
        needed += options[static_cast<std::size_t>(number - 1)].count;
    }
    if (ivals.size() < needed) throw std::length_error("IUMAG: IVALS is too short for the options' values");
    std::size_t k = 0;
    for (int i = 0; i < numopt; ++i) {
        const auto& o = options[static_cast<std::size_t>(iabs(iopts[static_cast<std::size_t>(i)]) - 1)];
        for (std::size_t j = 0; j < o.count; ++j, ++k) {
            if (iact == 1) ivals[k] = table.values[o.first + j];
            else table.values[o.first + j] = ivals[k];
        }
    }
}

void WROPT(int iopt, int& iset, int iscope) {
    ErrorLevel frame("WROPT");
    int icode = 1;
    const int k = iabs(iopt);
    CHKIRG(k, "IABS(IOPT)", 0, 16, icode);
    if (N1RTY(0) != 0) {
        return;
    }
    if (iopt < 0) {
        const PrintOption& range = kPrintOptions[static_cast<std::size_t>(k - 1)];
        CHKIRG(iset, "ISET", range.low, range.high, icode);
    }
    if (iopt != 0) CHKIRG(iscope, "ISCOPE", 0, 1, icode);
    if (N1RTY(0) == 0) {
        if (iopt == 0) {
            print_settings.current = print_settings.preset;
        } else if (iopt < 0) {
            print_settings.current[static_cast<std::size_t>(k - 1)] = iset;
            if (iscope == 1) print_settings.preset[static_cast<std::size_t>(k - 1)] = iset;
        } else {
            iset = iscope == 1 ? print_settings.preset[static_cast<std::size_t>(k - 1)]
                               : print_settings.current[static_cast<std::size_t>(k - 1)];
        }
    }
}

void CVTSI(std::string_view string, int& num) {
    ErrorLevel frame("CVTSI");
    num = 0;
    const std::size_t size = string.size();
    std::size_t i = 0;
    while (i < size && string[i] == ' ') ++i;
    if (size == 0) {
        MSGINT(1, 0);
        E1MES(5, 1, "The length of the input string is %(I1)");
    } else if (i == size) {
        MSGTXT(1, string);
        E1MES(5, 4, "The input string '%(L1)' cannot be converted to an integer.");
    } else {
        const std::size_t first = i;
        bool negative = false;
        if (string[i] == '-' || string[i] == '+') {
            negative = string[i] == '-';
            ++i;
        }
        const std::size_t digits = i;
        std::int64_t magnitude = 0;
        bool too_large = false;
        while (i < size && string[i] >= '0' && string[i] <= '9') {
            if (!too_large) {
                magnitude = magnitude * 10 + (string[i] - '0');
                too_large = magnitude > INT_MAX;
            }
            ++i;
        }
        std::size_t after = i;
        while (after < size && string[after] == ' ') ++after;
        if (i == digits || after < size) {
            MSGTXT(1, string);
            MSGINT(1, static_cast<int>((i == digits ? first : i) + 1));
            E1MES(5, 2, "The string '%(L1)' contains a nonnumeric character at position %(I1)");
        } else if (too_large) {
            MSGTXT(1, string);
            E1MES(5, 3, "The string '%(L1)' is too large to be converted to an integer.");
        } else {
            num = static_cast<int>(negative ? -magnitude : magnitude);
        }
    }
}

char ACHAR(int i) {
    if (i >= 0) return static_cast<char>(static_cast<unsigned char>(i & 0xFF));
    ErrorLevel frame("ACHAR");
    MSGINT(1, i);
    E1MES(5, 1, "The ASCII value must be non-negative while I = %(I1) is given.");
    return '\0';
}

namespace {

// Throws when X does not hold X(1), X(1+INCX), ..., X(1+(N-1)*INCX).
void check_strided(std::span<const double> x, int n, int incx, std::string_view routine) {
    const std::int64_t last = 1 + static_cast<std::int64_t>(n - 1) * incx;
    if (last < 1 || static_cast<std::uint64_t>(last) > x.size())
        throw std::length_error(std::string(routine) + ": X is too short for N and INCX");
}

template <typename Better>
int index_of_extreme(int n, std::span<const double> x, int incx, std::string_view routine, Better better) {
    if (n < 1) return 0;
    check_strided(x, n, incx, routine);
    int best = 1;
    double value = x[0];
    for (int i = 2; i <= n; ++i) {
        const double v = x[static_cast<std::size_t>(static_cast<std::int64_t>(i - 1) * incx)];
        if (better(v, value)) {
            best = i;
            value = v;
        }
    }
    return best;
}

}  // namespace

int IDXMAX(int n, std::span<const double> x, int incx) {
    return index_of_extreme(n, x, incx, "IDXMAX", [](double a, double b) { return a > b; });
}

int IDXMIN(int n, std::span<const double> x, int incx) {
    return index_of_extreme(n, x, incx, "IDXMIN", [](double a, double b) { return a < b; });
}

bool ISDNAN(double x) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    return (bits & 0x7FF0000000000000ULL) == 0x7FF0000000000000ULL && (bits & 0x000FFFFFFFFFFFFFULL) != 0;
}

}  // namespace orv::num2

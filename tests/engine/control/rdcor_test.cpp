// The correlation file read with its rows tried on threads: the matrix bit
// for bit, and every error with the message of the read in file order
// (record numbers included), on 1, 2, 3 and 8 threads, for files whose rows
// fit on their lines, run over several, or do both.
// CTest label: threads
#include "engine/control/rdcor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

constexpr int kOrder = 150;  // three windows of rows

class RdcorThreads : public testing::LibraryFixture {
protected:
    // The values of row I as text, with -0 and repeat counts among them.
    static std::vector<std::string> row_values(int i) {
        std::vector<std::string> v;
        char field[32];
        for (int j = 0; j < kOrder; ++j) {
            if ((i + j) % 37 == 0) {
                v.push_back("-0.0");
            } else {
                std::snprintf(field, sizeof field, "%.6f", ((i * 31 + j * 17) % 2001 - 1000) / 1000.5);
                v.push_back(field);
            }
        }
        return v;
    }

    // The file: row by row, EDIT(i, values) giving the text of row i.
    std::string put(const std::function<std::string(int, const std::vector<std::string>&)>& edit) {
        std::string text;
        for (int i = 0; i < kOrder; ++i) text += edit(i, row_values(i));
        const std::string path = (dir_ / "r.cor").string();
        testing::write_file(path, text);
        return path;
    }

    static std::string joined(const std::vector<std::string>& v, std::size_t from, std::size_t to) {
        std::string s;
        for (std::size_t k = from; k < to; ++k) s += " " + v[k];
        return s;
    }

    // What RDCOR on THREADS threads leaves: the matrix's bytes, or the
    // error's kind and text, or the fatal window records.
    std::string outcome(const std::string& path, int threads) {
        host_.records.clear();
        std::vector<double> r;
        std::string what;
        try {
            RDCOR("CO", path, kOrder, r, threads);
            what.assign(reinterpret_cast<const char*>(r.data()), r.size() * sizeof(double));
        } catch (const rt::IoError& e) {
            what = "IoError " + std::to_string(static_cast<int>(e.kind())) + ": " + e.what();
        } catch (const rt::Stop& s) {
            what = "Stop " + std::to_string(s.exit_status);
            for (const std::string& record : host_.records) what += "\n" + record;
        }
        rt::close_all_units();
        return what;
    }

    // The outcome on one thread, checked the same on 2, 3 and 8.
    std::string same_on_threads(const std::string& path) {
        const std::string one = outcome(path, 1);
        for (const int threads : {2, 3, 8}) EXPECT_EQ(outcome(path, threads), one) << threads << " threads";
        return one;
    }

    testing::TempDir tmp_{"orv_rdcor"};
    std::filesystem::path dir_ = tmp_.path();
};

TEST_F(RdcorThreads, RowsOnTheirLinesWithLineEndsAndLeftovers) {
    const std::string path = put([](int i, const std::vector<std::string>& v) {
        return joined(v, 0, v.size()) + (i % 3 == 0 ? " 9 9 junk\r\n" : "\n");
    });
    const std::string r = same_on_threads(path);
    ASSERT_EQ(r.size(), sizeof(double) * kOrder * kOrder);
    // Row 0 column 37 was written "-0.0": R(1, 38) keeps its sign.
    double x = 1.0;
    std::memcpy(&x, r.data() + sizeof(double) * (37 * kOrder), sizeof x);
    EXPECT_TRUE(x == 0.0 && std::signbit(x));
    // An order of 0 reads nothing, on threads too.
    std::vector<double> none{1.0};
    RDCOR("CO", path, 0, none, 8);
    EXPECT_TRUE(none.empty());
}

TEST_F(RdcorThreads, RowsOverSeveralLinesRepeatsNullsAndSlashes) {
    const std::string path = put([](int i, const std::vector<std::string>& v) {
        const std::size_t n = v.size();
        if (i == 70) return joined(v, 0, 50) + "\n" + joined(v, 50, 100) + "\n" + joined(v, 100, n) + "\n";
        if (i == 100) return "\n" + joined(v, 0, n) + "\n";  // a blank line first
        if (i == 5) return " 3*0.25" + joined(v, 3, 10) + " ,,," + joined(v, 12, n) + "\n";
        if (i == 130) return joined(v, 0, 40) + " / 7 7\n";  // the rest of the row stays zero
        if (i == kOrder - 1) return joined(v, 0, n);       // no line end at the end of the file
        return joined(v, 0, n) + "\n";
    });
    const std::string r = same_on_threads(path);
    ASSERT_EQ(r.size(), sizeof(double) * kOrder * kOrder);
    auto at = [&](int i, int j) {
        double x;
        std::memcpy(&x, r.data() + sizeof(double) * (i + j * kOrder), sizeof x);
        return x;
    };
    EXPECT_EQ(at(5, 2), 0.25);
    EXPECT_EQ(at(5, 10), 0.0);  // null values
    EXPECT_EQ(at(130, 39), std::stod(row_values(130)[39]));
    EXPECT_EQ(at(130, 40), 0.0);
    EXPECT_EQ(at(70, 99), std::stod(row_values(70)[99]));
}

TEST_F(RdcorThreads, EveryRowOverTwoLines) {
    const std::string path = put([](int, const std::vector<std::string>& v) {
        return joined(v, 0, 75) + "\n" + joined(v, 75, v.size()) + "\n";
    });
    ASSERT_EQ(same_on_threads(path).size(), sizeof(double) * kOrder * kOrder);
}

// Rows on one line and over two in turn: each window's rows on one line are
// taken as converted, between the rows read again in file order.
TEST_F(RdcorThreads, RowsOnOneLineAndOverTwoInTurn) {
    const std::string path = put([](int i, const std::vector<std::string>& v) {
        return i % 2 ? joined(v, 0, 30) + "\n" + joined(v, 30, v.size()) + "\n" : joined(v, 0, v.size()) + "\n";
    });
    const std::string r = same_on_threads(path);
    ASSERT_EQ(r.size(), sizeof(double) * kOrder * kOrder);
    for (const int i : {0, 1, 62, 63, 64, 65, kOrder - 1}) {
        double x;
        std::memcpy(&x, r.data() + sizeof(double) * (i + 40 * kOrder), sizeof x);
        EXPECT_EQ(x, std::stod(row_values(i)[40])) << "row " << i;
    }
}

// A value that is not finite names its record: row 120 is in record 123
// when row 70 took three lines.
TEST_F(RdcorThreads, ErrorsAreThoseOfTheReadInFileOrder) {
    auto wrapped = [](int i, const std::vector<std::string>& v, int bad_row, const std::string& bad) {
        std::vector<std::string> w = v;
        if (i == bad_row) w[17] = bad;
        if (i == 70) return joined(w, 0, 50) + "\n" + joined(w, 50, 100) + "\n" + joined(w, 100, w.size()) + "\n";
        return joined(w, 0, w.size()) + "\n";
    };
    const std::string nan = same_on_threads(put([&](int i, const auto& v) { return wrapped(i, v, 120, "NaN"); }));
    EXPECT_NE(nan.find("Value NaN in record 123 "), std::string::npos) << nan;
    const std::string inf = same_on_threads(put([&](int i, const auto& v) { return wrapped(i, v, 3, "-Inf"); }));
    EXPECT_NE(inf.find("Value -Infinity in record 4 "), std::string::npos) << inf;
    const std::string bad = same_on_threads(put([&](int i, const auto& v) { return wrapped(i, v, 90, "1.2.3"); }));
    EXPECT_EQ(bad.rfind("IoError", 0), 0u) << bad;
    EXPECT_NE(bad.find("1.2.3"), std::string::npos) << bad;
    // The file ends ten rows early: the records and rows read and the order
    // are named.
    const std::string path = put([&](int i, const auto& v) { return i < kOrder - 10 ? wrapped(i, v, -1, "") : ""; });
    const std::string ended = same_on_threads(path);
    EXPECT_EQ(ended.rfind("Stop 1", 0), 0u) << ended;
    EXPECT_NE(ended.find("FATAL ERROR: File " + path + " ends after 142 records, with 140 rows of the correlation "
                         "matrix for the 150 variables declared on >DATA:"),
              std::string::npos)
        << ended;
}

}  // namespace
}  // namespace orv::engine

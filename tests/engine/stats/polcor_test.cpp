// POLCOR: polychoric correlations against polycor's two-step estimate, the
// boundary warnings, the category stops and thread-count independence.
// CTest label: threads
#include "engine/stats/polcor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "numlib/routines1/g01haf.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

class Polcor : public testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        path_ = (std::filesystem::temp_directory_path() / ("polcor_test_" + std::to_string(::getpid()) + ".out")).string();
        rt::open_unit_or_fail(kReport, path_, {rt::OpenStatus::Replace, false});
    }
    // The report so far; the unit starts a new, empty report.
    std::string report() {
        rt::close_unit(kReport);
        std::string text = orv::testing::read_file(path_);
        rt::open_unit_or_fail(kReport, path_, {rt::OpenStatus::Replace, false});
        return text;
    }
    static constexpr int kReport = 11;
};

// Two columns (lower-numbered variable first) holding TABLE: rows are
// categories of the first variable, coded ROWCODE, columns of the second.
std::vector<double> from_table(int rows, int cols, const std::vector<int>& table, const std::vector<double>& rowcode,
                               const std::vector<double>& colcode) {
    std::vector<double> first, second;
    for (int a = 0; a < rows; ++a) {
        for (int b = 0; b < cols; ++b) {
            for (int s = 0; s < table[static_cast<std::size_t>(a * cols + b)]; ++s) {
                first.push_back(rowcode[static_cast<std::size_t>(a)]);
                second.push_back(colcode[static_cast<std::size_t>(b)]);
            }
        }
    }
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST_F(Polcor, AgreesWithPolycorOnReferenceTables) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/polcor/polychor_reference.txt");
    ASSERT_TRUE(in);
    std::string line;
    int cases = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int rows = 0, cols = 0;
        fields >> rows >> cols;
        std::vector<int> table(static_cast<std::size_t>(rows * cols));
        for (int& n : table) fields >> n;
        double rho = 0.0, tight = 0.0;
        fields >> rho >> tight;
        ASSERT_FALSE(fields.fail()) << line;
        // Uneven, unordered-looking codes: only their order may matter.
        const std::vector<double> rowcode{-2.5, 0.0, 0.25, 7.0}, colcode{1.0, 3.0, 4.5, 10.0, 11.0};
        std::vector<double> x = from_table(rows, cols, table, rowcode, colcode);
        const int n = static_cast<int>(x.size() / 2);
        std::vector<double> r(4, -5.0);
        POLCOR(x, n, 2, r, kReport);
        SCOPED_TRACE(line);
        EXPECT_NEAR(r[1], tight, 2e-6);
        EXPECT_NEAR(r[1], rho, 2e-4);
        EXPECT_EQ(r[2], r[1]);
        EXPECT_EQ(r[0], 1.0);
        EXPECT_EQ(r[3], 1.0);
        // The one-pair entry gives the same value, naming the real pair.
        host_.records.clear();
        const std::span<const double> col(x);
        EXPECT_EQ(POLPAIR(col.first(static_cast<std::size_t>(n)), col.subspan(static_cast<std::size_t>(n)), n, kReport,
                          17, 9),
                  r[1]);
        EXPECT_EQ(host_.records,
                  std::vector<std::string>{"+                            Computing polychoric correlations for variables:  17   9"});
        ++cases;
    }
    EXPECT_EQ(cases, 6);
    EXPECT_EQ(report(), "");
}

TEST_F(Polcor, ConcordantAndDiscordantPairsStopAtTheBoundWithAWarning) {
    // Variable 3 repeats variable 1; variable 2 reverses it.
    std::vector<double> v1{1, 1, 2, 2, 3, 3, 3, 1, 2, 3};
    std::vector<double> x = v1;
    for (double v : v1) x.push_back(4 - v);
    x.insert(x.end(), v1.begin(), v1.end());
    std::vector<double> r(9, 0.0);
    POLCOR(x, 10, 3, r, kReport);
    EXPECT_EQ(r[1], -0.9);  // R(2,1)
    EXPECT_EQ(r[2], 0.9);   // R(3,1)
    EXPECT_EQ(r[5], -0.9);  // R(3,2)
    EXPECT_EQ(r[7], r[5]);
    EXPECT_EQ(report(),
              "                !!!WARNING: CORRELATION   2   1    AT BOUNDARY!!!\n\n"
              "                !!!WARNING: CORRELATION   3   1    AT BOUNDARY!!!\n\n"
              "                !!!WARNING: CORRELATION   3   2    AT BOUNDARY!!!\n\n");
    ASSERT_EQ(host_.records.size(), 3u);
    EXPECT_EQ(host_.records[2], "+                            Computing polychoric correlations for variables:   3   2");
}

TEST_F(Polcor, CategoryCountsOutsideTwoToFourteenStopTheRun) {
    struct Case {
        std::vector<double> second;  // variable 2 (variable 1 is fine)
        std::string message;         // empty: no stop
        int pauses;
    };
    std::vector<double> fifteen, fourteen_and_99, sixteen_and_99;
    for (int k = 1; k <= 15; ++k) fifteen.push_back(k);
    fourteen_and_99 = fifteen;
    fourteen_and_99.back() = 99.0;
    sixteen_and_99 = fifteen;
    sixteen_and_99.push_back(99.0);
    const std::vector<Case> cases{
        {{4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, "FATAL ERROR: VARIABLE   2 HAS NO VARIANCE", 0},
        // A largest value of 99 is no category.
        {{1, 99, 1, 99, 1, 99, 1, 99, 1, 99, 1, 99, 1, 99, 1}, "FATAL ERROR: VARIABLE   2 HAS NO VARIANCE", 0},
        {{1, 99, 100, 99, 1, 99, 1, 99, 1, 99, 1, 99, 1, 99, 1}, "", 0},
        {fourteen_and_99, "", 0},
        {fifteen, "FATAL ERROR: VARIABLE   2 HAS  15 CATEGORIES; AT MOST 14 ARE ALLOWED", 1},
    };
    for (const Case& c : cases) {
        host_.records.clear();
        host_.pauses = 0;
        const int n = static_cast<int>(c.second.size());
        std::vector<double> x;
        for (int s = 0; s < n; ++s) x.push_back(s % 3);
        x.insert(x.end(), c.second.begin(), c.second.end());
        std::vector<double> r(4, 0.0);
        if (c.message.empty()) {
            EXPECT_NO_THROW(POLCOR(x, n, 2, r, kReport));
            EXPECT_EQ(r[0], 1.0);
            continue;
        }
        EXPECT_THROW(POLCOR(x, n, 2, r, kReport), rt::Stop);
        ASSERT_GE(host_.records.size(), 1u);
        EXPECT_EQ(host_.records[0], std::string(29, ' ') + c.message);
        EXPECT_EQ(host_.pauses, c.pauses) << c.message;
        EXPECT_EQ(r, std::vector<double>(4, 0.0));  // stopped before any pair
    }
    // The one-pair entry names the real variable.
    host_.records.clear();
    std::vector<double> constant(15, 2.0);
    EXPECT_THROW(POLPAIR(fifteen, constant, 15, kReport, 40, 7), rt::Stop);
    EXPECT_EQ(host_.records.at(0), std::string(29, ' ') + "FATAL ERROR: VARIABLE  40 HAS  15 CATEGORIES; AT MOST 14 ARE ALLOWED");
}

TEST(Pollik, CellsWithoutProbabilityRuleOutRhoOnlyWhenObserved) {
    // Variable J has an empty category (equal thresholds): its cells have
    // probability 0.  Without subjects they add nothing; with subjects the
    // correlation is impossible.
    std::vector<double> t(30, 0.0);
    const double tj[] = {-999999.0, -0.5, -0.5, 999999.0}, ti[] = {-999999.0, 0.3, 999999.0};
    std::copy(std::begin(tj), std::end(tj), t.begin());
    std::copy(std::begin(ti), std::end(ti), t.begin() + 15);
    std::vector<int> n(225, 0), ncat{3, 2};
    const int counts[3][2] = {{10, 4}, {0, 0}, {6, 12}};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 2; ++b) n[static_cast<std::size_t>(a + 15 * b)] = counts[a][b];
    std::vector<double> p(225, -1.0);
    double ll = 0.0;
    POLLIK(1, 0.4, 2, 1, 2, p, n, ncat, t, ll, 1);
    EXPECT_EQ(p[1], 0.0);
    EXPECT_EQ(p[16], 0.0);
    double expected = 0.0, total = 0.0;
    for (int a : {0, 2})
        for (int b = 0; b < 2; ++b) {
            const double cell = p[static_cast<std::size_t>(a + 15 * b)];
            total += cell;
            expected += counts[a][b] * std::log(cell);
        }
    EXPECT_NEAR(total, 1.0, 1e-12);
    EXPECT_NEAR(ll, expected, 1e-12);

    n[16] = 3;
    std::vector<double> q(225, -1.0);
    POLLIK(1, 0.4, 2, 1, 2, q, n, ncat, t, ll, 1);
    EXPECT_EQ(ll, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(q, p);  // every cell is still filled
}

TEST(Pollik, CellsAreTheBivariateNormalDifferencesBitForBit) {
    // The outer thresholds take short cuts; every cell must still be the
    // difference of the routine's own corner values, for every sign of RHO.
    std::vector<double> t(30, 0.0);
    const double tj[] = {-999999.0, -2.1, -0.4, 0.0, 1.3, 999999.0}, ti[] = {-999999.0, -7.9, 0.3, 2.6, 999999.0};
    std::copy(std::begin(tj), std::end(tj), t.begin());
    std::copy(std::begin(ti), std::end(ti), t.begin() + 15);
    std::vector<int> n(225, 1), ncat{5, 4};
    for (double rho : {-1.0, -0.9, -0.5, -1e-17, -0.0, 0.0, 1e-17, 0.37, 0.9, 1.0}) {
        SCOPED_TRACE(rho);
        std::vector<double> p(225, -1.0);
        double ll = 0.0;
        POLLIK(1, rho, 2, 1, 2, p, n, ncat, t, ll, 1);
        auto g = [&](int a, int b) {
            int ifail = 0;
            return num1::G01HAF(tj[a], ti[b], rho, ifail);
        };
        // Every cell holds a subject: one without probability rules RHO out.
        double expected = 0.0;
        for (int a = 1; a <= 5; ++a)
            for (int b = 1; b <= 4; ++b) {
                const double cell = ((g(a, b) - g(a - 1, b)) - g(a, b - 1)) + g(a - 1, b - 1);
                EXPECT_EQ(p[static_cast<std::size_t>(a - 1 + 15 * (b - 1))], cell) << a << " " << b;
                expected += cell > 0.0 ? std::log(cell) : -std::numeric_limits<double>::infinity();
            }
        EXPECT_EQ(ll, expected);
    }
}

TEST_F(Polcor, ResultsAndRecordsDoNotDependOnTheThreadCount) {
    const int nsubj = 300, nvar = 9;
    std::vector<double> x(static_cast<std::size_t>(nsubj * nvar));
    unsigned state = 12345u;
    auto next = [&] { return (state = state * 1103515245u + 12345u) >> 16 & 0x7FFF; };
    for (int s = 0; s < nsubj; ++s) {
        const double common = next() / 32768.0;
        for (int v = 0; v < nvar; ++v) {
            const double score = (v % 3 == 0 ? 0.8 : 0.3) * common + (next() / 32768.0);
            const int ncat = 2 + v % 5;
            x[static_cast<std::size_t>(s + nsubj * v)] = std::floor(score * ncat / 1.8);
        }
    }
    // The last variable repeats the first: one pair ends at the bound.
    std::copy_n(x.begin(), nsubj, x.end() - nsubj);
    std::vector<double> r1(static_cast<std::size_t>(nvar * nvar)), r8(r1.size());
    POLCOR(x, nsubj, nvar, r1, kReport, 1);
    const auto records1 = host_.records;
    const std::string report1 = report();
    host_.records.clear();
    POLCOR(x, nsubj, nvar, r8, kReport, 8);
    EXPECT_EQ(r1, r8);
    EXPECT_EQ(host_.records, records1);
    EXPECT_EQ(records1.size(), static_cast<std::size_t>(nvar * (nvar - 1) / 2));
    EXPECT_EQ(r1[8], 0.9);
    EXPECT_NE(report1.find("CORRELATION   9   1    AT BOUNDARY"), std::string::npos);
    EXPECT_EQ(report(), report1);
}

}  // namespace
}  // namespace orv::engine

// CTest label: threads
#include "engine/stats/tetcor.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

const std::string kGolden = std::string(ORV_TEST_DATA_DIR) + "/engine/golden/tetcor/";

// What one call leaves: the matrix, the three side files, the window
// records and the report.
struct Outcome {
    std::vector<double> r;
    std::string frq, dff, ser, report;
    std::vector<std::string> window;
    double at(int i, int j, int nvar) const { return r[static_cast<std::size_t>((i - 1) + (j - 1) * nvar)]; }
};

// One pair block of the .frq file.
struct Block {
    int j = 0, i = 0;
    double n01 = 0, n11 = 0, rtet = 0, se = 0, n00 = 0, n10 = 0, rphi = 0;
    bool warned = false;
};

std::vector<Block> blocks(const std::string& frq) {
    std::vector<Block> out;
    std::istringstream in(frq);
    std::string line;
    bool warned = false;
    while (std::getline(in, line)) {
        if (line.rfind("WARNING! Small cell", 0) == 0) warned = true;
        Block b;
        if (std::sscanf(line.c_str(), "Variables %d and %d", &b.j, &b.i) != 2) continue;
        std::string dashes, head, row1, row0;
        std::getline(in, dashes);
        std::getline(in, head);
        std::getline(in, row1);
        std::getline(in, row0);
        // A standard error that cannot be computed is said in words.
        b.se = std::numeric_limits<double>::quiet_NaN();
        const bool words = row1.ends_with("std err  cannot be computed");
        EXPECT_EQ(std::sscanf(row1.c_str(), "1 %lf %lf r(tet) = %lf std err %lf", &b.n01, &b.n11, &b.rtet, &b.se),
                  words ? 3 : 4)
            << row1;
        EXPECT_EQ(std::sscanf(row0.c_str(), "0 %lf %lf r(phi) = %lf", &b.n00, &b.n10, &b.rphi), 3) << row0;
        b.warned = warned;
        warned = false;
        out.push_back(b);
    }
    return out;
}

// Two items from the counts of their 2 x 2 table, item 1 (j) and item 2 (i)
// keyed 1: n00 neither, n01 item 1 only, n10 item 2 only, n11 both.
std::vector<double> two_items(int n00, int n01, int n10, int n11) {
    std::vector<double> col1, col2;
    auto add = [&](int count, double a, double b) {
        for (int s = 0; s < count; ++s) {
            col1.push_back(a);
            col2.push_back(b);
        }
    };
    add(n00, 0, 0);
    add(n01, 1, 0);
    add(n10, 0, 1);
    add(n11, 1, 1);
    col1.insert(col1.end(), col2.begin(), col2.end());
    return col1;
}

class TetcorTest : public testing::LibraryFixture {
protected:
    Outcome run(const std::vector<double>& x, int nvar, int threads = 1, int cflag = 0, std::vector<double> c = {}) {
        const int nsubj = static_cast<int>(x.size()) / nvar;
        Outcome out;
        out.r.assign(static_cast<std::size_t>(nvar * nvar), 0.0);
        host_.records.clear();
        rt::open_unit_or_fail(LURPT, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        TETCOR(x, nsubj, nvar, out.r, LURPT, dir_.string() + "/", "job.in         ", cflag, c, threads);
        EXPECT_FALSE(rt::unit_connected(LUFRQ));
        EXPECT_FALSE(rt::unit_connected(LUSER));
        EXPECT_TRUE(rt::unit_connected(LUDFF));
        rt::close_all_units();
        out.frq = read_file(dir_ / "job.frq");
        out.dff = read_file(dir_ / "job.dff");
        out.ser = read_file(dir_ / "job.ser");
        out.report = read_file(dir_ / "report.out");
        out.window = host_.records;
        return out;
    }

    orv::testing::TempDir dir_{"tetcor_test"};
};

// Every (i, j) block in pair order, R symmetric with a unit diagonal.
void expect_well_formed(const Outcome& run, int nvar) {
    const auto b = blocks(run.frq);
    ASSERT_EQ(b.size(), static_cast<std::size_t>(nvar * (nvar - 1) / 2));
    std::size_t k = 0;
    for (int i = 2; i <= nvar; ++i) {
        for (int j = 1; j < i; ++j, ++k) {
            EXPECT_EQ(b[k].i, i);
            EXPECT_EQ(b[k].j, j);
            EXPECT_EQ(run.at(i, j, nvar), run.at(j, i, nvar)) << i << " " << j;
            EXPECT_LE(std::abs(run.at(i, j, nvar)), 1.0);
        }
    }
    for (int v = 1; v <= nvar; ++v) EXPECT_EQ(run.at(v, v, nvar), 1.0);
}

struct Reference {
    double n00, n01, n10, n11, rho, se;
};

std::vector<Reference> polychor_reference() {
    std::ifstream in(kGolden + "polychor_reference.txt");
    std::vector<Reference> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        Reference r{};
        std::istringstream(line) >> r.n00 >> r.n01 >> r.n10 >> r.n11 >> r.rho >> r.se;
        out.push_back(r);
    }
    return out;
}

// The standard error of pair (2, 1) as the .ser file holds it (row 2,
// column 1), and the zero diagonal.
double ser_21(const std::string& ser) {
    std::istringstream in(ser);
    double s11, s12, s21, s22;
    in >> s11 >> s12 >> s21 >> s22;
    EXPECT_EQ(s11, 0.0);
    EXPECT_EQ(s22, 0.0);
    EXPECT_EQ(s12, s21);
    return s21;
}

TEST_F(TetcorTest, AgreesWithPolychorTwoStepEstimates) {
    const auto refs = polychor_reference();
    ASSERT_GE(refs.size(), 12u);
    for (const auto& ref : refs) {
        if (ref.n10 != std::floor(ref.n10)) continue;  // the guessing case below
        SCOPED_TRACE(::testing::Message() << ref.n00 << " " << ref.n01 << " " << ref.n10 << " " << ref.n11);
        const Outcome out =
            run(two_items(int(ref.n00), int(ref.n01), int(ref.n10), int(ref.n11)), 2);
        expect_well_formed(out, 2);
        EXPECT_NEAR(out.at(2, 1, 2), ref.rho, 3e-4);
        EXPECT_NEAR(ser_21(out.ser), ref.se, 2e-3 * ref.se);
        const auto b = blocks(out.frq);
        EXPECT_NEAR(b[0].rtet, ref.rho, 0.0006);
        EXPECT_FALSE(b[0].warned);
    }
}

TEST_F(TetcorTest, PhiIsThePearsonCorrelationOfTheIndicators) {
    std::mt19937 gen(7);
    for (int trial = 0; trial < 8; ++trial) {
        const int nsubj = 40 + 30 * trial;
        std::vector<double> x(static_cast<std::size_t>(3 * nsubj));
        for (int s = 0; s < nsubj; ++s) {
            const double latent = std::uniform_real_distribution<>(0, 1)(gen);
            for (int v = 0; v < 3; ++v)
                x[static_cast<std::size_t>(s + v * nsubj)] =
                    latent + std::uniform_real_distribution<>(0, 0.3 + 0.4 * v)(gen) > 0.55 + 0.1 * v ? 1.0 : 0.0;
        }
        const Outcome out = run(x, 3);
        expect_well_formed(out, 3);
        for (const Block& b : blocks(out.frq)) {
            double mi = 0, mj = 0, sij = 0, sii = 0, sjj = 0;
            for (int s = 0; s < nsubj; ++s) {
                mi += x[static_cast<std::size_t>(s + (b.i - 1) * nsubj)] / nsubj;
                mj += x[static_cast<std::size_t>(s + (b.j - 1) * nsubj)] / nsubj;
            }
            for (int s = 0; s < nsubj; ++s) {
                const double di = x[static_cast<std::size_t>(s + (b.i - 1) * nsubj)] - mi;
                const double dj = x[static_cast<std::size_t>(s + (b.j - 1) * nsubj)] - mj;
                sij += di * dj;
                sii += di * di;
                sjj += dj * dj;
            }
            if (b.n00 < 1 || b.n01 < 1 || b.n10 < 1 || b.n11 < 1) continue;  // corrected cells
            EXPECT_NEAR(b.rphi, sij / std::sqrt(sii * sjj), 0.0005 + 1e-12);
        }
    }
}

// Half an observation in an empty cell, taken from its neighbours so that
// the margins hold; the small-cell warning at a count of 5 and below.
TEST_F(TetcorTest, EmptyAndSmallCells) {
    struct Case {
        int n00, n01, n10, n11;
        double e00, e01, e10, e11;
        bool warned;
    };
    const Case cases[] = {
        {30, 20, 0, 50, 29.5, 20.5, 0.5, 49.5, true},  // i keyed, j not: empty
        {30, 0, 20, 50, 29.5, 0.5, 20.5, 49.5, true},  // j keyed, i not: empty
        {0, 20, 30, 50, 0.5, 19.5, 29.5, 50.5, true},  // neither: empty
        {50, 20, 30, 0, 50.5, 19.5, 29.5, 0.5, true},  // both: empty
        {20, 0, 0, 15, 19.5, 0.5, 0.5, 14.5, true},    // both off-diagonal cells empty
        // Exact counts decide: 1 - p11 - p10 - p01 comes out as 1.1e-16 here.
        {0, 15, 15, 20, 0.5, 14.5, 14.5, 20.5, true},
        {40, 25, 30, 5, 40.0, 25.0, 30.0, 5.0, true},  // a count of exactly 5
        {39, 25, 30, 6, 39.0, 25.0, 30.0, 6.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n00 << " " << c.n01 << " " << c.n10 << " " << c.n11);
        const Outcome out = run(two_items(c.n00, c.n01, c.n10, c.n11), 2);
        expect_well_formed(out, 2);
        const Block b = blocks(out.frq).at(0);
        EXPECT_EQ(b.n00, c.e00);
        EXPECT_EQ(b.n01, c.e01);
        EXPECT_EQ(b.n10, c.e10);
        EXPECT_EQ(b.n11, c.e11);
        EXPECT_EQ(b.warned, c.warned);
        EXPECT_LT(std::abs(out.at(2, 1, 2)), 1.0);
    }
}

TEST_F(TetcorTest, ExactCountsKeepTheCorrelationOffTheBoundary) {
    // Without the half observation in the empty cell the table is "perfectly"
    // negative and r runs to the clamp.
    const Outcome out = run(two_items(0, 15, 15, 20), 2);
    EXPECT_GT(out.at(2, 1, 2), -0.9);
    EXPECT_LT(out.at(2, 1, 2), -0.3);
}

// Raw table 30 15 20 35 (N 100) with c = 0.2 for item 1 (j) and 0.25 for
// item 2 (i); qi qj = 0.75 * 0.8 = 0.6:
//   p00' = 0.30 / 0.6                        = 0.5
//   p10' = (0.75 * 0.20 - 0.25 * 0.30) / 0.6 = 0.125
//   p01' = (0.80 * 0.15 - 0.20 * 0.30) / 0.6 = 0.1
//   p11' = 1 - 0.5 - 0.125 - 0.1             = 0.275
// r(phi) = (27.5 * 50 - 10 * 12.5) / sqrt(62.5 * 40 * 37.5 * 60) = 0.52705;
// the corrected proportions 0.375 and 0.4 are the margins of that table, so
// r(tet) is polychor's estimate for it.
TEST_F(TetcorTest, GuessingCorrectionByHand) {
    const Outcome out = run(two_items(30, 15, 20, 35), 2, 1, 1, {0.2, 0.25});
    expect_well_formed(out, 2);
    const Block b = blocks(out.frq).at(0);
    EXPECT_EQ(b.n00, 50.0);
    EXPECT_EQ(b.n10, 12.5);
    EXPECT_EQ(b.n01, 10.0);
    EXPECT_EQ(b.n11, 27.5);
    EXPECT_EQ(b.rphi, 0.527);
    EXPECT_FALSE(b.warned);
    // .dff keeps the raw proportions.
    EXPECT_EQ(out.dff, "   1  0.5000\n   2  0.5500\n");
    const auto refs = polychor_reference();
    ASSERT_EQ(refs.back().n10, 12.5);
    EXPECT_NEAR(out.at(2, 1, 2), refs.back().rho, 3e-4);
    EXPECT_NEAR(ser_21(out.ser), refs.back().se, 2e-3 * refs.back().se);

    // The same job with CFLAG other than 1 is not corrected.
    const Outcome plain = run(two_items(30, 15, 20, 35), 2, 1, 0, {0.2, 0.25});
    EXPECT_EQ(blocks(plain.frq).at(0).n00, 30.0);
}

// A correction that would empty a cell is not made: the pair keeps its
// uncorrected table and r (33 / 0 / 0 / 67, whose clipped table had an r of
// the opposite sign), with a line on .frq and one in the report, while the
// pairs of the same job that can be corrected are.
TEST_F(TetcorTest, GuessingCorrectionThatWouldEmptyACellIsNotMade) {
    std::vector<double> x = two_items(67, 0, 0, 33);
    const Outcome plain = run(x, 2);
    for (int s = 0; s < 100; ++s) x.push_back(s % 2);
    const Outcome out = run(x, 3, 1, 1, {0.2, 0.2, 0.1});
    expect_well_formed(out, 3);
    EXPECT_EQ(out.report,
              std::string(16, ' ') + "!!!WARNING: GUESSING CORRECTION OF VARIABLES   1 AND   2 CANNOT BE MADE!!!\n");
    EXPECT_EQ(out.at(2, 1, 3), plain.at(2, 1, 2));
    EXPECT_GT(out.at(2, 1, 3), 0.99);
    const auto note = out.frq.find("WARNING! Guessing correction cannot be made. Cells and r are uncorrected\n");
    ASSERT_NE(note, std::string::npos);
    EXPECT_EQ(out.frq.find("Variables   1 and   2\n"), note + 73);
    EXPECT_EQ(blocks(out.frq).at(0).n11, blocks(plain.frq).at(0).n11);
    EXPECT_EQ(blocks(out.frq).at(1).n00, 47.22);  // 34 / (0.8 * 0.9): corrected
}

TEST_F(TetcorTest, KeyedCodeIsTheLargestValueOfItemOne) {
    std::vector<double> coded12 = two_items(30, 15, 20, 35);
    for (double& v : coded12) v += 1.0;
    const Outcome a = run(two_items(30, 15, 20, 35), 2);
    const Outcome b = run(coded12, 2);
    EXPECT_EQ(a.r, b.r);
    EXPECT_EQ(a.frq, b.frq);
    // 1.7 truncates to 1: only exact 1s are keyed, 1.7 is not.
    std::vector<double> fractional = two_items(30, 15, 20, 35);
    fractional[0] = 1.7;
    const Outcome c = run(fractional, 2);
    EXPECT_EQ(c.dff, "   1  0.5000\n   2  0.5500\n");
}

TEST_F(TetcorTest, ItemWithoutKeyedResponseStopsPlainly) {
    // Item 1 coded 0/1, item 2 coded 0/2: 1 is keyed and item 2 never has it.
    std::vector<double> x = two_items(30, 15, 20, 35);
    for (std::size_t s = 100; s < 200; ++s) x[s] *= 2.0;
    std::vector<double> r(4);
    host_.records.clear();
    try {
        TETCOR(x, 100, 2, r, LURPT, dir_.string() + "/", "job.in", 0, {}, 1);
        FAIL() << "no stop";
    } catch (const rt::Stop& stop) {
        EXPECT_EQ(stop.message, "");
        EXPECT_EQ(stop.exit_status, 1);
        EXPECT_FALSE(stop.quiet);
    }
    const std::vector<std::string> expected{
        std::string(29, ' ') + "FATAL ERROR: VARIABLE   2 HAS NO VARIANCE", "", "", ""};
    EXPECT_EQ(host_.records, expected);
    EXPECT_EQ(host_.pauses, 0);
    // The .frq head was written before the proportions were checked.
    rt::close_all_units();
    EXPECT_TRUE(fs::exists(dir_ / "job.frq"));
    EXPECT_FALSE(fs::exists(dir_ / "job.dff"));
}

// An item that everyone has keyed has no threshold: the run stops naming
// it and the keyed code before any pair, and before the library is asked
// for a deviate, whatever the thread count.
TEST_F(TetcorTest, ItemKeyedByAllStopsBeforeAnyPair) {
    for (int threads : {1, 8}) {
        std::vector<double> x;
        for (int v = 0; v < 3; ++v) {
            const auto col = v == 2 ? two_items(0, 0, 0, 100) : two_items(30, 15 + v, 20 - v, 35);
            x.insert(x.end(), col.begin() + (v == 2 ? 100 : 0), col.begin() + (v == 2 ? 200 : 100));
        }
        std::vector<double> r(9);
        host_.records.clear();
        EXPECT_THROW(TETCOR(x, 100, 3, r, LURPT, dir_.string() + "/", "job.in", 0, {}, threads), rt::Stop);
        rt::close_all_units();
        const std::vector<std::string> want{
            std::string(29, ' ') + "FATAL ERROR: Every subject gives variable 3 the keyed response 1:",
            std::string(29, ' ') + "the variable has no variance", "", ""};
        EXPECT_EQ(host_.records, want);
    }
}

TEST_F(TetcorTest, WindowLinesOverprintInPairOrder) {
    std::vector<double> x;
    for (int v = 0; v < 3; ++v) {
        const auto col = two_items(30, 15 + v, 20 - v, 35);
        x.insert(x.end(), col.begin(), col.begin() + 100);
    }
    const Outcome out = run(x, 3);
    const std::string pad = "+" + std::string(28, ' ') + "Computing tetrachoric correlation for varables ";
    const std::vector<std::string> expected{pad + "  2   1", pad + "  3   1", pad + "  3   2"};
    EXPECT_EQ(out.window, expected);
}

// BVNDEN: the density in single precision, RHO clamped through the argument.
TEST(Bvnden, DensityAndClamp) {
    struct Case {
        double x, y, rho, rho_after;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 0.0},
        {0.3, -1.2, 0.45, 0.45},
        {1.0, 1.0, 1.0, static_cast<double>(0.99f)},
        {1.0, 0.5, 1.7, static_cast<double>(0.99f)},
        {-0.4, 0.5, -1.0, -static_cast<double>(0.99f)},
        {2.0, -3.0, 0.98999, 0.98999},
    };
    EXPECT_EQ(static_cast<double>(0.99f), 0.9900000095367432);
    for (const Case& c : cases) {
        double rho = c.rho;
        const float value = BVNDEN(c.x, c.y, rho);
        EXPECT_EQ(rho, c.rho_after);
        const double s = 1.0 - c.rho_after * c.rho_after;
        const double exact = std::exp(-(c.x * c.x + c.y * c.y - 2 * c.rho_after * c.x * c.y) / (2 * s)) /
                             (2 * std::acos(-1.0) * std::sqrt(s));
        EXPECT_NEAR(value, exact, 1e-7 * exact + 1e-30);
    }
    double rho = 0.5;
    EXPECT_EQ(BVNDEN(-999.0, 0.0, rho), 0.0f);
    EXPECT_EQ(BVNDEN(0.0, 0.0, rho), static_cast<float>(1.0 / (6.283185308 * std::sqrt(0.75))));
}

// Identical tables for the pairs (4, 2) and (4, 3).  Their first Newton step
// alone nearly settles them; pair (4, 2) follows a pair with a distant r and
// takes further steps, pair (4, 3) follows it at the same r and stops after
// one.  So the two differ in the last digits, whatever the thread count.
TEST_F(TetcorTest, StepTestCarriesTheLastPairsCorrelation) {
    const int n = 2414;
    // Item 3 (j) and item 4 (i): 42 neither, 31 item 3 only, 1334 item 4
    // only, 1007 both.
    const std::vector<double> t34 = two_items(42, 31, 1334, 1007);
    std::vector<double> x(static_cast<std::size_t>(4 * n));
    for (int s = 0; s < n; ++s) {
        const double item3 = t34[static_cast<std::size_t>(s)];
        const double item4 = t34[static_cast<std::size_t>(s + n)];
        x[static_cast<std::size_t>(s)] = (s % 3 == 0) ? 1.0 - item4 : item4;  // item 1 near item 4
        x[static_cast<std::size_t>(s + n)] = item3;
        x[static_cast<std::size_t>(s + 2 * n)] = item3;
        x[static_cast<std::size_t>(s + 3 * n)] = item4;
    }
    // Item 2 differs from item 3 by an exchange between two subjects of the
    // same item-4 response, so its table with item 4 is the same.
    for (int k = 0; k < 60; ++k) {
        const std::size_t a = static_cast<std::size_t>(73 + k), b = static_cast<std::size_t>(1407 + 15 * k);
        ASSERT_EQ(x[a + 3 * n], x[b + 3 * n]);
        ASSERT_NE(x[a + n], x[b + n]);
        std::swap(x[a + n], x[b + n]);
    }
    const Outcome one = run(x, 4, 1);
    const Outcome eight = run(x, 4, 8);
    EXPECT_EQ(one.r, eight.r);
    const auto b = blocks(one.frq);
    ASSERT_EQ(b.size(), 6u);
    EXPECT_EQ(b[4].n01, b[5].n01);
    EXPECT_EQ(b[4].n11, b[5].n11);
    EXPECT_EQ(b[4].n00, b[5].n00);
    EXPECT_EQ(b[4].n10, b[5].n10);
    EXPECT_NE(one.at(4, 2, 4), one.at(4, 3, 4));
    EXPECT_NEAR(one.at(4, 2, 4), one.at(4, 3, 4), 1e-7);
    // On its own (after r = 0) the pair takes the further steps too.
    const Outcome alone = run(t34, 2, 1);
    EXPECT_EQ(alone.at(2, 1, 2), one.at(4, 2, 4));
}

std::vector<double> factor_data(int nsubj, int nvar, unsigned seed) {
    std::mt19937_64 gen(seed);
    auto normal = [&] {
        const double u1 = (static_cast<double>(gen() >> 11) + 0.5) / 9007199254740992.0;
        const double u2 = static_cast<double>(gen() >> 11) / 9007199254740992.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::acos(-1.0) * u2);
    };
    std::vector<double> x(static_cast<std::size_t>(nsubj * nvar));
    for (int s = 0; s < nsubj; ++s) {
        const double f = normal();
        for (int v = 0; v < nvar; ++v) {
            const double loading = 0.2 + 0.7 * ((v * 37) % nvar) / nvar;
            const double cut = -1.5 + 3.0 * ((v * 11) % nvar) / nvar;
            x[static_cast<std::size_t>(s + v * nsubj)] =
                loading * f + std::sqrt(1 - loading * loading) * normal() > cut ? 1.0 : 0.0;
        }
    }
    return x;
}

TEST_F(TetcorTest, SameOutputWhateverTheThreadCount) {
    const int nvar = 40;
    const std::vector<double> x = factor_data(3000, nvar, 11);
    const Outcome one = run(x, nvar, 1);
    const Outcome eight = run(x, nvar, 8);
    expect_well_formed(one, nvar);
    EXPECT_EQ(one.r, eight.r);
    EXPECT_EQ(one.frq, eight.frq);
    EXPECT_EQ(one.dff, eight.dff);
    EXPECT_EQ(one.ser, eight.ser);
    EXPECT_EQ(one.window, eight.window);
    EXPECT_EQ(one.report, eight.report);
}

// Strongly associated tables whose Newton steps leave (-1, 1): the
// safeguarded steps keep the sign of the association and end at the root
// of the corrected table (reference in 40 digits), with no polychoric
// fall-back; the pair (3, 2) of three items swung around the clamp for
// 999 steps before.  The same on 1 and 8 threads.
TEST_F(TetcorTest, StepsThatLeaveTheIntervalEndAtTheRoot) {
    std::ifstream in(kGolden + "strong_reference.txt");
    std::vector<std::vector<double>> refs;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<double> ref(5);
        for (double& v : ref) fields >> v;
        refs.push_back(ref);
    }
    ASSERT_EQ(refs.size(), 2u);
    // 460 subjects: 380 neither, 40 item 1 only, none item 2 only, 40 both.
    const Outcome strong = run(two_items(380, 40, 0, 40), 2);
    expect_well_formed(strong, 2);
    EXPECT_EQ(refs[0][0], 379.5);
    EXPECT_NEAR(strong.at(2, 1, 2), refs[0][4], 1e-4);
    const Block b = blocks(strong.frq).at(0);
    EXPECT_EQ(b.rtet, 0.967);
    EXPECT_TRUE(std::isfinite(b.se));
    EXPECT_TRUE(b.warned);

    const auto t23 = two_items(20, 0, 0, 25);
    std::vector<double> x(135);
    for (int s = 0; s < 45; ++s) {
        x[static_cast<std::size_t>(s)] = s % 2;
        x[static_cast<std::size_t>(s + 45)] = t23[static_cast<std::size_t>(s)];
        x[static_cast<std::size_t>(s + 90)] = t23[static_cast<std::size_t>(s + 45)];
    }
    const Outcome one = run(x, 3, 1);
    expect_well_formed(one, 3);
    EXPECT_EQ(refs[1][0], 19.5);
    EXPECT_NEAR(one.at(3, 2, 3), refs[1][4], 1e-5);
    EXPECT_EQ(one.report, "");
    for (const std::string& record : one.window) EXPECT_EQ(record.find("polychoric"), std::string::npos) << record;
    const Outcome eight = run(x, 3, 8);
    EXPECT_EQ(one.r, eight.r);
    EXPECT_EQ(one.window, eight.window);
    EXPECT_EQ(one.frq, eight.frq);
}

// Rare items (cells "both keyed" below 1 % of the sample, n up to 100,000)
// and tables whose empty cell is on the side of their association: r is the
// two-step root of the corrected table (reference in 40 digits) and keeps
// the sign of the association as counted.
TEST_F(TetcorTest, RareItemsAndEmptyCellsReachTheTwoStepRoot) {
    std::ifstream in(kGolden + "rare_reference.txt");
    int tables = 0, rare = 0, empty = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        int n00 = 0, n01 = 0, n10 = 0, n11 = 0;
        double rho = 0;
        std::istringstream(line) >> n00 >> n01 >> n10 >> n11 >> rho;
        SCOPED_TRACE(line);
        const Outcome out = run(two_items(n00, n01, n10, n11), 2);
        const double r = out.at(2, 1, 2);
        EXPECT_NEAR(r, rho, 2e-3);
        EXPECT_NEAR(blocks(out.frq).at(0).rtet, rho, 2e-3);
        const double association = double(n11) * n00 - double(n10) * n01;
        EXPECT_GT(r * association, 0.0);
        ++tables;
        rare += n11 < 0.01 * (n00 + n01 + n10 + n11);
        empty += n00 == 0 || n01 == 0 || n10 == 0 || n11 == 0;
    }
    EXPECT_EQ(tables, 79);
    EXPECT_GE(rare, 30);
    EXPECT_GE(empty, 10);
}

// The side files of a small job, byte for byte; a longer older file of the
// same name is replaced.
TEST_F(TetcorTest, GoldenSideFiles) {
    const int nsubj = 24, nvar = 5;
    std::vector<double> x(static_cast<std::size_t>(nsubj * nvar));
    for (int s = 0; s < nsubj; ++s) {
        for (int v = 0; v < nvar; ++v) {
            // Items coded 1/2, 2 keyed: a Guttman-like pattern with a few
            // exceptions, so that some tables have an empty cell.
            const bool keyed = (s * 7 + v * 3) % 24 < 6 + 3 * v || (s + v) % 9 == 0;
            x[static_cast<std::size_t>(s + v * nsubj)] = keyed ? 2.0 : 1.0;
        }
    }
    {
        std::ofstream old(dir_ / "job.frq");
        old << std::string(20000, 'x') << "\n";
    }
    const Outcome out = run(x, nvar);
    expect_well_formed(out, nvar);
    EXPECT_EQ(out.frq, read_file(kGolden + "job.frq"));
    EXPECT_EQ(out.dff, read_file(kGolden + "job.dff"));
    EXPECT_EQ(out.ser, read_file(kGolden + "job.ser"));
}

}  // namespace
}  // namespace orv::engine

#include "numlib/routines2/deqtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "numlib/routines2/num2_test_support.h"

namespace orv::num2 {
namespace {

using Vec = std::vector<double>;
const double NaN = std::numeric_limits<double>::quiet_NaN();

using Quantiles = test::Num2Test;

struct Result {
    Vec q, lo, hi;
    int nmiss = -1;
};

Result quantiles(const Vec& x, const Vec& p) {
    Result r{Vec(p.size(), -7.0), Vec(p.size(), -7.0), Vec(p.size(), -7.0)};
    DEQTIL(static_cast<int>(x.size()), x, static_cast<int>(p.size()), p, r.q, r.lo, r.hi, r.nmiss);
    return r;
}

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// R's quantile(type = 6) for samples in and out of order, with and without
// NaN, and for proportion sets that take the partial orderings and the
// full sort.
TEST_F(Quantiles, MatchesRType6) {
    std::ifstream in(ORV_TEST_DATA_DIR "/numlib/golden/quantile_reference.txt");
    ASSERT_TRUE(in) << "missing golden file";
    std::string line, word;
    std::getline(in, line);
    int cases = 0;
    auto read = [&](int n, const char* label) {
        in >> word;
        EXPECT_EQ(word, label);
        Vec v(n);
        for (double& e : v) {
            in >> word;
            e = std::strtod(word.c_str(), nullptr);
        }
        return v;
    };
    while (in >> word && word == "case") {
        std::string name;
        int nobs = 0, np = 0, nmiss = 0;
        in >> name >> nobs >> np >> nmiss;
        SCOPED_TRACE(name);
        const Vec x = read(nobs, "X");
        const Vec p = read(np, "P");
        const Vec qref = read(np, "Q");
        Vec sorted;
        for (double v : x)
            if (!std::isnan(v)) sorted.push_back(v);
        std::sort(sorted.begin(), sorted.end());

        const Vec before = x;
        const Result r = quantiles(x, p);
        EXPECT_EQ(r.nmiss, nmiss);
        for (int i = 0; i < np; ++i) {
            EXPECT_NEAR(r.q[i], qref[i], 1.0E-13 * std::max(1.0, std::fabs(qref[i]))) << p[i];
            // The brackets are order statistics next to each other.
            const auto lo = std::find(sorted.begin(), sorted.end(), r.lo[i]);
            ASSERT_NE(lo, sorted.end());
            EXPECT_TRUE(r.hi[i] == r.lo[i] || (lo + 1 != sorted.end() && *(lo + 1) <= r.hi[i] &&
                                                std::binary_search(sorted.begin(), sorted.end(), r.hi[i])));
            EXPECT_LE(r.lo[i], r.q[i]);
            EXPECT_LE(r.q[i], r.hi[i]);
        }
        for (std::size_t i = 0; i < x.size(); ++i) EXPECT_TRUE(same(x[i], before[i]));
        ++cases;
    }
    EXPECT_EQ(cases, 32);
    EXPECT_EQ(window(), "");
}

TEST_F(Quantiles, SmallSamples) {
    struct Case {
        Vec x;
        double p;
        double q, lo, hi;
        int nmiss;
    };
    const std::vector<Case> cases = {
        {{3, 1, 2}, 0.5, 2, 2, 2, 0},              // y = 2 exactly
        {{1, 2, 3, 4}, 0.5, 2.5, 2, 3, 0},         // halfway between x(2) and x(3)
        {{1, NaN, 2, 3}, 0.5, 2, 2, 2, 1},         // copied: a value follows the NaN
        {{1, 2, 3, NaN}, 0.5, 2, 2, 2, 1},         // in place
        {{NaN, 6.5, NaN}, 0.3, 6.5, 6.5, 6.5, 2},  // one value
        {{NaN, 6.5, NaN}, 0.9, 6.5, 6.5, 6.5, 2},
        {{5, 4, 3, 2, 1}, 0.1, 1, 1, 1, 0},  // y = 0.6: below the first
        {{5, 4, 3, 2, 1}, 0.9, 5, 5, 5, 0},  // y = 5.4: past the last
        {{1, 2, 3, 4, 5}, 0.1, 1, 1, 1, 0},
        {{1, 2, 3, 4, 5}, 0.9, 5, 5, 5, 0},
        {{0.1, 0.7, 0.7, 0.9}, 0.45, 0.7, 0.7, 0.7, 0},  // equal neighbours, no arithmetic
        {{0.9, 0.7, 0.1, 0.7}, 0.45, 0.7, 0.7, 0.7, 0},
        {{-std::numeric_limits<double>::infinity(), 0, 1}, 0.2, -std::numeric_limits<double>::infinity(),
         -std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 0},
    };
    for (const Case& c : cases) {
        const Result r = quantiles(c.x, {c.p});
        EXPECT_EQ(r.q[0], c.q) << c.p;
        EXPECT_EQ(r.lo[0], c.lo) << c.p;
        EXPECT_EQ(r.hi[0], c.hi) << c.p;
        EXPECT_EQ(r.nmiss, c.nmiss);
    }
    EXPECT_EQ(window(), "");
}

TEST_F(Quantiles, AllMissingIsAWarningWithNaNResults) {
    const Result r = quantiles({NaN, NaN, NaN}, {0.5, 0.25});
    EXPECT_EQ(r.nmiss, 3);
    for (const Vec* v : {&r.q, &r.lo, &r.hi})
        for (double e : *v) EXPECT_TRUE(std::isnan(e));
    EXPECT_EQ(LSTERR(), 1);
    EXPECT_NE(window().find(squeeze(" *** WARNING  ERROR 1 from DEQTIL.  All of the observations are missing "
                                    "values.  The elements of Q, XLO and XHI have been set to NaN (not a number).")),
              std::string::npos)
        << window();
}

// A proportion just below 1 whose index rounds up to n+1 gives the largest
// value, not the NaN (or whatever else) that lies past the values.
TEST_F(Quantiles, ProportionJustBelowOneStaysInsideTheData) {
    const double p = std::nextafter(1.0, 0.0);
    for (const Vec& x : {Vec{1, 2, 3, NaN}, Vec{3, 1, 2, NaN}, Vec{2, NaN, 3, 1}}) {
        const Result r = quantiles(x, {p});
        EXPECT_EQ(r.q[0], 3.0);
        EXPECT_EQ(r.lo[0], 3.0);
        EXPECT_EQ(r.hi[0], 3.0);
        EXPECT_EQ(r.nmiss, 1);
    }
}

// Bad proportions name the first offender and write nothing; a NaN
// proportion counts as one.
TEST_F(Quantiles, ArgumentErrors) {
    struct Case {
        int nobs;
        Vec p;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {3, {0.5, 0.0, 1.5}, "3 from DE2TIL. QPROP(2) = 0.000000000000000D+00. The quantile proportion must be "
                             "greater than 0.0 and less than 1.0."},
        {3, {1.0}, "3 from DE2TIL. QPROP(1) = 1.000000000000000D+00."},
        {3, {0.2, 0.4, 1.5}, "3 from DE2TIL. QPROP(3) = 1.500000000000000D+00."},
        {3, {0.2, NaN}, "3 from DE2TIL. QPROP(2) ="},
        {3, {}, "2 from DE2TIL. NQPROP = 0. There must be at least one quantile to compute."},
        {0, {0.5}, "4 from DEQTIL. NOBS = 0. There must be at least one observation."},
    };
    const Vec x = {2.0, 1.0, 3.0};
    for (const Case& c : cases) {
        host_.records.clear();
        Vec q(3, -7.0), lo(3, -7.0), hi(3, -7.0);
        int nmiss = -1;
        DEQTIL(c.nobs, x, static_cast<int>(c.p.size()), c.p, q, lo, hi, nmiss);
        EXPECT_NE(window().find("TERMINAL ERROR " + c.expected), std::string::npos) << window();
        for (const Vec* v : {&q, &lo, &hi})
            for (double e : *v) EXPECT_EQ(e, -7.0);
        EXPECT_EQ(nmiss, -1);  // the sample is not in order: nothing written
    }
}

TEST_F(Quantiles, MovingMissingValues) {
    std::mt19937 gen(41);
    for (int n : {1, 2, 5, 17}) {
        for (double share : {0.0, 0.3, 0.7, 1.0}) {
            Vec x(n);
            int expected = 0;
            for (int i = 0; i < n; ++i) {
                const bool missing = std::uniform_real_distribution<double>(0, 1)(gen) < share;
                x[i] = missing ? NaN : i + 0.5;
                expected += missing;
            }
            Vec y = x;
            int nmiss = -1;
            DU1MVV(n, y, nmiss);
            EXPECT_EQ(nmiss, expected);
            Vec kept(y.begin(), y.end() - nmiss), orig;
            for (double v : x)
                if (!std::isnan(v)) orig.push_back(v);
            std::sort(kept.begin(), kept.end());
            EXPECT_EQ(kept, orig);
            for (int i = n - nmiss; i < n; ++i) EXPECT_TRUE(std::isnan(y[i]));
        }
    }
    int nmiss = -1;
    Vec empty;
    DU1MVV(0, empty, nmiss);
    EXPECT_EQ(nmiss, 0);
    EXPECT_NE(window().find("TERMINAL ERROR 1 from DU1MVV. NOBS = 0. NOBS must be greater than 0."), std::string::npos)
        << window();
}

TEST_F(Quantiles, FirstNaN) {
    const Vec x = {1, 2, NaN, 4, NaN, 6, 7};
    EXPECT_EQ(IDANAN(7, x, 1), 3);
    EXPECT_EQ(IDANAN(2, x, 1), 0);
    EXPECT_EQ(IDANAN(4, x, 2), 2);  // X(1), X(3): the second visited
    EXPECT_EQ(IDANAN(3, x, 3), 0);  // X(1), X(4), X(7)
    EXPECT_EQ(IDANAN(0, x, 1), 0);
    EXPECT_EQ(IDANAN(7, x, 0), 0);
    EXPECT_EQ(IDANAN(3, Vec{std::numeric_limits<double>::infinity(), 0, 1}, 1), 0);
    EXPECT_EQ(window(), "");
    EXPECT_EQ(IDANAN(-1, x, 1), 0);
    EXPECT_EQ(IDANAN(3, x, -1), 0);
    const std::string w = window();
    EXPECT_NE(w.find("TERMINAL ERROR 1 from IDANAN. The length of the input vector is -1. The length must be "
                     "non-negative."),
              std::string::npos)
        << w;
    EXPECT_NE(w.find("TERMINAL ERROR 2 from IDANAN. The length of the incrementation of the input vector is -1. "
                     "The incrementation must be non-negative."),
              std::string::npos)
        << w;
    EXPECT_THROW(IDANAN(3, x, 4), std::length_error);
}

TEST_F(Quantiles, ShortArraysAreRefused) {
    const Vec x = {1, 2, 3};
    Vec q(1), lo(1), hi(1);
    int nmiss = 0;
    EXPECT_THROW(DEQTIL(4, x, 1, Vec{0.5}, q, lo, hi, nmiss), std::length_error);
    EXPECT_THROW(DEQTIL(3, x, 2, Vec{0.5, 0.6}, q, lo, hi, nmiss), std::length_error);
    Vec wk(2);
    EXPECT_THROW(DE2TIL(3, Vec{3, 1, 2}, 1, Vec{0.5}, q, lo, hi, nmiss, wk), std::length_error);
}

}  // namespace
}  // namespace orv::num2

// PRMTGT against the high-precision reference of
// scripts/reference/promax_reference.py, the invariants of the oblique
// solution, and the fatal stop for a factor without loadings.
#include "engine/stats/prmtgt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/io_error.h"
#include "support/fake_host.h"

namespace orv::engine {
namespace {

struct Case {
    std::string name;
    int nvar = 0, nfac = 0, power = 0;
    std::vector<double> a, p, phi;
};

std::vector<double> numbers(const std::string& line, const std::string& tag) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    EXPECT_EQ(word, tag);
    std::vector<double> v;
    while (in >> word) v.push_back(std::strtod(word.c_str(), nullptr));
    return v;
}

std::vector<Case> reference_cases() {
    std::ifstream in(ORV_TEST_DATA_DIR "/engine/golden/promax/promax_reference.txt");
    std::vector<Case> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("CASE ", 0) != 0) continue;
        Case c;
        std::istringstream head(line.substr(5));
        head >> c.name >> c.nvar >> c.nfac >> c.power;
        std::string a, p, phi;
        std::getline(in, a);
        std::getline(in, p);
        std::getline(in, phi);
        c.a = numbers(a, "A");
        c.p = numbers(p, "P");
        c.phi = numbers(phi, "PHI");
        cases.push_back(c);
    }
    return cases;
}

TEST(Prmtgt, MatchesReferenceAndReproducesCommonVariance) {
    const std::vector<Case> cases = reference_cases();
    ASSERT_EQ(cases.size(), 16u) << "reference file missing or incomplete";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t n = static_cast<std::size_t>(c.nvar), k = static_cast<std::size_t>(c.nfac);
        ASSERT_EQ(c.a.size(), n * k);
        ASSERT_EQ(c.p.size(), n * k);
        ASSERT_EQ(c.phi.size(), k * k);
        std::vector<double> p(n * k, -9.0), phi(k * k, -9.0);
        PRMTGT(c.a, p, phi, c.nvar, c.nfac, c.power);
        for (std::size_t e = 0; e < n * k; ++e) EXPECT_NEAR(p[e], c.p[e], 1e-12) << "P " << e;
        for (std::size_t e = 0; e < k * k; ++e) EXPECT_NEAR(phi[e], c.phi[e], 1e-12) << "PHI " << e;

        // Symmetric PHI with a unit diagonal; P PHI P' = A A'.
        for (std::size_t i = 0; i < k; ++i) {
            EXPECT_NEAR(phi[i + k * i], 1.0, 1e-13);
            for (std::size_t j = 0; j < i; ++j) EXPECT_NEAR(phi[i + k * j], phi[j + k * i], 1e-15);
        }
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                double lhs = 0.0, rhs = 0.0;
                for (std::size_t r = 0; r < k; ++r) {
                    rhs += c.a[i + n * r] * c.a[j + n * r];
                    for (std::size_t s = 0; s < k; ++s) lhs += p[i + n * r] * phi[r + k * s] * p[j + n * s];
                }
                EXPECT_NEAR(lhs, rhs, 1e-12) << i << "," << j;
            }
        }
    }
}

TEST(Prmtgt, ReflectedFactorCarriesItsSignUnlessThePowerIsEvenAndPlain) {
    // Negating factor 2 of A negates column 2 of P and row and column 2 of
    // PHI as long as the target keeps the loadings' signs (powers 1 to 7);
    // the plain even power 8 loses them and gives another solution.
    const int n = 6, k = 2;
    const std::vector<double> a{0.8, 0.7, 0.0, 0.1, -0.2, 0.65, 0.1, -0.2, 0.6, 0.7, 0.75, 0.3};
    std::vector<double> b = a;
    for (int i = 0; i < n; ++i) b[i + n] = -b[i + n];
    for (int power = 1; power <= 8; ++power) {
        SCOPED_TRACE(power);
        std::vector<double> pa(12), pb(12), fa(4), fb(4);
        PRMTGT(a, pa, fa, n, k, power);
        PRMTGT(b, pb, fb, n, k, power);
        double largest = 0.0;
        for (int e = 0; e < 12; ++e) {
            ASSERT_TRUE(std::isfinite(pa[e]));
            largest = std::fmax(largest, std::fabs(pb[e] - (e < n ? pa[e] : -pa[e])));
        }
        largest = std::fmax(largest, std::fabs(fb[1] + fa[1]));
        if (power < 8) {
            EXPECT_LT(largest, 1e-13);
        } else {
            EXPECT_GT(largest, 1e-3);
        }
    }
}

// A factor without a non-zero loading gives no target: the fatal stop with
// its message, before P is touched.  (A power below 1 never reaches PRMTGT:
// the command-file reader refuses it.)
TEST(Prmtgt, EmptyFactorStops) {
    orv::testing::FakeHost host;
    rt::set_host(&host);
    const std::vector<double> a{0.8, 0.1, 0.0, 0.0};
    std::vector<double> p(4, -9.0), phi(4, -9.0);
    int status = -1;
    try {
        PRMTGT(a, p, phi, 2, 2, 4);
    } catch (const rt::Stop& stop) {
        status = stop.exit_status;
        EXPECT_EQ(stop.message, "");
    }
    rt::set_host(nullptr);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(host.pauses, 1);
    const std::vector<std::string> expected{
        std::string(29, ' ') + "FATAL ERROR: Promax factor 2 has no non-zero loading; no target can be built", "",
        ""};
    EXPECT_EQ(host.records, expected);
    EXPECT_EQ(p[0], -9.0);
}

}  // namespace
}  // namespace orv::engine

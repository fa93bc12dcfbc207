// Regression and Bartlett factor scores: weights, standardised scores and
// validities against psych::factor.scores (committed reference values of
// scripts/reference/factor_scores_reference.R), the equality of both methods with all
// components, the data-parallel product against the reference DGEMM, the
// same bits at every thread count, and the guarded failures.
// CTest label: threads
#include "engine/stats/regscr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/g02baf.h"
#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/factor_matrix.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

using Matrix = std::vector<double>;  // column-major

struct Case {
    std::string name, file, method;
    int nvar = 0, nsubj = 0, nfac = 0;
    std::map<std::string, Matrix> blocks;  // L, H2, W, V, S (column-major)
};

std::vector<Case> load_cases() {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/factor_scores_reference.txt");
    std::vector<Case> cases;
    std::string word;
    while (in >> word && word != "end") {
        if (word == "#") {
            std::getline(in, word);
            continue;
        }
        if (word == "case") {
            Case c;
            in >> c.name >> c.file >> c.nvar >> c.nsubj >> c.nfac >> c.method;
            cases.push_back(c);
            continue;
        }
        int rows = 0, cols = 0;
        in >> rows >> cols;
        Matrix m(static_cast<std::size_t>(rows * cols));
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) in >> m[i + j * rows];
        cases.back().blocks[word] = m;
    }
    EXPECT_EQ(word, "end");
    return cases;
}

const Case& reference(const std::string& name, const std::string& method) {
    static const std::vector<Case> cases = load_cases();
    for (const Case& c : cases)
        if (c.name == name && c.method == method) return c;
    throw std::runtime_error("no reference case " + name + " " + method);
}

// The data of a reference case: a subject number, then the values, blank
// separated, one subject a line.
Matrix read_data(const Case& c) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/" + c.file);
    Matrix x(static_cast<std::size_t>(c.nsubj * c.nvar));
    double id = 0.0;
    for (int i = 0; i < c.nsubj; ++i) {
        in >> id;
        for (int j = 0; j < c.nvar; ++j) in >> x[i + j * c.nsubj];
    }
    EXPECT_TRUE(in) << c.file;
    return x;
}

using orv::testing::max_diff;

// Means, standard deviations and correlations as the correlation stage
// leaves them.
struct Moments {
    Matrix xbar, xsd, r;
};

Moments moments(const Matrix& x, int nsubj, int nvar) {
    Moments m;
    m.xbar.assign(static_cast<std::size_t>(nvar), 0.0);
    m.xsd.assign(static_cast<std::size_t>(nvar), 0.0);
    m.r.assign(static_cast<std::size_t>(nvar * nvar), 0.0);
    Matrix ssp(m.r.size());
    int ifail = 0;
    num1::G02BAF(nsubj, nvar, x, nsubj, m.xbar, m.xsd, ssp, nvar, m.r, nvar, ifail);
    return m;
}

class ScoreTest : public testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        open_report_unit("regscr");
        int unit = 11;
        num1::ADVUNIT(1, unit);
    }
    void reset_library() override { num2::reset_error_machinery(); }
    std::string report() {
        rt::close_unit(11);
        return orv::testing::read_file(path_);
    }

    // FSCORE on data X with loadings L and the communalities H2 on the
    // diagonal of the data's correlation matrix.
    ScoreBlocks score(ScoreMethod method, const Matrix& x, int nsubj, int nvar, int nfac, const Matrix& l,
                      const Matrix& h2, Matrix& s, int threads = 0) {
        Moments m = moments(x, nsubj, nvar);
        for (int j = 0; j < nvar; ++j) m.r[j + j * nvar] = h2[j];
        s.assign(static_cast<std::size_t>(nsubj * nfac), 0.0);
        ScoreBlocks b = FSCORE(method, x, m.xbar, m.xsd, nvar, nsubj, nfac, m.r, l, s, 11, 120, "PFA ", threads);
        for (int j = 0; j < nvar; ++j) EXPECT_EQ(m.r[j + j * nvar], 1.0);
        return b;
    }
};

struct ReferenceCase {
    const char* name;
    const char* method;
};

class PsychReference : public ScoreTest, public ::testing::WithParamInterface<ReferenceCase> {};

// Weights, standardised scores and validities equal psych's for the loadings
// of each rotation; every score column has mean 0 and standard deviation 1.
TEST_P(PsychReference, WeightsScoresAndValidities) {
    const Case& c = reference(GetParam().name, GetParam().method);
    const Matrix x = read_data(c);
    Matrix s;
    const ScoreMethod method = c.method == "REG" ? ScoreMethod::Regression : ScoreMethod::Bartlett;
    const ScoreBlocks b = score(method, x, c.nsubj, c.nvar, c.nfac, c.blocks.at("L"), c.blocks.at("H2"), s);
    EXPECT_LT(max_diff(b.W, c.blocks.at("W")), 1.0E-10);
    EXPECT_LT(max_diff(s, c.blocks.at("S")), 1.0E-10);
    EXPECT_LT(max_diff(b.v, c.blocks.at("V")), 1.0E-10);
    for (int k = 0; k < c.nfac; ++k) {
        double sum = 0.0, squares = 0.0;
        for (int i = 0; i < c.nsubj; ++i) sum += s[i + k * c.nsubj];
        for (int i = 0; i < c.nsubj; ++i) squares += s[i + k * c.nsubj] * s[i + k * c.nsubj];
        EXPECT_NEAR(sum / c.nsubj, 0.0, 1.0E-13);
        EXPECT_NEAR(squares / (c.nsubj - 1), 1.0, 1.0E-13);
    }
    // Bartlett's estimates are conditionally unbiased: L' W = I.
    if (method == ScoreMethod::Bartlett)
        for (int k = 0; k < c.nfac; ++k)
            for (int m = 0; m < c.nfac; ++m) {
                double sum = 0.0;
                for (int j = 0; j < c.nvar; ++j) sum += c.blocks.at("L")[j + k * c.nvar] * b.W[j + m * c.nvar];
                EXPECT_NEAR(sum, k == m ? 1.0 : 0.0, 1.0E-12);
            }
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, PsychReference,
    ::testing::Values(ReferenceCase{"example_varimax", "REG"}, ReferenceCase{"example_varimax", "BART"},
                      ReferenceCase{"example_oblimin", "REG"}, ReferenceCase{"example_oblimin", "BART"},
                      ReferenceCase{"example_promax", "REG"}, ReferenceCase{"example_promax", "BART"},
                      ReferenceCase{"three_varimax", "REG"}, ReferenceCase{"three_varimax", "BART"},
                      ReferenceCase{"three_oblimin", "REG"}, ReferenceCase{"three_oblimin", "BART"},
                      ReferenceCase{"three_promax", "REG"}, ReferenceCase{"three_promax", "BART"}),
    [](const ::testing::TestParamInfo<ReferenceCase>& info) {
        return std::string(info.param.name) + "_" + info.param.method;
    });

// With every component the weights of both methods are L'^-1, whatever the
// uniquenesses: Bartlett scores equal regression scores, and both psych's.
TEST_F(ScoreTest, AllComponentsGiveTheSameScoresByBothMethods) {
    for (const char* name : {"example_components", "three_components"}) {
        SCOPED_TRACE(name);
        const Case& c = reference(name, "REG");
        const Matrix x = read_data(c);
        Matrix h2(static_cast<std::size_t>(c.nvar));
        for (int j = 0; j < c.nvar; ++j) h2[j] = 0.2 + 0.05 * j;
        Matrix reg, bart;
        score(ScoreMethod::Regression, x, c.nsubj, c.nvar, c.nfac, c.blocks.at("L"), h2, reg);
        score(ScoreMethod::Bartlett, x, c.nsubj, c.nvar, c.nfac, c.blocks.at("L"), h2, bart);
        EXPECT_LT(max_diff(reg, c.blocks.at("S")), 1.0E-9);
        EXPECT_LT(max_diff(bart, reg), 1.0E-9);
    }
}

// The blocked product is the reference DGEMM of Z and W bit for bit, for a
// subject range that starts and ends inside blocks.
TEST(ScoreProduct, IsTheReferenceProductOfTheStandardisedData) {
    const int nsubj = 700, nvar = 7, nfac = 3;
    Matrix x(nsubj * nvar), w(nvar * nfac), xbar(nvar), xsd(nvar);
    unsigned state = 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    };
    for (double& v : x) v = 10.0 * next();
    for (double& v : w) v = next();
    for (int j = 0; j < nvar; ++j) {
        xbar[j] = next();
        xsd[j] = 1.0 + next();
    }
    Matrix z(x.size());
    for (int j = 0; j < nvar; ++j)
        for (int i = 0; i < nsubj; ++i) z[i + j * nsubj] = (x[i + j * nsubj] - xbar[j]) / xsd[j];
    Matrix want(nsubj * nfac, 0.0);
    const double one = 1.0, zero = 0.0;
    dgemm_("N", "N", &nsubj, &nfac, &nvar, &one, z.data(), &nsubj, w.data(), &nvar, &zero, want.data(), &nsubj, 1, 1);

    Matrix s(nsubj * nfac, -7.0);
    SCRRAW(x, xbar, xsd, w, nsubj, nvar, nfac, 0, 300, s);
    SCRRAW(x, xbar, xsd, w, nsubj, nvar, nfac, 300, 700, s);
    for (std::size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], want[i]) << i;

    // Only the rows asked for are written.
    Matrix part(nsubj * nfac, -7.0);
    SCRRAW(x, xbar, xsd, w, nsubj, nvar, nfac, 100, 357, part);
    for (int k = 0; k < nfac; ++k)
        for (int i = 0; i < nsubj; ++i)
            EXPECT_EQ(part[i + k * nsubj], i >= 100 && i < 357 ? want[i + k * nsubj] : -7.0);
}

// Scores and report are the same bits on 1, 3 and 8 threads.
TEST_F(ScoreTest, SameBitsAtEveryThreadCount) {
    const Case& c = reference("three_oblimin", "REG");
    // The data repeated into 2,400 subjects, so that every thread has blocks.
    const Matrix base = read_data(c);
    const int nsubj = 10 * c.nsubj;
    Matrix x(static_cast<std::size_t>(nsubj * c.nvar));
    for (int j = 0; j < c.nvar; ++j)
        for (int i = 0; i < nsubj; ++i) x[i + j * nsubj] = base[i % c.nsubj + j * c.nsubj] + 0.001 * (i / c.nsubj);
    std::vector<Matrix> scores;
    std::vector<std::string> reports;
    for (int threads : {1, 3, 8}) {
        TearDown();
        SetUp();
        Matrix s;
        score(ScoreMethod::Regression, x, nsubj, c.nvar, c.nfac, c.blocks.at("L"), c.blocks.at("H2"), s, threads);
        scores.push_back(s);
        reports.push_back(report());
    }
    for (std::size_t t = 1; t < scores.size(); ++t) {
        EXPECT_EQ(reports[t], reports[0]);
        ASSERT_EQ(scores[t].size(), scores[0].size());
        for (std::size_t i = 0; i < scores[0].size(); ++i) ASSERT_EQ(scores[t][i], scores[0][i]) << t << " " << i;
    }
}

// A variable without variance standardises to 0: the scores stay finite and
// are those of the data without it (its correlations and loadings are 0).
TEST_F(ScoreTest, ConstantVariableLeavesTheOtherScoresUnchanged) {
    const Case& c = reference("three_varimax", "REG");
    const Matrix x = read_data(c);
    const int n = c.nsubj, p = c.nvar, k = c.nfac;
    Matrix wide(static_cast<std::size_t>(n * (p + 1)));
    Matrix l(static_cast<std::size_t>((p + 1) * k), 0.0), h2(static_cast<std::size_t>(p + 1), 0.0);
    // The constant variable stands third.
    auto source = [](int j) { return j < 2 ? j : j - 1; };
    for (int j = 0; j <= p; ++j) {
        for (int i = 0; i < n; ++i) wide[i + j * n] = j == 2 ? 5.0 : x[i + source(j) * n];
        if (j == 2) continue;
        h2[j] = c.blocks.at("H2")[source(j)];
        for (int m = 0; m < k; ++m) l[j + m * (p + 1)] = c.blocks.at("L")[source(j) + m * p];
    }
    for (ScoreMethod method : {ScoreMethod::Regression, ScoreMethod::Bartlett}) {
        Matrix narrow_scores, wide_scores;
        score(method, x, n, p, k, c.blocks.at("L"), c.blocks.at("H2"), narrow_scores);
        const ScoreBlocks b = score(method, wide, n, p + 1, k, l, h2, wide_scores);
        EXPECT_LT(max_diff(wide_scores, narrow_scores), 1.0E-12);
        for (int m = 0; m < k; ++m) EXPECT_EQ(b.W[2 + m * (p + 1)], 0.0);
    }
}

// The stops: each says what failed, ends with status 1 and leaves no score
// and no weights block behind.
class ScoreFailure : public ScoreTest {
protected:
    // Runs FSCORE expecting a fatal stop; returns the window records.
    std::vector<std::string> fails(ScoreMethod method, const Matrix& x, int nsubj, int nvar, int nfac, Matrix r,
                                   const Matrix& l) {
        Moments m = moments(x, nsubj, nvar);
        Matrix s(static_cast<std::size_t>(nsubj * nfac), 0.0);
        try {
            FSCORE(method, x, m.xbar, m.xsd, nvar, nsubj, nfac, r, l, s, 11, 120, "PFA ");
            ADD_FAILURE() << "no stop";
        } catch (const rt::Stop& stop) {
            EXPECT_EQ(stop.exit_status, 1);
        }
        return take();
    }
    static bool has(const std::vector<std::string>& records, const std::string& text) {
        for (const std::string& r : records)
            if (r.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(ScoreFailure, SingularCorrelationMatrixStopsBeforeTheWeights) {
    const Case& c = reference("three_varimax", "REG");
    Matrix x = read_data(c);
    // Variable 4 becomes the sum of variables 1 to 3: R is singular.
    for (int i = 0; i < c.nsubj; ++i)
        x[i + 3 * c.nsubj] = x[i] + x[i + c.nsubj] + x[i + 2 * c.nsubj];
    Moments m = moments(x, c.nsubj, c.nvar);
    const auto records = fails(ScoreMethod::Regression, x, c.nsubj, c.nvar, c.nfac, m.r, c.blocks.at("L"));
    EXPECT_TRUE(has(records, "from DLINDS")) << records.size();
    EXPECT_TRUE(has(records, "FATAL ERROR: The correlation matrix cannot be inverted: no regression factor scores"));
    EXPECT_EQ(report().find("Standardized regression weights"), std::string::npos);
}

TEST_F(ScoreFailure, BartlettMatrixThatIsNotPositiveDefiniteStops) {
    const Case& c = reference("three_varimax", "BART");
    const Matrix x = read_data(c);
    Matrix l = c.blocks.at("L");
    for (int j = 0; j < c.nvar; ++j) l[j + 2 * c.nvar] = l[j];  // factor 3 repeats factor 1
    Moments m = moments(x, c.nsubj, c.nvar);
    for (int j = 0; j < c.nvar; ++j) m.r[j + j * c.nvar] = c.blocks.at("H2")[j];
    const auto records = fails(ScoreMethod::Bartlett, x, c.nsubj, c.nvar, c.nfac, m.r, l);
    EXPECT_TRUE(has(records, "FATAL ERROR: The matrix L' U^-2 L cannot be inverted: no Bartlett factor scores"));
    EXPECT_EQ(report().find("Standardized regression weights"), std::string::npos);
}

TEST_F(ScoreFailure, BartlettCommunalityOfOneOrMoreNamesTheVariable) {
    const Case& c = reference("three_varimax", "BART");
    const Matrix x = read_data(c);
    for (double h2 : {1.0, 1.0003, std::nan("")}) {
        SCOPED_TRACE(h2);
        Moments m = moments(x, c.nsubj, c.nvar);
        for (int j = 0; j < c.nvar; ++j) m.r[j + j * c.nvar] = c.blocks.at("H2")[j];
        m.r[6 + 6 * c.nvar] = h2;
        const auto records = fails(ScoreMethod::Bartlett, x, c.nsubj, c.nvar, c.nfac, m.r, c.blocks.at("L"));
        ASSERT_GE(records.size(), 2u);
        EXPECT_EQ(records[records.size() - 4], std::string(29, ' ') + "FATAL ERROR: The communality of variable    7 is not below 1.0:");
        EXPECT_EQ(records[records.size() - 3], std::string(29, ' ') + "no Bartlett factor scores");
    }
    EXPECT_EQ(report().find("Standardized regression weights"), std::string::npos);
}

TEST_F(ScoreFailure, ScoreColumnWithoutVarianceNamesTheFactor) {
    const Case& c = reference("three_varimax", "REG");
    const Matrix x = read_data(c);
    Matrix l = c.blocks.at("L");
    for (int j = 0; j < c.nvar; ++j) l[j + 1 * c.nvar] = 0.0;  // factor 2 has no loadings
    Moments m = moments(x, c.nsubj, c.nvar);
    const auto records = fails(ScoreMethod::Regression, x, c.nsubj, c.nvar, c.nfac, m.r, l);
    EXPECT_TRUE(has(records, "FATAL ERROR: The scores of factor    2 have no variance"));
}

// A value that is not a number makes the first factor's scores so: the
// stop names the factor instead of standardising them.
TEST_F(ScoreFailure, ScoresThatAreNotNumbersNameTheFactor) {
    const Case& c = reference("three_varimax", "REG");
    const Matrix x = read_data(c);
    Moments m = moments(x, c.nsubj, c.nvar);
    Matrix bad = x;
    bad[17] = std::nan("");
    Matrix s(static_cast<std::size_t>(c.nsubj * c.nfac), 0.0);
    EXPECT_TRUE(testing::stops_plainly([&] {
        FSCORE(ScoreMethod::Regression, bad, m.xbar, m.xsd, c.nvar, c.nsubj, c.nfac, m.r, c.blocks.at("L"), s, 11,
               120, "PFA ");
    }));
    const auto records = take();
    EXPECT_TRUE(has(records, "FATAL ERROR: The scores of factor    1 are not all finite numbers"));
}

}  // namespace
}  // namespace orv::engine

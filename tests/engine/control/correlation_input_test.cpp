// Correlation matrices from files through the real program: a smoothed
// matrix that was not positive definite runs to its end with squared
// multiple correlations as starts; a correlation file or a factor
// correlation file that is no correlation matrix is refused naming the
// entry, while values written at full precision pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "support/engine_run.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::has;
using orv::testing::numbers;

class CorrelationInput : public orv::testing::EngineRun {
protected:
    // A PFA job with SMC starts on the correlation file m.cor.
    static std::string cor_job(int nvar, const std::string& metric, int nfac, const std::string& output = "") {
        return ">TITLE: correlation file\n>DATA: m.cor " + std::to_string(nvar) + " 1248\n>OUTFILE: m.out SHORT\n"
               ">METRIC: " + metric + "\n>MODEL: PFA " + std::to_string(nfac) +
               " NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n"
               ">TECHNICAL: .0001 200 .0001 200 F .2 SMC 120 " + (output.empty() ? "F" : "T") + "\n" + output +
               ">FORMAT: (16F13.9)\n";
    }

    void expect_finished(int status) {
        EXPECT_EQ(status, 0) << window_;
        EXPECT_TRUE(has(window_, "Finished")) << window_;
        EXPECT_FALSE(has(window_, "ERROR")) << window_;
        EXPECT_TRUE(has(get(at("m.out")), "Final communality estimates"));
    }

    // The run stops on job.in with MESSAGE after "FATAL ERROR: Entry ";
    // nothing is extracted.
    void expect_refused(const std::string& message) {
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_TRUE(has(window_, "FATAL ERROR: Entry " + message + "\n")) << window_;
        EXPECT_FALSE(has(window_, "Performing factor analysis")) << window_;
    }
};

// The smallest eigenvalue of the N x N matrix A.
double smallest_eigenvalue(std::vector<double> a, int n) {
    std::vector<double> w(static_cast<std::size_t>(n)), work(static_cast<std::size_t>(10 * n));
    int lwork = 10 * n, info = 0;
    dsyev_("N", "U", &n, a.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    EXPECT_EQ(info, 0);
    return w[0];
}

TEST_F(CorrelationInput, SmoothedMatrixRunsWithSquaredMultipleCorrelations) {
    // Guessing-corrected tetrachoric correlations of 16 items with
    // eigenvalues below zero.
    fs::copy_file(fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "smooth" / "smoothed_singular.cor", at("m.cor"));
    put(at("job.in"), cor_job(16, "CO COR SM", 4));
    expect_finished(run("job.in"));
    EXPECT_TRUE(has(window_, "Smoothing Correlations")) << window_;

    // 60 variables, far from positive definite: the smoothed matrix written
    // to .smo is positive definite, and the extraction runs on it.
    const int n = 60;
    std::vector<double> r(n * n);
    std::string text;
    char value[32];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double v = i == j ? 1.0 : 0.6 * std::cos(0.1 * (i - j)) + 0.3 * std::sin(i * j + 1.0);
            std::snprintf(value, sizeof value, " %.6f", v);
            text += value;
            r[i + n * j] = std::stod(value);
        }
        text += "\n";
    }
    put(at("m.cor"), text);
    ASSERT_LT(smallest_eigenvalue(r, n), -1.0);
    put(at("job.in"), cor_job(n, "DI COR SM", 3, ">OUTPUT: 1 SMO\n"));
    expect_finished(run("job.in"));
    const std::vector<double> smoothed = numbers(get(at("job.smo")));
    ASSERT_EQ(smoothed.size(), r.size());
    EXPECT_GT(smallest_eigenvalue(smoothed, n), 1e-5);
}

TEST_F(CorrelationInput, CorrelationFileMustHoldACorrelationMatrix) {
    const std::string file = " of correlation file " + at("m.cor").string() + " is ";
    put(at("job.in"), cor_job(3, "CO COR NOSMOOTH", 1));
    struct Case {
        const char* matrix;
        std::string message;
    };
    const Case refused[] = {
        {"1 .5 1.7\n.5 1 .3\n1.7 .3 1\n", "(1,3)" + file + "1.7: correlations lie between -1 and 1"},
        {"1 .9 .2\n-.5 1 .3\n.2 .3 1\n",
         "(1,2)" + file + "0.9 and entry (2,1) is -0.5: a correlation matrix is symmetric"},
        {"1 .5 .2\n.5 0 .3\n.2 .3 1\n", "(2,2)" + file + "0: a correlation matrix has 1 on its diagonal"},
        // Smoothing comes after the check.
        {"1 .5 .2\n.5 1 .3\n.2 .3 .99\n", "(3,3)" + file + "0.99: a correlation matrix has 1 on its diagonal"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.matrix);
        put(at("m.cor"), c.matrix);
        expect_refused(c.message);
    }
    put(at("job.in"), cor_job(3, "OR COR SM", 1));
    expect_refused(refused[3].message);

    // The precision written: 1 within a unit of the last decimal, and values
    // of another program at 17 significant digits (with a correlation of -1,
    // smoothed).
    const struct {
        const char* matrix;
        const char* metric;
    } accepted[] = {
        {"0.999 .5 .2\n.5 1.001 .3\n.2 .3 1\n", "CO COR NOSMOOTH"},
        {"0.9999999999999999 0.30000000000000004 -1.0000000000000002\n"
         "0.29999999999999999 1.0000000000000002 -0.3\n-1 -0.30000000000000004 1\n",
         "CO COR SM"},
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(c.matrix);
        put(at("m.cor"), c.matrix);
        put(at("job.in"), cor_job(3, c.metric, 1));
        expect_finished(run("job.in"));
    }
}

TEST_F(CorrelationInput, FactorCorrelationsAtFullPrecision) {
    put(at("load.dat"), "  0.7  0.1  0.2\n  0.6  0.2  0.1\n  0.1  0.8  0.3\n  0.2  0.3  0.7\n");
    put(at("job.in"), ">TITLE: loadings\n>DATA: load.dat 4 100\n>OUTFILE: m.out SHORT\n>METRIC: CO FLD2 NOSMOOTH\n"
                      ">PHI: phi.dat\n>MODEL: ROT 3 NOLABELS NOSORT\n>ROTATE: VARIMAX\n>SCORE: NONE\n>PLOT: NONE\n"
                      ">FORMAT: (3F5.1)\n");
    // Three factors in a plane, written at 17 digits: with a unit diagonal
    // positive semidefinite within rounding (its eigenvalue 0 computed as
    // -2.7e-16), and with a diagonal as rounded as its other entries.
    const std::string plane = " 0.98006657784124163 0.89605249752552518\n0.98006657784124163 ";
    const std::string rest = " 0.96638997813451322\n0.89605249752552518 0.96638997813451322 1\n";
    for (const std::string& phi :
         {"1" + plane + "1" + rest, "0.9999999999999999" + plane + "1.0000000000000002" + rest}) {
        SCOPED_TRACE(phi);
        put(at("phi.dat"), phi);
        EXPECT_EQ(run("job.in"), 0) << window_;
        EXPECT_TRUE(has(window_, "Finished")) << window_;
    }

    // Written with 15 decimals, five units of the last one away from 1: more
    // than the rounding at full precision.
    put(at("phi.dat"), "1 .3 .2\n.3 1 .1\n.2 .1 0.999999999999995\n");
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_TRUE(has(window_, "FATAL ERROR: Entry (3,3) of factor correlation file " + at("phi.dat").string() +
                                 " is 0.999999999999995: a correlation matrix has 1 on its diagonal\n"))
        << window_;
}

}  // namespace

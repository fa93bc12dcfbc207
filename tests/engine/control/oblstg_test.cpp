// The oblique rotation stages: solutions against GPArotation's direct
// oblimin and R's Harris-Kaiser construction, the invariants of an oblique
// solution, the Harris-Kaiser parameter check, and byte-exact reports and
// matrix files of ROT jobs run through orvcalc.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "engine/stats/reflct.h"
#include "engine/stats/srtfac.h"
#include "runtime/host.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/factor_matrix.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;
using orv::engine::JOBSET;
using orv::engine::RUNDATA;
using Matrix = std::vector<double>;  // column-major

// One case of a committed reference file: the input loadings A, the
// weights WT (Harris-Kaiser only), the rotated pattern B and PHI.
struct Reference {
    int nvar = 0, nf = 0;
    double param = 0.0;
    std::map<std::string, Matrix> blocks;
};

std::map<std::string, Reference> load_references(const std::string& file) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/" + file);
    std::map<std::string, Reference> cases;
    std::string word;
    while (in >> word && word != "end") {
        if (word == "#") {
            std::getline(in, word);
            continue;
        }
        // case <name> <nvar> <nf> <param> [<eps>]
        std::string name;
        Reference r;
        in >> name >> r.nvar >> r.nf >> r.param;
        std::string rest;
        std::getline(in, rest);
        std::string label;
        while (in.peek() != 'c' && in.peek() != 'e' && in >> label) {
            const int rows = label == "PHI" ? r.nf : r.nvar;
            const int cols = label == "WT" ? 1 : r.nf;
            Matrix m(static_cast<std::size_t>(rows * cols));
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < cols; ++j) in >> m[i + j * rows];
            r.blocks[label] = m;
            in >> std::ws;
        }
        std::ostringstream key;
        key << name << " " << r.param;
        cases[key.str()] = r;
    }
    return cases;
}

const Reference& reference(const std::string& file, const std::string& key) {
    static std::map<std::string, std::map<std::string, Reference>> files;
    if (!files.count(file)) files[file] = load_references(file);
    const auto& cases = files[file];
    const auto it = cases.find(key);
    if (it == cases.end()) throw std::runtime_error("no reference case " + key + " in " + file);
    return it->second;
}

// Numbers of a matrix file, row by row, `skip` leading fields dropped.
Matrix read_matrix_file(const fs::path& path, int rows, int cols, int skip) {
    std::ifstream in(path);
    Matrix m(static_cast<std::size_t>(rows * cols));
    double field;
    for (int i = 0; i < rows; ++i) {
        for (int k = 0; k < skip; ++k) in >> field;
        for (int j = 0; j < cols; ++j) in >> m[i + j * rows];
    }
    EXPECT_TRUE(in) << path;
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b, int n, int k, int m) {
    Matrix c(static_cast<std::size_t>(n * m), 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            for (int l = 0; l < k; ++l) c[i + j * n] += a[i + l * n] * b[l + j * k];
    return c;
}

Matrix transpose(const Matrix& a, int n, int m) {
    Matrix t(a.size());
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) t[j + i * m] = a[i + j * n];
    return t;
}

// The least-squares T with A T ~ B (A n x k of full column rank), from the
// normal equations by Gauss-Jordan elimination.
Matrix least_squares(const Matrix& a, const Matrix& b, int n, int k) {
    const Matrix at = transpose(a, n, k);
    Matrix g = multiply(at, a, k, n, k);
    Matrix t = multiply(at, b, k, n, k);
    for (int p = 0; p < k; ++p) {
        const double pivot = g[p + p * k];
        for (int j = 0; j < k; ++j) {
            g[p + j * k] /= pivot;
            t[p + j * k] /= pivot;
        }
        for (int i = 0; i < k; ++i) {
            if (i == p) continue;
            const double f = g[i + p * k];
            for (int j = 0; j < k; ++j) {
                g[i + j * k] -= f * g[p + j * k];
                t[i + j * k] -= f * t[p + j * k];
            }
        }
    }
    return t;
}

using orv::testing::max_diff;

// Runs a stage in this process on a job of model ROT (or the model given),
// with the report and the matrix files in a scratch folder.
class StageRun : public orv::testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        orv::rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {orv::rt::OpenStatus::Replace, false});
        job_.MODTYP = "ROT ";
        job_.LABOPT = "NOLABELS       ";
        job_.SRTOPT = "SORT           ";
        job_.PLTOPT = "NONE    ";
        job_.RNDSTRTS = "F";
        job_.ROT_EPS = 1.0E-12;
        job_.ROT_MAXIT = 5000;
        job_.PAGEWIDTH = 120;
        job_.OUTPUT = "T";
        job_.OUTCOD[0] = "FAC";
        job_.JOBDIR = dir_.string() + "/";
        job_.JOBBAS = "job.in";
        job_.JOBBAS.resize(15, ' ');
    }

    void load(const Matrix& a, int nvar, int nfac) {
        job_.NVAR = nvar;
        job_.NFAC = nfac;
        run_.L = a;
    }
    void rotate(bool harris_kaiser, double param) {
        if (harris_kaiser) {
            job_.ROTMTH = "HK      ";
            job_.HKPAR = param;
            orv::engine::HKSTG(job_, run_);
        } else {
            job_.ROTMTH = "OBLIMIN ";
            job_.DELTA = param;
            orv::engine::OBLSTG(job_, run_);
        }
        orv::rt::close_unit(11);
    }
    Matrix phi() const { return read_matrix_file(dir_ / "job.phi", job_.NFAC, job_.NFAC, 0); }

    orv::testing::TempDir dir_{"orv_oblstg"};
    JOBSET job_;
    RUNDATA run_;
};

struct ReferenceCase {
    const char* file;
    const char* key;   // case name and parameter
    bool harris_kaiser;
    const char* model;  // ROT, PCA or PFA
    bool random_start;
    double tol;
};

class ReferenceSolution : public StageRun, public ::testing::WithParamInterface<ReferenceCase> {};

// The stage's pattern in item order and its factor correlations are the
// reference solution after the engine's own reflection and ordering.
TEST_P(ReferenceSolution, MatchesTheReference) {
    const ReferenceCase& c = GetParam();
    const Reference& r = reference(c.file, c.key);
    load(r.blocks.at("A"), r.nvar, r.nf);
    job_.MODTYP = c.model;
    job_.RNDSTRTS = c.random_start ? "T" : "F";
    if (job_.MODTYP == "PFA " && r.blocks.count("WT")) {
        // Principal axes leave the communalities on the diagonal of R.
        run_.R.assign(static_cast<std::size_t>(r.nvar * r.nvar), 0.5);
        for (int i = 0; i < r.nvar; ++i) run_.R[i + i * r.nvar] = 1.0 - r.blocks.at("WT")[i];
    }
    rotate(c.harris_kaiser, r.param);

    Matrix b = r.blocks.at("B");
    Matrix phi = r.blocks.at("PHI");
    orv::engine::REFOBL(b, phi, r.nvar, r.nf);
    orv::engine::SRTOBL(b, r.nvar, r.nf, phi);
    EXPECT_LT(max_diff(run_.P0, b), c.tol);
    EXPECT_LT(max_diff(this->phi(), phi), std::max(c.tol, 1.0E-9));
}

INSTANTIATE_TEST_SUITE_P(
    Oblique, ReferenceSolution,
    ::testing::Values(ReferenceCase{"oblimin_reference.txt", "harman8 0", false, "ROT ", false, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "harman8 -0.5", false, "ROT ", false, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "harman8 -1", false, "PFA ", false, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "harman8 0", false, "ROT ", true, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "harman74 0", false, "PCA ", false, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "harman74_turned -1", false, "ROT ", false, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "ability -0.5", false, "ROT ", true, 2.0E-6},
                      ReferenceCase{"oblimin_reference.txt", "harman74_3 -0.5", false, "ROT ", false, 2.0E-6},
                      // The weights: 1.0 under PCA, 1 - R(i,i) under PFA, and
                      // 1 minus the communality of the given loadings under ROT.
                      // No random starts: the column scaling of Harris-Kaiser
                      // assumes loadings in their principal-axes orientation.
                      ReferenceCase{"harris_kaiser_reference.txt", "harman74_unit 0.5", true, "PCA ", false, 1.0E-7},
                      ReferenceCase{"harris_kaiser_reference.txt", "harman74_uniq 0", true, "PFA ", false, 1.0E-7},
                      ReferenceCase{"harris_kaiser_reference.txt", "harman74_uniq 1", true, "ROT ", false, 1.0E-7},
                      ReferenceCase{"harris_kaiser_reference.txt", "ability_uniq 0.5", true, "ROT ", false, 1.0E-7},
                      ReferenceCase{"harris_kaiser_reference.txt", "ability_uniq 0", true, "PFA ", false, 1.0E-7}));

struct InvariantCase {
    bool harris_kaiser;
    double param;
    const char* sort;
    bool random_start;
};

class Invariants : public StageRun, public ::testing::WithParamInterface<InvariantCase> {};

// P0 = L T for some T with T PHI T' = I (so P0 PHI P0' = L L'), a unit
// diagonal of PHI, S0 = P0 PHI; the printed P is P0 in the order ORDER, and
// the .fac file holds P by position.
TEST_P(Invariants, HoldForTheStageResults) {
    const InvariantCase& c = GetParam();
    const Reference& r = reference("oblimin_reference.txt", "harman74_turned 0");
    const int n = r.nvar, k = r.nf;
    const Matrix& a = r.blocks.at("A");
    load(a, n, k);
    job_.SRTOPT = c.sort;
    job_.RNDSTRTS = c.random_start ? "T" : "F";
    rotate(c.harris_kaiser, c.param);

    const Matrix phi = this->phi();
    const Matrix t = least_squares(a, run_.P0, n, k);
    EXPECT_LT(max_diff(multiply(a, t, n, k, k), run_.P0), 1.0E-10);
    Matrix identity(static_cast<std::size_t>(k * k), 0.0);
    for (int i = 0; i < k; ++i) identity[i + i * k] = 1.0;
    EXPECT_LT(max_diff(multiply(multiply(t, phi, k, k, k), transpose(t, k, k), k, k, k), identity), 1.0E-7);
    for (int i = 0; i < k; ++i) EXPECT_EQ(phi[i + i * k], 1.0);
    EXPECT_LT(max_diff(run_.S0, multiply(run_.P0, phi, n, k, k)), 1.0E-8);

    const bool sorted = job_.SRTOPT == "SORT           ";
    std::vector<int> seen(static_cast<std::size_t>(n), 0);
    for (int p = 0; p < n; ++p) {
        const int item = sorted ? run_.ORDER.at(p) - 1 : p;
        ASSERT_GE(item, 0);
        ASSERT_LT(item, n);
        ++seen[item];
        for (int j = 0; j < k; ++j) EXPECT_EQ(run_.P[p + j * n], run_.P0[item + j * n]);
    }
    for (int count : seen) EXPECT_EQ(count, 1);

    const Matrix fac = read_matrix_file(dir_ / "job.fac", n, k + 1, 0);
    for (int p = 0; p < n; ++p) {
        EXPECT_EQ(fac[p], p + 1);
        for (int j = 0; j < k; ++j) EXPECT_NEAR(fac[p + (j + 1) * n], run_.P[p + j * n], 0.5E-4 + 1.0E-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Oblique, Invariants,
                         ::testing::Values(InvariantCase{false, 0.0, "SORT           ", false},
                                           InvariantCase{false, -0.5, "NOSORT         ", true},
                                           InvariantCase{true, 0.5, "SORT           ", true},
                                           InvariantCase{true, 0.0, "NOSORT         ", false}));

// Under SORT the pattern is always sorted (ORDER, SLAB, P0 in item order,
// .fac by position), but the pattern and structure tables need LABELS or
// NOLABELS; every labels word but LABELS leaves the default labels in
// VARLAB, as in the other rotation stages.
TEST_F(StageRun, SortedTablesNeedAKnownLabelsWord) {
    const Reference& r = reference("oblimin_reference.txt", "harman74_turned 0");
    const int n = r.nvar, k = r.nf;
    const struct {
        const char* word;
        bool tables;
        bool defaults;
    } cases[] = {{"LABELS         ", true, false}, {"NOLABELS       ", true, true}, {"NAMES          ", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        TearDown();
        SetUp();
        run_ = RUNDATA{};
        job_.LABOPT = c.word;
        job_.VARLAB.assign(static_cast<std::size_t>(n), "read label     ");
        load(r.blocks.at("A"), n, k);
        rotate(false, 0.0);

        const std::string report = read_file(dir_ / "report.out");
        EXPECT_EQ(report.find("Oblimin Sorted Factor Loadings") != std::string::npos, c.tables) << report;
        EXPECT_EQ(report.find("Oblimin Factor Structure Matrix") != std::string::npos, c.tables);
        EXPECT_NE(report.find("Oblimin: Inter-factor Correlations"), std::string::npos);
        EXPECT_NE(report.find("HYPERPLANE COUNT"), std::string::npos);

        ASSERT_EQ(job_.VARLAB.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(job_.VARLAB[1], c.defaults ? "V002           " : "read label     ");
        const Matrix fac = read_matrix_file(dir_ / "job.fac", n, k + 1, 0);
        for (int p = 0; p < n; ++p) {
            const int item = run_.ORDER.at(p) - 1;
            ASSERT_GE(item, 0);
            ASSERT_LT(item, n);
            EXPECT_EQ(run_.SLAB.at(p), job_.VARLAB[item]);
            for (int j = 0; j < k; ++j) {
                EXPECT_EQ(run_.P[p + j * n], run_.P0[item + j * n]);
                EXPECT_NEAR(fac[p + (j + 1) * n], run_.P[p + j * n], 0.5E-4 + 1.0E-12);
            }
        }
    }
}

// A Harris-Kaiser parameter outside [0, 1] stops before anything is rotated
// or written.
TEST_F(StageRun, HarrisKaiserParameterOutsideTheUnitIntervalIsFatal) {
    const Reference& r = reference("harris_kaiser_reference.txt", "ability_uniq 0.5");
    for (double c : {-0.01, 1.0001, std::nan("")}) {
        SCOPED_TRACE(c);
        load(r.blocks.at("A"), r.nvar, r.nf);
        host_.records.clear();
        job_.HKPAR = c;
        job_.ROTMTH = "HK      ";
        try {
            orv::engine::HKSTG(job_, run_);
            ADD_FAILURE() << "no stop";
        } catch (const orv::rt::Stop& stop) {
            EXPECT_EQ(stop.exit_status, 1);
            EXPECT_EQ(stop.message, "");
        }
        ASSERT_FALSE(host_.records.empty());
        EXPECT_EQ(host_.records[0],
                  std::string(29, ' ') + "FATAL ERROR: Harris-Kaiser parameter on >ROTATE: must be between 0.0 and 1.0");
        EXPECT_TRUE(run_.P.empty());
        EXPECT_EQ(run_.L, r.blocks.at("A"));
    }
    orv::rt::close_unit(11);
    EXPECT_EQ(read_file(dir_ / "report.out"), "");
    EXPECT_FALSE(fs::exists(dir_ / "job.fac"));
}

// ROT jobs through the program: the report, .fac and .phi byte for byte.
// ORV_UPDATE_GOLDEN=1 in the environment rewrites the golden files.
class ObliqueJob : public ::testing::TestWithParam<const char*> {};

TEST_P(ObliqueJob, ReportAndMatrixFilesAreExact) {
    const std::string name = GetParam();
    const fs::path jobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "oblique";
    const fs::path golden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "oblique";
    const orv::testing::TempDir dir("orv_oblique");
    for (const auto& entry : fs::directory_iterator(jobs)) fs::copy_file(entry.path(), dir / entry.path().filename());

    EXPECT_EQ(orv::testing::run_program(dir, ORVCALC_PATH, name + ".in", dir / "window.txt"), 0)
        << read_file(dir / "window.txt");

    // A file the job does not make has no golden file either.
    for (const char* ext : {".out", ".fac", ".phi"}) {
        const fs::path made = dir / (name + ext);
        const fs::path expected = golden / (name + ext);
        if (orv::testing::updating_golden() && !fs::exists(made)) fs::remove(expected);
        if (fs::exists(made)) {
            orv::testing::expect_golden_file(expected, made);
        } else {
            EXPECT_FALSE(fs::exists(expected)) << expected;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Oblique, ObliqueJob,
                         ::testing::Values("obl_s_lab", "obl_s_nolab", "obl_n_lab", "obl_n_nolab", "hk_s_lab",
                                           "hk_s_nolab", "hk_n_lab", "hk_n_nolab", "obl_oddlab", "hk_oddsort",
                                           "obl_fld2"));

// A bad Harris-Kaiser parameter in a command file fails the run before the
// rotation: the window says why and the exit status is 1.
TEST(ObliqueJobFailure, HarrisKaiserParameterAboveOneFailsTheRun) {
    const fs::path jobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "oblique";
    const orv::testing::TempDir dir("orv_oblique");
    fs::copy_file(jobs / "nine.dat", dir / "nine.dat");
    std::string text = read_file(jobs / "hk_n_nolab.in");
    text.replace(text.find(">ROTATE: HK 0.5"), 15, ">ROTATE: HK 1.5");
    orv::testing::write_file(dir / "bad.in", text);
    EXPECT_EQ(orv::testing::run_program(dir, ORVCALC_PATH, "bad.in", dir / "window.txt"), 1);
    const std::string window = read_file(dir / "window.txt");
    EXPECT_NE(window.find("FATAL ERROR: Harris-Kaiser parameter on >ROTATE: must be between 0.0 and 1.0"),
              std::string::npos)
        << window;
    EXPECT_NE(window.find("Stop - Program terminated."), std::string::npos);
    EXPECT_EQ(read_file(dir / "hk_n_nolab.out").find("HYPERPLANE"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "bad.fac"));
}

}  // namespace

// The README's example job through the whole engine path, raw data to a
// rotated solution: its report byte for byte, and the same data through
// every rotation method under SORT and LABELS.  The rotated solutions are
// checked against an independent Varimax and against the invariants of a
// rotation: A A' = L L' (orthogonal), P PHI P' = L L' with a unit-diagonal
// PHI (oblique).
//
// The jobs are copies of examples/example.in with RNDSTRTS F, so every run
// rotates from the unrotated orientation and is reproducible.
// ORV_UPDATE_GOLDEN=1 in the environment rewrites the golden files from the
// current program instead of comparing (for a deliberate change, reviewed
// with git diff).
// CTest label: threads
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;
using Matrix = std::vector<double>;  // column-major

const fs::path kExamples = fs::path(ORV_TEST_DATA_DIR) / ".." / "examples";
const fs::path kGolden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "example";
constexpr int kVars = 12;
constexpr int kFactors = 2;

void compare(const fs::path& made, const std::string& golden) {
    orv::testing::expect_golden_file(kGolden / golden, made);
}

// The example's command file with its lines starting with the keys of
// `lines` replaced; a key not in the file is put before >FORMAT: (or, for
// >LABELS:, at the end).
std::string edited(std::vector<std::pair<std::string, std::string>> lines) {
    std::istringstream in(read_file(kExamples / "example.in"));
    std::string out, line, labels;
    std::set<std::string> used;
    while (std::getline(in, line)) {
        for (const auto& [key, text] : lines)
            if (line.rfind(key, 0) == 0) {
                line = key + " " + text;
                used.insert(key);
            }
        if (line.rfind(">FORMAT:", 0) == 0)
            for (const auto& [key, text] : lines)
                if (!used.count(key) && key != ">LABELS:") out += key + " " + text + "\n";
        out += line + "\n";
    }
    for (const auto& [key, text] : lines)
        if (key == ">LABELS:") out += key + " " + text + "\n";
    return out;
}

const char* const kLabels =
    ">LABELS: item01 item02 item03 item04 item05 item06 'seventh item' item08 item09 item10 item11 'last item, 12'";

class ExampleRun : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "jobs");
        fs::create_directories(dir_ / "work");
        fs::copy_file(kExamples / "example.dat", dir_ / "jobs" / "example.dat");
    }

    // Writes the command file and runs it by its full path from the work
    // folder: the data name becomes relative to work/, where the report
    // lands, while the matrix files go beside the command file.
    int run(const std::string& name, std::string text) {
        const std::string data = ">DATA: example.dat";
        text.replace(text.find(data), data.size(), ">DATA: ../jobs/example.dat");
        orv::testing::write_file(dir_ / "jobs" / (name + ".in"), text);
        const int status = orv::testing::run_program(dir_ / "work", ORVCALC_PATH,
                                                     "'" + (dir_ / "jobs" / (name + ".in")).string() + "'",
                                                     dir_ / "window.txt");
        window_ = read_file(dir_ / "window.txt");
        return status;
    }

    // A job of the example on one rotation method with its .fac file.
    int run_method(const std::string& name, const std::string& rotate, const std::string& options) {
        return run(name, edited({{">OUTFILE:", name + ".out LONG"},
                                 {">MODEL:", "PFA 2 " + options},
                                 {">ROTATE:", rotate},
                                 {">TECHNICAL:", ".0001 200 .000001 500 F .2 SMC 120 T"},
                                 {">OUTPUT:", "1 FAC"},
                                 {">LABELS:", std::string(kLabels).substr(9)}}));
    }

    // The loadings of a .fac file (item or position number first).
    Matrix fac(const std::string& name) const {
        std::istringstream in(read_file(dir_ / "jobs" / (name + ".fac")));
        Matrix m(kVars * kFactors);
        double number;
        for (int i = 0; i < kVars; ++i) {
            in >> number;
            EXPECT_EQ(number, i + 1);
            for (int j = 0; j < kFactors; ++j) in >> m[i + j * kVars];
        }
        EXPECT_TRUE(in) << name;
        return m;
    }

    orv::testing::TempDir dir_{"orv_example"};
    std::string window_;
};

TEST_F(ExampleRun, WholePathMatchesGolden) {
    std::string text = read_file(kExamples / "example.in");
    const std::string random = " 200 T .2 ";
    ASSERT_NE(text.find(random), std::string::npos);
    text.replace(text.find(random), random.size(), " 200 F .2 ");
    ASSERT_EQ(run("example", text), 0) << window_;
    EXPECT_NE(window_.find(std::string(28, ' ') + "Finished\n"), std::string::npos) << window_;
    EXPECT_EQ(window_.find("Stop - Program terminated."), std::string::npos) << window_;
    compare(dir_ / "work" / "example.out", "example.out");
    // OUTPUT F: no matrix file, whatever the job would list.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "jobs"), fs::directory_iterator()), 2);
}

struct Method {
    const char* name;
    const char* rotate;
    bool oblique;
};

class EachMethod : public ExampleRun, public ::testing::WithParamInterface<Method> {};

TEST_P(EachMethod, SortedLabelledReportMatchesGolden) {
    const Method& m = GetParam();
    const std::string name = std::string("ex_") + m.name;
    ASSERT_EQ(run_method(name, m.rotate, "LABELS SORT"), 0) << window_;
    compare(dir_ / "work" / (name + ".out"), name + ".out");
    compare(dir_ / "jobs" / (name + ".fac"), name + ".fac");
    if (m.oblique)
        compare(dir_ / "jobs" / (name + ".phi"), name + ".phi");
    else
        EXPECT_FALSE(fs::exists(dir_ / "jobs" / (name + ".phi")));
    // The labels stand in the sorted table.
    EXPECT_NE(read_file(dir_ / "work" / (name + ".out")).find("last item, 12"), std::string::npos);
}

Matrix times_transpose(const Matrix& a, const Matrix& phi) {
    Matrix out(kVars * kVars, 0.0);
    for (int i = 0; i < kVars; ++i)
        for (int j = 0; j < kVars; ++j)
            for (int p = 0; p < kFactors; ++p)
                for (int q = 0; q < kFactors; ++q)
                    out[i + j * kVars] += a[i + p * kVars] * phi[p + q * kFactors] * a[j + q * kVars];
    return out;
}

std::multiset<std::string> rows(const std::string& text) {
    std::istringstream in(text);
    std::multiset<std::string> set;
    std::string line;
    while (std::getline(in, line)) set.insert(line.substr(4));
    return set;
}

// Each rotation reproduces the unrotated solution's L L' (four-decimal
// files, so a few units in the fourth place), and sorting only permutes the
// rows of the matrix file.
TEST_P(EachMethod, RotationKeepsTheReproducedCorrelations) {
    const Method& m = GetParam();
    ASSERT_EQ(run_method("ex_none", "NONE", "LABELS NOSORT"), 0) << window_;
    const Matrix l = fac("ex_none");
    const std::string name = std::string("ex_") + m.name + "_n";
    ASSERT_EQ(run_method(name, m.rotate, "LABELS NOSORT"), 0) << window_;
    const Matrix a = fac(name);
    Matrix phi = {1.0, 0.0, 0.0, 1.0};
    if (m.oblique) {
        std::istringstream in(read_file(dir_ / "jobs" / (name + ".phi")));
        for (double& v : phi) in >> v;
        ASSERT_TRUE(in);
        EXPECT_EQ(phi[0], 1.0);
        EXPECT_EQ(phi[3], 1.0);
        EXPECT_EQ(phi[1], phi[2]);
        EXPECT_GT(std::abs(phi[1]), 0.01);  // the example's factors correlate
    }
    const Matrix target = times_transpose(l, {1.0, 0.0, 0.0, 1.0});
    const Matrix made = times_transpose(a, phi);
    for (std::size_t e = 0; e < made.size(); ++e) EXPECT_NEAR(made[e], target[e], 5.0E-4) << e;

    ASSERT_EQ(run_method("ex_sorted", m.rotate, "LABELS SORT"), 0) << window_;
    EXPECT_EQ(rows(read_file(dir_ / "jobs" / "ex_sorted.fac")), rows(read_file(dir_ / "jobs" / (name + ".fac"))));
    EXPECT_NE(read_file(dir_ / "jobs" / "ex_sorted.fac"), read_file(dir_ / "jobs" / (name + ".fac")));
}

INSTANTIATE_TEST_SUITE_P(Example, EachMethod,
                         ::testing::Values(Method{"varimax", "VARIMAX", false}, Method{"wvarimax", "WVARIMAX", false},
                                           Method{"promax", "PROMAX 4", true}, Method{"oblimin", "OBLIMIN 0.0", true},
                                           Method{"hk", "HK 0.5", true}),
                         [](const ::testing::TestParamInfo<Method>& info) { return std::string(info.param.name); });

// Kaiser's Varimax on row-normalised loadings by plane rotations, each
// pair's angle from the closed form, until no angle moves; rows restored,
// factors ordered by descending sum of squares and reflected so that the
// signed sum of squares is positive.
Matrix varimax(Matrix a) {
    std::vector<double> h(kVars);
    for (int i = 0; i < kVars; ++i) {
        h[i] = std::sqrt(a[i] * a[i] + a[i + kVars] * a[i + kVars]);
        a[i] /= h[i];
        a[i + kVars] /= h[i];
    }
    for (int sweep = 0; sweep < 1000; ++sweep) {
        double sa = 0.0, sb = 0.0, sc = 0.0, sd = 0.0;
        for (int i = 0; i < kVars; ++i) {
            const double x = a[i], y = a[i + kVars];
            const double u = x * x - y * y, v = 2.0 * x * y;
            sa += u;
            sb += v;
            sc += u * u - v * v;
            sd += 2.0 * u * v;
        }
        const double phi =
            0.25 * std::atan2(sd - 2.0 * sa * sb / kVars, sc - (sa * sa - sb * sb) / kVars);
        if (std::abs(phi) < 1.0E-14) break;
        const double c = std::cos(phi), s = std::sin(phi);
        for (int i = 0; i < kVars; ++i) {
            const double x = a[i], y = a[i + kVars];
            a[i] = x * c + y * s;
            a[i + kVars] = -x * s + y * c;
        }
    }
    for (int i = 0; i < kVars; ++i) {
        a[i] *= h[i];
        a[i + kVars] *= h[i];
    }
    double ss[kFactors] = {0.0, 0.0};
    for (int j = 0; j < kFactors; ++j)
        for (int i = 0; i < kVars; ++i) ss[j] += a[i + j * kVars] * a[i + j * kVars];
    if (ss[1] > ss[0])
        for (int i = 0; i < kVars; ++i) std::swap(a[i], a[i + kVars]);
    for (int j = 0; j < kFactors; ++j) {
        double signed_ss = 0.0;
        for (int i = 0; i < kVars; ++i) signed_ss += a[i + j * kVars] * std::abs(a[i + j * kVars]);
        if (signed_ss < 0.0)
            for (int i = 0; i < kVars; ++i) a[i + j * kVars] = -a[i + j * kVars];
    }
    return a;
}

TEST_F(ExampleRun, VarimaxMatchesAnIndependentRotation) {
    ASSERT_EQ(run_method("ex_none", "NONE", "LABELS NOSORT"), 0) << window_;
    ASSERT_EQ(run_method("ex_vari", "VARIMAX", "LABELS NOSORT"), 0) << window_;
    const Matrix expected = varimax(fac("ex_none"));
    const Matrix a = fac("ex_vari");
    // The unrotated loadings carry four decimals.
    for (std::size_t e = 0; e < a.size(); ++e) EXPECT_NEAR(a[e], expected[e], 1.0E-3) << e;
    // Not the unrotated solution itself.
    EXPECT_GT(std::abs(a[0] - fac("ex_none")[0]), 0.01);
}

}  // namespace

// Printer scatter plot G01AGF.
#include "numlib/routines1/g01agf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num1_fixture.h"
#include "support/files.h"

namespace orv::num1 {
namespace {

using orv::testing::read_file;

using orv::testing::lines_of;

// The plot goes to a report file on unit 11, messages to the window.
class ScatterPlot : public Num1Fixture {
protected:
    void SetUp() override {
        Num1Fixture::SetUp();
        open_report_unit("g01agf");
        int eleven = 11;
        ADVUNIT(1, eleven);
    }
    std::string plot(std::vector<double> x, std::vector<double> y, int nstepx, int nstepy) {
        std::vector<int> isort(x.size());
        int ifail = 0;
        G01AGF(x, y, static_cast<int>(x.size()), isort, nstepx, nstepy, ifail);
        EXPECT_EQ(ifail, 0);
        rt::close_unit(11);
        return read_file(path_);
    }
};

// The engine's eigenvalue plot: X = 1..20, Y = the eigenvalues of a 20 x 20
// correlation matrix, 65 steps across and 20 down.  Checked by hand: x runs
// from 0 in steps of 0.4 (ticks every 2.0, F6.2 labels whose points stand
// under their ticks); y gets START 0 and a step added below because 0.0701
// lies within half a step of it, so the y = 0 row is row 1, drawn as an
// axis of "." and "+"; point k lies in column trunc(2.5 k + 0.5) (the
// factor 1 + 2 eps rounds the halves up) on the row of its rounded value.
TEST_F(ScatterPlot, EngineEigenvaluePlot) {
    const std::vector<double> eigen{7.0634, 3.0521, 1.8840, 1.2075, 0.9632, 0.8417, 0.7258,
                                    0.6603, 0.5814, 0.5122, 0.4550, 0.4012, 0.3560, 0.3101,
                                    0.2733, 0.2307, 0.1925, 0.1502, 0.1193, 0.0701};
    std::vector<double> x(20);
    std::iota(x.begin(), x.end(), 1.0);
    EXPECT_EQ(plot(x, eigen, 65, 20),
              read_file(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/g01agf/eigenvalues.txt"));
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(ScatterPlot, SortsYAndPairsX) {
    std::vector<double> x{10, 20, 30, 40, 50}, y{2, 5, 2, -1, 5};
    std::vector<int> isort(5);
    int ifail = 0;
    G01AGF(x, y, 5, isort, 10, 10, ifail);
    EXPECT_EQ(ifail, 0);
    EXPECT_EQ(y, (std::vector<double>{5, 5, 2, 2, -1}));
    EXPECT_EQ(isort, (std::vector<int>{2, 5, 1, 3, 4}));  // ties in index order
}

TEST_F(ScatterPlot, CellCountsAndEqualY) {
    // All Y equal: the axis runs from 2 to 4 and every point is on the row
    // of 3; 2, 10, 35 and 36 points in one cell show 2, A, Z and *.
    std::vector<double> x, y;
    for (auto [xv, count] : {std::pair{1.0, 1}, {3.0, 2}, {5.0, 10}, {7.0, 35}, {9.0, 36}})
        for (int i = 0; i < count; ++i) {
            x.push_back(xv);
            y.push_back(3.0);
        }
    const auto lines = lines_of(plot(x, y, 10, 10));
    std::vector<std::string> with_points;
    for (const auto& l : std::vector<std::string>(lines.begin(), lines.end() - 2))  // plot rows
        if (l.size() > 14 && l.substr(13, l.size() - 14).find_first_not_of(" .+") != std::string::npos)
            with_points.push_back(l);
    ASSERT_EQ(with_points.size(), 1u);
    const std::string row = with_points[0];
    EXPECT_EQ(row.substr(0, 12), "       3.000");
    std::string marks;
    for (char c : row.substr(13)) if (c != ' ' && c != '.' && c != '+') marks += c;
    EXPECT_EQ(marks, "12AZ*");
    EXPECT_NE(lines.front().find("+"), std::string::npos);
    // The labels of the rows above and below: the range 2..4.
    EXPECT_NE(lines[1].find("4.000"), std::string::npos);
    EXPECT_NE(lines[lines.size() - 4].find("2.000"), std::string::npos);
}

TEST_F(ScatterPlot, AxesThroughZero) {
    // Both ranges include 0: the row y = 0 is a line of "." with "+" at the
    // tick columns, the column x = 0 a line of "." with "+" on the labelled
    // rows, except where a point lies.
    const auto lines = lines_of(plot({-3, 3, 0, 1}, {-2, 2, 1, 0}, 10, 10));
    const std::string frame = lines.front().substr(13, lines.front().size() - 14);  // cells only
    const std::size_t zero_column = 13 + frame.size() / 2;                         // symmetric x range
    int zero_rows = 0, points_on_axes = 0;
    for (std::size_t i = 1; i + 3 < lines.size(); ++i) {
        const std::string& l = lines[i];
        const bool labelled = l[12] == '+';
        if (l.substr(0, 12) == "        0.00") {
            ++zero_rows;
            // The frame line, but for the point (1, 0).
            const std::string cells = l.substr(13, frame.size());
            ASSERT_EQ(cells.size(), frame.size());
            std::string differences;
            for (std::size_t k = 0; k < cells.size(); ++k)
                if (cells[k] != frame[k]) differences += cells[k];
            EXPECT_EQ(differences, "1") << l;
        } else {
            const char c = l[zero_column];
            if (c == '1') ++points_on_axes;
            else EXPECT_EQ(c, labelled ? '+' : '.') << l;
        }
    }
    EXPECT_EQ(zero_rows, 1);
    EXPECT_EQ(points_on_axes, 1);  // the point (0, 1)
}

TEST_F(ScatterPlot, NegativeStartIsSimplifiedDownwards) {
    // Y from -0.3 to 4.2 on 20 steps: step 0.25, three decimals; the start
    // -0.5 becomes -0.6, which is off the grid of 0.25 and is moved down to
    // -0.75, adding a row: three rows below the row of 0, 21 + 2 rows.
    const auto lines = lines_of(plot({1, 2}, {-0.3, 4.2}, 10, 20));
    ASSERT_EQ(lines.size(), 23u + 2u);
    EXPECT_EQ(lines[lines.size() - 6].substr(0, 12), "       0.000");
    EXPECT_EQ(lines[lines.size() - 11].substr(0, 12), "       1.250");
}

TEST_F(ScatterPlot, WideRowsGrowTheRecord) {
    // 500 steps mean 133, and this range adds one more: rows of 12 + 136
    // characters and label records past 135 are written whole.
    const auto lines = lines_of(plot({-0.3, 13.2}, {1, 2}, 500, 3));
    ASSERT_EQ(lines.size(), 13u + 2u);
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 148u) << i;
    EXPECT_EQ(lines[lines.size() - 2].substr(lines[lines.size() - 2].size() - 6), "18.750");
    EXPECT_EQ(lines.back().substr(lines.back().size() - 6), "18.000");
}

// NaN, infinities and a spread lost against the size of the values (a
// step below half a unit in the last place of the start) give a
// meaningless plot, but a bounded one, and the run goes on.
TEST_F(ScatterPlot, NonFiniteDataEndsSafely) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<double>> ys{{1, nan, 3}, {1, inf, 3}, {-inf, 0, 1}, {1e300, -1e300, 0},
                                              {1e20, 1e20 + 65536, 1e20}};
    for (const auto& y : ys) {
        SCOPED_TRACE(y[1]);
        const auto lines = lines_of(plot({1, 2, nan}, y, 20, 10));
        EXPECT_GE(lines.size(), 14u);
        for (const auto& l : lines) EXPECT_LE(l.size(), 12u + 24u + 100u);
        rt::open_unit_or_fail(11, path_);
    }
}

TEST_F(ScatterPlot, Errors) {
    std::vector<double> x{1, 2}, y{1, 2};
    std::vector<int> isort(2);
    int ifail = -1;
    G01AGF(x, y, 0, isort, 65, 20, ifail);
    EXPECT_EQ(ifail, 1);
    EXPECT_EQ(host_.records, (std::vector<std::string>{" ** ABNORMAL EXIT from NUM Library routine G01AGF: IFAIL =     1",
                                                       " ** NUM soft failure - control returned"}));
    ifail = 0;
    EXPECT_THROW(G01AGF(x, y, -3, isort, 65, 20, ifail), rt::Stop);
    ifail = 0;
    EXPECT_THROW(G01AGF(x, y, 3, isort, 65, 20, ifail), std::length_error);
    EXPECT_THROW(G01AGF(x, {y.data(), 1}, 2, isort, 65, 20, ifail), std::length_error);
    EXPECT_THROW(G01AGF(x, y, 2, {isort.data(), 1}, 65, 20, ifail), std::length_error);
    EXPECT_EQ(y, (std::vector<double>{1, 2}));
    rt::close_unit(11);
    EXPECT_EQ(read_file(path_), "");
}

}  // namespace
}  // namespace orv::num1

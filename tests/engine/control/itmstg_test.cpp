// The sorted item listing: the walk over factors and rows, the sign words,
// which loadings each rotation lists, and the listing in item order when no
// rotation stage sorted the items.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "runtime/units.h"
#include "support/fake_host.h"
#include "support/files.h"

namespace orv::engine {
namespace {

using orv::testing::padded;

// The item line as the report holds it (trailing blanks of the text kept).
std::string item(const char* sign, const char* value, const std::string& text) {
    return std::string(sign) + value + "  ITEM: " + padded(text, 200);
}

class ItemListing : public ::testing::Test {
protected:
    void SetUp() override {
        rt::set_host(&host_);
        path_ = ::testing::TempDir() + "/itmstg_" + std::to_string(::getpid()) + ".out";
        rt::open_unit_or_fail(11, path_, {rt::OpenStatus::Replace, false});
        job_.ITMKEY = ">ITEMS:";
        job_.SRTOPT = padded("SORT", 15);
        job_.ROTMTH = padded("VARIMAX", 8);
    }
    void TearDown() override {
        rt::close_all_units();
        rt::set_host(nullptr);
        std::remove(path_.c_str());
    }
    void items(int nvar, int nfac) {
        job_.NVAR = nvar;
        job_.NFAC = nfac;
        job_.ITMTXT.clear();
        for (int i = 1; i <= nvar; ++i) job_.ITMTXT.push_back(padded("text of item " + std::to_string(i), 200));
    }
    std::vector<std::string> listing() {
        ITMSTG(job_, run_);
        rt::close_unit(11);
        std::ifstream in(path_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    testing::FakeHost host_;
    std::string path_;
    JOBSET job_;
    RUNDATA run_;
};

// Rows stay with a factor while their loading there is not below the next
// one's (ties stay); no heading follows the factor of the last row; a
// negative loading is FALSE.
TEST_F(ItemListing, WalksTheSortedRowsFactorByFactor) {
    items(5, 4);
    // Sorted rows (printed positions) and the item standing at each.
    run_.A = {0.71, -0.50, 0.30, 0.10, 0.20,   // factor 1
              0.10, 0.50, 0.60, 0.00, 0.05,    // factor 2
              0.00, 0.40, 0.10, 0.80, 0.40,    // factor 3
              0.90, 0.20, 0.20, 0.10, 0.30};   // factor 4
    run_.ORDER = {3, 1, 5, 2, 4};
    const std::vector<std::string> want = {
        "",
        "",
        " SORTED ITEMS",
        "",
        "FACTOR:    1",
        item("TRUE", "   0.710", "text of item 3"),
        item("FALSE", "  -0.500", "text of item 1"),  // |-0.50| is not below |0.50|
        "",
        "",
        "FACTOR:    2",
        item("TRUE", "   0.600", "text of item 5"),
        "",
        "",
        "FACTOR:    3",
        item("TRUE", "   0.800", "text of item 2"),
        item("TRUE", "   0.400", "text of item 4"),  // 0.40 against 0.30 on factor 4
        "",
        ""};
    EXPECT_EQ(listing(), want);
}

// A factor that the first row passes gets its heading without items; the
// last factor takes every row left; a loading of 0.0 is FALSE.
TEST_F(ItemListing, ZeroLoadingIsFalseAndTheLastFactorTakesTheRest) {
    items(3, 2);
    job_.ROTMTH = padded("OBLIMIN", 8);
    run_.P = {0.0, 0.1, -0.2, 0.9, 0.0, -0.3};
    run_.A = std::vector<double>(6, 0.5);  // not listed after an oblique rotation
    run_.ORDER = {2, 3, 1};
    const std::vector<std::string> lines = listing();
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[4], "FACTOR:    1");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[7], "FACTOR:    2");
    EXPECT_EQ(lines[8], item("TRUE", "   0.900", "text of item 2"));
    EXPECT_EQ(lines[9], item("FALSE", "   0.000", "text of item 3"));
    EXPECT_EQ(lines[10], item("FALSE", "  -0.300", "text of item 1"));
}

// One factor under SORT, or a rotation word of no stage: the unrotated
// loadings in item order.
TEST_F(ItemListing, WithoutARotationStageListsTheUnrotatedLoadingsInItemOrder) {
    for (const char* rotation : {"NONE", "QUARTIMA"}) {
        SCOPED_TRACE(rotation);
        TearDown();
        SetUp();
        job_.ROTMTH = padded(rotation, 8);
        const int nfac = std::string(rotation) == "NONE" ? 1 : 2;
        items(3, nfac);
        run_ = RUNDATA{};
        run_.L = nfac == 1 ? std::vector<double>{0.3, 0.8, -0.6} : std::vector<double>{0.3, 0.8, 0.1, 0.2, 0.1, 0.6};
        const std::vector<std::string> lines = listing();
        std::vector<std::string> rows;
        for (const std::string& line : lines)
            if (line.find("ITEM:") != std::string::npos) rows.push_back(line);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0], item("TRUE", "   0.300", "text of item 1"));
        EXPECT_EQ(rows[1], item("TRUE", "   0.800", "text of item 2"));
        EXPECT_EQ(rows[2], nfac == 1 ? item("FALSE", "  -0.600", "text of item 3")
                                     : item("TRUE", "   0.600", "text of item 3"));
    }
}

TEST_F(ItemListing, NeedsTheItemLineAndSort) {
    items(2, 2);
    run_.A = {0.5, 0.1, 0.1, 0.5};
    run_.ORDER = {1, 2};
    job_.SRTOPT = padded("NOSORT", 15);
    EXPECT_TRUE(listing().empty());
    TearDown();
    SetUp();
    items(2, 2);
    job_.ITMKEY = ">OUTFIL";
    EXPECT_TRUE(listing().empty());
}

}  // namespace
}  // namespace orv::engine

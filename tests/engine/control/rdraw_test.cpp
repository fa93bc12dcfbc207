// Raw data read on several threads: the values, the records taken from the
// unit and every error are those of the subject-by-subject read.
// CTest label: threads
#include "engine/control/rdraw.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/fake_host.h"
#include "support/files.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

constexpr int kThreadCounts[] = {1, 2, 3, 8};

// Fields per record of one subject: the identifier (5 wide) comes first in
// the first record, the values are 3 wide.
using Layout = std::vector<int>;

double value(int i, int j) { return (i * 7 + j * 13) % 1000; }

// NSUBJ subjects under LAYOUT; the subject BAD (0-based) gets a letter in
// its item BAD_ITEM (1-based, the identifier is item 1); the text stops
// after the record CUT (counted over the file) when CUT >= 0.
std::string make_data(int nsubj, const Layout& layout, std::vector<std::pair<int, int>> bad = {}, long cut = -1,
                      const std::string& tail = "") {
    std::string text;
    long records = 0;
    char field[16];
    for (int i = 0; i < nsubj; ++i) {
        int j = 0;
        for (std::size_t r = 0; r < layout.size(); ++r) {
            if (cut >= 0 && records == cut) return text;
            for (int f = 0; f < layout[r]; ++f) {
                const int item = r == 0 && f == 0 ? 1 : j + 2;
                if (item == 1) std::snprintf(field, sizeof field, "%5d", i + 1);
                else std::snprintf(field, sizeof field, "%3d", static_cast<int>(value(i, j++)));
                for (const auto& [s, it] : bad)
                    if (s == i && it == item) field[1] = 'x';
                text += field;
            }
            text += '\n';
            ++records;
        }
    }
    return text + tail;
}

class RdrawTest : public ::testing::Test {
protected:
    void SetUp() override { rt::set_host(&host_); }
    void TearDown() override {
        rt::close_all_units();
        rt::set_host(nullptr);
    }
    std::string put(const std::string& text) {
        const std::string path = dir_ + "/raw file.dat";
        orv::testing::write_file(path, text);
        return path;
    }
    // The error of RDRAW on THREADS threads, or the window text of its
    // fatal stop; "" without either.
    std::string error_of(const std::string& path, const std::string& format, int nsubj, int nvar, int threads) {
        if (!path.empty()) rt::open_unit_or_fail(LUDAT, path, {rt::OpenStatus::Old, true});
        DataArray id;
        DataArray x;
        std::string what;
        try {
            RDRAW(format, nsubj, nvar, id, x, threads);
        } catch (const rt::IoError& e) {
            what = e.what();
        } catch (const rt::Stop&) {
            for (const std::string& record : host_.records) what += record + "\n";
            host_.records.clear();
        }
        rt::close_unit(LUDAT);
        return what;
    }
    orv::testing::FakeHost host_;
    orv::testing::TempDir tmp_{"orv_rdraw"};
    std::string dir_ = tmp_.string();
};

TEST_F(RdrawTest, SameValuesAndRecordsWhateverTheThreadCount) {
    struct Case {
        const char* what;
        std::string format;
        Layout layout;
        int nsubj;
    };
    const std::vector<Case> cases = {
        {"one record each, over two windows", "(F5.0,4F3.0)", {5}, 70000},
        {"long records, windows ended by their size", "(F5.0,300F3.0)", {301}, 20000},
        {"a slash", "(F5.0,2F3.0/2F3.0)", {3, 2}, 5000},
        {"reversion to the inner group", "(F5.0,(3F3.0))", {4, 3, 1}, 5000},
        {"a slash after the last item skips a record", "(F5.0,4F3.0/)", {5, 0}, 5000},
        {"fewer subjects than a chunk", "(F5.0,4F3.0)", {5}, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int nvar = -1;
        for (int n : c.layout) nvar += n;
        const std::string path = put(make_data(c.nsubj, c.layout, {}, -1, "after the data\n"));
        for (int threads : kThreadCounts) {
            SCOPED_TRACE(threads);
            rt::open_unit_or_fail(LUDAT, path, {rt::OpenStatus::Old, true});
            DataArray id;
            DataArray x;
            RDRAW(c.format, c.nsubj, nvar, id, x, threads);
            ASSERT_EQ(id.size(), static_cast<std::size_t>(c.nsubj));
            for (int i = 0; i < c.nsubj; ++i) {
                ASSERT_EQ(id[i], i + 1);
                for (int j = 0; j < nvar; ++j)
                    ASSERT_EQ(x[i + static_cast<std::size_t>(j) * c.nsubj], value(i, j)) << i << " " << j;
            }
            // The unit stands after the subjects' records, as after the
            // subject-by-subject read.
            std::string next;
            ASSERT_TRUE(rt::read_record(LUDAT, next));
            EXPECT_EQ(next, "after the data");
            rt::close_unit(LUDAT);
        }
    }
}

TEST_F(RdrawTest, SubjectsLongerThanTheRoomOfAWindow) {
    // Records of 2.5 MiB: once windows are at their full size a window takes
    // four subjects, the last of them past the room made for a window.
    constexpr int nsubj = 12;
    std::string text;
    char field[16];
    for (int i = 0; i < nsubj; ++i) {
        std::snprintf(field, sizeof field, "%5d%3d", i + 1, static_cast<int>(value(i, 0)));
        text += field + std::string((std::size_t{5} << 19) - 8, ' ') + "\n";
    }
    const std::string path = put(text + "after the data\n");
    for (int threads : {2, 3}) {
        SCOPED_TRACE(threads);
        rt::open_unit_or_fail(LUDAT, path, {rt::OpenStatus::Old, true});
        DataArray id;
        DataArray x;
        RDRAW("(F5.0,F3.0)", nsubj, 1, id, x, threads);
        for (int i = 0; i < nsubj; ++i) {
            EXPECT_EQ(id[i], i + 1);
            EXPECT_EQ(x[i], value(i, 0)) << i;
        }
        std::string next;
        ASSERT_TRUE(rt::read_record(LUDAT, next));
        EXPECT_EQ(next, "after the data");
        rt::close_unit(LUDAT);
    }
}

// The room for the subjects is judged from the first window's bytes per
// record: records padded with blanks there and short after it make room
// for too few, and the room grows as the subjects come in.
TEST_F(RdrawTest, RoomGrowsPastWhatTheFirstWindowJudged) {
    constexpr int nsubj = 265536;
    std::string text;
    char field[32];
    for (int i = 0; i < nsubj; ++i) {
        std::snprintf(field, sizeof field, "%6d%3d%3d", i + 1, static_cast<int>(value(i, 0)),
                      static_cast<int>(value(i, 1)));
        text += field;
        if (i < 65536) text += std::string(110, ' ');
        text += '\n';
    }
    const std::string path = put(text);
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        rt::open_unit_or_fail(LUDAT, path, {rt::OpenStatus::Old, true});
        DataArray id;
        DataArray x;
        RDRAW("(F6.0,2F3.0)", nsubj, 2, id, x, threads);
        ASSERT_EQ(x.size(), 2u * nsubj);
        for (int i = 0; i < nsubj; ++i) {
            ASSERT_EQ(id[i], i + 1);
            ASSERT_EQ(x[i], value(i, 0)) << i;
            ASSERT_EQ(x[i + nsubj], value(i, 1)) << i;
        }
        rt::close_unit(LUDAT);
    }
}

TEST_F(RdrawTest, FirstFailingSubjectReportedAsOnOneThread) {
    const Layout two = {3, 2};
    struct Case {
        const char* what;
        std::string format;
        Layout layout;
        int nsubj;
        std::string data;
        rt::IoErrorKind kind;
    };
    const std::vector<Case> cases = {
        {"two bad subjects in different chunks", "(F5.0,2F3.0/2F3.0)", two, 5000,
         make_data(5000, two, {{3900, 5}, {1200, 3}}), rt::IoErrorKind::Conversion},
        {"a bad subject in the second window", "(F5.0,4F3.0)", {5}, 70000, make_data(70000, {5}, {{69000, 4}}),
         rt::IoErrorKind::Conversion},
        {"end of file inside the last subject", "(F5.0,2F3.0/2F3.0)", two, 5000,
         make_data(5000, two, {}, 2 * 5000 - 1), rt::IoErrorKind::EndOfFile},
        {"end of file at a subject's start", "(F5.0,2F3.0/2F3.0)", two, 5000, make_data(4000, two),
         rt::IoErrorKind::EndOfFile},
        {"a bad field before the end of file", "(F5.0,2F3.0/2F3.0)", two, 5000,
         make_data(5000, two, {{4999, 2}}, 2 * 5000 - 1), rt::IoErrorKind::Conversion},
        {"a bad subject before the end of file", "(F5.0,4F3.0)", {5}, 5000, make_data(3000, {5}, {{2500, 5}}),
         rt::IoErrorKind::Conversion},
        {"a literal in the format", "(F5.0,'a',4F3.0)", {5}, 5000, make_data(5000, {5}),
         rt::IoErrorKind::BadFormat},
        {"a text descriptor for a number", "(F5.0,A3,3F3.0)", {5}, 5000, make_data(5000, {5}),
         rt::IoErrorKind::ItemMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int nvar = -1;
        for (int n : c.layout) nvar += n;
        const std::string path = put(c.data);
        const std::string sequential = error_of(path, c.format, c.nsubj, nvar, 1);
        ASSERT_NE(sequential, "");
        EXPECT_NE(sequential.find(path), std::string::npos) << sequential;
        for (int threads : kThreadCounts) EXPECT_EQ(error_of(path, c.format, c.nsubj, nvar, threads), sequential);
    }
    // The end of the file names the records read, the whole subjects among
    // them and the subjects declared.
    for (int threads : kThreadCounts) {
        EXPECT_NE(error_of(put(make_data(5000, two, {}, 2 * 5000 - 1)), "(F5.0,2F3.0/2F3.0)", 5000, 4, threads)
                      .find("ends after 9999 records, with 4999 of the 5000 subjects declared on >DATA:"),
                  std::string::npos);
        EXPECT_NE(error_of(put(make_data(4000, two)), "(F5.0,2F3.0/2F3.0)", 5000, 4, threads)
                      .find("ends after 8000 records, with 4000 of the 5000 subjects declared on >DATA:"),
                  std::string::npos);
    }

    // The first bad subject's item is the one named.
    const std::string path = put(make_data(5000, two, {{3900, 5}, {1200, 3}}));
    EXPECT_NE(error_of(path, "(F5.0,2F3.0/2F3.0)", 5000, 4, 8).find("item 3,"), std::string::npos);

    // A unit with no file fails alike.
    const std::string unconnected = error_of("", "(F5.0,4F3.0)", 5000, 4, 1);
    ASSERT_NE(unconnected, "");
    EXPECT_EQ(error_of("", "(F5.0,4F3.0)", 5000, 4, 8), unconnected);
}

}  // namespace
}  // namespace orv::engine

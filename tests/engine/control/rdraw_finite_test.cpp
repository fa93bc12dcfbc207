// Values that are not finite numbers in raw data: the message names the
// file, the record of the file that holds the value and the value, and it is
// the first such subject's whatever the thread count and the format.
#include "engine/control/rdraw.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

class RdrawFinite : public testing::LibraryFixture {
protected:
    // NSUBJ subjects of an identifier (F5.0) and 4 values (F4.0), two values
    // to a record when SPLIT; the fields listed in BAD (subject, item with 0
    // the identifier) hold TEXT instead.
    std::string put(int nsubj, bool split, const std::vector<std::pair<int, int>>& bad, const std::string& text) {
        std::string data;
        char field[16];
        for (int i = 0; i < nsubj; ++i) {
            for (int item = 0; item <= 4; ++item) {
                std::snprintf(field, sizeof field, item == 0 ? "%5d" : "%4d", item == 0 ? i + 1 : (i + item) % 10);
                std::string f = field;
                for (const auto& [s, it] : bad)
                    if (s == i && it == item) f = std::string(f.size() - text.size(), ' ') + text;
                data += f;
                if (split && item == 2) data += '\n';
            }
            data += '\n';
        }
        const std::string path = (dir_ / "raw.dat").string();
        testing::write_file(path, data);
        return path;
    }
    // The window message of RDRAW on THREADS threads ("" when it reads all).
    std::string message(const std::string& path, const std::string& format, int nsubj, int threads) {
        host_.records.clear();
        rt::open_unit_or_fail(LUDAT, path, {rt::OpenStatus::Old, true});
        DataArray id, x;
        std::string what;
        try {
            RDRAW(format, nsubj, 4, id, x, threads);
        } catch (const rt::Stop& s) {
            EXPECT_EQ(s.exit_status, 1);
            for (const std::string& r : host_.records)
                if (r.find("FATAL") != std::string::npos) what = r;
        }
        rt::close_unit(LUDAT);
        return what;
    }
    testing::TempDir dir_{"orv_rdfin"};
};

TEST_F(RdrawFinite, FirstSubjectWithAValueThatIsNotFiniteWhateverTheThreads) {
    constexpr int nsubj = 9000;
    struct Case {
        bool split;
        std::string format;
        std::vector<std::pair<int, int>> bad;
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases{
        {false, "(F5.0,4F4.0)", {{7000, 3}, {8000, 1}}, "NaN", "Value NaN in record 7001"},
        // The identifier too; a later subject's bad value does not count.
        {false, "(F5.0,4F4.0)", {{8500, 4}, {6000, 0}}, "Inf", "Value Infinity in record 6001"},
        // Two records a subject: item 3 stands in the second one.
        {true, "(F5.0,2F4.0/2F4.0)", {{4321, 3}}, "-Inf", "Value -Infinity in record 8644"},
        {true, "(F5.0,2F4.0/2F4.0)", {{4321, 2}}, "NaN", "Value NaN in record 8643"},
    };
    for (const Case& c : cases) {
        const std::string path = put(nsubj, c.split, c.bad, c.text);
        const std::string want = std::string(29, ' ') + "FATAL ERROR: " + c.expected + " of file " + path +
                                 " is not a finite number";
        for (const int threads : {1, 2, 8}) EXPECT_EQ(message(path, c.format, nsubj, threads), want) << threads;
    }
    // The same file with finite values reads without a message.
    EXPECT_EQ(message(put(nsubj, false, {}, ""), "(F5.0,4F4.0)", nsubj, 8), "");
}

}  // namespace
}  // namespace orv::engine

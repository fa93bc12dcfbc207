// Formatted statements written in order whatever the number of threads,
// also when a statement fails.
// CTest label: threads
#include "runtime/ordered_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "runtime/format.h"
#include "runtime/units.h"
#include "support/files.h"

namespace orv::rt {
namespace {

namespace fs = std::filesystem;

constexpr int kUnit = 41;

class OrderedWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = (fs::temp_directory_path() / ("orv_ordered_writer_" + std::to_string(::getpid()))).string();
        fs::create_directories(dir_);
    }
    void TearDown() override {
        rt::close_all_units();
        fs::remove_all(dir_);
    }
    std::string file() const { return dir_ + "/out.txt"; }
    std::string contents() const { return orv::testing::read_file(file()); }
    std::string dir_;
};

// Statement k: k % 4 records (none for some), of lengths that vary with k.
void statement(std::size_t k, HeldRecords& held) {
    static const rt::Format format = rt::parse_format("(I6,1X,A)");
    for (std::size_t r = 0; r < k % 4; ++r)
        write(held, format, static_cast<int>(k), std::string(k * 7 % 50 + r, 'x'));
}

std::string expected_text(std::size_t count, std::size_t failing = static_cast<std::size_t>(-1)) {
    HeldRecords held;
    for (std::size_t k = 0; k < count && k < failing; ++k) statement(k, held);
    return held.text;
}

TEST_F(OrderedWriterTest, StatementsReachTheFileInOrderWhateverTheThreads) {
    for (std::size_t count : {0u, 1u, 2u, 5u, 130u, 5000u}) {
        for (int threads : {1, 2, 3, 8}) {
            SCOPED_TRACE("count " + std::to_string(count) + ", threads " + std::to_string(threads));
            rt::open_unit_or_fail(kUnit, file(), {rt::OpenStatus::Replace});
            write_in_order(kUnit, count, threads, statement);
            rt::close_unit(kUnit);
            EXPECT_EQ(contents(), expected_text(count));
        }
    }
    // One pool for several files in turn, also when only some of its
    // helpers, or none, could be started.
    for (const int failing : {0, 1, 2, 4}) {
        proc::Team::set_failing_start(failing);
        proc::WorkerPool pool(5);
        proc::Team::set_failing_start(0);
        for (std::size_t count : {3000u, 17u, 2500u}) {
            rt::open_unit_or_fail(kUnit, file(), {rt::OpenStatus::Replace});
            write_in_order(pool, kUnit, count, statement);
            rt::close_unit(kUnit);
            EXPECT_EQ(contents(), expected_text(count)) << pool.helpers() << " helpers";
        }
    }
}

TEST_F(OrderedWriterTest, FailingStatementEndsTheFileAfterTheStatementsBeforeIt) {
    // Statements 1203 and 3001 fail after writing one record; the file gets
    // everything before 1203 and its one record, and 1203's error comes out.
    auto failing = [](std::size_t k, HeldRecords& held) {
        statement(k, held);
        if (k == 1203 || k == 3001) {
            held.put_record("partial " + std::to_string(k));
            throw std::runtime_error("statement " + std::to_string(k));
        }
    };
    for (int threads : {1, 2, 8}) {
        SCOPED_TRACE(threads);
        rt::open_unit_or_fail(kUnit, file(), {rt::OpenStatus::Replace});
        try {
            write_in_order(kUnit, 4000, threads, failing);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "statement 1203");
        }
        rt::close_unit(kUnit);
        HeldRecords held;
        statement(1203, held);
        EXPECT_EQ(contents(), expected_text(4000, 1203) + held.text + "partial 1203\n");
    }
}

}  // namespace
}  // namespace orv::rt

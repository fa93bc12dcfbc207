// Units, records on files, the unit record adapters and the stop path.
// Expected file contents after mixed reads and writes were taken from
// gfortran programs doing the same statements.
#include <gtest/gtest.h>

#include "support/fake_host.h"
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>

#include "runtime/format.h"
#include "runtime/host.h"
#include "runtime/program.h"
#include "runtime/records.h"
#include "runtime/terminal_host.h"
#include "runtime/units.h"
#include "support/files.h"

namespace orv::rt {
namespace {

namespace fs = std::filesystem;
using orv::testing::FakeHost;

class UnitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_host(&host_);
    }
    void TearDown() override {
        close_all_units();
        set_host(nullptr);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void put(const std::string& name, const std::string& bytes) const { testing::write_file(path(name), bytes); }
    std::string get(const std::string& name) const { return testing::read_file(path(name)); }
    std::vector<std::string> read_all(int unit) {
        std::vector<std::string> out;
        std::string r;
        while (read_record(unit, r)) out.push_back(r);
        return out;
    }
    std::string next(int unit) {
        std::string r;
        return read_record(unit, r) ? r : "<eof>";
    }

    testing::TempDir tmp_{"orv_units"};
    std::string dir_ = tmp_.string();
    FakeHost host_;
};

using Records = std::vector<std::string>;

TEST_F(UnitsTest, OpenStatusesOnExistingAndMissingFiles) {
    struct Case {
        OpenStatus status;
        bool exists;
        int result;
        const char* after_open;   // contents after open + close; nullptr: no file
        const char* after_write;  // contents after open + write "X" + close
    };
    const Case cases[] = {
        {OpenStatus::Old, true, 0, "one\ntwo\n", "X\n"},
        {OpenStatus::Old, false, ENOENT, nullptr, nullptr},
        {OpenStatus::New, true, EEXIST, "one\ntwo\n", "one\ntwo\n"},
        {OpenStatus::New, false, 0, "", "X\n"},
        {OpenStatus::Unknown, true, 0, "one\ntwo\n", "X\n"},
        {OpenStatus::Default, true, 0, "one\ntwo\n", "X\n"},
        {OpenStatus::Default, false, 0, "", "X\n"},
        {OpenStatus::Replace, true, 0, "", "X\n"},
        {OpenStatus::Replace, false, 0, "", "X\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status) * 10 + c.exists);
        for (bool write : {false, true}) {
            fs::remove(path("f"));
            if (c.exists) put("f", "one\ntwo\n");
            EXPECT_EQ(open_unit(20, path("f"), {c.status}), c.result);
            EXPECT_EQ(unit_connected(20), c.result == 0);
            if (c.result == 0 && write) write_record(20, "X");
            close_unit(20);
            const char* want = write ? c.after_write : c.after_open;
            EXPECT_EQ(fs::exists(path("f")), want != nullptr);
            if (want != nullptr) {
                EXPECT_EQ(get("f"), want);
            }
        }
    }
}

TEST_F(UnitsTest, FailedOpenIsReportedWithUnitAndFile) {
    EXPECT_EQ(open_unit(12, path("missing.in"), {OpenStatus::Old}), ENOENT);
    EXPECT_NE(last_open_error().find("unit 12"), std::string::npos);
    EXPECT_NE(last_open_error().find("missing.in"), std::string::npos);
    try {
        open_unit_or_fail(13, path("missing.in"), {OpenStatus::Old});
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::Open);
        EXPECT_EQ(e.unit(), 13);
        EXPECT_EQ(e.file(), path("missing.in"));
        EXPECT_NE(e.detail().find("No such file"), std::string::npos);
    }
    // The engine does not test the status; the later read names the file.
    std::string r;
    try {
        read_record(12, r);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::NotConnected);
        EXPECT_EQ(e.unit(), 12);
        EXPECT_EQ(e.file(), path("missing.in"));
    }
    EXPECT_NE(open_unit(14, dir_), 0);  // a directory is no file
    EXPECT_NE(open_unit(-1, path("x")), 0);
}

TEST_F(UnitsTest, RecordSplitting) {
    struct Case {
        std::string bytes;
        Records records;
    };
    const Case cases[] = {
        {"", {}},
        {"\n", {""}},
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nlast", {"a", "last"}},
        {"a\nlast\r", {"a", "last"}},
        {"\n\nx\n\n", {"", "", "x", ""}},
        {"a\rb\r\r\n", {"a\rb\r"}},
        {std::string("n\0l\n\xff\xfe\x01\n", 8), {std::string("n\0l", 3), "\xff\xfe\x01"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        put("f", c.bytes);
        open_unit_or_fail(10, path("f"), {OpenStatus::Old});
        EXPECT_EQ(read_all(10), c.records);
        std::string r = "kept";
        EXPECT_FALSE(read_record(10, r));
        EXPECT_EQ(r, "kept");
        close_unit(10);
    }
}

TEST_F(UnitsTest, BackspaceAndRewindSequences) {
    struct Case {
        std::string bytes;
        std::string ops;  // r: read, b: backspace, w: rewind
        Records reads;
    };
    const Case cases[] = {
        {"one\ntwo\nthree\n", "rrbr", {"one", "two", "two"}},
        {"one\ntwo\nthree\n", "rrbbr", {"one", "two", "one"}},
        {"one\ntwo\nthree\n", "bbr", {"one"}},
        {"one\ntwo\nthree\n", "rbbbr", {"one", "one"}},
        {"one\ntwo\nthree\n", "rrrwr", {"one", "two", "three", "one"}},
        // After the end: the first backspace steps back over the end only.
        {"one\ntwo\n", "rrrbr", {"one", "two", "<eof>", "<eof>"}},
        {"one\ntwo\n", "rrrbbr", {"one", "two", "<eof>", "two"}},
        {"one\nlast", "rrbr", {"one", "last", "last"}},
        {"\n\nx\n", "rrrbbr", {"", "", "x", ""}},
        {"a\r\nb\r\n", "rrbbr", {"a", "b", "a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ops);
        put("f", c.bytes);
        open_unit_or_fail(10, path("f"), {OpenStatus::Old});
        Records reads;
        for (char op : c.ops) {
            if (op == 'r') reads.push_back(next(10));
            if (op == 'b') backspace_unit(10);
            if (op == 'w') rewind_unit(10);
        }
        EXPECT_EQ(reads, c.reads);
        close_unit(10);
    }
}

TEST_F(UnitsTest, WritingCutsTheFileAfterTheRecordWritten) {
    struct Case {
        std::string ops;  // r: read, b: backspace, w: rewind, letters A-Z: write it
        std::string file;
        Records reads;
    };
    const Case cases[] = {
        {"rW", "one\nW\n", {"one"}},
        {"rrbW", "one\nW\n", {"one", "two"}},
        {"rrrwrZ", "one\nZ\n", {"one", "two", "three", "one"}},
        {"rrrXY", "one\ntwo\nthree\nX\nY\n", {"one", "two", "three"}},
        {"XbrYbr", "X\nY\n", {"X", "Y"}},
        {"XYwrr", "X\nY\n", {"X", "Y"}},
        {"Xr", "X\n", {"<eof>"}},
        {"XYbbr", "X\nY\n", {"X"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ops);
        put("f", "one\ntwo\nthree\n");
        open_unit_or_fail(10, path("f"), {OpenStatus::Old});
        Records reads;
        for (char op : c.ops) {
            if (op == 'r') reads.push_back(next(10));
            if (op == 'b') backspace_unit(10);
            if (op == 'w') rewind_unit(10);
            if (op >= 'A' && op <= 'Z') write_record(10, std::string(1, op));
        }
        close_unit(10);
        EXPECT_EQ(reads, c.reads);
        EXPECT_EQ(get("f"), c.file);
    }
}

TEST_F(UnitsTest, HeldRecordsWriteAsRecordByRecord) {
    // A block of whole records lands where the same records one by one
    // would: after a read it cuts the file there, and BACKSPACE and the
    // window see each record.
    put("f", "one\ntwo\n");
    open_unit_or_fail(10, path("f"), {OpenStatus::Old});
    EXPECT_EQ(next(10), "one");
    write_records(10, "A\n\nB\n");
    write_record(10, "C");
    backspace_unit(10);
    EXPECT_EQ(next(10), "C");
    close_unit(10);
    EXPECT_EQ(get("f"), "one\nA\n\nB\nC\n");

    write_records(kConsoleUnit, " first\n second\n");
    EXPECT_EQ(host_.records, (Records{" first", " second"}));
    EXPECT_THROW(write_records(33, "x\n"), IoError);
}

TEST_F(UnitsTest, LargeBlocksAndRecordsAcrossBufferEnds) {
    // Blocks larger than the pending output, between single records, land
    // in order; records of every length read back across the ends of a read
    // buffer that grows as the file is read, also after a BACKSPACE.
    std::string expected;
    std::vector<std::string> records;
    auto line = [](std::size_t k) { return std::string(k * 37 % 5000, static_cast<char>('a' + k % 26)); };
    open_unit_or_fail(10, path("f"), {OpenStatus::Replace});
    for (std::size_t k = 0; k < 400; ++k) {
        if (k % 100 == 50) {
            std::string block;
            for (std::size_t b = 0; b < 200; ++b) {
                records.push_back(line(k + b) + "#");
                block += records.back() + "\n";
            }
            write_records(10, block);
            expected += block;
        } else {
            records.push_back(line(k));
            write_record(10, records.back());
            expected += records.back() + "\n";
        }
    }
    records.push_back(std::string(300000, 'z'));  // longer than any buffer before it
    write_record(10, records.back());
    expected += records.back() + "\n";
    close_unit(10);
    ASSERT_EQ(get("f"), expected);

    open_unit_or_fail(10, path("f"), {OpenStatus::Old});
    EXPECT_EQ(read_all(10), records);
    rewind_unit(10);
    for (std::size_t k = 0; k < 700; ++k) ASSERT_EQ(next(10), records[k]) << k;
    backspace_unit(10);
    for (std::size_t k = 699; k < records.size(); ++k) ASSERT_EQ(next(10), records[k]) << k;
    close_unit(10);
}

TEST_F(UnitsTest, ReopenScratchFlushAndNames) {
    open_unit_or_fail(11, path("rep.txt"), {OpenStatus::Replace});
    write_record(11, "first");
    flush_all_units();
    EXPECT_EQ(get("rep.txt"), "first\n");
    write_record(11, "second");
    open_unit_or_fail(11, path("other.txt"), {OpenStatus::Replace});  // closes rep.txt first
    EXPECT_EQ(get("rep.txt"), "first\nsecond\n");

    open_unit_or_fail(30, "", {OpenStatus::Scratch});
    const std::string scratch = unit_file_name(30);
    write_record(30, "s1");
    write_record(30, "s2");
    rewind_unit(30);
    EXPECT_EQ(read_all(30), (Records{"s1", "s2"}));
    close_unit(30);
    EXPECT_FALSE(fs::exists(scratch));
    close_unit(30);  // harmless when not connected
    close_unit(77);

    // INQUIRE NAME= gives the absolute path of a file opened by a relative one.
    const fs::path old = fs::current_path();
    fs::current_path(dir_);
    put("job.in", "x\n");
    open_unit_or_fail(12, "job.in   ", {OpenStatus::Old});
    fs::current_path(old);
    EXPECT_EQ(unit_file_name(12), fs::canonical(path("job.in")).string());
    EXPECT_EQ(unit_file_name(99), "");
}

TEST_F(UnitsTest, ReadOnlyAndSharedFiles) {
    put("data.txt", "1 2 3\n");
    open_unit_or_fail(10, path("data.txt"), {OpenStatus::Old, true});
    EXPECT_THROW(write_record(10, "x"), IoError);
    // The report must not be the data file: REPLACE would empty it.
    EXPECT_NE(open_unit(11, path("data.txt"), {OpenStatus::Replace}), 0);
    EXPECT_NE(last_open_error().find("unit 10"), std::string::npos);
    EXPECT_EQ(get("data.txt"), "1 2 3\n");
    EXPECT_EQ(next(10), "1 2 3");
}

// A marked input is never opened for writing, under any of its names, while
// it may still be read; the marks end with the run.
TEST_F(UnitsTest, MarkedInputsAreNeverWritten) {
    put("data.txt", "1 2 3\n");
    fs::create_hard_link(path("data.txt"), path("link.txt"));
    mark_input(path("data.txt") + "   ", "the raw data file");
    mark_input(path("later.txt"), "a file made later");
    EXPECT_EQ(input_use(path("link.txt")), "the raw data file");
    EXPECT_EQ(input_use(dir_ + "/./data.txt"), "the raw data file");
    EXPECT_EQ(input_use(path("other.txt")), "");
    for (OpenStatus status : {OpenStatus::Replace, OpenStatus::Unknown, OpenStatus::Default}) {
        EXPECT_EQ(open_unit(11, path("link.txt"), {status}), EPERM);
        EXPECT_NE(last_open_error().find("the raw data file"), std::string::npos) << last_open_error();
        EXPECT_FALSE(unit_connected(11));
    }
    EXPECT_EQ(get("data.txt"), "1 2 3\n");
    // Reading it is what it is for; a file that does not exist is no input
    // until it does.
    open_unit_or_fail(10, path("link.txt"), {OpenStatus::Old, true});
    EXPECT_EQ(next(10), "1 2 3");
    open_unit_or_fail(12, path("later.txt"), {OpenStatus::Unknown});
    write_record(12, "made");
    close_unit(12);
    EXPECT_EQ(input_use(path("later.txt")), "a file made later");
    EXPECT_NE(open_unit(12, path("later.txt"), {OpenStatus::Replace}), 0);
    EXPECT_EQ(get("later.txt"), "made\n");
    close_all_units();
    EXPECT_EQ(input_use(path("data.txt")), "");
    EXPECT_EQ(open_unit(11, path("data.txt"), {OpenStatus::Unknown}), 0);
}

// A device is written as a stream; a write that fails is reported with the
// unit, the file and the system's reason, also by the stop path.
TEST_F(UnitsTest, FailedWritesAreReported) {
    ASSERT_EQ(open_unit(20, "/dev/null"), 0);
    write_record(20, "discarded");
    close_unit(20);

    ASSERT_EQ(open_unit(20, "/dev/full"), 0);
    write_record(20, "lost");
    try {
        close_unit(20);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::System);
        EXPECT_EQ(e.unit(), 20);
        EXPECT_EQ(e.file(), "/dev/full");
        EXPECT_NE(e.detail().find("No space"), std::string::npos);
    }
    EXPECT_FALSE(unit_connected(20));

    host_.records.clear();
    EXPECT_EQ(run_program([] {
                  open_unit_or_fail(20, "/dev/full");
                  write_record(20, "lost");
              }),
              1);
    ASSERT_EQ(host_.records.size(), 1u);
    EXPECT_NE(host_.records[0].find("/dev/full"), std::string::npos);
}

TEST_F(UnitsTest, UnconnectedUnitsAndTheWindowUnit) {
    std::string r;
    for (int unit : {5, 42}) {
        try {
            read_record(unit, r);
            FAIL();
        } catch (const IoError& e) {
            EXPECT_EQ(e.kind(), IoErrorKind::NotConnected);
            EXPECT_NE(std::string(e.what()).find("unit " + std::to_string(unit)), std::string::npos);
        }
        EXPECT_THROW(write_record(unit, "x"), IoError);
        EXPECT_THROW(rewind_unit(unit), IoError);
        EXPECT_THROW(backspace_unit(unit), IoError);
    }
    write_record(kConsoleUnit, " hello");
    EXPECT_EQ(host_.records, Records{" hello"});
    EXPECT_THROW(read_record(kConsoleUnit, r), IoError);
}

TEST_F(UnitsTest, UnitSourceAndSinkNameUnitAndFile) {
    open_unit_or_fail(21, path("s.txt"), {OpenStatus::Replace});
    UnitSink sink(21);
    sink.put_record("abc");
    rewind_unit(21);
    UnitSource source(21);
    std::string r;
    EXPECT_TRUE(source.next_record(r));
    EXPECT_EQ(r, "abc");
    EXPECT_FALSE(source.next_record(r));
    for (const IoError& e : {source.error(IoErrorKind::Conversion, "bad"), sink.error(IoErrorKind::EndOfFile, "")}) {
        EXPECT_EQ(e.unit(), 21);
        EXPECT_EQ(e.file(), unit_file_name(21));
    }
}

TEST_F(UnitsTest, BlankNameAsksTheHost) {
    put("job.in", "line\n");
    host_.args = {"  " + path("job.in") + " "};
    EXPECT_EQ(open_unit(12, "   "), 0);
    EXPECT_EQ(next(12), "line");
    EXPECT_TRUE(host_.titles.empty());

    // No argument: the dialog; cancel and No ask again.
    host_.args.clear();
    host_.files = {std::nullopt, path("job.in")};
    host_.answers = {false};
    EXPECT_EQ(open_unit(12, ""), 0);
    EXPECT_EQ(host_.titles, (Records{"Open: Select File for Unit 12", "Open: Select File for Unit 12"}));
    EXPECT_EQ(host_.questions, Records{"File Open Error|A File Must be Selected\r\rTerminate Program?"});

    // A chosen file must exist.
    host_.files = {path("nothere.in")};
    EXPECT_EQ(open_unit(12, ""), ENOENT);
    EXPECT_FALSE(fs::exists(path("nothere.in")));

    // Cancel and Yes: the run stops with status 1, and the window closes
    // without the end-of-run question.
    host_.files.clear();
    host_.answers = {true};
    EXPECT_EQ(host_.end_mode(), EndMode::Prompt);
    try {
        open_unit(12, "");
        FAIL() << "no stop";
    } catch (const Stop& s) {
        EXPECT_EQ(s.exit_status, 1);
        EXPECT_TRUE(s.quiet);
    }
    EXPECT_EQ(host_.end_mode(), EndMode::Close);
}

TEST_F(UnitsTest, HugeLineWithoutLineEnd) {
    const std::size_t size = 100u << 20;
    {
        std::ofstream out(path("big"), std::ios::binary);
        std::string chunk(1 << 20, 'x');
        for (std::size_t i = 0; i < size / chunk.size(); ++i) out << chunk;
    }
    open_unit_or_fail(10, path("big"), {OpenStatus::Old});
    const auto start = std::chrono::steady_clock::now();
    std::string r;
    ASSERT_TRUE(read_record(10, r));
    EXPECT_EQ(r.size(), size);
    EXPECT_FALSE(read_record(10, r));
    backspace_unit(10);
    backspace_unit(10);
    ASSERT_TRUE(read_record(10, r));
    EXPECT_EQ(r.size(), size);
    // A read or backspace that went back over the line for every block would
    // take hours: far beyond this bound, which a slow machine never reaches.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(300));
}

// The stop path: what each way out writes, the status, and closed files.
TEST_F(UnitsTest, RunProgramEndings) {
    struct Case {
        std::function<void()> raise;
        int status;
        std::string last_record;  // prefix of the record written last
    };
    const Case cases[] = {
        {[] {}, 0, "before"},
        {[] { throw Stop{}; }, 1, " Stop - Program terminated."},
        {[] { throw Stop{"", 0}; }, 0, " Stop - Program terminated."},
        {[] { throw Stop{"FATAL: delta", 1}; }, 1, " FATAL: delta"},
        {[] { throw Stop{"", 1, true}; }, 1, "before"},
        {[] { throw IoError(IoErrorKind::EndOfFile, "", 12, "/x/job.in"); }, 1,
         " Input/output error: End of file (unit 12, file /x/job.in)"},
        {[] { throw FormatError("bad", 2, "(I"); }, 1, " Input/output error: Bad format: bad at position 3"},
        {[] { throw std::bad_alloc(); }, 1, " Out of memory: no memory for an array"},
        {[] { throw std::runtime_error("boom"); }, 1, " Run-time error: boom"},
        {[] { throw 7; }, 1, " Run-time error: unknown failure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last_record);
        host_.records.clear();
        host_.ended = -1;
        const int status = run_program([&] {
            open_unit_or_fail(11, path("report.txt"), {OpenStatus::Replace});
            write_record(11, "report line");
            write_record(kConsoleUnit, "before");
            c.raise();
        });
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(host_.ended, c.status);
        ASSERT_FALSE(host_.records.empty());
        EXPECT_EQ(host_.records.back().rfind(c.last_record, 0), 0u) << host_.records.back();
        EXPECT_FALSE(unit_connected(11));
        EXPECT_EQ(get("report.txt"), "report line\n");
    }
}

}  // namespace
}  // namespace orv::rt
